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
                                        .arg(hitColumns(), src.sql, orderBy(c, store::isServer(main))),
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
