// One user of a team working against the server for a while, as its own process: registers
// reports (shared keys, new visit destinations and remarks learnt on the way), or maintains the
// code master (line deletions, category registrations, single names learnt), or adds names to it
// by hand. Prints its counts; exits non-zero on any failure other than a lock or a refused stale
// write, which the user would simply retry.
//   pg_worker CONNINFO WORKFOLDER register|codes|edit SEED MILLISECONDS
// A member of a team registering only their own reports, as the window does (read, type, 登録
// over the version read), through a server that may go away and come back: every failure is
// printed with its time, and at the end the report each key holds last as this member knows it
// (the last 登録 answered, or one sent whose answer was lost, told by reading it back).
//   pg_worker CONNINFO WORKFOLDER own SEED MILLISECONDS 氏名
#include "codes/CodeStore.h"
#include "codes/PickLists.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Dates.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
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
    if (a.size() != 6 && !(a.size() == 7 && a[3] == QLatin1String("own")))
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
    if (mode == QLatin1String("own")) {
        const QString name = a[6];
        QHash<QDate, QString> last; // per report: the title the server holds as this member knows
        QHash<QDate, QString> sent; // per report: a 登録 whose answer did not come
        int failed = 0;
        // A 登録 whose answer was lost is told by reading it back: stored or not. False when the
        // read failed (it stays unknown).
        const auto settle = [&](const QDate& day) {
            QList<store::Row> t;
            if (store::readRows(
                    main, QStringLiteral("SELECT タイトル FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?"),
                    {store::dateValue(day), name}, t)
                    .failed())
                return false;
            if (!t.isEmpty() && t[0][0].toString() == sent[day])
                last[day] = sent[day];
            sent.remove(day);
            return true;
        };
        for (int round = 0; clock.elapsed() < budget; ++round) {
            const QDate day = QDate(2026, 12, 1).addDays(int(rng.bounded(3)));
            const report::ReadResult r = report::readReport(main, work, day, name);
            if (r.error.failed()) {
                std::printf("failed %lld read\n", QDateTime::currentMSecsSinceEpoch());
                ++failed;
                QThread::msleep(50);
                continue;
            }
            if (sent.contains(day) && !settle(day))
                continue;
            const int n = 1 + int(rng.bounded(30));
            const QString version = QStringLiteral("%1-%2").arg(me).arg(round);
            if (report::resetLines(work).failed())
                return 1;
            store::Statement up(
                work,
                QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 内容 = ? WHERE 行番号 = ?"));
            for (int i = 1; i <= n; ++i)
                up.bind(store::dateValue(day))
                    .bind(store::dateValue(day))
                    .bind(QStringLiteral("%1 %2/%3").arg(version).arg(i).arg(n))
                    .bind(i)
                    .exec();
            const QString title = version + QStringLiteral(" n=%1").arg(n);
            report::Registered stored;
            const store::Error e = report::registerReport(
                main, work, {day, name, QStringLiteral("営業部"), title}, &stored, &r.stamp);
            if (e.ok()) {
                ++done;
                last[day] = title;
            } else {
                // A wait on another member's code-master write cut short is the user's "try again".
                std::printf("%s %lld %s\n", e.isLocked() ? "busy" : "failed",
                            QDateTime::currentMSecsSinceEpoch(),
                            qPrintable(QString(e.reason()).replace(u'\n', u' ')));
                ++failed;
                sent[day] = title;
            }
        }
        // The days not picked again since their answer was lost, told now the server is back.
        for (const QDate& day : sent.keys())
            settle(day);
        // What this member's reports hold last, as far as the member can tell.
        for (auto it = last.cbegin(); it != last.cend(); ++it)
            std::printf("last %s %s\n", qPrintable(it.key().toString(Qt::ISODate)), qPrintable(it.value()));
        for (auto it = sent.cbegin(); it != sent.cend(); ++it)
            std::printf("maybe %s %s\n", qPrintable(it.key().toString(Qt::ISODate)), qPrintable(it.value()));
        std::printf("%d %d\n", done, failed);
        return 0;
    }
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
