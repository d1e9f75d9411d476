#include "ui/grid/CellFormat.h"

#include "store/Dates.h"

namespace controls {
namespace {

enum class Tok { Literal, Year4, Year2, Month2, Month, Day2, Day };

struct Piece {
    Tok tok;
    QChar ch;
};

QList<Piece> tokenize(const QString& fmt)
{
    QList<Piece> out;
    const QString f = fmt;
    int i = 0;
    const auto at = [&](int k) { return k < f.size() ? f.at(k).toLower() : QChar(); };
    while (i < f.size()) {
        const QChar c = at(i);
        if (c == u'y' && at(i + 1) == u'y' && at(i + 2) == u'y' && at(i + 3) == u'y') {
            out.append({Tok::Year4, {}});
            i += 4;
        } else if (c == u'y' && at(i + 1) == u'y') {
            out.append({Tok::Year2, {}});
            i += 2;
        } else if (c == u'm' && at(i + 1) == u'm') {
            out.append({Tok::Month2, {}});
            i += 2;
        } else if (c == u'm') {
            out.append({Tok::Month, {}});
            i += 1;
        } else if (c == u'd' && at(i + 1) == u'd') {
            out.append({Tok::Day2, {}});
            i += 2;
        } else if (c == u'd') {
            out.append({Tok::Day, {}});
            i += 1;
        } else {
            out.append({Tok::Literal, f.at(i)});
            i += 1;
        }
    }
    return out;
}

QString plainText(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    return v.toString();
}

} // namespace

bool isDateFormat(const QString& fmt)
{
    for (const Piece& p : tokenize(fmt))
        if (p.tok != Tok::Literal)
            return true;
    return false;
}

bool isDigitFormat(const QString& fmt)
{
    bool zero = false;
    for (const QChar c : fmt) {
        if (c == u'0')
            zero = true;
        else if (c.isLetterOrNumber())
            return false;
    }
    return zero;
}

QString dateFieldOrder(const QString& fmt)
{
    QString order;
    for (const Piece& p : tokenize(fmt)) {
        QChar c;
        if (p.tok == Tok::Year4 || p.tok == Tok::Year2)
            c = u'y';
        else if (p.tok == Tok::Month2 || p.tok == Tok::Month)
            c = u'm';
        else if (p.tok == Tok::Day2 || p.tok == Tok::Day)
            c = u'd';
        if (!c.isNull() && !order.contains(c))
            order += c;
    }
    return order.isEmpty() ? QStringLiteral("ymd") : order;
}

QString formatDate(const QDate& d, const QString& fmt)
{
    if (!d.isValid())
        return {};
    QString out;
    for (const Piece& p : tokenize(fmt)) {
        switch (p.tok) {
        case Tok::Literal:
            out += p.ch;
            break;
        case Tok::Year4:
            out += QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
            break;
        case Tok::Year2:
            out += QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'));
            break;
        case Tok::Month2:
            out += QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'));
            break;
        case Tok::Month:
            out += QString::number(d.month());
            break;
        case Tok::Day2:
            out += QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'));
            break;
        case Tok::Day:
            out += QString::number(d.day());
            break;
        }
    }
    return out;
}

QDate dateFromValue(const QVariant& v)
{
    return store::toDate(v);
}

QString formatCell(const QVariant& raw, const QString& fmt)
{
    if (raw.isNull())
        return {};
    const QString text = plainText(raw);
    if (fmt.isEmpty())
        return text;
    if (isDigitFormat(fmt)) {
        const int places = fmt.count(u'0');
        bool digits = !text.isEmpty() && text.size() <= places;
        for (const QChar c : text)
            digits = digits && c >= u'0' && c <= u'9';
        if (!digits)
            return text;
        const QString padded = text.rightJustified(places, u'0');
        QString out;
        int k = 0;
        for (const QChar c : fmt)
            out += (c == u'0') ? padded.at(k++) : c;
        return out;
    }
    if (isDateFormat(fmt)) {
        const QDate d = dateFromValue(raw);
        return d.isValid() ? formatDate(d, fmt) : text;
    }
    return text;
}

QVariant storageValue(const QVariant& v)
{
    if (v.isNull())
        return QVariant();
    switch (v.metaType().id()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return store::dateValue(store::toDate(v));
    case QMetaType::Bool:
        return QVariant(v.toBool() ? 1 : 0);
    default:
        return v;
    }
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    const QVariant x = storageValue(a);
    const QVariant y = storageValue(b);
    if (x.isNull() || y.isNull())
        return x.isNull() && y.isNull();
    return plainText(x) == plainText(y);
}

} // namespace controls
