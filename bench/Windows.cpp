// A thousand windows open on one server all day: each opens its connection at some point of the
// morning, then every few minutes reads its report and registers it again, idle in between.
// Time runs faster than a clock (TESVAN_BENCH_SPEED times, 20 unless told): the windows' pauses
// and the idle time after which a session is closed shrink alike, the operations themselves do
// not. Eight threads play the windows, each closing its windows' unused sessions as a window's
// event loop does. Measured: the server's sessions of the program at their peak, 登録 and 読込
// times, and at the end every window's last reported registration is stored exactly once.
#include "store/Connection.h"
#include "BenchServer.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/PgDriver.h"
#include "store/PgEngine.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kLines = 20;

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

struct Window {
    QString name;   // 氏名, and the connection's name
    qint64 due = 0; // wall ms of its next piece of work
    bool opened = false;
    int registered = 0; // the last version reported done
    std::shared_ptr<store::PgSession> session;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

} // namespace

int thousandWindows(const QString& conninfo, const QString& folder)
{
    const int windows = envInt("TESVAN_BENCH_WINDOWS", 1000);
    const int speed = envInt("TESVAN_BENCH_SPEED", 20);
    const int minutes = envInt("TESVAN_BENCH_MINUTES", 20);                        // of the simulated day
    const int idleS = envInt("TESVAN_BENCH_IDLE_S", store::serverIdleMs() / 1000); // simulated
    const qint64 wallIdle = qint64(idleS) * 1000 / speed;
    const qint64 wallEnd = qint64(minutes) * 60000 / speed;
    // Every window works once every 2 to 8 minutes, and opens within the first 5.
    const auto pause = [speed] { return QRandomGenerator::global()->bounded(120000, 480000) / speed; };

    std::vector<Window> all;
    all.resize(size_t(windows));
    for (int i = 0; i < windows; ++i) {
        all[size_t(i)].name = QStringLiteral("端末%1").arg(i, 4, 10, QLatin1Char('0'));
        all[size_t(i)].due = QRandomGenerator::global()->bounded(300000) / speed;
    }
    std::mutex lock; // guards the samples and the failures below
    std::vector<double> registers, reads, opens;
    QStringList failures;
    std::atomic<bool> over{false};
    std::atomic<int> peak{0};
    QElapsedTimer clock;
    clock.start();

    // The server's own count of the program's sessions, ten times a second.
    std::thread monitor([&] {
        const QString name = QStringLiteral("monitor");
        if (store::openServer(name, conninfo + QStringLiteral(" application_name=bench_monitor")).failed())
            return;
        {
            const QSqlDatabase db = QSqlDatabase::database(name, false);
            while (!over) {
                QList<store::Row> rows;
                if (store::readRows(
                        db,
                        QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name "
                                       "= 'tesvan'"),
                        {}, rows)
                        .ok() &&
                    !rows.isEmpty())
                    peak = std::max(peak.load(), rows[0].value(0).toInt());
                QThread::msleep(100);
            }
        }
        store::closeDatabase(name);
    });

    std::vector<std::thread> players;
    for (int t = 0; t < kThreads; ++t) {
        players.emplace_back([&, t] {
            const QString workName = QStringLiteral("windowswork%1").arg(t);
            const QString workPath = QStringLiteral("%1/windows-work-%2.mdb").arg(folder).arg(t);
            if (store::createInitialFile(workPath, store::DbKind::Work).failed() ||
                store::openDatabase(workName, workPath, store::DbKind::Work).failed()) {
                std::lock_guard guard(lock);
                failures << QStringLiteral("work file %1").arg(t);
                return;
            }
            const QSqlDatabase work = QSqlDatabase::database(workName, false);
            std::vector<Window*> mine;
            for (int i = t; i < windows; i += kThreads)
                mine.push_back(&all[size_t(i)]);
            const auto fail = [&](const Window& w, const char* what, const store::Error& e) {
                std::lock_guard guard(lock);
                failures << QStringLiteral("%1 %2: %3").arg(w.name, QLatin1String(what), e.reason());
            };
            // As each window's event loop would, between any two operations of the thread.
            const auto closeIdle = [&] {
                for (Window* w : mine)
                    if (w->session)
                        w->session->closeIfIdle(wallIdle);
            };
            while (clock.elapsed() < wallEnd) {
                bool worked = false;
                for (Window* w : mine) {
                    closeIdle();
                    const qint64 now = clock.elapsed();
                    if (now < w->due || now >= wallEnd)
                        continue;
                    worked = true;
                    w->due = now + pause();
                    QElapsedTimer op;
                    op.start();
                    if (!w->opened) {
                        if (store::Error e = store::openServer(w->name, conninfo); e.failed()) {
                            fail(*w, "open", e);
                            continue;
                        }
                        w->opened = true;
                        w->session = store::PgDriver::sessionOf(QSqlDatabase::database(w->name, false));
                        std::lock_guard guard(lock);
                        opens.push_back(double(op.nsecsElapsed()) / 1e6);
                    }
                    const QSqlDatabase main = QSqlDatabase::database(w->name, false);
                    op.restart();
                    const report::ReadResult r = report::readReport(main, work, benchDay(), w->name);
                    if (r.error.failed()) {
                        fail(*w, "read", r.error);
                        continue;
                    }
                    const double readMs = double(op.nsecsElapsed()) / 1e6;
                    // Typed between 読込 and 登録 (the local work file only).
                    const int version = w->registered + 1;
                    if (store::Error e =
                            store::run(work,
                                       QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, "
                                                      "訪問先 = '本社', 内容 = ? WHERE 行番号 <= ?"),
                                       {store::dateValue(benchDay()), store::dateValue(benchDay()),
                                        QStringLiteral("版%1 の商談").arg(version), kLines});
                        e.failed()) {
                        fail(*w, "type", e);
                        continue;
                    }
                    op.restart();
                    const store::Error e = report::registerReport(
                        main, work,
                        {benchDay(), w->name, QStringLiteral("営業部"), QStringLiteral("版%1").arg(version)});
                    const double registerMs = double(op.nsecsElapsed()) / 1e6;
                    if (e.failed()) {
                        fail(*w, "register", e);
                        continue;
                    }
                    w->registered = version;
                    std::lock_guard guard(lock);
                    reads.push_back(readMs);
                    registers.push_back(registerMs);
                }
                if (!worked)
                    QThread::msleep(5);
            }
            for (Window* w : mine)
                if (w->opened) {
                    w->session.reset();
                    store::closeDatabase(w->name);
                }
            store::closeDatabase(workName);
        });
    }
    for (std::thread& p : players)
        p.join();
    over = true;
    monitor.join();

    // Every window's last reported registration, once, with all its lines; nothing else.
    int lost = 0, registeredWindows = 0;
    {
        const QString name = QStringLiteral("windowscheck");
        if (store::openServer(name, conninfo).failed())
            return 1;
        QList<store::Row> rows;
        const store::Error e = store::readRows(
            QSqlDatabase::database(name, false),
            QStringLiteral(
                "SELECT h.氏名, h.タイトル, count(l.行番号), count(DISTINCT l.内容) FROM 営業日報ヘッダ h "
                "LEFT JOIN 営業日報 l USING (作成日, 氏名) WHERE h.氏名 LIKE '端末%' GROUP BY h.氏名, "
                "h.タイトル"),
            {}, rows);
        store::closeDatabase(name);
        if (e.failed())
            return 1;
        QHash<QString, store::Row> stored;
        for (const store::Row& r : rows)
            stored.insert(r.value(0).toString(), r);
        for (const Window& w : all) {
            if (w.registered == 0)
                continue;
            ++registeredWindows;
            const store::Row r = stored.value(w.name);
            if (r.isEmpty() || r.value(1).toString() != QStringLiteral("版%1").arg(w.registered) ||
                r.value(2).toInt() != kLines || r.value(3).toInt() != 1) {
                if (++lost <= 5)
                    std::printf("  %s: reported 版%d, stored %s\n", qPrintable(w.name), w.registered,
                                qPrintable(r.isEmpty()
                                               ? QStringLiteral("nothing")
                                               : QStringLiteral("%1, %2 lines")
                                                     .arg(r.value(1).toString(), r.value(2).toString())));
            }
        }
        lost += int(rows.size()) - registeredWindows; // a report no window reported done
    }
    std::printf(
        "\n%d windows against one server, %d simulated minutes at %d× speed (%.0f s), sessions closed after "
        "an idle %d s (simulated)\n",
        windows, minutes, speed, double(clock.elapsed()) / 1000, idleS);
    std::printf(
        "server sessions at peak %d; 登録 (%d lines) %zu times: p50 %.1f ms, p99 %.1f ms; 読込 p99 %.1f ms; "
        "opening p99 %.1f ms\n",
        peak.load(), kLines, registers.size(), percentile(registers, 0.5), percentile(registers, 0.99),
        percentile(reads, 0.99), percentile(opens, 0.99));
    std::printf("windows that registered %d; lost or duplicated %d; failed operations %lld\n",
                registeredWindows, lost, qlonglong(failures.size()));
    for (qsizetype i = 0; i < std::min<qsizetype>(failures.size(), 5); ++i)
        std::printf("  %s\n", qPrintable(failures[i]));
    return lost == 0 && failures.isEmpty() ? 0 : 1;
}
