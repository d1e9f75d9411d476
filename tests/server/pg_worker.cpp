// One user of a team working against the server for a while, as its own process: registers
// reports (shared keys, new visit destinations and remarks learnt on the way), or maintains the
// code master (line deletions, category registrations, single names learnt), or adds names to it
// by hand. Prints its counts; exits non-zero on any failure other than a lock or a refused stale
// write, which the user would simply retry.
//   pg_worker CONNINFO WORKFOLDER register|codes|edit SEED MILLISECONDS
#include "codes/CodeStore.h"
#include "codes/PickLists.h"
#include "report/ReportStore.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>

namespace {

int fail(const QString& what, const store::Error& e)
{
    std::fprintf(stderr, "pg_worker: %s: %s\n", qPrintable(what), qPrintable(e.reason()));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 6)
        return 2;
    const QString conninfo = a[1], folder = a[2], mode = a[3];
    QRandomGenerator rng(a[4].toUInt());
    const qint64 budget = a[5].toLongLong();

    QDir().mkpath(folder);
    const QString workPath = QDir(folder).filePath(store::kWorkFileName);
    QFile::remove(workPath);
    if (store::Error e = store::createInitialFile(workPath, store::DbKind::Work); e.failed())
        return fail(QStringLiteral("work file"), e);
    if (store::Error e = store::openServer(QStringLiteral("main"), conninfo); e.failed())
        return fail(QStringLiteral("open server"), e);
    if (store::Error e = store::openDatabase(QStringLiteral("work"), workPath, store::DbKind::Work);
        e.failed())
        return fail(QStringLiteral("open work"), e);
    const QSqlDatabase main = QSqlDatabase::database(QStringLiteral("main"), false);
    const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("work"), false);
    const QString me = QStringLiteral("P%1").arg(QCoreApplication::applicationPid());

    int done = 0, locked = 0;
    const auto outcome = [&](const QString& what, const store::Error& e) {
        if (e.ok()) {
            ++done;
            return true;
        }
        if (e.isLocked()) {
            ++locked;
            return true;
        }
        fail(what, e);
        return false;
    };
    // A code master write refused because the category changed since it was read: the user
    // is told to read it again, which the next round does.
    const auto written = [&](const QString& what, const codes::CategoryWrite& w) {
        if (w.changedSince) {
            ++locked;
            return true;
        }
        return outcome(what, w.error);
    };

    QElapsedTimer clock;
    clock.start();
    for (int round = 0; clock.elapsed() < budget; ++round) {
        if (mode == QLatin1String("register")) {
            // Few keys, so that several users hit the same report at once.
            const QDate day = QDate(2026, 12, 1).addDays(int(rng.bounded(3)));
            const QString name = rng.bounded(2) ? QStringLiteral("佐藤") : QStringLiteral("鈴木");
            const int n = 1 + int(rng.bounded(40));
            const QString version = QStringLiteral("%1-%2").arg(me).arg(round);
            if (store::Error e = report::resetLines(work); e.failed())
                return fail(QStringLiteral("reset"), e);
            store::Statement up(
                work, QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 訪問先 = ?, 内容 = ?, "
                                     "備考 = ? WHERE 行番号 = ?"));
            for (int i = 1; i <= n; ++i) {
                const QString dayText = day.toString(Qt::ISODate);
                up.bind(dayText).bind(dayText);
                up.bind(QStringLiteral("訪問先%1").arg(rng.bounded(60)));
                up.bind(QStringLiteral("%1 %2/%3").arg(version).arg(i).arg(n));
                up.bind(QStringLiteral("備考%1").arg(rng.bounded(40))).bind(i);
                if (!up.exec())
                    return fail(QStringLiteral("work line"), up.error());
            }
            const report::Header h{day, name, QStringLiteral("営業部"),
                                   version + QStringLiteral(" n=%1").arg(n)};
            if (!outcome(QStringLiteral("register"), report::registerReport(main, work, h)))
                return 1;
        } else if (mode == QLatin1String("edit")) {
            // An office manager adding names by hand: read, type one into the first blank
            // row (from a small set, so the category never fills up), register.
            const QString category = rng.bounded(2) ? store::k訪問先 : store::k備考;
            const QString name = QStringLiteral("手入力%1").arg(rng.bounded(10));
            codes::CategoryState read;
            if (!outcome(QStringLiteral("read category"), codes::readCategory(main, work, category, &read)))
                return 1;
            QList<store::Row> there;
            if (!outcome(QStringLiteral("look at the grid"),
                         store::readRows(work,
                                         QStringLiteral("SELECT code FROM wコードマスタ WHERE sname = ?"),
                                         {name}, there)))
                return 1;
            if (there.isEmpty() &&
                !outcome(
                    QStringLiteral("type a name"),
                    store::run(work,
                               QStringLiteral("UPDATE wコードマスタ SET sname = ? WHERE code = (SELECT "
                                              "min(code) FROM wコードマスタ WHERE COALESCE(sname, '') = '')"),
                               {name})))
                return 1;
            // A person takes a moment to type.
            QThread::msleep(20);
            if (!written(QStringLiteral("register category"),
                         codes::registerCategory(main, work, category, read)))
                return 1;
        } else {
            const QString category = rng.bounded(2) ? store::k訪問先 : store::k備考;
            codes::CategoryState read;
            switch (rng.bounded(3)) {
            case 0: {
                if (!outcome(QStringLiteral("read category"),
                             codes::readCategory(main, work, category, &read)))
                    return 1;
                store::run(work, QStringLiteral("UPDATE wコードマスタ SET チェック = 1 WHERE code = ?"),
                           {store::codeOf(1 + int(rng.bounded(20)))});
                if (!written(QStringLiteral("line delete"),
                             codes::deleteTickedLines(main, work, category, read)))
                    return 1;
                break;
            }
            case 1:
                if (!outcome(QStringLiteral("read category"),
                             codes::readCategory(main, work, category, &read)) ||
                    !written(QStringLiteral("register category"),
                             codes::registerCategory(main, work, category, read)))
                    return 1;
                break;
            default: {
                const QString prefix =
                    category == store::k訪問先 ? QStringLiteral("訪問先") : QStringLiteral("備考");
                if (!outcome(QStringLiteral("learn"),
                             codes::addCodeMaster(main, category, prefix + QString::number(rng.bounded(80)))
                                 .error))
                    return 1;
            }
            }
        }
    }
    std::printf("%d %d\n", done, locked);
    return 0;
}
