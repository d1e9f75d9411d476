// Starts that must not go ahead, each told apart with its own advice: a copy put back beside a
// log a crashed session left (never mixed with it), a folder or file without the rights the
// program needs, a full disk. Nothing is changed on the disk by such a start.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"
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
    QCOMPARE(boxes.shown.size(), 0);
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
        QCOMPARE(boxes.shown.size(), 0);
        QCOMPARE(reportCount(main), before + 3);
        return;
    }
    QVERIFY(!session(data));
    QCOMPARE(boxes.shown.size(), 1);
    const QString text = boxes.shown[0].text;
    QVERIFY2(text.contains(u"このファイルのものではない書き込みログ"_s), qPrintable(text));
    QVERIFY2(text.contains(u"Tesvan.mdb-wal と Tesvan.mdb-shm の2つを削除"_s), qPrintable(text));
    QVERIFY2(!text.contains(u"tesvan-initdb"_s), qPrintable(text));
    QCOMPARE(testing::readAll(main), restored);
    QCOMPARE(testing::readAll(data + u"Tesvan.mdb-wal"_s), log);

    // Done as the message says, the copy comes back exactly as it was saved.
    QVERIFY(QFile::remove(data + u"Tesvan.mdb-wal"_s));
    QVERIFY(QFile::remove(data + u"Tesvan.mdb-shm"_s));
    QVERIFY(session(data));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(reportCount(main), reportCount(backup));
    QCOMPARE(reportCount(main), copy == u"unrelated"_s ? 600 : before);
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
