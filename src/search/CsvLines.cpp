// The result lines of a search as a CSV file.
#include "search/Csv.h"
#include "search/CsvFile.h"
#include "search/SearchQuery.h"
#include "store/Server.h"

#include "store/Dates.h"

namespace search {
namespace {

// A stored date as yyyy/mm/dd. The stored form is ISO text, turned round directly: parsing
// every date into a QDate costs more than the rest of a line.
QString csvDateOf(const QVariant& v)
{
    const QString t = v.toString();
    const auto digit = [&t](qsizetype i) { return t.at(i) >= u'0' && t.at(i) <= u'9'; };
    if (t.size() == 10 && t.at(4) == u'-' && t.at(7) == u'-' && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9))
        return QString(t).replace(u'-', u'/');
    return csvDate(store::toDate(v));
}

} // namespace

CsvFailure writeLinesCsv(const QSqlDatabase& main, const Criteria& c, const QString& path, CsvEncoding enc)
{
    CsvFile file(path, enc);
    if (!file.open() || !file.add({QStringLiteral("日付"), QStringLiteral("時間"), QStringLiteral("氏名"),
                                   QStringLiteral("訪問先"), QStringLiteral("担当"), QStringLiteral("内容"),
                                   QStringLiteral("備考")}))
        return file.commit();
    // One statement in the result's order rather than screen after screen: a restart per page
    // costs more than the whole read, and one read sees one state of the file, so a report
    // registered meanwhile cannot land a line twice or drop one at a page's edge.
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed()) {
        file.fail(e);
        return file.commit();
    }
    // Dates and times are written as they are, never guarded.
    const QList<int> plain{0, 1};
    bool writing = true;
    const store::Error e =
        readRows(main,
                 QStringLiteral("SELECT %1 %2 ORDER BY %3")
                     .arg(hitColumns(), src.sql, orderBy(c, store::isServer(main))),
                 src.values, [&](const store::Statement& s) {
                     if (!writing)
                         return;
                     // The columns of hitColumns(), 日付 on.
                     writing = file.add({csvDateOf(s.value(3)), csvTime(s.value(4).toString()),
                                         s.value(1).toString(), s.value(5).toString(), s.value(6).toString(),
                                         s.value(7).toString(), s.value(8).toString()},
                                        plain);
                 });
    if (e.failed())
        file.fail(e);
    return file.commit();
}

} // namespace search
