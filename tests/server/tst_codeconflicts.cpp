// Code master writes on a team server: a category written from a grid read earlier never
// overwrites names learnt since, however the writers meet on the server.
#include "ServerFixture.h"
#include "codes/CodeMasterAdder.h"
#include "codes/CodeStore.h"
#include "codes/PickLists.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;
using Rows = QList<QVariantList>;

namespace {

Rows select(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    Rows out;
    store::readRows(db, sql, values, out);
    return out;
}

} // namespace

class TestCodeConflicts : public QObject, testing::ServerFixture {
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        if (!joinCluster())
            return;
    }

    void init() { QCOMPARE(m_server->readyForTest(), QString()); }

    // An editor's 登録 or 行削除 that waits for another user's registration to finish learning a
    // name sees that name and writes nothing, also when it read the category before.
    void codeWriteWaitsThenRefuses_data()
    {
        QTest::addColumn<bool>("lineDelete");
        QTest::newRow("登録") << false;
        QTest::newRow("行削除") << true;
    }
    void codeWriteWaitsThenRefuses()
    {
        QFETCH(bool, lineDelete);
        QSqlDatabase main, work;
        openBoth(u"editor"_s, main, work);
        QCOMPARE(codes::addCodeMaster(main, store::k訪問先, u"既存商事"_s).error, QString());
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(main, work, store::k訪問先, &read), QString());
        QCOMPARE(
            store::run(work, u"UPDATE wコードマスタ SET sname = '手入力', チェック = 1 WHERE code = '002'"_s),
            QString());
        std::promise<void> learnt;
        auto other = std::async(std::launch::async, [this, &learnt] {
            store::Error e = store::openServer(u"learner"_s, m_server->conninfo());
            if (e.ok()) {
                const QSqlDatabase db = QSqlDatabase::database(u"learner"_s, false);
                store::Transaction tx(db);
                codes::CodeMasterAdder adder(db);
                const codes::AddResult r = adder.add(store::k訪問先, u"新規商事"_s);
                e = r.error;
                learnt.set_value();
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
                if (e.ok() && !tx.commit())
                    e = tx.error();
            } else {
                learnt.set_value();
            }
            store::closeDatabase(u"learner"_s);
            return e;
        });
        learnt.get_future().wait();
        QElapsedTimer waited;
        waited.start();
        const codes::CategoryWrite w = lineDelete ? codes::deleteTickedLines(main, work, store::k訪問先, read)
                                                  : codes::registerCategory(main, work, store::k訪問先, read);
        QCOMPARE(other.get(), QString());
        QVERIFY2(waited.elapsed() > 300, "the write did not wait for the learning transaction");
        QVERIFY(w.changedSince);
        QVERIFY(!w.stored);
        QCOMPARE(
            select(
                main,
                u"SELECT code, sname FROM コードマスタ WHERE kcode = '訪問先' AND sname <> '' ORDER BY code"_s),
            (Rows{{u"001"_s, u"既存商事"_s}, {u"002"_s, u"新規商事"_s}}));
        // The grid keeps what was typed and ticked.
        QCOMPARE(select(work, u"SELECT sname, チェック FROM wコードマスタ WHERE code = '002'"_s),
                 (Rows{{u"手入力"_s, 1}}));
        main = work = QSqlDatabase();
        store::closeDatabase(u"editormain"_s);
        store::closeDatabase(u"editorwork"_s);
    }

    // One person adds names by hand on 設定・情報 while two others register reports: every
    // visit destination and remark of the stored reports stays learnt in the code master.
    void editorNeverDropsLearntNames()
    {
        const QString worker = QCoreApplication::applicationDirPath() + u"/pg_worker"_s;
        QList<QProcess*> procs;
        const QStringList modes = {u"register"_s, u"register"_s, u"edit"_s};
        for (int i = 0; i < modes.size(); ++i) {
            auto* p = new QProcess(this);
            p->start(worker, {m_server->conninfo(), m_dir.path() + u"/editor%1"_s.arg(i), modes[i],
                              QString::number(2000 + i), u"5000"_s});
            procs << p;
        }
        for (int i = 0; i < procs.size(); ++i) {
            QVERIFY(procs[i]->waitForFinished(120000));
            QVERIFY2(procs[i]->exitCode() == 0,
                     qPrintable(QString::fromUtf8(procs[i]->readAllStandardError())));
            const QStringList counts =
                QString::fromUtf8(procs[i]->readAllStandardOutput()).trimmed().split(u' ');
            QCOMPARE(counts.size(), 2);
            QVERIFY2(counts[0].toInt() > 0, qPrintable(modes[i] + u": nothing done"_s));
            qInfo("%s: %s done, %s locked or refused as changed since read", qPrintable(modes[i]),
                  qPrintable(counts[0]), qPrintable(counts[1]));
            delete procs[i];
        }
        QSqlDatabase main, work;
        openBoth(u"learnt"_s, main, work);
        QVERIFY(select(main, u"SELECT count(*) FROM 営業日報"_s).value(0).value(0).toInt() > 0);
        QCOMPARE(select(main, u"SELECT '訪問先', l.訪問先 FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM "
                              "コードマスタ c WHERE c.kcode = '訪問先' AND c.sname = l.訪問先) UNION "
                              "SELECT '備考', l.備考 FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM "
                              "コードマスタ c WHERE c.kcode = '備考' AND c.sname = l.備考)"_s),
                 Rows{});
        main = work = QSqlDatabase();
        store::closeDatabase(u"learntmain"_s);
        store::closeDatabase(u"learntwork"_s);
    }
};

QTEST_MAIN(TestCodeConflicts)
#include "tst_codeconflicts.moc"
