// Start-up and shut-down: data folder, opening both files, caption, single instance, exit.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/Application.h"
#include "codes/PickLists.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "app/FolderLock.h"
#include "app/SingleInstance.h"
#include "ui/grid/DataGrid.h"
#include "ui/DateInput.h"
#include "store/Db.h"
#include "store/FileRecord.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <QLockFile>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing;

class TstApp : public QObject {
    Q_OBJECT
  private slots:
    void dataFolderRule_data();
    void dataFolderRule();
    void openFailures_data();
    void openFailures();
    void readOnlyFile();
    void loadAndUnload();
    void startOnItsOwnStateWritesNothing_data();
    void startOnItsOwnStateWritesNothing();
    void dueCheckRunsOnceShown_data();
    void dueCheckRunsOnceShown();
    void closeEndsWithZero();
    void secondStartRaisesFirst();
    void damagedMainIsNeverWritten();
    void instanceKeyPerInstallation();
    void instanceFolderIsPrivate_data();
    void instanceFolderIsPrivate();
    void oneProgramPerFolder_data();
    void oneProgramPerFolder();
};

void TstApp::dataFolderRule_data()
{
    QTest::addColumn<QString>("marker"); // what stands at the marker's path: "", "file", "hidden", "folder"
    QTest::addColumn<QString>("beside"); // what stands beside the executable as data: "", "folder", "file"
    QTest::addColumn<QString>("chosen"); // "fixed", "beside" or "user"
    const auto row = [](const char* name, const char* marker, const char* beside, const char* chosen) {
        QTest::newRow(name) << QString(marker) << QString(beside) << QString(chosen);
    };
    row("build folder or portable copy", "", "folder", "beside");
    row("installed: nothing beside", "", "", "user");
    // A copy that keeps its data beside it is refused there with the usual message, never sent
    // to another folder.
    row("a file named data beside", "", "file", "beside");
    row("marker wins over data beside", "file", "folder", "fixed");
    row("marker wins over the user's folder", "file", "", "fixed");
    row("hidden marker does not count", "hidden", "folder", "beside");
    row("folder of the marker's name does not count", "folder", "", "user");
}

void TstApp::dataFolderRule()
{
    QFETCH(QString, marker);
    QFETCH(QString, beside);
    QFETCH(QString, chosen);
    QTemporaryDir tmp;
    const QString fixed = "/develop4/Tesvan/data/";
    const QString user = tmp.filePath("home/.local/share/tesvan/");
    const QString exe = tmp.filePath("opt/tesvan");
    QVERIFY(QDir().mkpath(exe));
    QString markerPath = tmp.filePath(marker == "hidden" ? ".tqxdevelop.txt" : "tqxdevelop.txt");
    if (marker == "folder")
        QVERIFY(QDir().mkdir(markerPath));
    if (marker == "file" || marker == "hidden")
        QVERIFY(QFile(markerPath).open(QIODevice::WriteOnly));
    if (beside == "folder")
        QVERIFY(QDir().mkdir(exe + "/data"));
    if (beside == "file")
        QVERIFY(QFile(exe + "/data").open(QIODevice::WriteOnly));

    const app::DataPaths p = app::chooseDataFolder(markerPath, fixed, exe, user);
    const QString folder = chosen == "fixed" ? fixed : chosen == "beside" ? exe + "/data/" : user;
    QCOMPARE(p.dataFolder, folder);
    QCOMPARE(p.mainDbPath, folder + "Tesvan.mdb");
    QCOMPARE(p.workDbPath, folder + "TesvanWork.mdb");
    // Only the user's own folder is ever made by the program.
    QCOMPARE(p.perUser, chosen == "user");
    QCOMPARE(app::isFirstStart(p), chosen == "user");
    QCOMPARE(app::markerFile(), QString("/tqxdevelop.txt"));
    QCOMPARE(app::fixedFolder(), fixed);
}

void TstApp::openFailures_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("main missing") << "remove-main"
                                  << "Tesvan.mdb"
                                  << "ありません";
    QTest::newRow("work missing, main present") << "remove-work"
                                                << "TesvanWork.mdb"
                                                << "ありません";
    QTest::newRow("random bytes as main") << "random-main"
                                          << "Tesvan.mdb"
                                          << "SQLite のファイルではありません";
    QTest::newRow("foreign sqlite as work") << "foreign-work"
                                            << "TesvanWork.mdb"
                                            << "w営業日報";
    QTest::newRow("main without one field") << "field-main"
                                            << "Tesvan.mdb"
                                            << "sname";
    QTest::newRow("work with an overwritten page") << "page-work"
                                                   << "TesvanWork.mdb"
                                                   << "tesvan-initdb";
}

// Fills a table of the file with long rows, so that its data spans many pages, then
// overwrites the page holding the 30th.
static bool spreadAndDamage(const QString& path, const QString& table, const QString& sql)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "spread");
        db.setDatabaseName(path);
        if (!db.open())
            return false;
        QSqlQuery q(db);
        q.prepare(sql);
        for (int i = 1; i <= 60; ++i) {
            q.addBindValue(i);
            q.addBindValue(QString("MARK%1 ").arg(i, 3, 10, QChar('0')) + QString(1500, 'z'));
            if (!q.exec())
                return false;
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("spread");
    Q_UNUSED(table);
    return damagePageHolding(path, "MARK030");
}

void TstApp::openFailures()
{
    QFETCH(QString, damage);
    QFETCH(QString, failing);
    QFETCH(QString, reasonPart);
    QTemporaryDir tmp;
    const QString data = makeDataFolder(tmp.path());
    const QString main = data + "Tesvan.mdb", work = data + "TesvanWork.mdb";
    if (damage == "remove-main")
        QFile::remove(main);
    if (damage == "remove-work")
        QFile::remove(work);
    if (damage == "random-main") {
        QFile f(main);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray junk(8192, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919 + 13) % 251);
        f.write(junk);
    }
    if (damage == "foreign-work") {
        QFile::remove(work);
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
        db.setDatabaseName(work);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("CREATE TABLE other (x)"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("foreign");
    }
    if (damage == "field-main") {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "alter");
        db.setDatabaseName(main);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("DROP TABLE コードマスタ"));
        QVERIFY(QSqlQuery(db).exec("CREATE TABLE コードマスタ (kcode TEXT, code TEXT)"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("alter");
    }
    if (damage == "page-work")
        QVERIFY(
            spreadAndDamage(work, "w営業日報印刷", "INSERT INTO w営業日報印刷 (行番号, 内容) VALUES (?, ?)"));
    const QStringList before = QDir(data).entryList(QDir::Files);
    const QByteArray mainBytes = readAll(main), workBytes = readAll(work);

    ScriptedBoxes boxes;
    {
        FrmTesvan w;
        QVERIFY(!w.loadFrom(app::dataPathsIn(tmp.path() + QStringLiteral("/data/"))));
        QVERIFY(!QSqlDatabase::contains(store::kMainConnection));
        QVERIFY(!QSqlDatabase::contains(store::kWorkConnection));
    }
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QString("注意"));
    QVERIFY2(boxes.shown[0].text.contains(data + failing), qPrintable(boxes.shown[0].text));
    QVERIFY2(boxes.shown[0].text.contains(reasonPart), qPrintable(boxes.shown[0].text));
    // Nothing created, nothing changed.
    QCOMPARE(QDir(data).entryList(QDir::Files), before);
    QCOMPARE(readAll(main), mainBytes);
    QCOMPARE(readAll(work), workBytes);
}

void TstApp::readOnlyFile()
{
    // Root writes through chmod 444, so the check runs as an unprivileged user in a child.
    const QByteArray childDir = qgetenv("TESVAN_RO_DIR");
    if (geteuid() == 0 && childDir.isEmpty()) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("setpriv is needed to test a read-only file as root");
        QTemporaryDir tmp("/tmp/tesvan-ro-XXXXXX");
        QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7755));
        const QString data = makeDataFolder(tmp.path());
        // The folder itself is writable for the user: the write-ahead log lives beside the files.
        QFile::setPermissions(data, QFileDevice::Permissions(0x7777));
        QVERIFY(QFile::setPermissions(data + "TesvanWork.mdb", QFileDevice::ReadOwner |
                                                                   QFileDevice::ReadGroup |
                                                                   QFileDevice::ReadOther));
        QFile::setPermissions(data + "Tesvan.mdb", QFileDevice::Permissions(0x6666));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TESVAN_RO_DIR", tmp.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", "/tmp");
        env.insert("XDG_RUNTIME_DIR", tmp.path());
        child.setProcessEnvironment(env);
        // The build folder may not be reachable for that user: run a copy from the open folder.
        const QString self = tmp.filePath("tst_app");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        QFile::setPermissions(self, QFileDevice::Permissions(0x7755));
        child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", self, "readOnlyFile"});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
        return;
    }
    QTemporaryDir own;
    const QString dir = childDir.isEmpty() ? own.path() : QString::fromLocal8Bit(childDir);
    const QString data = makeDataFolder(dir);
    QFile::setPermissions(data + "TesvanWork.mdb",
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray work = readAll(data + "TesvanWork.mdb");
    ScriptedBoxes boxes;
    FrmTesvan w;
    QVERIFY(!w.loadFrom(app::dataPathsIn(dir + QStringLiteral("/data/"))));
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(boxes.shown[0].text.contains("TesvanWork.mdb"));
    QVERIFY(boxes.shown[0].text.contains("読み取り専用"));
    QCOMPARE(readAll(data + "TesvanWork.mdb"), work);
}

// A full check that is only due (a day since the last, after a clean close) waits until the
// window is on screen, and then runs: the next close records it.
void TstApp::dueCheckRunsOnceShown_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("window shown") << true;
    QTest::newRow("window never shown") << false;
}

void TstApp::dueCheckRunsOnceShown()
{
    QFETCH(bool, shown);
    QTemporaryDir tmp;
    const QString data = makeDataFolder(tmp.path());
    ScriptedBoxes boxes;
    {
        FrmTesvan first;
        QVERIFY(first.loadFrom(app::dataPathsIn(data)));
    }
    const QString main = data + "Tesvan.mdb";
    store::FileRecord r = store::readRecord(main);
    QVERIFY(r.clean);
    r.checkedAt -= 25 * 3600;
    const qint64 dayOld = r.checkedAt;
    QCOMPARE(store::writeRecord(main, r), QString());
    {
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(data)));
        if (shown) {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
        }
        // Long enough for a check of the initial file to finish several times over.
        QTest::qWait(1500);
    }
    QCOMPARE(store::readRecord(main).checkedAt > dayOld, shown);
    QVERIFY(boxes.shown.isEmpty());
}

void TstApp::startOnItsOwnStateWritesNothing_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("initial files") << QString();
    QTest::newRow("a report being entered")
        << QStringLiteral("UPDATE w営業日報 SET 内容 = '入力中' WHERE 行番号 = 3");
    // The code grid shows the first category, which it holds already.
    QTest::newRow("names in the code master")
        << QStringLiteral("main:UPDATE コードマスタ SET sname = kcode || code WHERE code < '010'");
}

void TstApp::startOnItsOwnStateWritesNothing()
{
    // A start writes only what differs from what the work tables hold: once a start has set
    // them, the next start on the same files commits nothing to either file.
    QFETCH(QString, before);
    QTemporaryDir tmp;
    const QString data = makeDataFolder(tmp.path());
    ScriptedBoxes boxes;
    const auto start = [&] {
        FrmTesvan w;
        return w.loadFrom(app::dataPathsIn(data));
    };
    QVERIFY(start());
    if (!before.isEmpty()) {
        const bool onMain = before.startsWith(QStringLiteral("main:"));
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "prep");
        db.setDatabaseName(data + (onMain ? "Tesvan.mdb" : "TesvanWork.mdb"));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(onMain ? before.mid(5) : before));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("prep");
        QVERIFY(start()); // takes the change in
    }
    // Watchers: data_version changes when another connection commits to the file.
    QStringList files{"Tesvan.mdb", "TesvanWork.mdb"};
    QList<QSqlDatabase> watchers;
    QList<int> versions;
    for (const QString& f : files) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "watch-" + f);
        db.setDatabaseName(data + f);
        QVERIFY(db.open());
        watchers << db;
        versions << firstValue(db, "PRAGMA data_version").toInt();
    }
    QVERIFY(start());
    for (int i = 0; i < files.size(); ++i)
        QVERIFY2(firstValue(watchers[i], "PRAGMA data_version").toInt() == versions[i], qPrintable(files[i]));
    // A line typed and not registered is offered back by each start (taken back, it stays
    // unregistered); nothing else is asked.
    for (const MsgSpec& s : std::as_const(boxes.shown))
        QCOMPARE(s.title, QString("入力の復元"));
    QCOMPARE(boxes.shown.size(), before.contains("w営業日報") ? 2 : 0);
    for (QSqlDatabase& db : watchers)
        db.close();
    watchers.clear();
    for (const QString& f : files)
        QSqlDatabase::removeDatabase("watch-" + f);
}

void TstApp::loadAndUnload()
{
    QTemporaryDir tmp;
    makeDataFolder(tmp.path());
    ScriptedBoxes boxes;
    {
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(tmp.path() + QStringLiteral("/data/"))));
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(w.windowTitle(), QString("営業日報 Tesvan Ver 1.20"));
        QCOMPARE(w.objectName(), QString("FrmTesvan"));
        QTabWidget* tabs = w.findChild<QTabWidget*>("SSTab1");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QString("営業日報"));
        QCOMPARE(tabs->tabText(1), QString("日報一覧"));
        QCOMPARE(tabs->tabText(2), QString("設定・情報"));
        QVERIFY(w.findChild<QPushButton*>("cmd閉じる"));
        QVERIFY(w.MainDb().isOpen());
        QVERIFY(w.WorkDb().isOpen());
        // The load sequence left 100 empty lines in the work table.
        QSqlQuery q(w.WorkDb());
        QVERIFY(q.exec("SELECT count(*), min(行番号), max(行番号) FROM w営業日報"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 100);
        QCOMPARE(q.value(2).toInt(), 100);
    }
    QVERIFY(!QSqlDatabase::contains(store::kMainConnection));
    QVERIFY(!QSqlDatabase::contains(store::kWorkConnection));
}

void TstApp::closeEndsWithZero()
{
    QTemporaryDir tmp;
    makeDataFolder(tmp.path());
    ScriptedBoxes boxes;
    FrmTesvan w;
    QVERIFY(w.loadFrom(app::dataPathsIn(tmp.path() + QStringLiteral("/data/"))));
    w.show();
    auto* other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->setObjectName("Hint");
    other->show();
    QPointer<QWidget> watch(other);
    // A cell still being typed in when the window closes.
    DataGrid* g = w.findChild<DataGrid*>("Grid日報");
    g->setFocus();
    g->setRow(1);
    g->setCol(6);
    QTest::keyClick(g, 't');
    QVERIFY(g->isEditing());
    QTest::keyClicks(g->activeEditor(), "anaka");
    // 閉じる asks about the line typed and, told to discard it, closes the window; the event loop
    // ends with 0 and other windows are closed.
    boxes.answers << MsgButton::Discard;
    QTimer::singleShot(0, &w, [&w] { w.findChild<QPushButton*>("cmd閉じる")->click(); });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(!w.isVisible());
    QVERIFY(watch.isNull() || !watch->isVisible());
    QVERIFY(!QSqlDatabase::contains(store::kMainConnection));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].choices.size(), 3);
    delete watch.data();
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "after");
    db.setDatabaseName(tmp.path() + "/data/TesvanWork.mdb");
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT 担当 FROM w営業日報 WHERE 行番号 = 2") && q.next());
    QCOMPARE(q.value(0).toString(), QString("tanaka"));
}

namespace {
QString installCopy(const QString& dir, bool withData)
{
    QDir().mkpath(dir);
    const QString exe = dir + "/tesvan";
    QFile::copy(TESVAN_EXE, exe);
    if (withData)
        makeDataFolder(dir);
    return exe;
}
} // namespace

void TstApp::secondStartRaisesFirst()
{
    QTemporaryDir tmp;
    const QString key = "tesvan-test-" + QString::number(QCoreApplication::applicationPid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESVAN_INSTANCE", key);
    env.insert("XDG_RUNTIME_DIR", tmp.path()); // QTemporaryDir makes it 0700
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // Never the real user's folder, whatever happens.
    env.insert("XDG_DATA_HOME", tmp.filePath("share"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(installCopy(tmp.filePath("a"), true));
    QVERIFY(first.waitForStarted());
    // Wait until the first instance listens.
    QElapsedTimer t;
    t.start();
    bool listening = false;
    while (!listening && t.elapsed() < 20000) {
        QLocalSocket s;
        s.connectToServer(tmp.filePath(key));
        listening = s.waitForConnected(100);
        if (!listening)
            QTest::qWait(100);
    }
    QVERIFY(listening);

    // The second copy has no data folder beside it: it would make the user's folder and open it.
    QProcess second;
    second.setProcessEnvironment(env);
    t.restart();
    second.start(installCopy(tmp.filePath("b"), false));
    QVERIFY(second.waitForFinished(5000));
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(tmp.filePath("b/data")));
    QVERIFY(!QFileInfo::exists(tmp.filePath("share")));
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(5000))
        first.kill();
}

void TstApp::instanceFolderIsPrivate_data()
{
    QTest::addColumn<int>("runtimeMode");
    QTest::addColumn<bool>("otherOwner");
    QTest::addColumn<bool>("runtimeUsed");
    QTest::addColumn<bool>("plantInFolder");
    QTest::newRow("the session's runtime folder") << 0700 << false << true << false;
    QTest::newRow("runtime folder open to others") << 0755 << false << false << false;
    QTest::newRow("runtime folder of another user") << 0700 << true << false << false;
    QTest::newRow("a lock of another user in the private folder") << 0700 << false << true << true;
}

// Another local user can neither plant the lock a start looks for nor lend it a folder: the
// lock lives where only this user can write, and a lock this user does not own is not one.
void TstApp::instanceFolderIsPrivate()
{
    QFETCH(int, runtimeMode);
    QFETCH(bool, otherOwner);
    QFETCH(bool, runtimeUsed);
    QFETCH(bool, plantInFolder);
    if ((otherOwner || plantInFolder) && geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    QTemporaryDir home, runtime;
    QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), mode_t(runtimeMode)) == 0);
    if (otherOwner)
        QVERIFY(::chown(QFile::encodeName(runtime.path()).constData(), 65534, 65534) == 0);
    const QByteArray oldHome = qgetenv("HOME"), oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString key = "tesvan-plant-" + QString::number(QCoreApplication::applicationPid());
    // The lock a start used to look for in the shared temporary folder, held by a live process.
    QLockFile planted(QDir::tempPath() + "/" + key + ".lock");
    QVERIFY(planted.tryLock(0));
    const QString folder = app::SingleInstance::privateFolder();
    if (plantInFolder) {
        QFile fake(folder + "/" + key + ".lock");
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write(QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                   QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        fake.close();
        QVERIFY(::chown(QFile::encodeName(fake.fileName()).constData(), 65534, 65534) == 0);
    }
    {
        app::SingleInstance first(key);
        const bool claimed = first.claim();
        app::SingleInstance second(key);
        const bool secondClaimed = second.claim();
        qputenv("HOME", oldHome);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QVERIFY(claimed);
        QVERIFY(!secondClaimed); // still one instance
        QCOMPARE(folder == runtime.path(), runtimeUsed);
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_uid, geteuid());
        QCOMPARE(st.st_mode & 077, 0u);
        QVERIFY(first.socketPath().startsWith(folder + "/"));
    }
    QCOMPARE(::chown(QFile::encodeName(runtime.path()).constData(), 0, 0), 0);
}

namespace {
// The first value sql gives on the work file, through a connection of its own (as another
// program would).
QString workValue(const QString& data, const QString& sql)
{
    QString v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "work-outside");
        db.setDatabaseName(data + "TesvanWork.mdb");
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                v = q.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("work-outside");
    return v;
}

// Waits until the program pid holds the data folder (its lock file names it).
bool holdsFolder(const QString& data, qint64 pid)
{
    return QTest::qWaitFor(
        [&] { return readAll(app::FolderLock::fileIn(data)).contains(", pid " + QByteArray::number(pid)); },
        30000);
}
} // namespace

void TstApp::oneProgramPerFolder_data()
{
    QTest::addColumn<QString>("second");
    QTest::newRow("the same user through a link: the first comes forward") << "link";
    QTest::newRow("the same user from another session: refused") << "session";
    QTest::newRow("another user: refused") << "user";
}

// One program on one data folder, whatever path or user reaches it: a second start is either
// the first coming forward or a refusal naming the folder, and never a second program on the
// same files. The folder is let go when the program is killed.
void TstApp::oneProgramPerFolder()
{
    QFETCH(QString, second);
    const QByteArray childDir = qgetenv("TESVAN_SHARED_DIR");
    if (!childDir.isEmpty()) {
        // The other user's start, in a child: refused, told which folder and who holds it.
        const QString data = QString::fromLocal8Bit(childDir) + "/data/";
        ScriptedBoxes boxes;
        QCOMPARE(app::runTesvan(*qApp, app::givenDataFolder(data)), 1);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains(QDir::toNativeSeparators(data)),
                 qPrintable(boxes.shown[0].text));
        QVERIFY2(boxes.shown[0].text.contains("使用中: root@"), qPrintable(boxes.shown[0].text));
        return;
    }
    if (second == "user" && geteuid() != 0)
        QSKIP("starting as another user needs root");
    QTemporaryDir tmp("/tmp/tesvan-shared-XXXXXX");
    QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7777));
    const QString data = makeDataFolder(tmp.path());
    // A folder the team shares: every user may work in it.
    QFile::setPermissions(data, QFileDevice::Permissions(0x7777));
    for (const char* f : {"Tesvan.mdb", "TesvanWork.mdb"})
        QFile::setPermissions(data + f, QFileDevice::Permissions(0x6666));
    const QString link = tmp.filePath("link");
    QVERIFY(QFile::link(data, link));
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("TESVAN_INSTANCE");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(TESVAN_EXE, {"--data", data});
    QVERIFY(first.waitForStarted());
    QVERIFY2(holdsFolder(data, first.processId()), "the first program never held the folder");
    // Once the first has its report grid, a line is typed in it. Started beside the rest of the
    // suite on two cores, the grid has taken over 30 s to come (about 1 s alone): what is tested
    // here is who holds the folder, so the wait is long.
    QVERIFY(
        QTest::qWaitFor([&] { return workValue(data, "SELECT count(*) FROM w営業日報") == "100"; }, 120000));
    QTest::qWait(300);
    QCOMPARE(workValue(data, "UPDATE w営業日報 SET 内容 = '入力中' WHERE 行番号 = 1"), QString());

    if (second == "link") {
        QProcess again;
        again.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        again.start(TESVAN_EXE, {"--data", link + "/"});
        QVERIFY(again.waitForFinished(10000));
        QCOMPARE(again.exitCode(), 0);
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    } else if (second == "session") {
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir otherRuntime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(otherRuntime.path()));
        ScriptedBoxes boxes;
        const int rc = app::runTesvan(*qApp, app::givenDataFolder(link));
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QCOMPARE(rc, 1);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains("ほかの営業日報 Tesvan が使用中"),
                 qPrintable(boxes.shown[0].text));
        QVERIFY2(boxes.shown[0].text.contains(link), qPrintable(boxes.shown[0].text));
    } else {
        const QString self = tmp.filePath("tst_app");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        QFile::setPermissions(self, QFileDevice::Permissions(0x7755));
        QProcess child;
        QProcessEnvironment childEnv = env;
        childEnv.insert("TESVAN_SHARED_DIR", tmp.path());
        childEnv.insert("HOME", tmp.path());
        childEnv.insert("XDG_RUNTIME_DIR", tmp.path());
        child.setProcessEnvironment(childEnv);
        child.start(QStandardPaths::findExecutable("setpriv"),
                    {"--reuid=65534", "--regid=65534", "--clear-groups", self,
                     "oneProgramPerFolder:" + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
    }
    // The first program runs on, its work file untouched by the second start.
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(workValue(data, "SELECT 内容 FROM w営業日報 WHERE 行番号 = 1"), QString("入力中"));
    QVERIFY(holdsFolder(data, first.processId()));

    // However the program ends, the folder is free again.
    first.kill();
    QVERIFY(first.waitForFinished(5000));
    app::FolderLock after(data);
    QCOMPARE(after.take(), app::FolderLock::State::Held);
}

QTEST_MAIN(TstApp)
#include "tst_app.moc"

// A main file with an overwritten page opens (its check runs beside the window), then the
// user is told which file is damaged and what to do, and nothing is written to it.
void TstApp::damagedMainIsNeverWritten()
{
    QTemporaryDir tmp;
    const QString data = makeDataFolder(tmp.path());
    const QString main = data + "Tesvan.mdb";
    QVERIFY(spreadAndDamage(
        main, "営業日報",
        "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2024-01-01', '古田', ?, ?)"));
    const QByteArray before = readAll(main);
    ScriptedBoxes boxes;
    {
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(data)));
        w.show();
        QTRY_COMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains(main), qPrintable(boxes.shown[0].text));
        QVERIFY(boxes.shown[0].text.contains("壊れています"));
        QVERIFY(boxes.shown[0].text.contains("tesvan-initdb"));
        QVERIFY(!codes::addCodeMaster(w.MainDb(), "訪問先", "新しい先").added);
        w.findChild<DateInput*>("Dt日付")->setDate(QDate(2024, 5, 1));
        w.findChild<QComboBox*>("cmb氏名")->setEditText("山田");
        w.findChild<QPushButton*>("cmd登録")->click();
        QTRY_COMPARE(boxes.shown.size(), 3); // the confirmation, then the refusal
        QCOMPARE(boxes.shown[2].title, QString("注意"));
        QVERIFY(boxes.shown[2].text.contains("登録"));
    }
    QCOMPARE(readAll(main), before);
}

// Two installations with their own data folders run side by side; one program started twice
// is one instance.
void TstApp::instanceKeyPerInstallation()
{
    using app::SingleInstance;
    QCOMPARE(SingleInstance::keyFor("/opt/tesvan"), SingleInstance::keyFor("/opt/tesvan/"));
    QCOMPARE(SingleInstance::keyFor("/opt/tesvan"), SingleInstance::keyFor("/opt/x/../tesvan"));
    QVERIFY(SingleInstance::keyFor("/opt/tesvan") != SingleInstance::keyFor("/home/sato/tesvan"));
    QVERIFY(SingleInstance::keyFor("/opt/tesvan").startsWith("PrjTesvan-"));
}
