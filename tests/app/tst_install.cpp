// The installed program: the user's own data folder made on the very first start and never
// after, the command line of both programs, and both answering without a display.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/LogFile.h"
#include "store/Log.h"
#include "store/Schema.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using namespace testing;
using Action = app::CommandLine::Action;

class TstInstall : public QObject {
    Q_OBJECT
  private slots:
    void userFolderRule_data();
    void userFolderRule();
    void firstStart_data();
    void firstStart();
    void commandLine_data();
    void commandLine();
    void logOption();
    void logFileTakesOnlyOurs();
    void languageRule_data();
    void languageRule();
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
};

void TstInstall::userFolderRule_data()
{
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* xdg, const char* expected) {
        QTest::newRow(name) << QString(xdg) << QString(expected);
    };
    row("unset", "", "/home/sato/.local/share/tesvan/");
    row("set", "/srv/sato/share", "/srv/sato/share/tesvan/");
    row("set with a separator at the end", "/srv/sato/share/", "/srv/sato/share/tesvan/");
    // Relative values are invalid by the base-directory rules: the default holds.
    row("relative", "share", "/home/sato/.local/share/tesvan/");
}

void TstInstall::userFolderRule()
{
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    QCOMPARE(app::userDataFolder(xdgDataHome, "/home/sato"), expected);
}

namespace {

// Every file of a folder with its bytes; empty when the folder does not exist.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files.insert(f, readAll(folder + f));
    return files;
}

// Closes the main window as soon as it is up, as a user would, and guards against a hang.
QPointer<QTimer> closeWhenShown()
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "FrmTesvan" && w->isVisible()) {
                poll->deleteLater();
                w->close();
            }
    });
    poll->start(50);
    QTimer::singleShot(20000, poll, [] { QCoreApplication::exit(7); });
    return poll;
}

} // namespace

void TstInstall::firstStart_data()
{
    QTest::addColumn<QString>("before"); // what stands at the user's data folder before the start
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("told"); // part of the one box shown; %F the folder
    QTest::newRow("no folder: made") << "none" << 0 << "初めての起動";
    QTest::newRow("not even ~/.local/share: made") << "no-parent" << 0 << "初めての起動";
    QTest::newRow("empty folder: refused") << "empty" << 1 << "%FTesvan.mdb";
    QTest::newRow("main missing: refused") << "work-only" << 1 << "%FTesvan.mdb";
    QTest::newRow("work missing: refused") << "main-only" << 1 << "%FTesvanWork.mdb";
    QTest::newRow("foreign main: refused") << "foreign-main" << 1 << "%FTesvan.mdb";
    QTest::newRow("folder cannot be made: told, nothing left") << "parent-is-file" << 1 << "作成できません";
    // A folder named on the command line is never made: it may be a drive that is not mounted.
    QTest::newRow("--data folder missing: refused, not made") << "given-missing" << 1 << "%FTesvan.mdb";
}

void TstInstall::firstStart()
{
    QFETCH(QString, before);
    QFETCH(int, exitCode);
    QFETCH(QString, told);
    QTemporaryDir tmp;
    const QString share = tmp.filePath(before == "no-parent" ? "home/.local/share" : "share");
    const QString user = before == "given-missing" ? tmp.filePath("drive/reports/") : share + "/tesvan/";
    if (before == "parent-is-file")
        QVERIFY(QFile(share).open(QIODevice::WriteOnly));
    if (before == "empty" || before == "work-only" || before == "main-only" || before == "foreign-main") {
        makeDataFolder(tmp.path());
        QVERIFY(QDir().mkpath(share));
        QVERIFY(QDir().rename(tmp.filePath("data"), user));
        if (before != "main-only" && before != "foreign-main")
            QVERIFY(QFile::remove(user + store::kMainFileName));
        if (before == "empty" || before == "main-only")
            QVERIFY(QFile::remove(user + store::kWorkFileName));
        if (before == "foreign-main") {
            QVERIFY(QFile::remove(user + store::kMainFileName));
            QFile f(user + store::kMainFileName);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a database, but the user's file all the same");
        }
    }
    const QMap<QString, QByteArray> files = snapshot(user);
    const QString beside = QCoreApplication::applicationDirPath() + "/data";
    QVERIFY(!QFileInfo::exists(beside)); // so the real rule picks the user's folder
    qputenv("XDG_DATA_HOME", share.toLocal8Bit());
    qputenv("TESVAN_INSTANCE", "tesvan-test-first-" + QByteArray::number(QCoreApplication::applicationPid()));
    const auto start = [&] {
        const QPointer<QTimer> poll = closeWhenShown();
        const int rc = before == "given-missing" ? app::runTesvan(*qApp, app::givenDataFolder(user))
                                                 : app::runTesvan(*qApp);
        delete poll.data(); // a start that never showed the window leaves it waiting
        return rc;
    };

    ScriptedBoxes boxes;
    QCOMPARE(start(), exitCode);
    QCOMPARE(boxes.shown.size(), 1);
    const QString part = QString(told).replace("%F", user);
    QVERIFY2(boxes.shown[0].text.contains(part), qPrintable(boxes.shown[0].text));
    QVERIFY(!QFileInfo::exists(beside));
    // A folder half made is never left behind for the next start to refuse.
    QCOMPARE(
        QDir(QFileInfo(share).isDir() ? share : tmp.path()).entryList({"tesvan.new-*"}, QDir::AllEntries),
        QStringList());
    if (exitCode != 0) {
        QCOMPARE(snapshot(user), files);
        QCOMPARE(QFileInfo::exists(user), !files.isEmpty() || before == "empty");
        qunsetenv("XDG_DATA_HOME");
        return;
    }
    // Made with both initial files, and the user told where, once.
    QCOMPARE(boxes.shown[0].title, QString("お知らせ"));
    QVERIFY(boxes.shown[0].text.contains(user));
    QCOMPARE(QFile::permissions(user) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "made");
    db.setDatabaseName(user + store::kMainFileName);
    QVERIFY(db.open());
    QCOMPARE(firstValue(db, "SELECT count(*) FROM コードマスタ WHERE sname IS NULL").toInt(),
             4 * store::kCodeRows);
    QVERIFY(QSqlQuery(db).exec("INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES ('2026-12-08', '佐藤')"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("made");

    // The second start opens what the first made, without a word, and keeps what was stored.
    const QByteArray main = readAll(user + store::kMainFileName);
    boxes.shown.clear();
    QCOMPARE(start(), 0);
    QCOMPARE(boxes.shown.size(), 0);
    QCOMPARE(readAll(user + store::kMainFileName), main);
    qunsetenv("XDG_DATA_HOME");
}

void TstInstall::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<QString>("said");   // part of what is printed
    QTest::addColumn<QString>("backup"); // the file --backup names
    const auto row = [](const char* name, const QStringList& args, bool ja, Action action, int exitCode,
                        const char* dataFolder, const char* said, const char* backup = "") {
        QTest::newRow(name) << args << ja << int(action) << exitCode << QString(dataFolder) << QString(said)
                            << QString(backup);
    };
    const bool en = false, ja = true;
    row("nothing: the usual folder", {}, en, Action::Run, 0, "", "");
    row("--data DIR", {"--data", "/mnt/team"}, en, Action::Run, 0, "/mnt/team", "");
    row("--data=DIR", {"--data=/mnt/team"}, en, Action::Run, 0, "/mnt/team", "");
    row("a folder that looks like an option", {"--data", "--x"}, en, Action::Run, 0, "--x", "");
    row("--help", {"--help"}, en, Action::Help, 0, "", "--data DIR");
    row("-h in Japanese", {"-h"}, ja, Action::Help, 0, "", "使い方: tesvan");
    row("--help after --data", {"--data", "x", "--help"}, en, Action::Help, 0, "", "~/.local/share/tesvan");
    row("--version", {"--version"}, en, Action::Version, 0, "", "営業日報 Tesvan Ver 1.20\n");
    row("unknown option", {"--frob"}, en, Action::Error, 2, "",
        "unknown option '--frob'\nUsage: tesvan [--data DIR] [--log FILE] [--backup FILE | --help | "
        "--version]");
    row("unknown option in Japanese", {"-x"}, ja, Action::Error, 2, "", "「-x」というオプションはありません");
    row("unknown option after a good one", {"--data", "d", "--dat"}, en, Action::Error, 2, "", "'--dat'");
    row("--data without a folder", {"--data"}, en, Action::Error, 2, "", "needs a folder");
    row("--data= empty", {"--data="}, ja, Action::Error, 2, "", "フォルダを指定");
    row("a stray argument", {"report.mdb"}, en, Action::Error, 2, "", "unexpected argument 'report.mdb'");
    row("--backup FILE", {"--backup", "/b/t.mdb"}, en, Action::Backup, 0, "", "", "/b/t.mdb");
    row("--backup=FILE after --data", {"--data", "/d", "--backup=b.mdb"}, en, Action::Backup, 0, "/d", "",
        "b.mdb");
    row("--data after --backup", {"--backup", "b", "--data", "/d"}, en, Action::Backup, 0, "/d", "", "b");
    row("--backup without a file", {"--backup"}, ja, Action::Error, 2, "", "--backup には保存先のファイル");
    row("--backup= empty", {"--backup="}, en, Action::Error, 2, "", "needs a file");
    row("--help names --backup", {"--help"}, en, Action::Help, 0, "", "--backup FILE");
    row("--help names --log", {"--help"}, en, Action::Help, 0, "", "--log FILE");
    row("--help names --log in Japanese", {"--help"}, ja, Action::Help, 0, "", "--log ファイル");
    row("--log without a file", {"--log"}, en, Action::Error, 2, "", "option '--log' needs a file");
    row("--log= empty", {"--data", "d", "--log="}, ja, Action::Error, 2, "", "記録するファイルを指定");
}

void TstInstall::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, japanese);
    QFETCH(int, action);
    QFETCH(int, exitCode);
    QFETCH(QString, dataFolder);
    QFETCH(QString, said);
    QFETCH(QString, backup);
    const app::CommandLine c = app::parseCommandLine(
        QStringList{"/usr/bin/tesvan"} + args, japanese ? app::Language::Japanese : app::Language::English);
    QCOMPARE(int(c.action), action);
    QCOMPARE(c.exitCode, exitCode);
    QCOMPARE(c.dataFolder, dataFolder);
    QCOMPARE(c.backup, backup);
    QVERIFY2(c.output.contains(said), qPrintable(c.output));
    if (c.action == Action::Error)
        QVERIFY(c.output.contains(japanese ? "「tesvan --help」" : "'tesvan --help'"));
}

// --log goes with a run and with a backup, wherever it stands; the file is taken as given.
void TstInstall::logOption()
{
    const auto parse = [](const QStringList& args) {
        return app::parseCommandLine(QStringList{"/usr/bin/tesvan"} + args, app::Language::English);
    };
    app::CommandLine c = parse({"--log", "/tmp/t.log", "--data", "/d"});
    QCOMPARE(int(c.action), int(Action::Run));
    QCOMPARE(c.logFile, QString("/tmp/t.log"));
    QCOMPARE(c.dataFolder, QString("/d"));
    c = parse({"--backup", "b.mdb", "--log=run.log"});
    QCOMPARE(int(c.action), int(Action::Backup));
    QCOMPARE(c.logFile, QString("run.log"));
    QCOMPARE(c.backup, QString("b.mdb"));
    // A name that looks like an option is still the file, as with --data.
    QCOMPARE(parse({"--log", "--data"}).logFile, QString("--data"));
    QCOMPARE(parse({"--data", "/d"}).logFile, QString());
}

// The log file takes the program's categories at info and warning, one line each, and nothing of
// Qt's own or at debug; stopped, the categories are silent again.
void TstInstall::logFileTakesOnlyOurs()
{
    QVERIFY(!store::lcStore().isInfoEnabled());
    QVERIFY(!store::lcApp().isWarningEnabled());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("tesvan.log");
    QVERIFY(!app::startLogFile(tmp.filePath("none/tesvan.log")).isEmpty());
    QVERIFY(!QFileInfo::exists(tmp.filePath("none/tesvan.log")));
    // A database or its log given by mistake is refused and left as it was.
    const QString db = tmp.filePath("Tesvan.mdb");
    {
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("SQLite format 3", 16) + QByteArray(84, '\0'));
    }
    QVERIFY(!app::startLogFile(db).isEmpty());
    QCOMPARE(QFileInfo(db).size(), 100);
    QVERIFY(!app::startLogFile(db + QStringLiteral("-wal")).isEmpty());
    QVERIFY(!QFileInfo::exists(db + QStringLiteral("-wal")));
    QCOMPARE(app::startLogFile(path), QString());
    qCInfo(store::lcStore) << "opened the file";
    qCWarning(store::lcSearch) << "a check failed";
    qCDebug(store::lcStore) << "a detail at debug";
    const QLoggingCategory qtOwn("qt.tesvan.test");
    qCWarning(qtOwn) << "qt's own warning";
    QThread* worker = QThread::create([] { qCInfo(store::lcUi) << "from a worker"; });
    worker->start();
    QVERIFY(worker->wait(10000));
    delete worker;
    app::stopLogFile();
    qCInfo(store::lcStore) << "after the stop";
    QVERIFY(!store::lcStore().isInfoEnabled());

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].endsWith(" info tesvan.store: opened the file"), qPrintable(lines[0]));
    QVERIFY2(lines[1].endsWith(" warning tesvan.search: a check failed"), qPrintable(lines[1]));
    QVERIFY2(lines[2].endsWith(" info tesvan.ui: from a worker"), qPrintable(lines[2]));
    // Each line starts with its time.
    QVERIFY(QDateTime::fromString(lines[0].section(' ', 0, 0), Qt::ISODateWithMs).isValid());

    // A second run appends to what the first wrote.
    QCOMPARE(app::startLogFile(path), QString());
    qCInfo(store::lcApp) << "second run";
    app::stopLogFile();
    QVERIFY(f.seek(0));
    QCOMPARE(QString::fromUtf8(f.readAll()).count('\n'), 4);
}

void TstInstall::languageRule_data()
{
    QTest::addColumn<QString>("lcAll");
    QTest::addColumn<QString>("lcMessages");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<bool>("japanese");
    const auto row = [](const char* name, const char* lcAll, const char* lcMessages, const char* lang,
                        bool ja) {
        QTest::newRow(name) << QString(lcAll) << QString(lcMessages) << QString(lang) << ja;
    };
    row("nothing set", "", "", "", false);
    row("LANG ja", "", "", "ja_JP.UTF-8", true);
    row("LANG C", "", "", "C.UTF-8", false);
    row("LC_MESSAGES over LANG", "", "en_US.UTF-8", "ja_JP.UTF-8", false);
    row("LC_ALL over both", "ja_JP.UTF-8", "en_US.UTF-8", "C", true);
}

void TstInstall::languageRule()
{
    QFETCH(QString, lcAll);
    QFETCH(QString, lcMessages);
    QFETCH(QString, lang);
    QFETCH(bool, japanese);
    QCOMPARE(app::languageOf(lcAll, lcMessages, lang) == app::Language::Japanese, japanese);
}

void TstInstall::answersWithoutDisplay_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const auto row = [](const char* name, const char* program, const QStringList& args, int exitCode,
                        const char* out, const char* err) {
        QTest::newRow(name) << QString(program) << args << exitCode << QString(out) << QString(err);
    };
    const char* version = "営業日報 Tesvan Ver 1.20\n";
    row("tesvan --version", TESVAN_EXE, {"--version"}, 0, version, "");
    row("tesvan --help", TESVAN_EXE, {"--help"}, 0, "Usage: tesvan", "");
    row("tesvan unknown option", TESVAN_EXE, {"--bogus"}, 2, "", "tesvan: unknown option '--bogus'");
    row("tesvan-initdb --version", TESVAN_INITDB, {"--version"}, 0, version, "");
    row("tesvan-initdb --help", TESVAN_INITDB, {"--help"}, 0, "Usage: tesvan-initdb DIR", "");
    row("tesvan-initdb unknown option", TESVAN_INITDB, {"--bogus"}, 2, "", "Usage: tesvan-initdb DIR");
}

// Answered before anything opens: no display, no data folder made, no instance claimed.
void TstInstall::answersWithoutDisplay()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir tmp;
    // A copy with nothing beside it, as installed.
    const QString exe = tmp.filePath(QFileInfo(program).fileName());
    QVERIFY(QFile::copy(program, exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES"})
        env.remove(v);
    env.insert("LANG", "C.UTF-8");
    env.insert("XDG_DATA_HOME", tmp.filePath("share"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.startsWith(err), qPrintable(stdErr));
    QVERIFY(!QFileInfo::exists(tmp.filePath("share")));
    QVERIFY(!QFileInfo::exists(tmp.filePath("data")));
}

QTEST_MAIN(TstInstall)
#include "tst_install.moc"
