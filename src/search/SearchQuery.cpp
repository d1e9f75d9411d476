#include "search/SearchQuery.h"

#include "store/Dates.h"
#include "store/Db.h"
#include "store/Server.h"

namespace search {
namespace {

const QString kColumns = QStringLiteral("作成日, 氏名, 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考");

Hit hitOf(const store::Statement& s, int first = 0)
{
    Hit h;
    h.作成日 = store::toDate(s.value(first));
    h.氏名 = s.value(first + 1).toString();
    h.行番号 = s.value(first + 2).toInt();
    h.日付 = store::toDate(s.value(first + 3));
    h.時間 = s.value(first + 4).toString();
    h.訪問先 = s.value(first + 5).toString();
    h.担当 = s.value(first + 6).toString();
    h.内容 = s.value(first + 7).toString();
    h.備考 = s.value(first + 8).toString();
    return h;
}

// The result order, lines without a date or time first. Text compares by code point on both
// engines (the server's text columns are in the "C" collation).
QString orderKey(bool server)
{
    return server
               ? QStringLiteral("coalesce(日付, '-infinity'::date), coalesce(時間, ''), 氏名, 作成日, 行番号")
               : QStringLiteral("coalesce(日付, ''), coalesce(時間, ''), 氏名, 作成日, 行番号");
}

// The first part of the order key of a line's date.
QVariant dateKey(const QDate& d, bool server)
{
    if (d.isValid())
        return d.toString(Qt::ISODate);
    return server ? QStringLiteral("-infinity") : QStringLiteral("");
}

// The conditions of the period, the name and the paging, with their values in order.
struct Where {
    QStringList parts;
    QVariantList values;
    QString sql() const
    {
        return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    }
};

Where whereOf(const Criteria& c, const Hit* after, bool server)
{
    Where w;
    if (c.from.isValid()) {
        w.parts << QStringLiteral("日付 >= ?");
        w.values << store::dateValue(c.from);
    }
    if (c.to.isValid()) {
        w.parts << QStringLiteral("日付 <= ?");
        w.values << store::dateValue(c.to);
    }
    if (!c.name.isEmpty()) {
        w.parts << QStringLiteral("氏名 = ?");
        w.values << c.name;
    }
    if (after) {
        w.parts << QStringLiteral("(%1) > (?, ?, ?, ?, ?)").arg(orderKey(server));
        w.values << dateKey(after->日付, server) << (after->時間.isNull() ? QStringLiteral("") : after->時間)
                 << after->氏名 << store::dateValue(after->作成日) << after->行番号;
    }
    return w;
}

} // namespace

bool holdsAll(const Hit& h, const QStringList& words)
{
    if (words.isEmpty())
        return true;
    const QString fields[] = {fold(h.内容), fold(h.訪問先), fold(h.担当), fold(h.備考)};
    for (const QString& w : words) {
        bool found = false;
        for (const QString& f : fields)
            if (f.contains(w)) {
                found = true;
                break;
            }
        if (!found)
            return false;
    }
    return true;
}

store::Error walkLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int want,
                       const std::function<bool(const Hit&)>& row)
{
    Q_UNUSED(want);
    const bool server = store::isServer(main);
    const QStringList words = keywordsOf(c);
    const Where w = whereOf(c, after, server);
    store::Statement s(
        main,
        QStringLiteral("SELECT %1 FROM 営業日報%2 ORDER BY %3").arg(kColumns, w.sql(), orderKey(server)));
    for (const QVariant& v : w.values)
        s.bind(v);
    return store::forEachRow(s, [&](store::Statement& st) {
        const Hit h = hitOf(st);
        return holdsAll(h, words) ? row(h) : true;
    });
}

} // namespace search
