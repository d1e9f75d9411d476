// One server session's exchanges, now that a transaction's BEGIN, the session's bounds and a
// statement's preparation travel with the statement itself: the bounds hold from the first
// statement of every session, a failure still names its reason and keeps nothing, and a
// session lost before a transaction reached the server is opened again without failing it.
#include "store/Connection.h"
#include "ServerFixture.h"
#include "store/Db.h"
#include "store/PgDriver.h"
#include "store/PgEngine.h"
#include "store/Rows.h"
#include "store/Server.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kConn = u"sessionmain"_s;

QSqlDatabase mainDb()
{
    return QSqlDatabase::database(kConn, false);
}

QVariant single(const QString& sql)
{
    QList<store::Row> rows;
    if (store::readRows(mainDb(), sql, {}, rows).failed() || rows.isEmpty())
        return {};
    return rows[0].value(0);
}

int storedTitles()
{
    return single(u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt();
}

store::Error insertHeader(const QString& name)
{
    return store::run(mainDb(),
                      u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES (?, ?, '', '')"_s,
                      {u"2026-12-08"_s, name});
}
} // namespace

class TstSession : public QObject, testing::ServerFixture {
    Q_OBJECT

    std::shared_ptr<store::PgSession> session() const { return store::PgDriver::sessionOf(mainDb()); }

  private slots:
    void initTestCase()
    {
        if (!joinCluster())
            return;
    }

    void init()
    {
        QCOMPARE(m_server->readyForTest(), QString());
        QCOMPARE(store::openServer(kConn, m_server->conninfo()), QString());
    }

    void cleanup() { store::closeDatabase(kConn); }

    // The waits are bounded on a session from its first statement on, also on one opened again.
    void boundsHoldOnEverySession()
    {
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(single(u"SELECT current_setting('lock_timeout')"_s).toString(), u"3s"_s);
            QCOMPARE(single(u"SELECT current_setting('statement_timeout')"_s).toString(), u"15s"_s);
            QCOMPARE(single(u"SELECT current_setting('idle_in_transaction_session_timeout')"_s).toString(),
                     u"30s"_s);
            session()->disconnect();
        }
    }

    // A statement the server refuses fails with its reason where it runs; the transaction it was
    // in keeps nothing, and the session goes on.
    void refusedStatementKeepsNothing_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown table") << u"SELECT * FROM 無い表 WHERE 氏名 = ?"_s << u"無い表"_s;
        QTest::newRow("syntax") << u"SELEC 氏名 FROM 営業日報ヘッダ WHERE 氏名 = ?"_s << u"SELEC"_s;
        QTest::newRow("a value the column refuses")
            << u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES ('not a date', ?)"_s << u"not a date"_s;
    }

    void refusedStatementKeepsNothing()
    {
        QFETCH(QString, bad);
        QFETCH(QString, reason);
        // Fresh and known statements alike: a session that prepared the statement before, and one
        // that meets it first inside the transaction.
        for (const bool fresh : {true, false}) {
            if (fresh)
                session()->disconnect();
            const store::Error e = store::inTransaction(mainDb(), [&]() -> store::Error {
                if (store::Error first = insertHeader(u"佐藤"_s); first.failed())
                    return first;
                store::Statement s(mainDb(), bad);
                s.bind(u"鈴木"_s);
                s.exec();
                return s.error();
            });
            QVERIFY(e.failed());
            QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
            QCOMPARE(e.kind(), store::ErrorKind::Other);
            QCOMPARE(storedTitles(), 0);
        }
        QCOMPARE(insertHeader(u"佐藤"_s), QString());
        QCOMPARE(storedTitles(), 1);
    }

    // The server drops the session after the transaction began here but before anything of it
    // went out: the operation still runs whole, on a new session. Dropped after its first
    // statement, the operation fails and keeps nothing; the next one works.
    void sessionLostAroundTheStart()
    {
        const auto dropOurs = [this] {
            return m_server->admin(u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                   "WHERE application_name = 'tesvan'"_s);
        };
        QCOMPARE(single(u"SELECT 1"_s).toInt(), 1);
        store::Error e = store::inTransaction(mainDb(), [&]() -> store::Error {
            if (QString why = dropOurs(); !why.isEmpty())
                return store::Error(why);
            QTest::qWait(100);
            store::Error first = insertHeader(u"佐藤"_s);
            return first.failed() ? first : insertHeader(u"鈴木"_s);
        });
        QCOMPARE(e, QString());
        QCOMPARE(storedTitles(), 2);

        e = store::inTransaction(mainDb(), [&]() -> store::Error {
            if (store::Error first = insertHeader(u"田中"_s); first.failed())
                return first;
            if (QString why = dropOurs(); !why.isEmpty())
                return store::Error(why);
            QTest::qWait(100);
            return insertHeader(u"高橋"_s);
        });
        QVERIFY(e.failed());
        QCOMPARE(e.kind(), store::ErrorKind::ServerGone);
        QCOMPARE(storedTitles(), 2);
        QCOMPARE(insertHeader(u"高橋"_s), QString());
        QCOMPARE(storedTitles(), 3);
    }

    // A transaction in which nothing ran ends cleanly, and the session is idle after it.
    void emptyTransaction()
    {
        QCOMPARE(store::inTransaction(mainDb(), [] { return store::Error(); }), QString());
        QVERIFY(session()->begin().ok());
        session()->rollback();
        QCOMPARE(single(u"SELECT count(*) FROM pg_stat_activity WHERE application_name = 'tesvan' "
                        "AND state LIKE 'idle in%'"_s)
                     .toInt(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TstSession)
#include "tst_session.moc"
