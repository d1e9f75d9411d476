// Timings of the main database on a PostgreSQL server reached over its Unix socket: 登録 and
// 読込 of a 100-line report and the list's 読込 of 100,000 headers, each as a ratio to the same
// work done through the C APIs directly (the floor): the statements through libpq in one
// transaction and, where the operation fills the local work table, its rows through SQLite.
// The server is a throwaway cluster of the benchmark's own; fsync is off there, for ours and
// the floor alike.
#include "ServerCluster.h"
#include "SearchServer.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "store/Dates.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

constexpr int kRuns = 21;
constexpr int kHeaders = 100000;
const QDate kDay(2026, 12, 8);
const QString kName = QStringLiteral("佐藤");

double median(const std::function<bool()>& work, int runs = kRuns)
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

bool ok(PGresult* r)
{
    const ExecStatusType s = PQresultStatus(r);
    const bool good = s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    if (!good)
        std::fprintf(stderr, "libpq: %s\n", PQresultErrorMessage(r));
    PQclear(r);
    return good;
}

// The registration's statements through libpq: delete and insert the header, delete the
// lines, one prepared insert per line, in one transaction.
bool floorRegister(PGconn* c, const QList<QByteArray>& contents)
{
    const QByteArray day = kDay.toString(Qt::ISODate).toUtf8(), name = kName.toUtf8();
    const char* key[] = {day.constData(), name.constData()};
    if (!ok(PQexec(c, "BEGIN")))
        return false;
    if (!ok(PQexecParams(c, "DELETE FROM 営業日報ヘッダ WHERE 作成日 = $1 AND 氏名 = $2", 2, nullptr, key,
                         nullptr, nullptr, 0)))
        return false;
    const char* head[] = {day.constData(), name.constData(), "営業部", "週報"};
    if (!ok(PQexecParams(c,
                         "INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES ($1, $2, $3, $4)",
                         4, nullptr, head, nullptr, nullptr, 0)))
        return false;
    if (!ok(PQexecParams(c, "DELETE FROM 営業日報 WHERE 作成日 = $1 AND 氏名 = $2", 2, nullptr, key, nullptr,
                         nullptr, 0)))
        return false;
    for (int i = 0; i < contents.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const char* v[] = {
            day.constData(), name.constData(), n.constData(), day.constData(),         day.constData(),
            "0930",          "担当者",         "本社",        contents[i].constData(), "備考"};
        if (!ok(PQexecPrepared(c, "line", 10, v, nullptr, nullptr, 0)))
            return false;
    }
    return ok(PQexec(c, "COMMIT"));
}

// The read's work through the two C APIs: the header and the lines in line order through libpq
// in one transaction, every value taken out of the result, and the 100 grid rows of the work
// table written through SQLite, one prepared insert per row, in one transaction.
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
        if (row < PQntuples(lines))
            for (int f = 0; f < 7; ++f)
                if (!PQgetisnull(lines, row, f))
                    sqlite3_bind_text(ins, f + 2, PQgetvalue(lines, row, f), PQgetlength(lines, row, f),
                                      SQLITE_TRANSIENT);
        good = sqlite3_step(ins) == SQLITE_DONE;
        sqlite3_reset(ins);
        sqlite3_clear_bindings(ins);
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
        for (int f = 0; f < 4; ++f)
            if (!PQgetisnull(r, row, f))
                sqlite3_bind_text(ins, f + 1, PQgetvalue(r, row, f), PQgetlength(r, row, f),
                                  SQLITE_TRANSIENT);
        good = sqlite3_step(ins) == SQLITE_DONE;
        sqlite3_reset(ins);
        sqlite3_clear_bindings(ins);
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
    const QString workPath = server.base() + QStringLiteral("/bench-work.mdb");
    if (store::Error e = store::createInitialFile(workPath, store::DbKind::Work); e.failed())
        return 1;
    if (store::openServer(QStringLiteral("main"), server.conninfo()).failed() ||
        store::openDatabase(QStringLiteral("work"), workPath, store::DbKind::Work).failed())
        return 1;
    const QSqlDatabase main = QSqlDatabase::database(QStringLiteral("main"), false);
    const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("work"), false);

    // 100 lines on screen, their places and remarks already in the code master.
    QList<QByteArray> contents;
    if (report::resetLines(work).failed())
        return 1;
    {
        store::Statement up(
            work,
            QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '0930', 担当 = '担当者', "
                           "訪問先 = '本社', 内容 = ?, 備考 = '備考' WHERE 行番号 = ?"));
        for (int i = 1; i <= 100; ++i) {
            const QString text = QStringLiteral("第%1行：打合せと見積の説明、次回の訪問日を決めた。").arg(i);
            contents << text.toUtf8();
            if (!up.bind(store::dateValue(kDay)).bind(store::dateValue(kDay)).bind(text).bind(i).exec())
                return 1;
        }
    }
    const report::Header h{kDay, kName, QStringLiteral("営業部"), QStringLiteral("週報")};
    if (report::registerReport(main, work, h).failed())
        return 1;

    PGconn* c = PQconnectdb(server.conninfo().toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(c));
        return 1;
    }
    if (!ok(PQprepare(
            c, "line",
            "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考) "
            "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)",
            0, nullptr)))
        return 1;

    const double reg = median([&] { return report::registerReport(main, work, h).ok(); });
    const double regFloor = median([&] { return floorRegister(c, contents); });
    const double read = median([&] {
        const report::ReadResult r = report::readReport(main, work, kDay, kName);
        return r.error.ok() && r.lines == 100;
    });
    sqlite3* w = nullptr;
    if (sqlite3_open_v2(workPath.toUtf8().constData(), &w, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_exec(w, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    const double readFloor = median([&] { return floorRead(c, w); });
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
    const double list = median(
        [&] {
            const list::ReadResult r = list::readList(main, work, QString());
            return r.error.ok() && r.rows >= kHeaders;
        },
        5);
    const double listSelect = median([&] { return floorList(c); }, 5);
    const double listFloor = median([&] { return floorListCopy(c, w); }, 5);
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
    std::printf("main database on PostgreSQL over its Unix socket (median ms)\n");
    std::printf("登録 100 lines      %8.2f   libpq floor %8.2f   ratio %.2f\n", reg, regFloor,
                reg / regFloor);
    std::printf("読込 100 lines      %8.2f   libpq floor %8.2f   ratio %.2f\n", read, readFloor,
                read / readFloor);
    std::printf("  of which: the lines from the server %.2f, the work table rewritten %.2f\n", readMain,
                resetWork);
    std::printf("一覧 読込 %d headers %8.2f   libpq + SQLite floor %8.2f   ratio %.2f\n", kHeaders, list,
                listFloor, list / listFloor);
    std::printf("  of which: the headers read from the server %.2f (libpq select alone %.2f)\n", listRead,
                listSelect);
    const int searched = searchRows(main, c, kRuns);
    PQfinish(c);
    return reg < 0 || read < 0 || list < 0 || searched != 0 ? 1 : 0;
}
