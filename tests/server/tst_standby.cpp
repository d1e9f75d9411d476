// The team server run as a primary and a synchronous standby: the primary dies in the middle of
// registrations, the standby is promoted, and the program goes on on the new primary without a
// restart, having lost nothing it reported done. And a window's session is held only while it
// works: closed when it sits unused, opened again by the next operation.
#include "store/Connection.h"
#include "ServerFixture.h"
#include "report/ReportStore.h"
#include "store/Db.h"
#include "store/PgDriver.h"
#include "store/PgEngine.h"
#include "store/Rows.h"
#include "store/Server.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <future>

using namespace Qt::StringLiterals;

namespace {
constexpr int kIdleMs = 400;
constexpr int kStandbyPort = 5433;
const QDate kDay(2026, 12, 8);

store::Error fillLines(const QSqlDatabase& work, int count)
{
    if (store::Error e = report::resetLines(work); e.failed())
        return e;
    return store::run(work,
                      u"UPDATE w営業日報 SET 表示日付 = '2026-12-08', 日付 = '2026-12-08', "
                      "訪問先 = '本社', 内容 = '商談 ' || 行番号 WHERE 行番号 <= ?"_s,
                      {count});
}

// The server's own count of our sessions on the database (the program names itself "tesvan").
int sessionsOnServer(testing::ServerCluster& server)
{
    QList<store::Row> rows;
    const QString name = u"counter"_s;
    if (store::openServer(name, server.conninfo()).failed())
        return -1;
    {
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        if (store::readRows(db,
                            u"SELECT count(*) FROM pg_stat_activity WHERE application_name = 'tesvan' "
                            "AND pid <> pg_backend_pid()"_s,
                            {}, rows)
                .failed())
            rows.clear();
    }
    store::closeDatabase(name);
    return rows.isEmpty() ? -1 : rows[0].value(0).toInt();
}
} // namespace

class TstStandby : public QObject, testing::ServerFixture {
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        qputenv("TESVAN_SERVER_IDLE_MS", QByteArray::number(kIdleMs));
        qputenv("TESVAN_SERVER_DEADLINE_MS", "4000");
        if (!joinCluster())
            return;
        QCOMPARE(store::serverIdleMs(), kIdleMs);
    }

    void init() { QCOMPARE(m_server->readyForTest(), QString()); }

    // An unused session is closed; one inside a transaction is not, however long it waits; the
    // next operation opens a closed one again, unseen by the user.
    void idleSessionIsClosedAndReopened()
    {
        const QString name = u"idle%1"_s.arg(++m_round);
        QCOMPARE(openUser(name), QString());
        const auto closing = closedAtEnd(name);
        const QSqlDatabase main = mainOf(name);
        const QSqlDatabase work = workOf(name);
        const std::shared_ptr<store::PgSession> session = store::PgDriver::sessionOf(main);
        QVERIFY(session);
        QCOMPARE(fillLines(work, 3), QString());
        QCOMPARE(report::registerReport(main, work, {kDay, u"佐藤"_s, u"営業部"_s, u"一回目"_s}), QString());
        QVERIFY(session->isOpen());
        QCOMPARE(sessionsOnServer(*m_server), 1);

        QTRY_VERIFY_WITH_TIMEOUT(!session->isOpen(), 5 * kIdleMs);
        QTRY_COMPARE_WITH_TIMEOUT(sessionsOnServer(*m_server), 0, 5000);

        const report::ReadResult read = report::readReport(main, work, kDay, u"佐藤"_s);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.lines, 3);
        QVERIFY(session->isOpen());

        // A transaction outlives the idle time: its locks and writes stay with its session.
        QCOMPARE(session->begin(), QString());
        QCOMPARE(session->execute(u"UPDATE 営業日報ヘッダ SET タイトル = '待った後' WHERE 氏名 = '佐藤'"_s),
                 QString());
        QTest::qWait(3 * kIdleMs);
        QVERIFY(session->isOpen());
        QCOMPARE(session->commit(), QString());
        QList<store::Row> rows;
        QCOMPARE(store::readRows(main, u"SELECT タイトル FROM 営業日報ヘッダ"_s, {}, rows), QString());
        QCOMPARE(rows, (QList<store::Row>{{u"待った後"_s}}));
    }

    // Registrations run while the primary is stopped at once and the standby promoted: each one
    // reported done is on the new primary exactly once with all its lines, the program goes on
    // registering there on the same connection, and the status line is told of the switch.
    void registrationsSurviveFailover()
    {
        const QString standby = m_server->srvDir() + u"/standby"_s;
        const QString sock = m_server->socketDir();
        const QString password = QLatin1String(testing::ServerCluster::kPassword);
        QCOMPARE(m_server->runProgram(
                     u"pg_basebackup"_s,
                     {u"-D"_s, standby, u"-R"_s, u"-X"_s, u"stream"_s, u"-c"_s, u"fast"_s, u"-d"_s,
                      u"host=%1 port=5432 user=%2 password=%3 application_name=standby1"_s.arg(
                          sock, QLatin1String(testing::ServerCluster::kUser), password)}),
                 QString());
        const auto ctl = [&](const QStringList& args) {
            return m_server->runProgram(u"pg_ctl"_s, QStringList{u"-D"_s, standby, u"-l"_s,
                                                                 m_server->srvDir() + u"/standby.log"_s,
                                                                 u"-w"_s, u"-t"_s, u"60"_s} +
                                                         args);
        };
        QCOMPARE(
            ctl({u"start"_s, u"-o"_s,
                 u"-k %1 -c listen_addresses= -p %2 -c max_connections=60"_s.arg(sock).arg(kStandbyPort)}),
            QString());
        const auto stopStandby = qScopeGuard([&] { ctl({u"stop"_s, u"-m"_s, u"immediate"_s}); });
        // A commit returns once the standby holds it.
        QCOMPARE(m_server->admin(u"ALTER SYSTEM SET synchronous_standby_names = 'standby1'"_s), QString());
        QCOMPARE(m_server->admin(u"SELECT pg_reload_conf()"_s), QString());
        const QString standbyInfo = u"host=%1 port=%2 dbname=tesvan user=%3 sslmode=disable"_s.arg(sock)
                                        .arg(kStandbyPort)
                                        .arg(QLatin1String(testing::ServerCluster::kUser));
        QTRY_COMPARE_WITH_TIMEOUT(
            m_server->admin(u"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_stat_replication "
                            "WHERE application_name = 'standby1' AND sync_state = 'sync') "
                            "THEN RAISE 'not yet'; END IF; END $$"_s),
            QString(), 30000);

        QStringList notes;
        store::setServerNoteSink([&notes](const QString& note) { notes << note; });
        const auto noSink = qScopeGuard([] { store::setServerNoteSink({}); });
        const QString both = u"host=%1,%1 port=5432,%2 dbname=tesvan user=%3 sslmode=disable "
                             "target_session_attrs=read-write"_s.arg(sock)
                                 .arg(kStandbyPort)
                                 .arg(QLatin1String(testing::ServerCluster::kUser));
        const QString workPath = m_dir.filePath(u"failover-work.mdb"_s);
        QCOMPARE(store::createInitialFile(workPath, store::DbKind::Work), QString());
        QCOMPARE(store::openServer(u"fmain"_s, both), QString());
        QCOMPARE(store::openDatabase(u"fwork"_s, workPath, store::DbKind::Work), QString());
        const auto closing = qScopeGuard([] {
            store::closeDatabase(u"fmain"_s);
            store::closeDatabase(u"fwork"_s);
        });
        const QSqlDatabase main = QSqlDatabase::database(u"fmain"_s, false);
        const QSqlDatabase work = QSqlDatabase::database(u"fwork"_s, false);
        QCOMPARE(fillLines(work, 5), QString());

        std::atomic<int> done{0};
        std::atomic<bool> promoted{false};
        std::future<QString> failover = std::async(std::launch::async, [&]() -> QString {
            while (done.load() < 20)
                QThread::msleep(5);
            if (!m_server->stop("immediate"))
                return u"the primary did not stop"_s;
            const QString why = ctl({u"promote"_s});
            promoted = true;
            return why;
        });
        QStringList reported;
        int failed = 0, afterPromotion = 0;
        QElapsedTimer t;
        t.start();
        for (int i = 0; afterPromotion < 20 && t.elapsed() < 90000; ++i) {
            const bool wasPromoted = promoted.load();
            const QString name = u"社員%1"_s.arg(i, 4, 10, QLatin1Char('0'));
            const store::Error e = report::registerReport(main, work, {kDay, name, u"営業部"_s, u"日報"_s});
            if (e.ok()) {
                reported << name;
                ++done;
                afterPromotion += wasPromoted;
            } else {
                ++failed;
                QThread::msleep(20);
            }
        }
        QCOMPARE(failover.get(), QString());
        QCOMPARE(afterPromotion, 20);
        qInfo("%lld registrations reported done, %d failed while the primary was gone",
              qlonglong(reported.size()), failed);

        // Read on the new primary through a session of its own.
        QCOMPARE(store::openServer(u"check"_s, standbyInfo), QString());
        const auto closeCheck = qScopeGuard([] { store::closeDatabase(u"check"_s); });
        QList<store::Row> rows;
        QCOMPARE(store::readRows(QSqlDatabase::database(u"check"_s, false),
                                 u"SELECT h.氏名, count(l.行番号) FROM 営業日報ヘッダ h LEFT JOIN 営業日報 l "
                                 "USING (作成日, 氏名) GROUP BY h.氏名"_s,
                                 {}, rows),
                 QString());
        QHash<QString, int> stored;
        for (const store::Row& r : rows) {
            QVERIFY2(!stored.contains(r.value(0).toString()), qPrintable(r.value(0).toString()));
            stored.insert(r.value(0).toString(), r.value(1).toInt());
        }
        for (const QString& name : reported)
            QVERIFY2(stored.value(name) == 5, qPrintable(name + u" lost or incomplete"_s));
        // A registration told it failed may still have been committed before the primary died,
        // never half of it.
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(it.value(), 5);

        const std::shared_ptr<store::PgSession> session = store::PgDriver::sessionOf(main);
        QVERIFY(session->server().endsWith(u":%1"_s.arg(kStandbyPort)));
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].contains(QString::number(kStandbyPort)), qPrintable(notes[0]));
    }
};

QTEST_GUILESS_MAIN(TstStandby)
#include "tst_standby.moc"
