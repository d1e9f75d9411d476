// The window's writing operations against a main file that another program has locked, that
// refuses writes, or whose disk is full: the その他/注意 notice says so, nothing of the operation
// is stored, nothing stored before is lost, and the same operation succeeds once the fault is gone.
// The same for a cell written into a work file that another program has locked.
#include "Boxes.h"
#include "TestFiles.h"
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "ui/Notices.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "store/Db.h"
#include "store/Schema.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

enum class Op { Entry, ListDelete, CodeEntry, DataInit };
enum class Fault { Locked, RefusesWrites, PageLimit, FullDisk };
enum class CellEdit { ReportTyped, ReportPanel, ReportFillDown, ListTick, CodeTyped };
Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(CellEdit)

class TestFaultWindow : public QObject {
    Q_OBJECT
  private slots:
    void failsWholeAndRecovers_data();
    void failsWholeAndRecovers();
    void cellWriteOnLockedWorkFile_data();
    void cellWriteOnLockedWorkFile();
};

namespace {

const QDate kDate(2026, 4, 1);
const QString kRefusal = u"this disk refuses writes"_s;

bool exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

// Every stored row of the main file, as one text.
QString mainContents(const QSqlDatabase& main)
{
    QString out;
    for (const QString& sql :
         {u"SELECT * FROM 営業日報ヘッダ ORDER BY 1, 2"_s, u"SELECT * FROM 営業日報 ORDER BY 1, 2, 3"_s,
          u"SELECT * FROM コードマスタ ORDER BY 1, 2"_s}) {
        QSqlQuery q(main);
        if (!q.exec(sql))
            return u"<unreadable: %1>"_s.arg(q.lastError().text());
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                out += (q.isNull(i) ? u"<null>"_s : q.value(i).toString()) + u'|';
            out += u'\n';
        }
    }
    return out;
}

int count(const QSqlDatabase& db, const QString& sql)
{
    return testing::firstValue(db, sql).toInt();
}

// Reports stored before the operation; they must outlive every fault.
bool storeReports(const QSqlDatabase& main, int n)
{
    return store::inTransaction(
               main,
               [&] {
                   for (int i = 0; i < n; ++i) {
                       const QVariant d = kDate.addDays(-1 - i).toString(Qt::ISODate);
                       if (store::Error e = store::run(
                               main, u"INSERT INTO 営業日報ヘッダ VALUES (?, '先客', '部', 't')"_s, {d});
                           e.failed())
                           return e;
                       for (int n = 1; n <= 5; ++n)
                           if (store::Error e = store::run(
                                   main,
                                   u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES (?, '先客', ?, 'x')"_s,
                                   {d, n});
                               e.failed())
                               return e;
                   }
                   return store::Error();
               })
        .ok();
}

// Holds a fault on the main file until released.
class FaultOn {
  public:
    // lockSql: what the other program runs to hold its lock (on the main file it also writes).
    FaultOn(Fault f, FrmTesvan& w, const QString& path,
            const QByteArray& lockSql =
                "BEGIN EXCLUSIVE;\nINSERT INTO 営業日報ヘッダ VALUES ('1999-01-01', 'lock', '', '');\n")
        : m_fault(f), m_window(w), m_path(path), m_lockSql(lockSql)
    {
    }
    ~FaultOn() { release(); }

    bool apply()
    {
        switch (m_fault) {
        case Fault::Locked:
            return lock();
        case Fault::RefusesWrites:
            return refuse(true);
        case Fault::PageLimit: {
            const int pages = count(m_window.MainDb(), u"PRAGMA page_count"_s);
            return pages > 0 && exec(m_window.MainDb(), u"PRAGMA max_page_count = %1"_s.arg(pages));
        }
        case Fault::FullDisk:
            // The log truncated first: room it kept from earlier writes would take a small write.
            return exec(m_window.MainDb(), u"PRAGMA wal_checkpoint(TRUNCATE)"_s) && fillDisk();
        }
        return false;
    }
    void release()
    {
        if (m_released)
            return;
        m_released = true;
        switch (m_fault) {
        case Fault::Locked:
            if (m_cli.state() == QProcess::Running) {
                m_cli.write("ROLLBACK;\n.quit\n");
                m_cli.closeWriteChannel();
                if (!m_cli.waitForFinished(5000))
                    m_cli.kill();
            }
            break;
        case Fault::RefusesWrites:
            refuse(false);
            break;
        case Fault::PageLimit:
            exec(m_window.MainDb(), u"PRAGMA max_page_count = 1073741823"_s);
            break;
        case Fault::FullDisk:
            QFile::remove(filler());
            break;
        }
    }

  private:
    bool lock()
    {
        const QString cli = QStandardPaths::findExecutable(u"sqlite3"_s);
        if (cli.isEmpty())
            return false;
        m_cli.start(cli, {m_path});
        if (!m_cli.waitForStarted(5000))
            return false;
        m_cli.write(m_lockSql);
        // Held once another connection can no longer begin writing.
        for (int i = 0; i < 250; ++i) {
            QTest::qWait(20);
            const QString conn = u"probe"_s;
            bool held = false;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, conn);
                db.setDatabaseName(m_path);
                db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
                if (db.open()) {
                    QSqlQuery q(db);
                    held = !q.exec(u"BEGIN IMMEDIATE"_s);
                    if (!held)
                        q.exec(u"ROLLBACK"_s);
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(conn);
            if (held)
                return true;
        }
        return false;
    }

    bool refuse(bool on)
    {
        const QString conn = u"refuser"_s;
        bool ok = true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, conn);
            db.setDatabaseName(m_path);
            ok = db.open();
            for (const QString& table : {u"営業日報ヘッダ"_s, u"営業日報"_s, u"コードマスタ"_s})
                for (const QString& what : {u"INSERT"_s, u"UPDATE"_s, u"DELETE"_s}) {
                    const QString name = u"refuse_%1_%2"_s.arg(table, what);
                    ok = ok &&
                         exec(db,
                              on ? u"CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, '%4'); END"_s
                                       .arg(name, what, table, kRefusal)
                                 : u"DROP TRIGGER %1"_s.arg(name));
                }
            db.close();
        }
        QSqlDatabase::removeDatabase(conn);
        return ok;
    }

    QString filler() const { return QFileInfo(m_path).absolutePath() + u"/../filler"_s; }

    // Takes every free byte of the small file system the data folder lives on.
    bool fillDisk()
    {
        QFile f(filler());
        if (!f.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        return true;
    }

    Fault m_fault;
    FrmTesvan& m_window;
    QString m_path;
    QProcess m_cli;
    QByteArray m_lockSql;
    bool m_released = false;
};

// A data folder on a small file system of its own (root only), unmounted at the end.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;
    bool mount()
    {
        mounted = geteuid() == 0 &&
                  ::mount("tmpfs", dir.path().toLocal8Bit().constData(), "tmpfs", 0, "size=3m") == 0;
        return mounted;
    }
    ~SmallDisk()
    {
        if (mounted && ::umount(dir.path().toLocal8Bit().constData()) != 0)
            ::umount2(dir.path().toLocal8Bit().constData(), MNT_DETACH);
    }
};

} // namespace

void TestFaultWindow::failsWholeAndRecovers_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<Fault>("fault");
    const QList<std::pair<const char*, Op>> ops = {{"登録", Op::Entry},
                                                   {"list 削除", Op::ListDelete},
                                                   {"code master 登録", Op::CodeEntry},
                                                   {"Data初期化", Op::DataInit}};
    for (const auto& [name, op] : ops) {
        QTest::addRow("%s, file locked by another program", name) << op << Fault::Locked;
        QTest::addRow("%s, file refusing writes", name) << op << Fault::RefusesWrites;
    }
    // Only what needs new room can run out of it: deletions free pages.
    QTest::addRow("登録, file at its page limit") << Op::Entry << Fault::PageLimit;
    QTest::addRow("code master 登録, file at its page limit") << Op::CodeEntry << Fault::PageLimit;
    QTest::addRow("登録, disk full") << Op::Entry << Fault::FullDisk;
    QTest::addRow("code master 登録, disk full") << Op::CodeEntry << Fault::FullDisk;
}

void TestFaultWindow::failsWholeAndRecovers()
{
    QFETCH(Op, op);
    QFETCH(Fault, fault);

    SmallDisk disk;
    testing::WindowFixture fx;
    if (fault == Fault::FullDisk) {
        if (!disk.mount())
            QSKIP("mounting a small file system needs root");
        const QString data = testing::makeDataFolder(disk.dir.path());
        fx.boxes = std::make_unique<testing::ScriptedBoxes>();
        fx.window = std::make_unique<FrmTesvan>();
        QVERIFY(fx.window->loadFrom(app::dataPathsIn(data)));
        fx.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(fx.window.get()));
    } else {
        QVERIFY(fx.start());
    }
    FrmTesvan& w = *fx.window;
    const QSqlDatabase main = w.MainDb();
    const QString mainPath =
        (fault == Fault::FullDisk ? disk.dir.path() : fx.tmp->path()) + u"/data/"_s + store::kMainFileName;
    QVERIFY(QFile::exists(mainPath));
    QVERIFY(storeReports(main, 3));

    ReportTab* r = w.reportTab();
    ListTab* list = w.listTab();
    CodeTab* codes = w.codeTab();
    QString what;
    std::function<void()> run;
    std::function<bool()> done;
    switch (op) {
    case Op::Entry: {
        r->Dt日付->setDate(kDate);
        r->cmb氏名->setEditText(u"山田"_s);
        QVERIFY(exec(w.WorkDb(),
                     u"UPDATE w営業日報 SET 日付 = '2026-04-01', 訪問先 = '新しい訪問先' || 行番号, "
                     "内容 = '本日の訪問の内容、長めの本文 ' || 行番号 || printf('%.300c', '*') "
                     "WHERE 行番号 <= 100"_s));
        QCOMPARE(r->dat日報->refresh(), QString());
        what = u"日報を登録"_s;
        run = [r] { r->Entry日報(); };
        done = [main] {
            return count(main, u"SELECT COUNT(*) FROM 営業日報 WHERE 氏名 = '山田'"_s) == 100 &&
                   count(main, u"SELECT COUNT(*) FROM 営業日報ヘッダ WHERE 氏名 = '山田'"_s) == 1;
        };
        break;
    }
    case Op::ListDelete:
        w.SSTab1->setCurrentIndex(1);
        list->Read一覧();
        QVERIFY(exec(w.WorkDb(), u"UPDATE w一覧 SET チェック = 1 WHERE 作成日 <> '2026-03-31'"_s));
        QCOMPARE(list->dat一覧->refresh(), QString());
        what = u"チェックした日報を削除"_s;
        run = [list] { list->Delete日報一覧(); };
        done = [main] {
            return count(main, u"SELECT COUNT(*) FROM 営業日報ヘッダ"_s) == 1 &&
                   count(main, u"SELECT COUNT(*) FROM 営業日報"_s) == 5;
        };
        break;
    case Op::CodeEntry:
        w.SSTab1->setCurrentIndex(2);
        codes->cmbコード区分->setCurrentIndex(int(store::kCategories.indexOf(store::k訪問先)));
        codes->Readコードマスタ();
        QVERIFY(exec(
            w.WorkDb(),
            u"UPDATE wコードマスタ SET sname = '訪問先の少し長い名前 ' || code || printf('%.60c', '*')"_s));
        QCOMPARE(codes->datコードマスタ->refresh(), QString());
        what = u"コードマスタを登録"_s;
        run = [codes] { codes->Entryコードマスタ(); };
        done = [main] {
            return count(
                       main,
                       u"SELECT COUNT(*) FROM コードマスタ WHERE kcode = '訪問先' AND sname LIKE '訪問先の少し長い名前%'"_s) ==
                   199;
        };
        break;
    case Op::DataInit:
        what = u"データを初期化"_s;
        run = [&w] { w.Data初期化(); };
        done = [main] {
            return count(main, u"SELECT COUNT(*) FROM 営業日報ヘッダ"_s) +
                       count(main, u"SELECT COUNT(*) FROM 営業日報"_s) ==
                   0;
        };
        break;
    }
    const QString before = mainContents(main);

    {
        FaultOn on(fault, w, mainPath);
        QVERIFY2(on.apply(), "the fault could not be set up");
        fx.boxes->shown.clear();
        fx.boxes->answers = {true};
        run();
        QList<MsgSpec> notices;
        for (const MsgSpec& s : fx.boxes->shown)
            if (s.title == u"注意"_s)
                notices << s;
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].text.startsWith(what + u"できませんでした。"_s), qPrintable(notices[0].text));
        if (fault == Fault::Locked)
            QVERIFY2(notices[0].text.contains(u"他のプログラムがデータベースファイルを使用中です"_s),
                     qPrintable(notices[0].text));
        else if (fault == Fault::RefusesWrites)
            QVERIFY2(notices[0].text.contains(kRefusal), qPrintable(notices[0].text));
        else
            QVERIFY2(notices[0].text.contains(u"full"_s), qPrintable(notices[0].text));
        on.release();
        // Nothing of the operation, nothing lost.
        QCOMPARE(mainContents(main), before);
        QVERIFY(!done());
    }

    // The same operation once the fault is gone.
    fx.boxes->shown.clear();
    fx.boxes->answers = {true};
    run();
    for (const MsgSpec& s : fx.boxes->shown)
        QVERIFY2(s.title != u"注意"_s, qPrintable(s.text));
    QVERIFY(done());
    QCOMPARE(testing::firstValue(main, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    fx.stop();
}

void TestFaultWindow::cellWriteOnLockedWorkFile_data()
{
    QTest::addColumn<CellEdit>("edit");
    QTest::addColumn<QString>("what");
    QTest::newRow("日報, a typed cell") << CellEdit::ReportTyped << u"入力を保存"_s;
    QTest::newRow("日報, the contents panel") << CellEdit::ReportPanel << u"内容を書き込み"_s;
    QTest::newRow("日報, Ctrl+D") << CellEdit::ReportFillDown << u"上の行の値を写"_s;
    QTest::newRow("一覧, a tick") << CellEdit::ListTick << u"チェックを保存"_s;
    QTest::newRow("コードマスタ, a typed name") << CellEdit::CodeTyped << u"入力を保存"_s;
}

// The error the work file gave reaches the notice as it was: the notice tells a lock (try again
// shortly), not a generic failure. What was typed is kept and written once the lock is gone.
void TestFaultWindow::cellWriteOnLockedWorkFile()
{
    QFETCH(CellEdit, edit);
    QFETCH(QString, what);

    testing::WindowFixture fx;
    QVERIFY(fx.start());
    FrmTesvan& w = *fx.window;
    QVERIFY(storeReports(w.MainDb(), 3));
    ReportTab* r = w.reportTab();
    DataGrid* g = r->Grid日報;
    QString stored; // the work file's value the edit writes
    std::function<void()> act;
    std::function<void()> again; // the same edit once the lock is gone
    switch (edit) {
    case CellEdit::ReportTyped:
        g->setFocus();
        g->setRow(0);
        g->setCol(ReportTab::ColPlace);
        testing::typeText(u"訪問先A"_s);
        act = [] { testing::pressKey(Qt::Key_Return); };
        again = act; // the editor stays open with what was typed
        stored = u"SELECT 訪問先 FROM w営業日報 WHERE 行番号 = 1"_s;
        break;
    case CellEdit::ReportPanel:
        g->setFocus();
        g->setRow(0);
        g->setCol(ReportTab::ColText);
        act = [r] {
            r->cellAction();
            r->txt内容->setPlainText(u"訪問先A"_s);
            r->cmd入力書込->click();
        };
        again = act;
        stored = u"SELECT 内容 FROM w営業日報 WHERE 行番号 = 1"_s;
        break;
    case CellEdit::ReportFillDown:
        QVERIFY(exec(w.WorkDb(), u"UPDATE w営業日報 SET 訪問先 = '訪問先A' WHERE 行番号 = 1"_s));
        QCOMPARE(r->dat日報->refresh(), QString());
        g->setFocus();
        g->setRow(1);
        g->setCol(ReportTab::ColPlace);
        act = [g] { QTest::keyClick(g, Qt::Key_D, Qt::ControlModifier); };
        again = act;
        stored = u"SELECT 訪問先 FROM w営業日報 WHERE 行番号 = 2"_s;
        break;
    case CellEdit::ListTick: {
        w.SSTab1->setCurrentIndex(1);
        ListTab* list = w.listTab();
        list->Read一覧();
        g = list->Grid一覧;
        g->setFocus();
        g->setRow(0);
        g->setCol(ListTab::ColCheck);
        act = [g] { QTest::keyClick(g, Qt::Key_Space); };
        again = act;
        stored = u"SELECT CASE WHEN チェック <> 0 THEN '訪問先A' END FROM w一覧 ORDER BY rowid LIMIT 1"_s;
        break;
    }
    case CellEdit::CodeTyped: {
        w.SSTab1->setCurrentIndex(2);
        CodeTab* codes = w.codeTab();
        codes->Readコードマスタ();
        g = codes->Gridコード表;
        g->setFocus();
        g->setRow(0);
        g->setCol(CodeTab::ColName);
        testing::typeText(u"訪問先A"_s);
        act = [] { testing::pressKey(Qt::Key_Return); };
        again = act;
        stored = u"SELECT sname FROM wコードマスタ ORDER BY rowid LIMIT 1"_s;
        break;
    }
    }
    QVERIFY(testing::firstValue(w.WorkDb(), stored).toString() != u"訪問先A"_s);

    {
        FaultOn on(Fault::Locked, w, fx.tmp->path() + u"/data/"_s + store::kWorkFileName,
                   "BEGIN EXCLUSIVE;\n");
        QVERIFY2(on.apply(), "the lock could not be set up");
        fx.boxes->shown.clear();
        act();
        QCOMPARE(fx.boxes->shown.size(), 1);
        const MsgSpec notice = fx.boxes->shown[0];
        QCOMPARE(notice.title, u"注意"_s);
        QVERIFY2(notice.text.startsWith(what + u"できませんでした。"_s), qPrintable(notice.text));
        QVERIFY2(notice.text.contains(u"他のプログラムがデータベースファイルを使用中です"_s),
                 qPrintable(notice.text));
        QVERIFY(testing::firstValue(w.WorkDb(), stored).toString() != u"訪問先A"_s);
    }

    fx.boxes->shown.clear();
    again();
    QCOMPARE(fx.boxes->shown.size(), 0);
    QCOMPARE(testing::firstValue(w.WorkDb(), stored).toString(), u"訪問先A"_s);
    fx.stop();
}

QTEST_MAIN(TestFaultWindow)
#include "tst_faultwindow.moc"
