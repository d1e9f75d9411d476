#include "ui/DateText.h"

#include "ui/grid/CellFormat.h"

#include <QStringList>

namespace controls {
namespace {

// The year that puts month/day nearest to reference; 0 when the day exists in none of them.
int nearestYear(int m, int d, const QDate& reference)
{
    int best = 0;
    qint64 bestGap = 0;
    for (int y = reference.year() - 1; y <= reference.year() + 1; ++y) {
        const QDate c(y, m, d);
        if (!c.isValid())
            continue;
        const qint64 gap = qAbs(reference.daysTo(c));
        if (best == 0 || gap < bestGap) {
            best = y;
            bestGap = gap;
        }
    }
    return best;
}

int twoDigitYear(int yy, const QDate& today)
{
    // The century that puts the year nearest before today, allowing twenty years ahead.
    const int base = today.year() - today.year() % 100;
    int y = base + yy;
    if (y > today.year() + 20)
        y -= 100;
    return y;
}

} // namespace

bool inDateRange(const QDate& d)
{
    return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

std::optional<QDate> parseDate(const QString& text, const QString& fmt, const QDate& reference)
{
    const QDate today = reference.isValid() ? reference : QDate::currentDate();
    // Full-width digits and separators typed through an input method become ASCII.
    const QString s = text.normalized(QString::NormalizationForm_KC).trimmed();
    if (s.isEmpty())
        return std::nullopt;
    static const QString separators = QStringLiteral("/-.年月日 ");
    // A sign is no separator: "-2026/1/1" is not 1 January 2026.
    if (s.front() < u'0' || s.front() > u'9')
        return std::nullopt;
    QStringList groups;
    QString current;
    for (const QChar c : s) {
        if (c >= u'0' && c <= u'9') {
            current += c;
        } else if (separators.contains(c)) {
            if (!current.isEmpty())
                groups << current;
            current.clear();
        } else {
            return std::nullopt;
        }
    }
    if (!current.isEmpty())
        groups << current;

    QString order = dateFieldOrder(fmt);
    for (const QChar f : {u'y', u'm', u'd'})
        if (!order.contains(f))
            order += f;
    QString orderMd = order;
    orderMd.remove(u'y');

    int y = -1, m = -1, d = -1;
    bool shortYear = false;
    const auto put = [&](QChar field, const QString& g) {
        if (field == u'y') {
            y = g.toInt();
            shortYear = g.size() <= 2;
        } else if (field == u'm') {
            m = g.toInt();
        } else {
            d = g.toInt();
        }
    };

    if (groups.size() == 1) {
        // Digits without separators: yyyymmdd, yymmdd, or mmdd of this year.
        const QString g = groups[0];
        if (g.size() == 8 || g.size() == 6) {
            const int yearLen = g.size() == 8 ? 4 : 2;
            int pos = 0;
            for (const QChar f : order) {
                const int len = f == u'y' ? yearLen : 2;
                put(f, g.mid(pos, len));
                pos += len;
            }
        } else if (g.size() == 4) {
            put(orderMd[0], g.left(2));
            put(orderMd[1], g.mid(2, 2));
        } else {
            return std::nullopt;
        }
    } else if (groups.size() == 2) {
        for (const QString& g : groups)
            if (g.size() > 2)
                return std::nullopt;
        put(orderMd[0], groups[0]);
        put(orderMd[1], groups[1]);
    } else if (groups.size() == 3) {
        for (int i = 0; i < 3; ++i) {
            const QChar f = order[i];
            const int len = int(groups[i].size());
            if (f == u'y' ? (len != 4 && len > 2) : len > 2)
                return std::nullopt;
            put(f, groups[i]);
        }
    } else {
        return std::nullopt;
    }
    if (y < 0)
        y = nearestYear(m, d, today);
    else if (shortYear)
        y = twoDigitYear(y, today);
    const QDate date(y, m, d);
    if (!inDateRange(date))
        return std::nullopt;
    return date;
}

} // namespace controls
