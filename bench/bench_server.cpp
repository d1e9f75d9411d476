// Timings of the main database on a PostgreSQL server reached over its Unix socket: 登録 and
// 読込 of a 100-line report and the list's 読込 of 100,000 headers, each as a ratio to the same
// work done through the C APIs directly (the floor): the statements through libpq in one
// transaction and, where the operation reads or fills the local work table, its rows through
// SQLite. Ours and the floor run in turn, A B B A, so that a busy machine slows both alike.
// The server is a throwaway cluster of the benchmark's own; fsync is off there, for ours and
// the floor alike.
#include "ServerCluster.h"
#include "BenchServer.h"
#include "SearchServer.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"
#include "store/Team.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

constexpr int kRuns = 101;
constexpr int kHeaders = 100000;
const QDate kDay(2026, 12, 8);
const QString kName = QStringLiteral("佐藤");

double middle(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

double median(const std::function<bool()>& work, int runs = kRuns)
{
    return medianOf(work, runs);
}

struct Pair {
    double ours = -1, floor = -1, ratio = -1;
};

// Ours and the floor in turn, A B B A A B …, after one warm-up run of each: the medians of both
// sides and the median of the ratios pair by pair.
Pair inTurn(const std::function<bool()>& ours, const std::function<bool()>& floor, int runs = kRuns)
{
    if (!ours() || !floor())
        return {};
    std::vector<double> a, b, r;
    for (int i = 0; i < runs; ++i) {
        double t[2] = {};
        const bool oursFirst = i % 4 == 0 || i % 4 == 3;
        for (int k = 0; k < 2; ++k) {
            const int side = (k == 0) == oursFirst ? 0 : 1;
            QElapsedTimer timer;
            timer.start();
            if (!(side == 0 ? ours() : floor()))
                return {};
            t[side] = double(timer.nsecsElapsed()) / 1e6;
        }
        a.push_back(t[0]);
        b.push_back(t[1]);
        r.push_back(t[0] / t[1]);
    }
    return {middle(a), middle(b), middle(r)};
}

bool ok(PGresult* r)
{
    const ExecStatusType s = PQresultStatus(r);
    const bool good = s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    if (!good)
        std::fprintf(stderr, "libpq: %s\n", PQresultErrorMessage(r));
    PQclear(r);
    return good;
}

using Text = std::optional<std::string>;

Text textAt(sqlite3_stmt* q, int i)
{
    if (sqlite3_column_type(q, i) == SQLITE_NULL)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(q, i)),
                       size_t(sqlite3_column_bytes(q, i)));
}

// A text[] literal of values, for = ANY($n).
std::string arrayOf(const std::set<std::string>& values)
{
    std::string out = "{";
    for (const std::string& v : values) {
        if (out.size() > 1)
            out += ',';
        out += '"';
        for (const char ch : v) {
            if (ch == '"' || ch == '\\')
                out += '\\';
            out += ch;
        }
        out += '"';
    }
    return out + '}';
}

// The registration's work through the two C APIs, the way a hand-written program against a
// server would do it: the lines read from the work table through SQLite (one without 内容 left
// out, one without 日付 taking the line above's), then in one transaction through libpq, every
// statement prepared once: the report's and both categories' locks in one statement, the header
// written over, the lines deleted and inserted in one statement, and one query for
// which of the report's 訪問先 and 備考 the code master knows (all of them here, so nothing is
// learnt).
bool floorRegister(PGconn* c, sqlite3* w, const std::array<QByteArray, 3>& keys, int* version)
{
    constexpr int kFields = 7, kPlace = 4, kText = 5, kNote = 6;
    std::vector<std::array<Text, kFields>> lines;
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(
            w, "SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM w営業日報 ORDER BY 行番号", -1, &q,
            nullptr) != SQLITE_OK)
        return false;
    Text lastDate;
    while (sqlite3_step(q) == SQLITE_ROW) {
        std::array<Text, kFields> l;
        for (int f = 0; f < kFields; ++f)
            l[size_t(f)] = textAt(q, f);
        if (!l[kText])
            continue;
        if (!l[1])
            l[1] = lastDate;
        else
            lastDate = l[1];
        lines.push_back(std::move(l));
    }
    sqlite3_finalize(q);
    if (lines.size() != 100)
        return false;

    const QByteArray day = kDay.toString(Qt::ISODate).toUtf8(), name = kName.toUtf8();
    const char* key[] = {day.constData(), name.constData()};
    if (!ok(PQexec(c, "BEGIN")))
        return false;
    const char* locks[] = {keys[0].constData(), keys[1].constData(), keys[2].constData()};
    if (!ok(PQexecPrepared(c, "locks", 3, locks, nullptr, nullptr, 0)))
        return false;
    // The version read last must still be the stored one, as the window checks it.
    const auto stored = [&]() -> int {
        PGresult* r = PQexecPrepared(c, "version", 2, key, nullptr, nullptr, 0);
        const int v =
            PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1 ? std::atoi(PQgetvalue(r, 0, 0)) : -1;
        PQclear(r);
        return v;
    };
    if (stored() != *version)
        return false;
    const char* head[] = {day.constData(), name.constData(), "営業部", "週報"};
    if (!ok(PQexecPrepared(c, "head+", 4, head, nullptr, nullptr, 0)) ||
        !ok(PQexecPrepared(c, "lines-", 2, key, nullptr, nullptr, 0)))
        return false;
    std::vector<std::string> numbers;
    std::vector<const char*> v;
    for (size_t i = 0; i < lines.size(); ++i)
        numbers.push_back(std::to_string(i + 1));
    for (size_t i = 0; i < lines.size(); ++i) {
        v.insert(v.end(), {day.constData(), name.constData(), numbers[i].c_str()});
        for (const Text& t : lines[i])
            v.push_back(t ? t->c_str() : nullptr);
    }
    if (!ok(PQexecPrepared(c, "lines+", int(v.size()), v.data(), nullptr, nullptr, 0)))
        return false;
    std::set<std::string> places, notes;
    for (const auto& l : lines) {
        if (l[kPlace] && !l[kPlace]->empty())
            places.insert(*l[kPlace]);
        if (l[kNote] && !l[kNote]->empty())
            notes.insert(*l[kNote]);
    }
    const std::string placeArray = arrayOf(places), noteArray = arrayOf(notes);
    const char* names[] = {placeArray.c_str(), noteArray.c_str()};
    PGresult* known = PQexecPrepared(c, "known", 2, names, nullptr, nullptr, 0);
    const size_t knownCount = size_t(PQntuples(known));
    if (!ok(known) || knownCount != places.size() + notes.size())
        return false;
    *version = stored();
    return ok(PQexec(c, "COMMIT"));
}

// The floor's statements, prepared once for the session.
bool prepareFloor(PGconn* c)
{
    std::string lines =
        "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考) VALUES ";
    for (int row = 0, n = 0; row < 100; ++row) {
        lines += row ? ", (" : "(";
        for (int f = 0; f < 10; ++f)
            lines += (f ? ", $" : "$") + std::to_string(++n);
        lines += ')';
    }
    const std::pair<const char*, std::string> statements[] = {
        {"locks", "SELECT pg_advisory_xact_lock(hashtextextended($1, 0)), "
                  "pg_advisory_xact_lock(hashtextextended($2, 0)), "
                  "pg_advisory_xact_lock(hashtextextended($3, 0))"},
        {"version", "SELECT 版 FROM 営業日報ヘッダ WHERE 作成日 = $1 AND 氏名 = $2"},
        {"head+",
         "INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES ($1, $2, $3, $4) "
         "ON CONFLICT (作成日, 氏名) DO UPDATE SET 所属 = excluded.所属, タイトル = excluded.タイトル"},
        {"lines-", "DELETE FROM 営業日報 WHERE 作成日 = $1 AND 氏名 = $2"},
        {"lines+", lines},
        {"known",
         "SELECT kcode, sname FROM コードマスタ WHERE (kcode = '訪問先' AND sname = ANY($1::text[])) OR "
         "(kcode = '備考' AND sname = ANY($2::text[]))"}};
    for (const auto& [name, sql] : statements)
        if (!ok(PQprepare(c, name, sql.c_str(), 0, nullptr)))
            return false;
    return true;
}

// The read's work through the two C APIs: the header and the lines in line order through libpq
// in one transaction, every value taken out of the result, and the 100 grid rows of the work
// table written through SQLite, one prepared insert per row, in one transaction.
// Binds the first `fields` values of libpq's row (none past the result's end; Nulls left unbound)
// to ins from parameter `first` on, steps it and makes it ready for the next row.
bool insertRow(sqlite3_stmt* ins, PGresult* r, int row, int fields, int first)
{
    if (row < PQntuples(r))
        for (int f = 0; f < fields; ++f)
            if (!PQgetisnull(r, row, f))
                sqlite3_bind_text(ins, f + first, PQgetvalue(r, row, f), PQgetlength(r, row, f),
                                  SQLITE_TRANSIENT);
    const bool done = sqlite3_step(ins) == SQLITE_DONE;
    sqlite3_reset(ins);
    sqlite3_clear_bindings(ins);
    return done;
}

bool floorRead(PGconn* c, sqlite3* w)
{
    const QByteArray day = kDay.toString(Qt::ISODate).toUtf8(), name = kName.toUtf8();
    const char* key[] = {day.constData(), name.constData()};
    if (!ok(PQexec(c, "BEGIN")))
        return false;
    PGresult* lines = nullptr;
    for (const char* sql :
         {"SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ WHERE 作成日 = $1 AND 氏名 = $2",
          "SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM 営業日報 WHERE 作成日 = $1 AND "
          "氏名 = $2 ORDER BY 行番号 LIMIT 100"}) {
        PGresult* r = PQexecParams(c, sql, 2, nullptr, key, nullptr, nullptr, 0);
        size_t bytes = 0;
        for (int row = 0; row < PQntuples(r); ++row)
            for (int f = 0; f < PQnfields(r); ++f)
                bytes += QString::fromUtf8(PQgetvalue(r, row, f), PQgetlength(r, row, f)).size();
        if (PQresultStatus(r) != PGRES_TUPLES_OK || bytes == 0)
            return ok(r) && false;
        if (lines)
            PQclear(lines);
        lines = r;
    }
    if (!ok(PQexec(c, "COMMIT")))
        return false;
    bool good = sqlite3_exec(w, "BEGIN; DELETE FROM w営業日報", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* ins = nullptr;
    good = good &&
           sqlite3_prepare_v2(w,
                              "INSERT INTO w営業日報 (行番号, チェック, 表示日付, 日付, 時間, 担当, 訪問先, "
                              "内容, 備考) VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?)",
                              -1, &ins, nullptr) == SQLITE_OK;
    for (int row = 0; good && row < 100; ++row) {
        sqlite3_bind_int(ins, 1, row + 1);
        good = insertRow(ins, lines, row, 7, 2);
    }
    sqlite3_finalize(ins);
    PQclear(lines);
    return sqlite3_exec(w, good ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK && good;
}

bool floorList(PGconn* c)
{
    PGresult* r = PQexec(c, "SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ ORDER BY 作成日, 氏名");
    const bool all = PQntuples(r) >= kHeaders;
    return ok(r) && all;
}

// The list's whole work through the two C APIs: the headers selected through libpq and written
// into the local work table through SQLite, one prepared insert per row, in one transaction.
bool floorListCopy(PGconn* c, sqlite3* w)
{
    PGresult* r = PQexec(c, "SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ ORDER BY 作成日, 氏名");
    const int rows = PQntuples(r);
    if (PQresultStatus(r) != PGRES_TUPLES_OK || rows < kHeaders)
        return ok(r) && false;
    bool good = sqlite3_exec(w, "BEGIN; DELETE FROM w一覧", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* ins = nullptr;
    good =
        good && sqlite3_prepare_v2(w, "INSERT INTO w一覧 (作成日, 氏名, 所属, タイトル) VALUES (?, ?, ?, ?)",
                                   -1, &ins, nullptr) == SQLITE_OK;
    for (int row = 0; good && row < rows; ++row) {
        good = insertRow(ins, r, row, 4, 1);
    }
    sqlite3_finalize(ins);
    PQclear(r);
    return sqlite3_exec(w, good ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK && good;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::ServerCluster& server = testing::ServerCluster::shared();
    if (!server.running()) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server.failure()));
        return 1;
    }
    if (const QString why = server.freshMain(); !why.isEmpty()) {
        std::fprintf(stderr, "schema: %s\n", qPrintable(why));
        return 1;
    }
    // 100,000 headers over 2,000 days and 50 names, filled by the server itself.
    if (const QString why = server.admin(QStringLiteral("INSERT INTO 営業日報ヘッダ SELECT DATE '2000-01-01' "
                                                        "+ (i / 50), '社員' || (i % 50), '営業部', '日報' "
                                                        "FROM generate_series(0, %1) AS i; ANALYZE")
                                             .arg(kHeaders - 1),
                                         QStringLiteral("tesvan"));
        !why.isEmpty()) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(why));
        return 1;
    }
    // Both sides run as a member of the team, under the row-level security that binds members.
    const QString member = QStringLiteral("bench_member");
    if (const QString why = server.makeLogin(member); !why.isEmpty()) {
        std::fprintf(stderr, "login: %s\n", qPrintable(why));
        return 1;
    }
    {
        if (store::openServer(QStringLiteral("owner"), server.conninfo()).failed())
            return 1;
        const store::Error e =
            store::addMember(QSqlDatabase::database(QStringLiteral("owner"), false),
                             {member, kName, QStringLiteral("営業部"), store::TeamRole::Member, true});
        store::closeDatabase(QStringLiteral("owner"));
        if (e.failed()) {
            std::fprintf(stderr, "member: %s\n", qPrintable(e.reason()));
            return 1;
        }
    }
    const QString workPath = server.base() + QStringLiteral("/bench-work.mdb");
    if (store::Error e = store::createInitialFile(workPath, store::DbKind::Work); e.failed())
        return 1;
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--trips")))
        return roundTrips(
            server.socketDir(), server.conninfoAs(member),
            QStringLiteral("host=127.0.0.1 port=%1 dbname=tesvan sslmode=disable user=") + member, workPath);
    if (args.contains(QStringLiteral("--windows"))) {
        // Room for more sessions than the windows should need, so that a peak above the
        // target shows as a number, not as refused connections.
        if (!server.restartWith(400))
            return 1;
        return thousandWindows(server.conninfo(), server.base());
    }
    if (store::openServer(QStringLiteral("main"), server.conninfoAs(member)).failed() ||
        store::openDatabase(QStringLiteral("work"), workPath, store::DbKind::Work).failed())
        return 1;
    const QSqlDatabase main = QSqlDatabase::database(QStringLiteral("main"), false);
    const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("work"), false);

    // 100 lines on screen, their places and remarks already in the code master.
    if (report::resetLines(work).failed())
        return 1;
    {
        store::Statement up(
            work,
            QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '0930', 担当 = '担当者', "
                           "訪問先 = '本社', 内容 = ?, 備考 = '備考' WHERE 行番号 = ?"));
        for (int i = 1; i <= 100; ++i) {
            const QString text = QStringLiteral("第%1行：打合せと見積の説明、次回の訪問日を決めた。").arg(i);
            if (!up.bind(store::dateValue(kDay)).bind(store::dateValue(kDay)).bind(text).bind(i).exec())
                return 1;
        }
    }
    const report::Header h{kDay, kName, QStringLiteral("営業部"), QStringLiteral("週報")};
    store::Stamp stamp;
    if (report::registerReport(main, work, h).failed())
        return 1;
    if (store::readStamp(main, store::dateValue(kDay), kName, &stamp).failed())
        return 1;
    if (args.contains(QStringLiteral("--review")))
        return reviewRows(server, member);

    PGconn* c = PQconnectdb(server.conninfoAs(member).toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(c));
        return 1;
    }
    if (!prepareFloor(c))
        return 1;
    sqlite3* w = nullptr;
    if (sqlite3_open_v2(workPath.toUtf8().constData(), &w, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_exec(w, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    // The same keys the registration serialises on, in their sorted order.
    QStringList lockKeys = {store::reportKey(store::dateValue(kDay), kName),
                            store::categoryKey(store::k訪問先), store::categoryKey(store::k備考)};
    lockKeys.sort();
    const std::array<QByteArray, 3> keys = {lockKeys[0].toUtf8(), lockKeys[1].toUtf8(), lockKeys[2].toUtf8()};

    // As the window registers: over the version it read last, which the server then reports.
    const Pair reg = inTurn(
        [&] {
            report::Registered done;
            const bool good = report::registerReport(main, work, h, &done, &stamp).ok();
            stamp = done.stamp;
            return good;
        },
        // The floor checks and reads the version the same way; each side registers over the
        // version the other left.
        [&] { return floorRegister(c, w, keys, &stamp.version); });
    const Pair read = inTurn(
        [&] {
            const report::ReadResult r = report::readReport(main, work, kDay, kName);
            return r.error.ok() && r.lines == 100;
        },
        [&] { return floorRead(c, w); });
    // 読込 leaves the work table as it found it, so 登録 is timed first and either order holds.
    const double readMain = median([&] {
        QList<store::Row> rows;
        return store::readRows(
                   main,
                   QStringLiteral("SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM 営業日報 "
                                  "WHERE 作成日 = ? AND 氏名 = ? ORDER BY 行番号 LIMIT 100"),
                   {store::dateValue(kDay), kName}, rows)
                   .ok() &&
               rows.size() == 100;
    });
    const double resetWork = median([&] { return report::resetLines(work).ok(); });
    const Pair list = inTurn(
        [&] {
            const list::ReadResult r = list::readList(main, work, QString());
            return r.error.ok() && r.rows >= kHeaders;
        },
        [&] { return floorListCopy(c, w); }, 6);
    const double listSelect = median([&] { return floorList(c); }, 5);
    // The list as a member's window reads it: with the versions and each report's last change
    // (the members' names joined) in the same read, into the two columns more of a team's list.
    if (list::addChangeColumns(work).failed())
        return 1;
    QHash<QString, int> versions;
    const double teamList = median(
        [&] {
            const list::ReadResult r = list::readList(main, work, QString(), list::Copy::Auto, &versions);
            return r.error.ok() && r.rows >= kHeaders && versions.size() >= kHeaders;
        },
        5);
    sqlite3_close(w);
    const double listRead = median(
        [&] {
            store::Statement s(
                main, QStringLiteral(
                          "SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ ORDER BY 作成日, 氏名"));
            int n = 0;
            return store::forEachRow(
                       s, [&n](store::Statement& r) { n += r.value(0).isValid() + 0 * r.value(3).isNull(); })
                       .ok() &&
                   n >= kHeaders;
        },
        5);
    std::printf(
        "main database on PostgreSQL over its Unix socket (median ms; ratio: median of A B B A pairs)\n");
    std::printf("登録 100 lines      %8.2f   libpq + SQLite floor %8.2f   ratio %.2f\n", reg.ours, reg.floor,
                reg.ratio);
    std::printf("読込 100 lines      %8.2f   libpq + SQLite floor %8.2f   ratio %.2f\n", read.ours,
                read.floor, read.ratio);
    std::printf("  of which: the lines from the server %.2f, the work table rewritten %.2f\n", readMain,
                resetWork);
    std::printf("一覧 読込 %d headers %8.2f   libpq + SQLite floor %8.2f   ratio %.2f\n", kHeaders, list.ours,
                list.floor, list.ratio);
    std::printf("  of which: the headers read from the server %.2f (libpq select alone %.2f)\n", listRead,
                listSelect);
    std::printf("  as a member's window reads it (versions, last change) %.2f\n", teamList);
    PQfinish(c);
    // The search rows fill and index lines of their own (DDL): the owner's sessions.
    PGconn* owner = PQconnectdb(server.conninfo().toUtf8().constData());
    if (PQstatus(owner) != CONNECTION_OK ||
        store::openServer(QStringLiteral("ownermain"), server.conninfo()).failed())
        return 1;
    const int searched = searchRows(QSqlDatabase::database(QStringLiteral("ownermain"), false), owner, 9);
    PQfinish(owner);
    return reg.ratio < 0 || read.ratio < 0 || list.ratio < 0 || searched != 0 ? 1 : 0;
}

double medianOf(const std::function<bool()>& work, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!work())
            return -1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
