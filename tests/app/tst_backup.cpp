// Backups: taken while another program writes, restored alone and beside a log left by a crash,
// cancelled or refused without a file left behind, from the command line without a display,
// and from the button on 設定・情報.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/BackupAction.h"
#include "app/FolderLock.h"
#include "app/FrmTesvan.h"
#include "codes/CodeTab.h"
#include "ui/SaveChooser.h"
#include "store/Connection.h"
#include "store/Backup.h"
#include "store/FileBytes.h"
#include "store/FileRecord.h"
#include "store/LocalFile.h"
#include "ui/SaveFolder.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

class TstBackup : public QObject {
    Q_OBJECT
  private slots:
    void cleanup();
    void copyIsWholeAndItsOwn();
    void cancelLeavesNothing();
    void refusedTargetsLeaveNothing_data();
    void refusedTargetsLeaveNothing();
    void liveBackupRestored();
    void commandLine_data();
    void commandLine();
    void logFile();
    void button();
    void buttonOnTeamServer();
};

namespace {

const QString kConn = u"bk"_s;

QString fill(const QString& path, int rows)
{
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
        db.setDatabaseName(path);
        if (!db.open() ||
            !QSqlQuery(db).exec(
                u"WITH RECURSIVE r(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM r WHERE i + 1 < %1) "
                "INSERT INTO 営業日報ヘッダ SELECT date('2024-01-01', '+' || (i % 28) || ' days'), '名' || "
                "i, "
                "'部', printf('%.300c', 'x') FROM r"_s.arg(rows)))
            why = u"fill failed"_s;
        db.close();
    }
    QSqlDatabase::removeDatabase(u"fill"_s);
    return why;
}

// Read as any SQLite program reads a file, leaving nothing beside it.
int count(const QString& path, const QString& sql = u"SELECT count(*) FROM 営業日報ヘッダ"_s)
{
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"count"_s);
        db.setDatabaseName(path);
        if (db.open())
            n = testing::firstValue(db, sql).toInt();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"count"_s);
    return n;
}

QString integrity(const QString& path)
{
    QString r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"integrity"_s);
        db.setDatabaseName(path);
        r = db.open() ? testing::firstValue(db, u"PRAGMA integrity_check"_s).toString() : u"no open"_s;
        db.close();
    }
    QSqlDatabase::removeDatabase(u"integrity"_s);
    return r;
}

// Every file in folder, hidden ones (a copy under its temporary name) included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The program as cron runs it: no display of any kind.
QProcessEnvironment withoutDisplay(const QString& lang)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(v));
    env.insert(u"LANG"_s, lang);
    return env;
}

bool session(const QString& data)
{
    FrmTesvan w;
    return w.loadFrom(app::dataPathsIn(data));
}

} // namespace

void TstBackup::cleanup()
{
    store::closeDatabase(kConn);
    app::setSaveChooser({});
}

// A copy of an open file: every page, readable on its own, under a mark of its own, and under
// the target's name only once it is whole.
void TstBackup::copyIsWholeAndItsOwn()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    QCOMPARE(fill(main, 10000), QString());
    QCOMPARE(store::openDatabase(kConn, main, store::DbKind::Main), QString());
    const QString target = tmp.filePath(u"out/Tesvan-copy.mdb"_s);
    QVERIFY(QDir().mkpath(tmp.filePath(u"out"_s)));
    QList<qint64> seen;
    qint64 pages = 0;
    bool absentWhileCopying = true;
    const store::Error e =
        store::backupDatabase(QSqlDatabase::database(kConn), target, [&](qint64 done, qint64 total) {
            seen << done;
            pages = total;
            absentWhileCopying &= !QFile::exists(target);
            return true;
        });
    QCOMPARE(e.reason(), QString());
    QVERIFY2(seen.size() > 2, "copied in steps");
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QCOMPARE(seen.last(), pages);
    QVERIFY(absentWhileCopying);
    QCOMPARE(filesIn(tmp.filePath(u"out"_s)), QStringList{u"Tesvan-copy.mdb"_s});
    QCOMPARE(integrity(target), u"ok"_s);
    QCOMPARE(count(target), 10000);
    const quint32 copyMark = store::markOnDisk(target);
    QVERIFY(copyMark != 0);
    QVERIFY(copyMark != store::markOnDisk(main));
}

void TstBackup::cancelLeavesNothing()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    QCOMPARE(fill(main, 6000), QString());
    QCOMPARE(store::openDatabase(kConn, main, store::DbKind::Main), QString());
    const QString target = tmp.filePath(u"Tesvan-cancelled.mdb"_s);
    const QStringList before = filesIn(tmp.path());
    bool cancelled = false;
    int steps = 0;
    const store::Error e = store::backupDatabase(
        QSqlDatabase::database(kConn), target, [&](qint64, qint64) { return ++steps < 2; }, &cancelled);
    QCOMPARE(e.reason(), QString());
    QVERIFY(cancelled);
    QCOMPARE(steps, 2);
    QCOMPARE(filesIn(tmp.path()), before);
}

void TstBackup::refusedTargetsLeaveNothing_data()
{
    QTest::addColumn<QString>("target"); // %D the data folder, %T the test's folder
    QTest::addColumn<QString>("said");
    QTest::newRow("a folder that does not exist") << u"%T/nowhere/b.mdb"_s << u"フォルダがありません"_s;
    QTest::newRow("the data file itself") << u"%DTesvan.mdb"_s << u"データファイルそのもの"_s;
    QTest::newRow("the data file by another path")
        << u"%D../data/Tesvan.mdb"_s << u"データファイルそのもの"_s;
    QTest::newRow("the data file's log") << u"%DTesvan.mdb-wal"_s << u"データファイルそのもの"_s;
    QTest::newRow("the work file beside it") << u"%DTesvanWork.mdb"_s << u"データファイルそのもの"_s;
    QTest::newRow("a folder") << u"%T"_s << u"フォルダです"_s;
}

void TstBackup::refusedTargetsLeaveNothing()
{
    QFETCH(QString, target);
    QFETCH(QString, said);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    QCOMPARE(store::openDatabase(kConn, data + u"Tesvan.mdb"_s, store::DbKind::Main), QString());
    const QByteArray file = testing::readAll(data + u"Tesvan.mdb"_s);
    const QStringList inData = filesIn(data), inTmp = filesIn(tmp.path());
    const store::Error e = store::backupDatabase(QSqlDatabase::database(kConn),
                                                 target.replace(u"%D"_s, data).replace(u"%T"_s, tmp.path()));
    QVERIFY2(e.reason().contains(said), qPrintable(e.reason()));
    QCOMPARE(filesIn(data), inData);
    QCOMPARE(filesIn(tmp.path()), inTmp);
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb"_s), file);
}

// tesvan --backup while another program registers reports: the copy holds whole reports up to
// a registration done by the time it finished. Put back beside the log a kill left, it is
// refused and the log kept; with the log moved aside it opens as it was saved.
void TstBackup::liveBackupRestored()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    QProcess writer;
    writer.start(QStringLiteral(FAULT_WRITER), {u"report"_s, data});
    QByteArray out;
    const auto done = [&] {
        out += writer.readAllStandardOutput();
        const QList<QByteArray> lines = out.split('\n');
        int last = 0;
        for (const QByteArray& l : lines)
            last = qMax(last, l.toInt());
        return last;
    };
    while (done() < 3 && writer.waitForReadyRead(30000)) {
    }
    const int before = done();
    QVERIFY(before >= 3);
    const QString backup = tmp.filePath(u"live.mdb"_s);
    QProcess cli;
    cli.setProcessEnvironment(withoutDisplay(u"C"_s));
    cli.start(QStringLiteral(TESVAN_EXE), {u"--data"_s, data, u"--backup"_s, backup});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    writer.waitForReadyRead(100);
    const int after = done();
    QCOMPARE(writer.state(), QProcess::Running);
    writer.kill();
    QVERIFY(writer.waitForFinished(5000));
    QVERIFY(QFileInfo(main + u"-wal"_s).size() > 32);

    QCOMPARE(integrity(backup), u"ok"_s);
    // Each report whole in one version; the newest no older than what was done when it began.
    const int newest =
        count(backup, u"SELECT max(CAST(substr(タイトル, 2) AS INTEGER)) FROM 営業日報ヘッダ"_s);
    QVERIFY2(newest >= before && newest <= after,
             qPrintable(u"%1 in %2..%3"_s.arg(newest).arg(before).arg(after)));
    QCOMPARE(count(backup, u"SELECT count(*) FROM 営業日報 l JOIN 営業日報ヘッダ h USING (作成日, 氏名) "
                           "WHERE l.内容 NOT LIKE h.タイトル || ' line %'"_s),
             0);
    QCOMPARE(count(backup, u"SELECT count(*) FROM 営業日報"_s), 100 * count(backup));

    // The writer was killed at any point, also while filling its grid: the offer to restore that
    // input may come besides the file's boxes counted here.
    testing::ScriptedBoxes boxes;
    boxes.skip = u"入力の復元"_s;
    QVERIFY(QFile::remove(main));
    QVERIFY(QFile::copy(backup, main));
    const QByteArray log = testing::readAll(main + u"-wal"_s);
    QVERIFY(!session(data));
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY2(boxes.shown[0].text.contains(u"このファイルのものではない書き込みログ"_s),
             qPrintable(boxes.shown[0].text));
    QCOMPARE(testing::readAll(main + u"-wal"_s), log);
    QVERIFY(QDir().mkpath(tmp.filePath(u"aside"_s)));
    for (const QString& f : {u"Tesvan.mdb-wal"_s, u"Tesvan.mdb-shm"_s})
        QVERIFY(QFile::rename(data + f, tmp.filePath(u"aside/"_s) + f));
    QVERIFY(session(data));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(count(main), count(backup));
    QCOMPARE(count(main, u"SELECT count(*) FROM 営業日報"_s),
             count(backup, u"SELECT count(*) FROM 営業日報"_s));
}

void TstBackup::commandLine_data()
{
    QTest::addColumn<QString>("setting"); // "", "server", "log-foreign"
    QTest::addColumn<QString>("target");  // %T the test's folder
    QTest::addColumn<QString>("lang");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("written"); // the file expected, or empty for none
    QTest::addColumn<QString>("said");    // part of what is printed
    const QString today = store::backupName(QDate::currentDate());
    QTest::newRow("to a file") << u""_s << u"%T/b.mdb"_s << u"C"_s << 0 << u"%T/b.mdb"_s
                               << u"Backup written: %T/b.mdb (7 reports)"_s;
    QTest::newRow("to a folder: a dated name")
        << u""_s << u"%T/"_s << u"C"_s << 0 << u"%T/"_s + today << u"Backup written: %T/"_s + today;
    QTest::newRow("in Japanese") << u""_s << u"%T/b.mdb"_s << u"ja_JP.UTF-8"_s << 0 << u"%T/b.mdb"_s
                                 << u"バックアップを作成しました: %T/b.mdb（日報 7 件）"_s;
    QTest::newRow("a folder that does not exist")
        << u""_s << u"%T/none/b.mdb"_s << u"C"_s << 1 << u""_s << u"could not back up"_s;
    QTest::newRow("over the data file")
        << u""_s << u"%T/data/Tesvan.mdb"_s << u"C"_s << 1 << u""_s << u"データファイルそのもの"_s;
    QTest::newRow("a team server: pg_dump")
        << u"server"_s << u"%T/b.mdb"_s << u"C"_s << 1 << u""_s << u"pg_dump"_s;
    QTest::newRow("a log of another file beside it")
        << u"log-foreign"_s << u"%T/b.mdb"_s << u"C"_s << 1 << u""_s << u"may not be that file's own"_s;
    // A program that refused the same log holds the folder while it says so.
    QTest::newRow("a log of another file, the folder held")
        << u"log-foreign-held"_s << u"%T/b.mdb"_s << u"C"_s << 1 << u""_s << u"may not be that file's own"_s;
}

void TstBackup::commandLine()
{
    QFETCH(QString, setting);
    QFETCH(QString, target);
    QFETCH(QString, lang);
    QFETCH(int, exitCode);
    QFETCH(QString, written);
    QFETCH(QString, said);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    QCOMPARE(fill(data + u"Tesvan.mdb"_s, 7), QString());
    if (setting == u"server"_s)
        QVERIFY(
            testing::writeAll(data + u"TesvanServer.conf"_s, "host=db.example port=5432 dbname=tesvan\n"));
    std::unique_ptr<app::FolderLock> holder;
    if (setting == u"log-foreign-held"_s) {
        holder = std::make_unique<app::FolderLock>(data);
        QCOMPARE(holder->take(), app::FolderLock::State::Held);
    }
    if (setting.startsWith(u"log-foreign"_s)) {
        // A log another file's program left, beside this file.
        QTemporaryDir other;
        const QString o = testing::makeDataFolder(other.path());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"hold"_s);
            db.setDatabaseName(o + u"Tesvan.mdb"_s);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(u"PRAGMA user_version = 77"_s));
            QVERIFY(testing::writeAll(data + u"Tesvan.mdb-wal"_s, testing::readAll(o + u"Tesvan.mdb-wal"_s)));
            db.close();
        }
        QSqlDatabase::removeDatabase(u"hold"_s);
        QCOMPARE(store::logBesideFile(data + u"Tesvan.mdb"_s), store::LogState::Foreign);
    }
    const QByteArray fileBefore = testing::readAll(data + u"Tesvan.mdb"_s);
    const QByteArray logBefore = testing::readAll(data + u"Tesvan.mdb-wal"_s);
    target.replace(u"%T"_s, tmp.path());
    written.replace(u"%T"_s, tmp.path());
    said.replace(u"%T"_s, tmp.path());
    const QStringList before = filesIn(tmp.path());
    QProcess cli;
    cli.setProcessEnvironment(withoutDisplay(lang));
    cli.start(QStringLiteral(TESVAN_EXE), {u"--data"_s, data, u"--backup"_s, target});
    QVERIFY(cli.waitForFinished(60000));
    const QString printed =
        QString::fromUtf8(cli.readAllStandardOutput()) + QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(printed));
    QVERIFY2(printed.contains(said), qPrintable(printed));
    // The data file and its log are as they were: a backup writes nothing there.
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb"_s), fileBefore);
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb-wal"_s), logBefore);
    if (written.isEmpty()) {
        QCOMPARE(filesIn(tmp.path()), before);
        return;
    }
    QCOMPARE(count(written), 7);
    QStringList expected = QStringList(before) << QFileInfo(written).fileName();
    expected.sort();
    QCOMPARE(filesIn(tmp.path()), expected);
}

// tesvan --log FILE: the run and the backup leave their lines in the file, appended run after
// run; none holds what a report says. A log that cannot be written stops the run before it does
// anything.
void TstBackup::logFile()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    QCOMPARE(fill(data + u"Tesvan.mdb"_s, 7), QString());
    const QString log = tmp.filePath(u"tesvan.log"_s);
    const auto run = [&](const QStringList& args) {
        QProcess cli;
        cli.setProcessEnvironment(withoutDisplay(u"C"_s));
        cli.start(QStringLiteral(TESVAN_EXE), args);
        if (!cli.waitForFinished(60000))
            return -1;
        return cli.exitCode();
    };
    QCOMPARE(run({u"--data"_s, data, u"--log"_s, log, u"--backup"_s, tmp.filePath(u"b.mdb"_s)}), 0);
    QCOMPARE(count(tmp.filePath(u"b.mdb"_s)), 7);
    QCOMPARE(run({u"--log="_s + log, u"--data"_s, data, u"--backup"_s, tmp.filePath(u"none/b.mdb"_s)}), 1);
    const QString text = QString::fromUtf8(testing::readAll(log));
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].contains(u" info tesvan.app: tesvan "_s) && lines[0].endsWith(u" started"_s),
             qPrintable(text));
    QVERIFY2(lines[1].contains(u" info tesvan.app: backup of "_s) &&
                 lines[1].endsWith(tmp.filePath(u"b.mdb"_s) + u" with 7 reports"_s),
             qPrintable(text));
    QVERIFY2(lines[2].endsWith(u" started"_s), qPrintable(text));
    QVERIFY2(lines[3].contains(u" warning tesvan.app: backup of "_s) && lines[3].contains(u"failed:"_s),
             qPrintable(text));
    // Nothing the reports hold: their names and titles.
    QVERIFY2(!text.contains(u"名0"_s) && !text.contains(u"xxxxxxxx"_s), qPrintable(text));

    // A log in a folder that does not exist: refused with the reason, nothing written.
    QProcess cli;
    cli.setProcessEnvironment(withoutDisplay(u"C"_s));
    cli.start(QStringLiteral(TESVAN_EXE), {u"--data"_s, data, u"--log"_s, tmp.filePath(u"none/t.log"_s),
                                           u"--backup"_s, tmp.filePath(u"c.mdb"_s)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 2);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains(u"cannot write the log"_s));
    QVERIFY(!QFileInfo::exists(tmp.filePath(u"c.mdb"_s)));
}

// バックアップ on 設定・情報: a dated name offered in Documents (or home), then in the folder
// used last; the file written, and the user told where.
void TstBackup::button()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    QCOMPARE(fill(data + u"Tesvan.mdb"_s, 12), QString());
    testing::ScriptedBoxes boxes;
    FrmTesvan w;
    QVERIFY(w.loadFrom(app::dataPathsIn(data)));
    QPushButton* button = w.findChild<QPushButton*>(u"cmdバックアップ"_s);
    QVERIFY(button);
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), u"バックアップ"_s);
    QList<app::SaveRequest> asked;
    QString answer = tmp.filePath(u"saved/first.mdb"_s);
    QVERIFY(QDir().mkpath(tmp.filePath(u"saved"_s)));
    app::setSaveChooser([&](const app::SaveRequest& r) {
        asked << r;
        return app::SaveChoice{answer, 0};
    });
    const QString suggested = app::suggestedSaveFolder();
    QVERIFY(QFileInfo(suggested).isDir());
    button->click();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].dialogName, u"dlgバックアップ保存"_s);
    QCOMPARE(QFileInfo(asked[0].path).fileName(), store::backupName(QDate::currentDate()));
    QCOMPARE(QFileInfo(asked[0].path).absolutePath(), suggested);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY2(boxes.shown[0].text.contains(u"バックアップを作成しました"_s) &&
                 boxes.shown[0].text.contains(answer),
             qPrintable(boxes.shown[0].text));
    QCOMPARE(count(answer), 12);

    // Cancelled at the dialog: nothing written, nothing said.
    answer.clear();
    button->click();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(QFileInfo(asked[1].path).absolutePath(), tmp.filePath(u"saved"_s));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(filesIn(tmp.filePath(u"saved"_s)), QStringList{u"first.mdb"_s});
}

void TstBackup::buttonOnTeamServer()
{
    QPushButton b;
    app::offerBackup(&b, QSqlDatabase());
    QVERIFY(!b.isEnabled());
    QVERIFY2(b.toolTip().contains(u"サーバー"_s) && b.toolTip().contains(u"pg_dump"_s),
             qPrintable(b.toolTip()));
}

QTEST_MAIN(TstBackup)
#include "tst_backup.moc"
