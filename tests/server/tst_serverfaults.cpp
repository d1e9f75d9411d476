// The team server under faults: killed in the middle of a writing operation, a lock held by
// another user for longer than the program waits.
#include "ServerFixture.h"
#include "codes/CodeStore.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"
#include "ui/Notices.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <functional>
#include <future>

using namespace Qt::StringLiterals;
using Rows = QList<QVariantList>;
using DbFn = std::function<store::Error(const QSqlDatabase& main, const QSqlDatabase& work)>;
Q_DECLARE_METATYPE(DbFn)

namespace {

const QDate kDay(2026, 12, 8);

Rows select(const QSqlDatabase& db, const QString& sql)
{
    Rows out;
    store::readRows(db, sql, {}, out);
    return out;
}

store::Error setLines(const QSqlDatabase& work, const QStringList& contents)
{
    if (store::Error e = report::resetLines(work); e.failed())
        return e;
    for (int i = 0; i < contents.size(); ++i)
        if (store::Error e = store::run(work,
                                        u"UPDATE w営業日報 SET 表示日付 = '2026-12-08', 日付 = '2026-12-08', "
                                        "訪問先 = '本社', 内容 = ? WHERE 行番号 = ?"_s,
                                        {contents[i], i + 1});
            e.failed())
            return e;
    return {};
}

store::Error registerVersion(const QSqlDatabase& main, const QSqlDatabase& work, const QString& name,
                             const QStringList& lines)
{
    if (store::Error e = setLines(work, lines); e.failed())
        return e;
    return report::registerReport(main, work, {kDay, name, u"営業部"_s, lines.join(u'+')});
}

// What a row's check looks at: every report and the visit places' names.
const QString kReports =
    u"SELECT h.氏名, h.タイトル, string_agg(l.内容, ',' ORDER BY l.行番号) FROM 営業日報ヘッダ h "
    "LEFT JOIN 営業日報 l USING (作成日, 氏名) GROUP BY h.氏名, h.タイトル ORDER BY h.氏名"_s;
const QString kPlaces = u"SELECT count(*), count(NULLIF(sname, '')), string_agg(NULLIF(sname, ''), ',' ORDER "
                        u"BY code) FROM コードマスタ "
                        "WHERE kcode = '訪問先'"_s;

} // namespace

// What the code master row of the kill test read, for its write.
static codes::CategoryState s_placesRead;

class TestServerFaults : public QObject, testing::ServerFixture {
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        if (!joinCluster())
            return;
    }

    void init() { QCOMPARE(m_server->readyForTest(), QString()); }

    // Another user holds a row the operation must change; the server is killed while the
    // operation waits for it, half done. Nothing of it stays, and once the server is back the
    // same program's next attempt works, on the connection it had.
    void killedInsideAnOperation_data()
    {
        QTest::addColumn<DbFn>("setup");
        QTest::addColumn<QString>("hold"); // the row the other user holds
        QTest::addColumn<DbFn>("operation");
        QTest::addColumn<QString>("check");
        QTest::addColumn<Rows>("after");
        const DbFn twoReports = [](const QSqlDatabase& main, const QSqlDatabase& work) {
            store::Error e = registerVersion(main, work, u"佐藤"_s, {u"旧1"_s, u"旧2"_s, u"旧3"_s, u"旧4"_s});
            return e.ok() ? registerVersion(main, work, u"鈴木"_s, {u"鈴1"_s}) : e;
        };
        QTest::newRow("登録") << twoReports
                              << u"SELECT 1 FROM 営業日報 WHERE 氏名 = '佐藤' AND 行番号 = 3 FOR UPDATE"_s
                              << DbFn([](const QSqlDatabase& main, const QSqlDatabase& work) {
                                     return registerVersion(main, work, u"佐藤"_s, {u"新1"_s, u"新2"_s});
                                 })
                              << kReports
                              << Rows{{u"佐藤"_s, u"新1+新2"_s, u"新1,新2"_s},
                                      {u"鈴木"_s, u"鈴1"_s, u"鈴1"_s}};
        QTest::newRow("コードマスタ 登録")
            << DbFn([](const QSqlDatabase& main, const QSqlDatabase& work) {
                   return codes::readCategory(main, work, store::k訪問先, &s_placesRead);
               })
            << u"SELECT 1 FROM コードマスタ WHERE kcode = '訪問先' AND code = '150' FOR UPDATE"_s
            << DbFn([](const QSqlDatabase& main, const QSqlDatabase& work) {
                   const store::Error e = store::run(
                       work, u"UPDATE wコードマスタ SET sname = 'x' || code WHERE code IN ('001', '199')"_s);
                   return e.ok() ? codes::registerCategory(main, work, store::k訪問先, s_placesRead).error
                                 : e;
               })
            << kPlaces << Rows{{199, 2, u"x001,x199"_s}};
        QTest::newRow("一覧 削除") << DbFn([twoReports](const QSqlDatabase& main, const QSqlDatabase& work) {
            store::Error e = twoReports(main, work);
            if (e.ok())
                e = list::readList(main, work, QString()).error;
            return e.ok() ? store::run(work, u"UPDATE w一覧 SET チェック = 1"_s) : e;
        }) << u"SELECT 1 FROM 営業日報ヘッダ WHERE 氏名 = '鈴木' FOR UPDATE"_s
                                   << DbFn([](const QSqlDatabase& main, const QSqlDatabase& work) {
                                          return list::deleteTickedReports(main, work).error;
                                      })
                                   << kReports << Rows{};
    }
    void killedInsideAnOperation()
    {
        QFETCH(DbFn, setup);
        QFETCH(QString, hold);
        QFETCH(DbFn, operation);
        QFETCH(QString, check);
        QFETCH(Rows, after);
        const auto closeHolder = closedAtEnd(u"holder"_s);
        QCOMPARE(openUser(u"holder"_s), QString());
        const QSqlDatabase holder = mainOf(u"holder"_s);
        const QSqlDatabase holderWork = workOf(u"holder"_s);
        QCOMPARE(setup(holder, holderWork), QString());
        const Rows before = select(holder, check);
        QVERIFY(!before.isEmpty());

        std::promise<void> ready, restarted, held;
        std::shared_future<void> back = restarted.get_future().share();
        std::shared_future<void> go = held.get_future().share();
        // The other program, on a thread of its own with its own connections.
        auto user = std::async(std::launch::async, [&]() -> std::pair<store::Error, store::Error> {
            store::Error e = openUser(u"user"_s);
            if (e.ok()) {
                const QSqlDatabase main = mainOf(u"user"_s);
                const QSqlDatabase work = workOf(u"user"_s);
                e = setup(main, work);
                if (e.ok()) {
                    ready.set_value();
                    go.wait();
                    const store::Error first = operation(main, work);
                    back.wait();
                    const store::Error second = operation(main, work);
                    closeUser(u"user"_s);
                    return {first.ok() ? store::Error(u"the first attempt succeeded"_s) : store::Error(),
                            second};
                }
            }
            ready.set_value();
            closeUser(u"user"_s);
            return {e, e};
        });
        {
            ready.get_future().wait();
            store::Transaction tx(holder);
            QVERIFY(tx.ok());
            const QString held_ = store::run(holder, hold).reason();
            held.set_value();
            QCOMPARE(held_, QString());
            QTest::qWait(700); // the user's operation is waiting for the row now
            QVERIFY(m_server->stop("immediate"));
        }
        QVERIFY(m_server->start());
        // Nothing of the killed attempt stayed (the holder's connection opens afresh by itself).
        QCOMPARE(select(holder, check), before);
        restarted.set_value();
        const auto [first, second] = user.get();
        QCOMPARE(first, QString());
        QCOMPARE(second, QString());
        QCOMPARE(select(holder, check), after);
    }

    // Another user holds the report for longer than the program waits: the registration gives up
    // within the bound, says another user is working on it, and leaves nothing of itself.
    void lockHeldLongerThanTheBound()
    {
        const auto closeA = closedAtEnd(u"a"_s);
        QCOMPARE(openUser(u"a"_s), QString());
        const QSqlDatabase main = mainOf(u"a"_s);
        const QSqlDatabase work = workOf(u"a"_s);
        QCOMPARE(registerVersion(main, work, u"佐藤"_s, {u"旧1"_s, u"旧2"_s}), QString());
        const Rows before = select(main, kReports);
        std::promise<void> holding;
        auto other = std::async(std::launch::async, [&]() -> QString {
            const auto closeB = closedAtEnd(u"b"_s);
            store::Error e = openUser(u"b"_s);
            const QSqlDatabase b = mainOf(u"b"_s);
            if (e.ok()) {
                store::Transaction tx(b);
                e = store::serialise(b, {store::reportKey(store::dateValue(kDay), u"佐藤"_s)});
                holding.set_value();
                QThread::sleep(8);
            } else {
                holding.set_value();
            }
            return e.reason();
        });
        holding.get_future().wait();
        QElapsedTimer t;
        t.start();
        const store::Error e = registerVersion(main, work, u"佐藤"_s, {u"新1"_s});
        const qint64 waited = t.elapsed();
        QCOMPARE(other.get(), QString());
        QVERIFY(e.failed());
        QVERIFY2(e.isServerBusy(), qPrintable(e.reason()));
        QCOMPARE(e.kind(), store::ErrorKind::Busy);
        QVERIFY2(waited < 6000, qPrintable(QString::number(waited)));
        QVERIFY2(app::failureText(u"日報を登録"_s, e).contains(u"他のユーザーが作業中です"_s),
                 qPrintable(app::failureText(u"日報を登録"_s, e)));
        QCOMPARE(select(main, kReports), before);
        // Once the other user is done, trying again works.
        QCOMPARE(registerVersion(main, work, u"佐藤"_s, {u"新1"_s}), QString());
    }
};

QTEST_MAIN(TestServerFaults)
#include "tst_serverfaults.moc"
