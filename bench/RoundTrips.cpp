// Each user operation against a server across a network: the program's main connection goes
// through a proxy that delays every chunk 10 ms each way (20 ms a round trip), which counts the
// round trips the operation waited for; the same operation straight on the Unix socket is its
// server time. Target: at most 3 round trips plus 1.5 × the server time.
#include "store/Connection.h"
#include "BenchServer.h"
#include "DelayProxy.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "search/SearchStore.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Server.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kDelayMs = 10;

struct Measured {
    double ms = -1;
    long trips = -1;
};

// The median time of runs and the round trips of the last run (the same every warm run).
Measured measure(DelayProxy* proxy, const std::function<bool(int)>& work, int runs)
{
    std::vector<double> ms;
    Measured m;
    for (int i = 0; i < runs; ++i) {
        if (proxy)
            proxy->resetFlights();
        QElapsedTimer t;
        t.start();
        if (!work(i))
            return {};
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (proxy)
            m.trips = proxy->flights();
    }
    std::sort(ms.begin(), ms.end());
    m.ms = ms[ms.size() / 2];
    return m;
}

// 100 lines on the entry tab; run gives the lines of 訪問先 and 備考 new to the code master.
bool fillReport(const QSqlDatabase& work, int run, bool learn)
{
    if (report::resetLines(work).failed())
        return false;
    store::Statement up(
        work, QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '0930', 担当 = '担当者', "
                             "訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?"));
    const QVariant day = store::dateValue(benchDay());
    for (int i = 1; i <= 100; ++i) {
        const bool fresh = learn && i <= 2;
        const QString place = fresh ? QStringLiteral("新規先%1-%2").arg(run).arg(i) : QStringLiteral("本社");
        const QString note = fresh ? QStringLiteral("新規備考%1-%2").arg(run).arg(i) : QStringLiteral("備考");
        const QString text = QStringLiteral("第%1行：打合せと見積の説明、次回の訪問日を決めた。").arg(i);
        if (!up.bind(day).bind(day).bind(place).bind(text).bind(note).bind(i).exec())
            return false;
    }
    return true;
}

} // namespace

int roundTrips(const QString& socketDir, const QString& conninfoOnSocket, const QString& conninfoOnProxy,
               const QString& workPath)
{
    DelayProxy proxy((socketDir + QStringLiteral("/.s.PGSQL.5432")).toStdString(), kDelayMs);
    if (proxy.port() == 0) {
        std::fprintf(stderr, "proxy: cannot listen\n");
        return 1;
    }
    const QString far = conninfoOnProxy.arg(proxy.port());
    if (store::openDatabase(QStringLiteral("rtwork"), workPath, store::DbKind::Work).failed())
        return 1;
    const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("rtwork"), false);
    std::printf(
        "\nround trips through a proxy delaying %d ms each way (%d ms a round trip); server time: the "
        "same on the Unix socket\n",
        kDelayMs, 2 * kDelayMs);
    std::printf("%-34s %6s %10s %12s %12s %8s\n", "operation", "trips", "ms", "server ms", "target ms",
                "met");
    int failures = 0;
    struct Op {
        const char* name;
        std::function<bool(const QSqlDatabase& main, int run)> work;
        int runs;
    };
    int learnRun = 0;
    const QString name = benchName();
    const std::vector<Op> ops = {
        {"登録 100 lines, 2+2 new learnt",
         [&](const QSqlDatabase& main, int) {
             // The lines are typed before 登録 is pressed: not part of its time.
             return report::registerReport(
                        main, work, {benchDay(), name, QStringLiteral("営業部"), QStringLiteral("週報")})
                 .ok();
         },
         5},
        {"読込 100 lines",
         [&](const QSqlDatabase& main, int) {
             const report::ReadResult r = report::readReport(main, work, benchDay(), name);
             return r.error.ok() && r.lines == 100;
         },
         5},
        {"クリア", [&](const QSqlDatabase&, int) { return report::resetLines(work).ok(); }, 5},
        {"一覧 読込 100,000 headers",
         [&](const QSqlDatabase& main, int) {
             const list::ReadResult r = list::readList(main, work, QString());
             return r.error.ok() && r.rows >= 100000;
         },
         3},
        {"search first screen",
         [&](const QSqlDatabase& main, int) {
             QList<search::Hit> hits;
             return search::findLines(main, {{}, {}, {}, QStringLiteral("打合せ")}, nullptr, 40, &hits)
                        .ok() &&
                    !hits.isEmpty();
         },
         5},
        {"counts by 訪問先",
         [&](const QSqlDatabase& main, int) {
             QList<search::PlaceCount> counts;
             return search::countByPlace(main, {{}, {}, {}, QStringLiteral("打合せ")}, &counts).ok() &&
                    !counts.isEmpty();
         },
         5},
    };
    for (const QString& conn : {QStringLiteral("rtnear"), QStringLiteral("rtfar")})
        if (const store::Error e =
                store::openServer(conn, conn == QLatin1String("rtnear") ? conninfoOnSocket : far);
            e.failed()) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(conn), qPrintable(e.reason()));
            return 1;
        }
    const QSqlDatabase near = QSqlDatabase::database(QStringLiteral("rtnear"), false);
    const QSqlDatabase farDb = QSqlDatabase::database(QStringLiteral("rtfar"), false);
    for (const Op& op : ops) {
        const bool registers = QByteArray(op.name).startsWith("登録");
        const auto run = [&](const QSqlDatabase& db, DelayProxy* p) {
            return measure(
                p,
                [&](int) {
                    if (registers) {
                        // Typing the lines is not part of 登録: done with the proxy's count aside.
                        const long before = p ? p->flights() : 0;
                        if (!fillReport(work, ++learnRun, true))
                            return false;
                        if (p && p->flights() != before)
                            return false;
                    }
                    return op.work(db, 0);
                },
                op.runs);
        };
        // A first run on each warms the sessions' prepared statements.
        run(near, nullptr);
        run(farDb, &proxy);
        const Measured server = run(near, nullptr);
        const Measured far = run(farDb, &proxy);
        const double target = 3 * 2 * kDelayMs + 1.5 * server.ms;
        const bool met = far.ms >= 0 && far.ms <= target;
        failures += far.ms < 0 || server.ms < 0;
        std::printf("%-34s %6ld %10.1f %12.1f %12.1f %8s\n", op.name, far.trips, far.ms, server.ms, target,
                    met ? "yes" : "no");
    }
    store::closeDatabase(QStringLiteral("rtnear"));
    store::closeDatabase(QStringLiteral("rtfar"));
    store::closeDatabase(QStringLiteral("rtwork"));
    return failures;
}
