// Starts that must not go ahead, each told apart with its own advice: a copy put back beside a
// log a crashed session left (never mixed with it), a folder or file without the rights the
// program needs, a full disk. Nothing is changed on the disk by such a start.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"
#include "store/FileBytes.h"
#include "store/FileRecord.h"
#include "store/Schema.h"

#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestStartFaults : public QObject {
    Q_OBJECT
  private slots:
    void restoredCopyBesideLeftLog_data();
    void restoredCopyBesideLeftLog();
    void restoredPairKeepsItsLog_data();
    void restoredPairKeepsItsLog();
    void uncertainLogIsKept();
    void accessProblemsAreNotDamage_data();
    void accessProblemsAreNotDamage();
    void fullDiskIsNotDamage();
};

namespace {

int reportCount(const QString& path)
{
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"count"_s);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open())
            n = testing::firstValue(db, u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"count"_s);
    return n;
}

bool addReports(const QString& path, int count, const QString& name)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery q(db);
        q.prepare(u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '部', 't')"_s);
        for (int i = 0; ok && i < count; ++i) {
            q.addBindValue(QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate));
            q.addBindValue(name);
            ok = q.exec();
        }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"fill"_s);
    return ok;
}

QString titleOf(const QString& path, const QString& date)
{
    QString t;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"title"_s);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open())
            t = testing::firstValue(db, u"SELECT タイトル FROM 営業日報ヘッダ WHERE 作成日 = ?"_s, {date})
                    .toString();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"title"_s);
    return t;
}

// Moves the log files beside the main file into folder, as the message says.
bool moveLogAside(const QString& data, const QString& folder)
{
    bool ok = QDir().mkpath(folder);
    for (const QString& f : {u"Tesvan.mdb-wal"_s, u"Tesvan.mdb-shm"_s})
        ok = ok && QFile::rename(data + f, folder + u"/"_s + f);
    return ok;
}

// One session of the window that ends cleanly.
bool session(const QString& data)
{
    FrmTesvan w;
    return w.loadFrom(app::dataPathsIn(data));
}

// A writer killed after it reported the given number of operations done.
bool crashWhileWriting(const QString& data, int operations)
{
    QProcess p;
    p.start(QStringLiteral(FAULT_WRITER), {u"report"_s, data});
    QByteArray out;
    while (p.waitForReadyRead(30000)) {
        out += p.readAllStandardOutput();
        if (out.contains("\n" + QByteArray::number(operations) + "\n"))
            break;
    }
    p.kill();
    p.waitForFinished();
    return out.contains("\n" + QByteArray::number(operations) + "\n") &&
           QFileInfo(data + u"Tesvan.mdb-wal"_s).size() > 32;
}

} // namespace

void TestStartFaults::restoredCopyBesideLeftLog_data()
{
    QTest::addColumn<QString>("copy");
    QTest::newRow("an unrelated backup") << u"unrelated"_s;
    QTest::newRow("an older copy of the same file") << u"older"_s;
    QTest::newRow("an older copy that kept its time") << u"older-kept-time"_s;
    QTest::newRow("no copy: the log is the file's own") << u"none"_s;
    QTest::newRow("no copy, the log folded into the file during the session") << u"none-folded"_s;
}

void TestStartFaults::restoredCopyBesideLeftLog()
{
    QFETCH(QString, copy);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    const QString backup = tmp.filePath(u"backup.mdb"_s);
    testing::ScriptedBoxes boxes;
    // The lines the killed writer left typed are offered back at each start after it; what is
    // looked at here are the other boxes.
    const auto notices = [&boxes] {
        QList<MsgSpec> n;
        for (const MsgSpec& s : std::as_const(boxes.shown))
            if (s.title != u"入力の復元"_s)
                n << s;
        return n;
    };
    QVERIFY(addReports(main, 40, u"古田"_s));
    QVERIFY(session(data));
    if (copy == u"unrelated"_s) {
        QTemporaryDir other;
        const QString otherData = testing::makeDataFolder(other.path());
        QVERIFY(addReports(otherData + u"Tesvan.mdb"_s, 600, u"別人"_s));
        QVERIFY(QFile::copy(otherData + u"Tesvan.mdb"_s, backup));
    } else {
        QVERIFY(QFile::copy(main, backup));
    }
    QCOMPARE(notices().size(), 0);
    const int before = reportCount(main);
    const bool none = copy.startsWith(u"none"_s);
    QVERIFY(crashWhileWriting(data, copy == u"none-folded"_s ? 400 : 5));
    if (copy == u"none-folded"_s)
        QVERIFY(store::readRecord(main).mark != 0);
    QVERIFY(QFileInfo::exists(data + u"Tesvan.mdb-shm"_s));
    if (!none) {
        QVERIFY(QFile::remove(main));
        QVERIFY(QFile::copy(backup, main));
        if (copy == u"older-kept-time"_s) {
            struct stat st;
            QCOMPARE(::stat(QFile::encodeName(backup).constData(), &st), 0);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(main).constData(), times, 0), 0);
        }
    }
    const QByteArray restored = testing::readAll(main);
    const QByteArray log = testing::readAll(data + u"Tesvan.mdb-wal"_s);

    if (none) {
        // The crashed session's registrations are all there.
        QVERIFY(session(data));
        QCOMPARE(notices().size(), 0);
        QCOMPARE(reportCount(main), before + 3);
        return;
    }
    QVERIFY(!session(data));
    QCOMPARE(notices().size(), 1);
    const QString text = notices()[0].text;
    QVERIFY2(text.contains(u"このファイルのものではない書き込みログ"_s), qPrintable(text));
    QVERIFY2(text.contains(u"Tesvan.mdb-wal と Tesvan.mdb-shm の2つを、削除せずに別のフォルダへ移して"_s),
             qPrintable(text));
    QVERIFY2(!text.contains(u"tesvan-initdb"_s), qPrintable(text));
    QCOMPARE(testing::readAll(main), restored);
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb-wal"_s), log);

    // Done as the message says, the copy comes back exactly as it was saved, and the log is kept.
    QVERIFY(moveLogAside(data, tmp.filePath(u"kept"_s)));
    QVERIFY(session(data));
    QCOMPARE(notices().size(), 1);
    QCOMPARE(reportCount(main), reportCount(backup));
    QCOMPARE(reportCount(main), copy == u"unrelated"_s ? 600 : before);
    QCOMPARE(testing::readAll(tmp.filePath(u"kept/Tesvan.mdb-wal"_s)), log);
}

void TestStartFaults::restoredPairKeepsItsLog_data()
{
    QTest::addColumn<bool>("ownFolder");
    QTest::newRow("put back in the data folder, beside the record of the later file") << false;
    QTest::newRow("brought into a folder of their own") << true;
}

// A copy of the file taken together with its log while the program ran is the program's file
// as it stood then: put back (both of them), it opens with every report the two hold.
void TestStartFaults::restoredPairKeepsItsLog()
{
    QFETCH(bool, ownFolder);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    testing::ScriptedBoxes boxes;
    QVERIFY(session(data));
    QProcess writer;
    writer.start(QStringLiteral(FAULT_WRITER), {u"held"_s, data});
    QVERIFY(writer.waitForReadyRead(30000));
    QCOMPARE(writer.readLine(), QByteArray("ready\n"));
    const auto registerOne = [&writer] {
        writer.write("\n");
        return writer.waitForReadyRead(30000) && !writer.readLine().isEmpty();
    };
    for (int i = 0; i < 3; ++i)
        QVERIFY(registerOne());
    // The pair as a copy of the whole folder takes it while the program waits for the next report.
    const QByteArray pairFile = testing::readAll(main), pairLog = testing::readAll(main + u"-wal"_s);
    QVERIFY(pairLog.size() > 32);
    for (int i = 0; i < 2; ++i)
        QVERIFY(registerOne());
    writer.kill();
    QVERIFY(writer.waitForFinished(5000));
    QCOMPARE(reportCount(main), 5);

    const QString into = ownFolder ? tmp.filePath(u"pair/"_s) : data;
    QVERIFY(QDir().mkpath(into));
    if (ownFolder) {
        QVERIFY(QFile::copy(data + u"TesvanWork.mdb"_s, into + u"TesvanWork.mdb"_s));
    } else {
        for (const QString& f : {main, main + u"-wal"_s, main + u"-shm"_s})
            QVERIFY(QFile::remove(f));
    }
    QVERIFY(testing::writeAll(into + u"Tesvan.mdb"_s, pairFile));
    QVERIFY(testing::writeAll(into + u"Tesvan.mdb-wal"_s, pairLog));
    QVERIFY(session(into));
    QCOMPARE(boxes.shown.size(), 0);
    QCOMPARE(reportCount(into + u"Tesvan.mdb"_s), 3);
}

// A log the program cannot place (written by an older version, which marked no log) beside a
// copy put back in the data folder: nothing is applied or written, the log is kept, and the
// way the message gives (the two in a folder of their own) opens everything they hold.
void TestStartFaults::uncertainLogIsKept()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    const QString main = data + u"Tesvan.mdb"_s;
    testing::ScriptedBoxes boxes;
    QVERIFY(addReports(main, 10, u"古田"_s));
    QVERIFY(session(data));
    // Another program writes through the log and keeps it open while the two are copied.
    QByteArray pairFile, pairLog;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"older"_s);
        db.setDatabaseName(main);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            u"UPDATE 営業日報ヘッダ SET タイトル = '後から' WHERE 作成日 = '2020-01-05'"_s));
        pairFile = testing::readAll(main);
        pairLog = testing::readAll(main + u"-wal"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"older"_s);
    QVERIFY(store::readLog(pairLog).frames > 0);
    QVERIFY(store::readLog(pairLog).firstPageMarks.isEmpty());
    QVERIFY(testing::writeAll(main, pairFile));
    QVERIFY(testing::writeAll(main + u"-wal"_s, pairLog));

    QVERIFY(!session(data));
    QCOMPARE(boxes.shown.size(), 1);
    const QString text = boxes.shown[0].text;
    QVERIFY2(text.contains(u"このファイルのものか確かめられない書き込みログ"_s), qPrintable(text));
    QVERIFY2(text.contains(u"ログは削除しないでください"_s), qPrintable(text));
    QVERIFY2(text.contains(u"--data そのフォルダ"_s), qPrintable(text));
    QCOMPARE(testing::readAll(main), pairFile);
    QCOMPARE(testing::readAll(main + u"-wal"_s), pairLog);

    const QString own = tmp.filePath(u"own/"_s);
    QVERIFY(QDir().mkpath(own));
    QVERIFY(QFile::rename(main, own + u"Tesvan.mdb"_s));
    QVERIFY(QFile::rename(main + u"-wal"_s, own + u"Tesvan.mdb-wal"_s));
    QVERIFY(QFile::copy(data + u"TesvanWork.mdb"_s, own + u"TesvanWork.mdb"_s));
    QVERIFY(session(own));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(reportCount(own + u"Tesvan.mdb"_s), 10);
    QCOMPARE(titleOf(own + u"Tesvan.mdb"_s, u"2020-01-05"_s), u"後から"_s);
}

void TestStartFaults::accessProblemsAreNotDamage_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("right");
    QTest::newRow("read-only work file") << u"work-ro"_s << u"TesvanWork.mdb"_s << u"書き込み"_s;
    QTest::newRow("unreadable main file") << u"main-noread"_s << u"Tesvan.mdb"_s << u"読み取り"_s;
    QTest::newRow("read-only data folder") << u"folder-ro"_s << u"data"_s << u"書き込み"_s;
    QTest::newRow("log file of another user") << u"wal-other"_s << u"Tesvan.mdb-wal"_s << u"書き込み"_s;
}

// Root passes every permission check, so the start runs as an unprivileged user in a child.
void TestStartFaults::accessProblemsAreNotDamage()
{
    QFETCH(QString, what);
    QFETCH(QString, place);
    QFETCH(QString, right);
    const QByteArray childDir = qgetenv("TESVAN_ACCESS_DIR");
    if (geteuid() == 0 && childDir.isEmpty()) {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("setpriv is needed to test access rights as root");
        QTemporaryDir tmp(u"/tmp/tesvan-access-XXXXXX"_s);
        QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7755));
        const QString data = testing::makeDataFolder(tmp.path());
        QVERIFY(::chown(QFile::encodeName(data).constData(), 65534, 65534) == 0);
        for (const QString& f : {u"Tesvan.mdb"_s, u"TesvanWork.mdb"_s})
            QVERIFY(::chown(QFile::encodeName(data + f).constData(), 65534, 65534) == 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"TESVAN_ACCESS_DIR"_s, tmp.path());
        env.insert(u"HOME"_s, tmp.path());
        env.insert(u"XDG_RUNTIME_DIR"_s, tmp.path());
        child.setProcessEnvironment(env);
        const QString self = tmp.filePath(u"tst_startfaults"_s);
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        QFile::setPermissions(self, QFileDevice::Permissions(0x7755));
        if (what == u"wal-other"_s) {
            // A log left by a program run as another user (here root), readable but not writable.
            QFile wal(data + u"Tesvan.mdb-wal"_s);
            QVERIFY(wal.open(QIODevice::WriteOnly));
            wal.close();
            QFile::setPermissions(wal.fileName(), QFileDevice::Permissions(0x6444));
        }
        child.start(setpriv,
                    {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, self,
                     u"accessProblemsAreNotDamage:"_s + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
        return;
    }
    QTemporaryDir own;
    const QString dir = childDir.isEmpty() ? own.path() : QString::fromLocal8Bit(childDir);
    const QString data = testing::makeDataFolder(dir);
    const QByteArray main = testing::readAll(data + u"Tesvan.mdb"_s);
    if (what == u"work-ro"_s)
        QVERIFY(QFile::setPermissions(data + u"TesvanWork.mdb"_s,
                                      QFileDevice::ReadOwner | QFileDevice::ReadOther));
    if (what == u"main-noread"_s)
        QVERIFY(QFile::setPermissions(data + u"Tesvan.mdb"_s, QFileDevice::WriteOwner));
    if (what == u"folder-ro"_s)
        QVERIFY(QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    testing::ScriptedBoxes boxes;
    {
        FrmTesvan w;
        QVERIFY(!w.loadFrom(app::dataPathsIn(data)));
    }
    QFile::setPermissions(data, QFileDevice::Permissions(0x7700));
    QFile::setPermissions(data + u"Tesvan.mdb"_s, QFileDevice::Permissions(0x6600));
    QCOMPARE(boxes.shown.size(), 1);
    const QString text = boxes.shown[0].text;
    const QString where = place == u"data"_s ? QDir::cleanPath(data) : data + place;
    QVERIFY2(text.contains(u"アクセス権の問題です"_s), qPrintable(text));
    QVERIFY2(text.contains(where + u"\n"_s), qPrintable(text));
    QVERIFY2(text.contains(u"「%1」の権限"_s.arg(right)), qPrintable(text));
    // Never the advice for a damaged file.
    QVERIFY2(!text.contains(u"tesvan-initdb"_s) && !text.contains(u"コピーがあれば"_s), qPrintable(text));
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb"_s), main);
}

void TestStartFaults::fullDiskIsNotDamage()
{
    QTemporaryDir dir;
    if (geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=2m") != 0)
        QSKIP("mounting a small file system needs root");
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{dir.path()};
    const QString data = testing::makeDataFolder(dir.path());
    // What is left of the disk is taken by another file.
    QFile filler(dir.filePath(u"filler"_s));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    const QByteArray main = testing::readAll(data + u"Tesvan.mdb"_s);
    testing::ScriptedBoxes boxes;
    {
        FrmTesvan w;
        QVERIFY(!w.loadFrom(app::dataPathsIn(data)));
    }
    QCOMPARE(boxes.shown.size(), 1);
    const QString text = boxes.shown[0].text;
    QVERIFY2(text.contains(u"ディスクの空きがありません"_s), qPrintable(text));
    QVERIFY2(!text.contains(u"tesvan-initdb"_s) && !text.contains(u"コピーがあれば"_s), qPrintable(text));
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb"_s), main);
    // With room again the same files start.
    QVERIFY(QFile::remove(filler.fileName()));
    FrmTesvan w;
    QVERIFY(w.loadFrom(app::dataPathsIn(data)));
}

QTEST_MAIN(TestStartFaults)
#include "tst_startfaults.moc"
