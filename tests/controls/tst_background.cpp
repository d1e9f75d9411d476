// Work run off the user-interface thread (ui/Background): the job reads through a connection of
// its own on another thread, its result arrives on this one, キャンセル and a newer start stop a
// statement that would never end and drop its result, and closing the owner waits for nothing.
#include "Dialogs.h"
#include "TestFiles.h"
#include "store/Integrity.h"
#include "store/Db.h"
#include "ui/Background.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <sqlite3.h>
#include <QThread>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// A statement that never ends on its own.
const QString kEndless = u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                         "SELECT count(*) FROM c"_s;

struct Outcome {
    store::Error error;
    qint64 value = 0;
};

Outcome count(const QSqlDatabase& db, const QString& sql)
{
    Outcome o;
    store::Statement s(db, sql);
    o.error = store::forEachRow(s, [&o](const store::Statement& r) { o.value = r.value(0).toLongLong(); });
    return o;
}
} // namespace

class TstBackground : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void resultOnThisThread();
    void cancelStopsAndDrops_data();
    void cancelStopsAndDrops();
    void barAfterAPauseWithCancel();
    void ownerClosedWhileRunning();
    void connectionRefused();
    void writeWaitsForTheCheck_data();
    void writeWaitsForTheCheck();

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QSqlDatabase m_main, m_work;
    std::unique_ptr<QWidget> m_owner;
};

void TstBackground::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QCOMPARE(testing::openFreshFiles(m_dir->path(), u"bg"_s, m_main, m_work), QString());
    QCOMPARE(
        store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES ('2026-01-05', '山田', '営業部', '日報')"_s),
        QString());
    m_owner = std::make_unique<QWidget>();
    app::Background::setShowAfter(500);
}

void TstBackground::cleanup()
{
    m_owner.reset();
    testing::closeFreshFiles(u"bg"_s, m_main, m_work);
}

void TstBackground::resultOnThisThread()
{
    app::Background bg(m_owner.get(), u"prg試験"_s, u"数えています…"_s);
    QThread* here = QThread::currentThread();
    QThread* worker = nullptr;
    std::optional<Outcome> got;
    QList<bool> running;
    connect(&bg, &app::Background::runningChanged, this, [&running](bool r) { running << r; });
    bg.start<Outcome>(
        m_main,
        [&worker](app::JobContext& job) {
            worker = QThread::currentThread();
            return count(job.db(), u"SELECT count(*) FROM 営業日報ヘッダ"_s);
        },
        [&](const Outcome& o) {
            QCOMPARE(QThread::currentThread(), here);
            got = o;
        },
        {});
    QVERIFY(bg.isRunning());
    QTRY_VERIFY(got.has_value());
    QCOMPARE(got->error, QString());
    QCOMPARE(got->value, 1);
    QVERIFY(worker && worker != here);
    QCOMPARE(running, QList<bool>({true, false}));
    QVERIFY(!bg.isRunning());
}

void TstBackground::cancelStopsAndDrops_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("キャンセル") << false;
    QTest::newRow("a newer start") << true;
}

// An endless statement is interrupted on its connection: its thread ends at once and its
// result never arrives; a newer job's does.
void TstBackground::cancelStopsAndDrops()
{
    QFETCH(bool, replaced);
    app::Background bg(m_owner.get(), u"prg試験"_s, u"数えています…"_s);
    int endlessDone = 0;
    std::atomic<bool> endlessStarted = false;
    std::optional<Outcome> endlessEnd, newer;
    bg.start<Outcome>(
        m_main,
        [&](app::JobContext& job) {
            endlessStarted = true;
            const Outcome o = count(job.db(), kEndless);
            endlessEnd = o;
            return o;
        },
        [&endlessDone](const Outcome&) { ++endlessDone; }, {});
    QTRY_VERIFY(endlessStarted);
    QTest::qWait(50);
    QElapsedTimer t;
    t.start();
    if (replaced) {
        bg.start<Outcome>(
            m_main,
            [](app::JobContext& job) { return count(job.db(), u"SELECT count(*) FROM 営業日報ヘッダ"_s); },
            [&newer](const Outcome& o) { newer = o; }, {});
        QTRY_VERIFY(newer.has_value());
        QCOMPARE(newer->value, 1);
    } else {
        bg.cancel();
        QVERIFY(!bg.isRunning());
    }
    // The interrupted statement ended as a failure, not as a count.
    QTRY_VERIFY(endlessEnd.has_value());
    QVERIFY(endlessEnd->error.failed());
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    QTest::qWait(50);
    QCOMPARE(endlessDone, 0);
}

void TstBackground::barAfterAPauseWithCancel()
{
    app::Background::setShowAfter(100);
    app::Background bg(m_owner.get(), u"prg試験"_s, u"集計しています…"_s);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    int done = 0, cancelled = 0;
    connect(&bg, &app::Background::cancelledByUser, this, [&cancelled] { ++cancelled; });
    bg.start<Outcome>(
        m_main, [](app::JobContext& job) { return count(job.db(), kEndless); },
        [&done](const Outcome&) { ++done; }, {});
    QVERIFY(!bg.bar()->isVisible());
    QTRY_VERIFY(bg.bar()->isVisible());
    QCOMPARE(bg.bar()->objectName(), u"prg試験"_s);
    QCOMPARE(bg.bar()->findChild<QLabel*>()->text(), u"集計しています…"_s);
    auto* cancel = bg.bar()->findChild<QPushButton*>(u"prg試験キャンセル"_s);
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), u"キャンセル"_s);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(cancelled, 1);
    QVERIFY(!bg.isRunning());
    QVERIFY(!bg.bar()->isVisible());
    QTest::qWait(100);
    QCOMPARE(done, 0);
}

// The owner goes (the window closes) while an endless job runs: it is interrupted and waited
// for, briefly, so that no thread outlives the files' connections.
void TstBackground::ownerClosedWhileRunning()
{
    auto* bg = new app::Background(m_owner.get(), u"prg試験"_s, u"数えています…"_s);
    std::atomic<bool> started = false;
    bool done = false;
    bg->start<Outcome>(
        m_main,
        [&started](app::JobContext& job) {
            started = true;
            return count(job.db(), kEndless);
        },
        [&done](const Outcome&) { done = true; }, {});
    QTRY_VERIFY(started);
    QElapsedTimer t;
    t.start();
    m_owner.reset();
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    QTest::qWait(50);
    QVERIFY(!done);
}

void TstBackground::connectionRefused()
{
    QSqlDatabase gone = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bg-gone"_s);
    gone.setDatabaseName(QUrl::fromLocalFile(m_dir->filePath(u"無い.mdb"_s)).toString());
    {
        app::Background bg(m_owner.get(), u"prg試験"_s, u"数えています…"_s);
        std::optional<store::Error> failed;
        bool ran = false;
        bg.start<Outcome>(
            gone,
            [&ran](app::JobContext& job) {
                ran = true;
                return count(job.db(), u"SELECT 1"_s);
            },
            [](const Outcome&) {}, [&failed](const store::Error& e) { failed = e; });
        QTRY_VERIFY(failed.has_value());
        QVERIFY(failed->failed());
        QVERIFY(!ran);
        QVERIFY(!QFile::exists(m_dir->filePath(u"無い.mdb"_s)));
    }
    gone = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"bg-gone"_s);
}

void TstBackground::writeWaitsForTheCheck_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("waits till it passed") << false;
    QTest::newRow("キャンセル") << true;
}

// The first write after a kill waits for the file's full check with a dialog, the event loop
// turning meanwhile; キャンセル gives the write up while the check goes on.
void TstBackground::writeWaitsForTheCheck()
{
    QFETCH(bool, cancel);
    app::Background::setShowAfter(0);
    // The check waits while another connection holds the file (as a slow check of a big file
    // would), until that lets go.
    const QString path = m_dir->filePath(u"検査.db"_s);
    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "CREATE TABLE t(a); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1)", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
    const auto letGo = [&holder] {
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        holder = nullptr;
    };
    if (!cancel)
        QTimer::singleShot(300, this, letGo);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    QSqlDatabase checked = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bg-checked"_s);
    const QFuture<store::Error> check =
        store::startPageCheck(u"bg-checked"_s, path, store::CheckNeed::Required);
    QVERIFY(store::runningRequiredCheck(u"bg-checked"_s).has_value());
    QVERIFY(!store::runningRequiredCheck(m_main.connectionName()).has_value());
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&ticks] { ++ticks; });
    tick.start(5);
    bool shown = false;
    testing::whenShown<QProgressDialog>(
        [&](QProgressDialog* d) {
            shown = true;
            if (auto* button = d->findChild<QPushButton*>(); cancel && button) {
                QCOMPARE(button->text(), u"キャンセル"_s);
                QTest::mouseClick(button, Qt::LeftButton);
            }
        },
        u"dlgファイル検査"_s);
    const bool goOn = app::awaitFileChecks(m_owner.get(), {m_main, checked});
    tick.stop();
    if (holder)
        letGo();
    QCOMPARE(goOn, !cancel);
    if (!cancel) {
        QVERIFY(check.isFinished());
        QCOMPARE(check.result(), QString());
        QCOMPARE(store::writeAllowed(u"bg-checked"_s), QString());
    }
    // The window's loop ran while it waited.
    QVERIFY2(ticks > 3, qPrintable(QString::number(ticks)));
    QVERIFY(shown || !cancel);
    QCOMPARE(QFileInfo(path).size() > 0, true);
    store::forgetPageCheck(u"bg-checked"_s);
    checked = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"bg-checked"_s);
}

QTEST_MAIN(TstBackground)
#include "tst_background.moc"
