// The search at 1,000,000 lines: 50,000 reports of 20 lines whose 訪問先, 担当, 内容 and 備考
// hold the kind of Japanese text sales people write. Ours is the search store's call through
// the program's connection; the floor is the same statement (the same plan, the same index) run
// directly through SQLite's C API, without the choosing of the plan. The file is made once and
// kept under the temporary folder (made without the index, which the first open adds: that is
// the migration an existing user's file goes through, timed when the file is made).
#include "Ops.h"
#include "SearchData.h"
#include "search/SearchQuery.h"
#include "search/SearchStore.h"
#include "store/LocalFile.h"
#include "store/Schema.h"
#include "store/TextIndex.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>

namespace bench {
namespace {

constexpr int kScreen = 40;

// The main file of the search rows, made when missing or when the schema changed.
QString searchFile(double* migrationMs)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/tesvan-bench-search");
    const QString path = folder + QStringLiteral("/Tesvan.mdb"),
                  stampPath = folder + QStringLiteral("/stamp");
    const std::string stamp = "v1|" + std::to_string(kSearchReports) + "x" + std::to_string(kLines) + "|" +
                              store::textIndexStatements().join(u';').toStdString();
    QFile f(stampPath);
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = f.readAll().split('\n');
        if (parts.size() == 2 && parts[0].toStdString() == stamp) {
            *migrationMs = parts[1].toDouble();
            return path;
        }
    }
    f.close();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    check("main file", store::createInitialFile(path, store::DbKind::Main));
    double t = nowMs();
    {
        Raw main(path, true);
        main.exec("PRAGMA journal_mode = DELETE");
        main.exec("PRAGMA synchronous = OFF");
        main.exec("PRAGMA cache_size = -262144");
        // An existing user's file: the lines there before the index was.
        main.exec("BEGIN");
        for (const QString& sql :
             {QStringLiteral("DROP TRIGGER 営業日報検索_追加"),
              QStringLiteral("DROP TRIGGER 営業日報検索_削除"),
              QStringLiteral("DROP TRIGGER 営業日報検索_変更前"),
              QStringLiteral("DROP TRIGGER 営業日報検索_変更後"), QStringLiteral("DROP TABLE 営業日報検索"),
              QStringLiteral("DROP TABLE 営業日報検索氏名"), QStringLiteral("DROP INDEX 営業日報_日時"),
              QStringLiteral("DROP INDEX 営業日報_氏名日時")})
            main.exec(sql.toUtf8().constData());
        main.exec("COMMIT");
        insertSearchReports(main);
        main.exec("VACUUM");
        main.exec("PRAGMA journal_mode = WAL");
    }
    std::fprintf(stderr, "made %d reports of %d lines with text in %.0f s\n", kSearchReports, kLines,
                 (nowMs() - t) / 1e3);
    t = nowMs();
    const QString conn = QStringLiteral("bench-migrate");
    check("open to migrate", store::openDatabase(conn, path, store::DbKind::Main));
    *migrationMs = nowMs() - t;
    if (!store::hasTextIndex(QSqlDatabase::database(conn, false)))
        die("the index was not added when the file was opened");
    store::closeDatabase(conn);
    std::fprintf(stderr, "the first open added the search index in %.1f s\n", *migrationMs / 1e3);
    QFile out(stampPath);
    const std::string body = stamp + "\n" + std::to_string(*migrationMs);
    if (!out.open(QIODevice::WriteOnly) || out.write(body.data(), qint64(body.size())) < 0)
        die("stamp");
    return path;
}

// Reads every row of the prepared statement s, the floor's way of taking a result.
int drain(Raw& db, sqlite3_stmt* s)
{
    int n = 0;
    while (db.row(s)) {
        for (int i = 0; i < sqlite3_column_count(s); ++i)
            (void)column(s, i);
        ++n;
    }
    return n;
}

// The count of a keyword's lines and reports as the index alone gives it.
std::function<void()> indexCount(Raw& raw, const search::Criteria& c)
{
    const std::string match = store::textIndexQuery(search::keywordsOf(c)).toStdString();
    return [&raw, match] {
        sqlite3_stmt* s = raw.st(
            "SELECT count(*), count(DISTINCT rowid >> 20) FROM 営業日報検索 WHERE 営業日報検索 MATCH ?");
        bindText(s, 1, match);
        drain(raw, s);
    };
}

// Under callgrind (BENCH_CALLGRIND), each row's counts go to a file of their own, named by the
// row in its "Trigger" line, so that one run profiles every row.
void dumpRow(const std::string& what)
{
#ifdef CALLGRIND_DUMP_STATS_AT
    if (!g_collect.empty() && !skipped(what))
        CALLGRIND_DUMP_STATS_AT(what.c_str());
#else
    (void)what;
#endif
}

} // namespace

void searchOps()
{
    g_calm = {}; // no window here
    double migrationMs = 0;
    const QString path = searchFile(&migrationMs);
    const QString conn = QStringLiteral("bench-search");
    check("open", store::openDatabase(conn, path, store::DbKind::Main));
    const QSqlDatabase main = QSqlDatabase::database(conn, false);
    Raw raw(path, true);
    {
        sqlite3_stmt* s =
            raw.st("SELECT sum(pgsize) FROM dbstat WHERE name IN ('営業日報検索_data', "
                   "'営業日報検索_idx', '営業日報検索氏名') OR name LIKE 'sqlite_autoindex_営業日報検索%'");
        raw.row(s);
        const double text = sqlite3_column_double(s, 0) / 1048576.0;
        sqlite3_reset(s);
        s = raw.st("SELECT sum(pgsize) FROM dbstat WHERE name IN ('営業日報_日時', '営業日報_氏名日時')");
        raw.row(s);
        const double orders = sqlite3_column_double(s, 0) / 1048576.0;
        sqlite3_reset(s);
        s = raw.st("SELECT sum(pgsize) FROM dbstat WHERE name = '営業日報'");
        raw.row(s);
        const double lines = sqlite3_column_double(s, 0) / 1048576.0;
        sqlite3_reset(s);
        std::fprintf(stderr,
                     "search file: lines %.0f MB, text index %.0f MB, the two line orders %.0f MB; "
                     "migration %.1f s\n",
                     lines, text, orders, migrationMs / 1e3);
    }
    const std::vector<SearchAsk> asks = searchAsks(false);
    for (const SearchAsk& a : asks) {
        // The floor runs the statement the store chose, without choosing it.
        search::LineSource src;
        check("plan", search::linesOf(main, a.c, nullptr, search::Want::First, &src));
        const std::string sql = QStringLiteral("SELECT %1 %2 ORDER BY %3 LIMIT %4")
                                    .arg(search::hitColumns(), src.sql, search::orderKey(false))
                                    .arg(kScreen)
                                    .toStdString();
        const auto bindAll = [&](sqlite3_stmt* s) {
            int i = 1;
            for (const QVariant& v : src.values) {
                if (v.typeId() == QMetaType::Int)
                    sqlite3_bind_int(s, i++, v.toInt());
                else
                    bindText(s, i++, v.toString().toStdString());
            }
        };
        int got = -1;
        const std::string what = "search, first " + std::to_string(kScreen) + " lines: " + a.what;
        compare({what,
                 "1,000,000 lines, plan " + src.plan.toStdString(),
                 {[&] {
                     QList<search::Hit> hits;
                     check("find", search::findLines(main, a.c, nullptr, kScreen, &hits));
                     got = int(hits.size());
                 }},
                 {[&] {
                     sqlite3_stmt* s = raw.st(sql.c_str());
                     bindAll(s);
                     drain(raw, s);
                 }},
                 {},
                 0,
                 1.5});
        dumpRow(what);
        if (got == 0) // a row that ran and found nothing measures nothing
            std::fprintf(stderr, "    (found nothing)\n");
    }
    // The counts, over a keyword's lines and over a month (fewer runs: each reads many lines;
    // under callgrind as many as asked).
    const int countRuns = g_collect.empty() ? 6 : 0;
    for (const SearchAsk& a : searchAsks(true)) {
        search::LineSource src;
        check("plan", search::linesOf(main, a.c, nullptr, search::Want::All, &src));
        const auto bindAll = [&](sqlite3_stmt* s) {
            int i = 1;
            for (const QVariant& v : src.values)
                bindText(s, i++, v.toString().toStdString());
        };
        const auto floorOf = [&](const QString& select, const QString& tail) {
            const std::string sql = (select + u' ' + src.sql + u' ' + tail).toStdString();
            return [&raw, &bindAll, sql] {
                sqlite3_stmt* s = raw.st(sql.c_str());
                bindAll(s);
                drain(raw, s);
            };
        };
        compare({"countLines: " + a.what,
                 "1,000,000 lines",
                 {[&] {
                     search::Totals t;
                     check("count", search::countLines(main, a.c, &t));
                 }},
                 {a.c.from.isValid()
                      ? floorOf(QStringLiteral("SELECT count(*), count(DISTINCT l.作成日 || l.氏名)"), {})
                      : indexCount(raw, a.c)},
                 {},
                 countRuns,
                 1.5});
        dumpRow("countLines: " + a.what);
        compare({"countByPlace: " + a.what,
                 "1,000,000 lines",
                 {[&] {
                     QList<search::PlaceCount> p;
                     check("count", search::countByPlace(main, a.c, &p));
                 }},
                 {floorOf(QStringLiteral("SELECT l.訪問先, l.氏名, count(*), max(l.日付)"),
                          QStringLiteral("AND l.訪問先 <> '' GROUP BY l.訪問先, l.氏名"))},
                 {},
                 countRuns,
                 1.5});
        dumpRow("countByPlace: " + a.what);
        compare({"countByName (month): " + a.what,
                 "1,000,000 lines",
                 {[&] {
                     QList<search::NameCount> n;
                     check("count", search::countByName(main, a.c, search::Period::Month, &n));
                 }},
                 {floorOf(QStringLiteral(
                              "SELECT l.氏名, substr(l.日付, 1, 7), count(*), count(DISTINCT l.作成日)"),
                          QStringLiteral("GROUP BY l.氏名, substr(l.日付, 1, 7)"))},
                 {},
                 countRuns,
                 1.5});
        dumpRow("countByName (month): " + a.what);
    }
    store::closeDatabase(conn);
}

} // namespace bench
