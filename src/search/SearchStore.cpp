#include "search/SearchStore.h"

#include "search/SearchQuery.h"
#include "store/Db.h"
#include "store/Dates.h"
#include "store/Server.h"
#include "store/TextFold.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <limits>

namespace search {

bool Criteria::isEmpty() const
{
    return from.isNull() && to.isNull() && name.isEmpty() && keywordsOf(*this).isEmpty();
}

QString fold(const QString& text)
{
    return store::foldText(text);
}

QStringList keywordsOf(const Criteria& c)
{
    QStringList out;
    if (c.keywords.isEmpty())
        return out;
    // NFKC turns the ideographic blank into a plain one, so one split serves both. Made once:
    // compiling it took as long as a screen of lines by name.
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = fold(c.keywords).split(blanks, Qt::SkipEmptyParts);
    for (const QString& w : words)
        if (!out.contains(w))
            out << w;
    return out;
}

store::Error findLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                       QList<Hit>* out)
{
    if (limit <= 0)
        return {};
    bool walked = false;
    if (store::Error e = firstScreen(main, c, after, limit, out, &walked); e.failed() || walked)
        return e;
    LineSource src;
    if (store::Error e = linesOf(main, c, after, Want::First, &src); e.failed())
        return e;
    QList<Hit> found;
    const store::Error e = readRows(main,
                                    QStringLiteral("SELECT %1 %2 ORDER BY %3 LIMIT ?")
                                        .arg(hitColumns(), src.sql, orderKey(store::isServer(main))),
                                    src.values + QVariantList{limit},
                                    [&found](const store::Statement& s) { found << hitOf(s); });
    if (e.ok())
        *out += found;
    return e;
}

store::Error countLines(const QSqlDatabase& main, const Criteria& c, Totals* out)
{
    bool done = false;
    if (store::Error e = countFromIndex(main, c, out, &done); e.failed() || done)
        return e;
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed())
        return e;
    Totals t;
    const store::Error e = readRows(
        main,
        QStringLiteral(
            "SELECT count(*), coalesce(sum(k), 0) FROM (SELECT count(*) AS k %1 GROUP BY l.作成日, l.氏名) g")
            .arg(src.sql),
        src.values, [&t](const store::Statement& s) {
            t.reports = s.integer(0);
            t.lines = s.integer(1);
        });
    if (e.ok())
        *out = t;
    return e;
}

store::Error countByPlace(const QSqlDatabase& main, const Criteria& c, QList<PlaceCount>* out)
{
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed())
        return e;
    // One row per place and name, in that order.
    QList<PlaceCount> list;
    const store::Error e = readRows(
        main,
        QStringLiteral("SELECT l.訪問先, l.氏名, count(*), max(l.日付) %1 AND l.訪問先 <> '' "
                       "GROUP BY l.訪問先, l.氏名 ORDER BY l.訪問先, l.氏名")
            .arg(src.sql.contains(QStringLiteral(" WHERE ")) ? src.sql
                                                             : src.sql + QStringLiteral(" WHERE 1 = 1")),
        src.values, [&list](const store::Statement& s) {
            const QString place = s.text(0);
            if (list.isEmpty() || list.last().訪問先 != place)
                list << PlaceCount{place, 0, {}, {}};
            PlaceCount& p = list.last();
            p.visits += s.integer(2);
            p.last = std::max(p.last, dateOf(s, 3));
            p.names << s.text(1);
        });
    if (e.failed())
        return e;
    std::stable_sort(list.begin(), list.end(),
                     [](const PlaceCount& a, const PlaceCount& b) { return a.visits > b.visits; });
    *out = list;
    return {};
}

store::Error countByName(const QSqlDatabase& main, const Criteria& c, Period p, QList<NameCount>* out)
{
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed())
        return e;
    // Keyed by name then start, so the map's order is the result's. The rows mostly come in
    // that order, so the last period's entry is tried first.
    struct Bucket {
        NameCount n;
        QSet<qint64> reports; // their 作成日 as day numbers
    };
    QMap<QPair<QString, QDate>, Bucket> counts;
    Bucket* last = nullptr;
    const store::Error e = readRows(
        main,
        QStringLiteral("SELECT l.氏名, l.日付, l.作成日, count(*) %1 GROUP BY l.氏名, l.日付, l.作成日")
            .arg(src.sql),
        src.values, [&](const store::Statement& s) {
            const QDate d = dateOf(s, 1);
            if (!d.isValid())
                return;
            const QString name = s.text(0);
            const QDate start = periodStart(d, p);
            if (!last || last->n.start != start || last->n.氏名 != name) {
                last = &counts[{name, start}];
                last->n.氏名 = name;
                last->n.start = start;
            }
            last->n.visits += s.integer(3);
            const QDate made = dateOf(s, 2);
            last->reports.insert(made.isValid() ? made.toJulianDay() : std::numeric_limits<qint64>::min());
        });
    if (e.failed())
        return e;
    QList<NameCount> list;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        NameCount n = it.value().n;
        n.reports = it.value().reports.size();
        list << n;
    }
    *out = list;
    return {};
}

store::Error findReports(const QSqlDatabase& main, const Criteria& c, QList<ReportKey>* out)
{
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed())
        return e;
    QList<ReportKey> list;
    const store::Error e = readRows(
        main,
        QStringLiteral("SELECT l.作成日, l.氏名 %1 GROUP BY l.作成日, l.氏名 ORDER BY l.作成日, l.氏名")
            .arg(src.sql),
        src.values, [&list](const store::Statement& s) {
            list << ReportKey{dateOf(s, 0), s.text(1)};
        });
    if (e.ok())
        *out = list;
    return e;
}

} // namespace search
