// A server that hangs (its processes stopped, so the kernel still answers for them): every
// operation ends by the program's own deadline with a failure that kept nothing, and once the
// server runs again the next operation works on the same program, without a restart.
#include "ServerFixture.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "search/SearchStore.h"
#include "store/Connection.h"
#include "store/Db.h"
#include "store/PgEngine.h"
#include "store/Server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
using Operation = std::function<store::Error(const QSqlDatabase& main, const QSqlDatabase& work)>;
constexpr int kDeadlineMs = 1500;
const QDate kDay(2026, 12, 8);

// The cluster's processes: the postmaster (first line of postmaster.pid) and its children.
QList<pid_t> serverProcesses(const QString& dataDir)
{
    QFile f(dataDir + u"/postmaster.pid"_s);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const pid_t master = pid_t(f.readLine().trimmed().toInt());
    QList<pid_t> all{master};
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid …: comm may hold blanks, so read after its closing bracket.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && pid_t(rest[1].toInt()) == master)
            all << pid_t(entry.toInt());
    }
    return all;
}

void signalAll(const QList<pid_t>& pids, int sig)
{
    for (pid_t p : pids)
        ::kill(p, sig);
}

store::Error registerLines(const QSqlDatabase& main, const QSqlDatabase& work, const QString& title)
{
    if (store::Error e = report::resetLines(work); e.failed())
        return e;
    if (store::Error e = store::run(work,
                                    u"UPDATE w営業日報 SET 表示日付 = '2026-12-08', 日付 = '2026-12-08', "
                                    "訪問先 = '本社', 内容 = ? WHERE 行番号 <= 3"_s,
                                    {title});
        e.failed())
        return e;
    return report::registerReport(main, work, {kDay, u"佐藤"_s, u"営業部"_s, title});
}
} // namespace

class TstHang : public QObject, testing::ServerFixture {
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        // A short deadline of the program's own, so that the hangs below are short.
        qputenv("TESVAN_SERVER_DEADLINE_MS", QByteArray::number(kDeadlineMs));
        if (!joinCluster())
            return;
        QCOMPARE(store::serverDeadlineMs(), kDeadlineMs);
    }

    void init() { QCOMPARE(m_server->readyForTest(), QString()); }

    void operationEndsByItsDeadline_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("登録") << Operation([](const QSqlDatabase& main, const QSqlDatabase& work) {
            return registerLines(main, work, u"止まった間の登録"_s);
        });
        QTest::newRow("読込") << Operation([](const QSqlDatabase& main, const QSqlDatabase& work) {
            return report::readReport(main, work, kDay, u"佐藤"_s).error;
        });
        QTest::newRow("一覧 読込") << Operation([](const QSqlDatabase& main, const QSqlDatabase& work) {
            return list::readList(main, work, QString()).error;
        });
        QTest::newRow("search") << Operation([](const QSqlDatabase& main, const QSqlDatabase&) {
            QList<search::Hit> hits;
            return search::findLines(main, {{}, {}, {}, u"登録"_s}, nullptr, 40, &hits);
        });
        QTest::newRow("counts") << Operation([](const QSqlDatabase& main, const QSqlDatabase&) {
            QList<search::PlaceCount> counts;
            return search::countByPlace(main, {{}, {}, {}, u"登録"_s}, &counts);
        });
    }

    void operationEndsByItsDeadline()
    {
        QFETCH(Operation, operation);
        const QString name = u"hang%1"_s.arg(++m_round);
        QCOMPARE(openUser(name), QString());
        const auto closing = closedAtEnd(name);
        const QSqlDatabase main = mainOf(name);
        const QSqlDatabase work = workOf(name);
        QCOMPARE(registerLines(main, work, u"最初の登録"_s), QString());

        const QList<pid_t> pids = serverProcesses(m_server->srvDir() + u"/data"_s);
        QVERIFY(pids.size() > 1);
        signalAll(pids, SIGSTOP);
        auto resume = qScopeGuard([&pids] { signalAll(pids, SIGCONT); });
        QElapsedTimer t;
        t.start();
        const store::Error e = operation(main, work);
        const qint64 took = t.elapsed();
        signalAll(pids, SIGCONT);
        resume.dismiss();
        QVERIFY(e.failed());
        QVERIFY2(e.reason().startsWith(u"サーバーが応答しません"_s), qPrintable(e.reason()));
        QCOMPARE(e.kind(), store::ErrorKind::TimedOut);
        // One statement's deadline; a search's statements that each find the session gone try a
        // connect of a second each after it.
        QVERIFY2(took >= kDeadlineMs - 100 && took < kDeadlineMs + 6000, qPrintable(QString::number(took)));

        // Nothing of it was kept, and the same program's next operation works.
        QList<search::Hit> hits;
        QTRY_COMPARE_WITH_TIMEOUT(
            search::findLines(main, {{}, {}, {}, u"止まった間の登録"_s}, nullptr, 40, &hits).reason(),
            QString(), 10000);
        QCOMPARE(hits.size(), 0);
        QCOMPARE(registerLines(main, work, u"再開後の登録"_s), QString());
        QCOMPARE(report::readReport(main, work, kDay, u"佐藤"_s).error, QString());
        QCOMPARE(search::findLines(main, {{}, {}, {}, u"再開後の登録"_s}, nullptr, 40, &hits), QString());
        QCOMPARE(hits.size(), 3);
    }

    // A connection opened while the server does not answer fails by its connect deadline, and
    // is told as that, not as a refused login: the open keeps the session's own kind.
    void openWhileTheServerIsStopped()
    {
        const QList<pid_t> pids = serverProcesses(m_server->srvDir() + u"/data"_s);
        QVERIFY(pids.size() > 1);
        signalAll(pids, SIGSTOP);
        auto resume = qScopeGuard([&pids] { signalAll(pids, SIGCONT); });
        const store::Error e = store::openServer(u"stopped"_s, m_server->conninfo());
        signalAll(pids, SIGCONT);
        resume.dismiss();
        QCOMPARE(e.kind(), store::ErrorKind::TimedOut);
        QVERIFY2(e.reason().startsWith(u"サーバーが応答しません"_s), qPrintable(e.reason()));
        QVERIFY(!QSqlDatabase::contains(u"stopped"_s));
        QCOMPARE(store::openServer(u"stopped"_s, m_server->conninfo()), QString());
        store::closeDatabase(u"stopped"_s);
    }
};

QTEST_GUILESS_MAIN(TstHang)
#include "tst_hang.moc"
