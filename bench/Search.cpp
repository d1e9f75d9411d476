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
#include "store/Connection.h"
#include "store/LocalFile.h"
#include "store/Schema.h"
#include "store/TextIndex.h"
#include "store/WorkerConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

#include <cstdio>

namespace bench {
namespace {

// A main file of reports of lines of text, made without the index, which the first open adds
// (the migration an existing user's file goes through); returns that open's time.
double makeTextFile(const QString& path, int reports, int lines)
{
    check("main file", store::createInitialFile(path, store::DbKind::Main));
    double t = nowMs();
    {
        Raw main(path, true);
        main.exec("PRAGMA journal_mode = DELETE");
        main.exec("PRAGMA synchronous = OFF");
        main.exec("PRAGMA cache_size = -262144");
        // An existing user's file: the lines there before the index was.
        main.exec("BEGIN");
        for (const QString& sql : store::textIndexDropStatements())
            main.exec(sql.toUtf8().constData());
        main.exec("COMMIT");
        insertSearchReports(main, reports, lines);
        main.exec("VACUUM");
        main.exec("PRAGMA journal_mode = WAL");
    }
    std::fprintf(stderr, "made %d reports of %d lines with text in %.0f s\n", reports, lines,
                 (nowMs() - t) / 1e3);
    t = nowMs();
    const QString conn = QStringLiteral("bench-migrate");
    check("open to migrate", store::openDatabase(conn, path, store::DbKind::Main));
    check("make the index", store::rebuildTextIndex(QSqlDatabase::database(conn, false)));
    const double migrationMs = nowMs() - t;
    if (!store::hasTextIndex(QSqlDatabase::database(conn, false)))
        die("the index was not added when the file was opened");
    store::closeDatabase(conn);
    std::fprintf(stderr, "the first open added the search index in %.1f s\n", migrationMs / 1e3);
    return migrationMs;
}

constexpr int kScreen = 40;

} // namespace

QString keptTextFile(const QString& folderName, int reports, int lines, double* migrationMs)
{
    const QString folder = QDir::tempPath() + u'/' + folderName;
    const QString path = folder + QStringLiteral("/Tesvan.mdb"),
                  stampPath = folder + QStringLiteral("/stamp");
    const std::string stamp = "v1|" + std::to_string(reports) + "x" + std::to_string(lines) + "|" +
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
    *migrationMs = makeTextFile(path, reports, lines);
    QFile out(stampPath);
    const std::string body = stamp + "\n" + std::to_string(*migrationMs);
    if (!out.open(QIODevice::WriteOnly) || out.write(body.data(), qint64(body.size())) < 0)
        die("stamp");
    return path;
}

namespace {

// The main file of the search rows, made when missing or when the schema changed.
QString searchFile(double* migrationMs)
{
    return keptTextFile(QStringLiteral("tesvan-bench-search"), kSearchReports, kLines, migrationMs);
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

// The floors of an independent design, made once beside the search file: the lines written out
// as CSV (what a user without the program would grep), and a plain FTS5 trigram index over the
// same folded text in a file of its own.
struct Independent {
    std::string csv;
    std::string trigram;
};

std::string csvField(const Text& t)
{
    if (!t)
        return {};
    std::string out = "\"";
    for (const char ch : *t) {
        if (ch == '"')
            out += '"';
        out += ch;
    }
    return out + '"';
}

Independent independentFloors(Raw& raw, const QString& folder)
{
    Independent f{(folder + QStringLiteral("/lines.csv")).toStdString(),
                  (folder + QStringLiteral("/trigram.db")).toStdString()};
    if (!QFileInfo::exists(QString::fromStdString(f.csv))) {
        const std::string part = f.csv + ".part";
        FILE* out = std::fopen(part.c_str(), "w");
        if (!out)
            die("csv " + part);
        sqlite3_stmt* s =
            raw.st("SELECT 作成日, 氏名, 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM 営業日報");
        while (raw.row(s)) {
            std::string line;
            for (int i = 0; i < 9; ++i)
                line += (i ? "," : "") + csvField(column(s, i));
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), out);
        }
        if (std::fclose(out) != 0 || std::rename(part.c_str(), f.csv.c_str()) != 0)
            die("csv " + f.csv);
    }
    if (!QFileInfo::exists(QString::fromStdString(f.trigram))) {
        const double t = nowMs();
        const std::string part = f.trigram + ".part";
        std::remove(part.c_str());
        sqlite3* made = nullptr; // an empty file, which the search file's connection takes in
        if (sqlite3_open_v2(part.c_str(), &made, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
                SQLITE_OK ||
            sqlite3_exec(made, "PRAGMA user_version = 1", nullptr, nullptr, nullptr) != SQLITE_OK)
            die("trigram " + part);
        sqlite3_close(made);
        raw.exec(("ATTACH '" + part + "' AS tg").c_str());
        raw.exec("CREATE VIRTUAL TABLE tg.t USING fts5(文, tokenize='trigram')");
        raw.exec("INSERT INTO tg.t (rowid, 文) SELECT 番号, 文 FROM 営業日報検索元");
        raw.exec("DETACH tg");
        if (std::rename(part.c_str(), f.trigram.c_str()) != 0)
            die("trigram " + f.trigram);
        std::fprintf(stderr, "made the trigram floor in %.1f s\n", (nowMs() - t) / 1e3);
    }
    return f;
}

// grep -c -F word file, as a user would run it: the process started, the file read, the count
// written.
void grepCount(const std::string& word, const std::string& file)
{
    std::string a0 = "grep", a1 = "-c", a2 = "-F", a3 = "--", a4 = word, a5 = file;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), nullptr};
    if (const Ran r = runReading("grep", argv, environ); !WIFEXITED(r.status) || r.out.empty())
        die("grep " + word);
}

// The count from the trigram index of a folded word of three or more characters.
std::function<void()> trigramCount(Raw& tg, const QString& folded)
{
    const std::string phrase = ('"' + folded + '"').toStdString();
    return [&tg, phrase] {
        sqlite3_stmt* s = tg.st("SELECT count(*), count(DISTINCT rowid >> 20) FROM t WHERE t MATCH ?");
        bindText(s, 1, phrase);
        drain(tg, s);
    };
}

// The counts of every keyword, as the window asks for them after each change of the keyword,
// against grep over the same lines as CSV and (3 characters or more) a plain trigram index.
void countRows(const QSqlDatabase& main, Raw& raw, const QString& folder)
{
    const Independent floors = independentFloors(raw, folder);
    Raw tg(QString::fromStdString(floors.trigram), false);
    for (const SearchAsk& a : searchAsks(false)) {
        const QStringList words = search::keywordsOf(a.c);
        if (words.isEmpty())
            continue;
        const std::string state =
            "1,000,000 lines" +
            std::string(a.c.name.isEmpty() && !a.c.from.isValid() ? "" : "; grep counts the keyword alone");
        // As the window counts: on a job's own connection, made for the count.
        const auto ours = [&main, c = a.c] {
            store::WorkerConnection job(store::recipeOf(main));
            search::Totals t;
            check("count", search::countLines(job.db(), c, &t));
        };
        const std::string word = a.c.keywords.toStdString();
        compare({"count: " + a.what + ", against grep -c",
                 state,
                 {ours},
                 {[&floors, word] { grepCount(word, floors.csv); }},
                 {},
                 0,
                 0.5});
        // The statement over the lines that counted before the index's kept text did: every
        // candidate's line read and its texts folded again.
        search::LineSource src;
        check("plan", search::linesOf(main, a.c, nullptr, search::Want::All, &src));
        const std::string lines = QStringLiteral("SELECT count(*), count(DISTINCT l.作成日 || l.氏名) %1")
                                      .arg(src.sql)
                                      .toStdString();
        compare({"count: " + a.what + ", against the lines' statement",
                 "1,000,000 lines",
                 {ours},
                 {[&raw, lines, values = src.values] {
                     sqlite3_stmt* s = raw.st(lines.c_str());
                     int i = 1;
                     for (const QVariant& v : values)
                         bindText(s, i++, v.toString().toStdString());
                     drain(raw, s);
                 }},
                 {},
                 4,
                 1.0});
        if (words.size() == 1 && words[0].toUcs4().size() >= 3 && a.c.name.isEmpty() && !a.c.from.isValid())
            compare({"count: " + a.what + ", against FTS5 trigram",
                     state,
                     {ours},
                     {trigramCount(tg, words[0])},
                     {},
                     0,
                     1.0});
    }
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
                                    .arg(search::hitColumns(), src.sql, search::orderBy(a.c, false))
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
                 "1,000,000 lines, plan " + search::planName(src.plan).toStdString(),
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
    countRows(main, raw, QFileInfo(path).absolutePath());
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
