// The local files' full check: when it is required, what it finds that a quick look misses, and
// that a damaged file is never written, whatever journal mode it is in.
#include "TestFiles.h"
#include "store/Connection.h"
#include "store/FileBytes.h"
#include "store/FileRecord.h"
#include "store/Integrity.h"
#include "store/LocalFile.h"
#include "store/Rows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

class TestLocalFile : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void checkWhenItMatters_data();
    void checkWhenItMatters();
    void fullCheckFindsIndexDamage();
    void damagedFileIsNeverWritten_data();
    void damagedFileIsNeverWritten();
    void backgroundCheckStopsAtClose();
    void logReadAsSqliteReadsIt_data();
    void logReadAsSqliteReadsIt();
    void readingHeldFileKeepsItsLocks();
    void fullLogFoldedAside();
    void failureKindFromTheEngine_data();
    void failureKindFromTheEngine();
};

namespace {
const QString kConn = u"lf"_s;

// Runs sql on path through a plain connection of its own, as another program would.
bool outside(const QString& path, const QStringList& sql)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"outside"_s);
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& s : sql)
            ok = ok && QSqlQuery(db).exec(s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"outside"_s);
    return ok;
}

store::Error writeSomething(const QString& conn)
{
    const QSqlDatabase db = QSqlDatabase::database(conn, false);
    return store::inTransaction(db, [&] {
        return store::run(db, u"INSERT INTO 営業日報ヘッダ VALUES ('2024-01-02', ?, '部', 't')"_s,
                          {u"試%1"_s.arg(QDateTime::currentMSecsSinceEpoch())});
    });
}

QString fill(const QString& path, int rows)
{
    const QString sql =
        u"WITH RECURSIVE r(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM r WHERE i + 1 < %1) "
        "INSERT INTO 営業日報ヘッダ SELECT date('2024-01-01', '+' || (i % 28) || ' days'), '名' || i, '部', "
        "printf('%.300c', 'x') FROM r"_s.arg(rows);
    return outside(path, {sql}) ? QString() : u"fill failed"_s;
}
} // namespace

void TestLocalFile::init()
{
    if (testing::onServer())
        QSKIP("local files only");
}

void TestLocalFile::cleanup()
{
    store::closeDatabase(kConn);
    store::closeDatabase(u"other"_s);
    QSqlDatabase::database(u"holder"_s, false).close();
    QSqlDatabase::removeDatabase(u"holder"_s);
}

void TestLocalFile::checkWhenItMatters_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("need");
    const int none = int(store::CheckNeed::None), bg = int(store::CheckNeed::Background),
              req = int(store::CheckNeed::Required);
    QTest::newRow("first start: nothing known of the file") << u"first"_s << req;
    QTest::newRow("closed cleanly and checked within the day") << u"clean"_s << none;
    QTest::newRow("closed cleanly, last check a day ago") << u"dayold"_s << bg;
    QTest::newRow("the last session did not close") << u"notclosed"_s << req;
    QTest::newRow("a log left beside the file") << u"log"_s << req;
    QTest::newRow("changed by another program since the close") << u"outside"_s << req;
    QTest::newRow("replaced by a copy since the close") << u"copy"_s << req;
}

void TestLocalFile::checkWhenItMatters()
{
    QFETCH(QString, situation);
    QFETCH(int, need);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    if (situation != u"first"_s) {
        // A session that writes, checks and closes.
        QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
        QCOMPARE(store::startPageCheck(kConn, path, store::checkNeedOf(kConn)).result(), QString());
        QCOMPARE(writeSomething(kConn), QString());
        store::closeDatabase(kConn);
        QVERIFY(!QFile::exists(path + u"-wal"_s));
        QVERIFY(store::readRecord(path).clean);
    }
    if (situation == u"dayold"_s || situation == u"notclosed"_s) {
        store::FileRecord r = store::readRecord(path);
        r.checkedAt -= 25 * 3600;
        r.clean = situation == u"dayold"_s;
        QCOMPARE(store::writeRecord(path, r), QString());
    }
    if (situation == u"outside"_s)
        QVERIFY(outside(path, {u"UPDATE 営業日報ヘッダ SET タイトル = 'x'"_s}));
    if (situation == u"copy"_s) {
        QVERIFY(QFile::copy(path, path + u".bak"_s));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(path + u".bak"_s, path));
    }
    // A log beside the file that belongs to it: its session is still open under another name.
    if (situation == u"log"_s) {
        QCOMPARE(store::openDatabase(u"other"_s, path, store::DbKind::Main), QString());
        QCOMPARE(writeSomething(u"other"_s), QString());
        QVERIFY(QFileInfo(path + u"-wal"_s).size() > 32);
    }
    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    QCOMPARE(int(store::checkNeedOf(kConn)), need);
    store::closeDatabase(kConn);
    store::closeDatabase(u"other"_s);
}

// An index whose entries no longer match its table: a quick look passes it, the full check
// does not, and the file is then never written.
void TestLocalFile::fullCheckFindsIndexDamage()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(fill(path, 300), QString());
    QVERIFY(outside(path, {u"PRAGMA writable_schema = ON"_s,
                           u"UPDATE sqlite_schema SET sql = 'CREATE INDEX 営業日報ヘッダ_氏名 ON "
                           u"営業日報ヘッダ (タイトル, 作成日)' "
                           "WHERE name = '営業日報ヘッダ_氏名'"_s}));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"quick"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QCOMPARE(testing::firstValue(db, u"PRAGMA quick_check"_s).toString(), u"ok"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"quick"_s);
    const QByteArray before = testing::readAll(path);

    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    QCOMPARE(store::checkNeedOf(kConn), store::CheckNeed::Required);
    const store::Error found = store::startPageCheck(kConn, path, store::CheckNeed::Required).result();
    QVERIFY2(found.reason().contains(u"営業日報ヘッダ_氏名"_s), qPrintable(found.reason()));
    QCOMPARE(found.kind(), store::ErrorKind::Damaged);
    QVERIFY(writeSomething(kConn).failed());
    store::closeDatabase(kConn);
    QCOMPARE(testing::readAll(path), before);
}

void TestLocalFile::damagedFileIsNeverWritten_data()
{
    QTest::addColumn<QString>("journal");
    QTest::newRow("rollback journal (a file from before the log)") << u"DELETE"_s;
    QTest::newRow("write-ahead log") << u"WAL"_s;
}

// A damaged file is opened for reading, and not one byte of it changes: the switch to the
// write-ahead log waits for the check.
void TestLocalFile::damagedFileIsNeverWritten()
{
    QFETCH(QString, journal);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(fill(path, 300), QString());
    QVERIFY(outside(path, {u"PRAGMA journal_mode = "_s + journal}));
    QVERIFY(testing::damagePageHolding(path, u"名150"_s));
    const QByteArray before = testing::readAll(path);
    QCOMPARE(uchar(before[18]), journal == u"WAL"_s ? 2 : 1);

    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    if (store::checkNeedOf(kConn) != store::CheckNeed::None)
        store::startPageCheck(kConn, path, store::checkNeedOf(kConn));
    QCOMPARE(testing::readAll(path), before);
    const store::Error refused = writeSomething(kConn);
    QVERIFY(refused.failed());
    QCOMPARE(refused.kind(), store::ErrorKind::Damaged);
    store::closeDatabase(kConn);
    QCOMPARE(testing::readAll(path), before);
}

// A check in the background of a large file ends at once when the file is closed, and the
// record does not count it as done.
void TestLocalFile::backgroundCheckStopsAtClose()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(fill(path, 400000), QString());
    QElapsedTimer t;
    t.start();
    QCOMPARE(store::checkPages(path), QString());
    const qint64 whole = t.elapsed();

    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    const qint64 checkedBefore = store::readRecord(path).checkedAt;
    QFuture<store::Error> check = store::startPageCheck(kConn, path, store::CheckNeed::Background);
    QTest::qWait(int(whole / 10));
    // Writes do not wait for a check in the background.
    t.restart();
    QCOMPARE(writeSomething(kConn), QString());
    QVERIFY(!check.isFinished());
    t.restart();
    store::closeDatabase(kConn);
    const qint64 closing = t.elapsed();
    QVERIFY2(closing < whole / 2, qPrintable(u"close %1 ms, check %2 ms"_s.arg(closing).arg(whole)));
    QCOMPARE(store::readRecord(path).checkedAt, checkedBefore);
}

void TestLocalFile::logReadAsSqliteReadsIt_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("commits"); // what SQLite applies of the five
    QTest::newRow("a whole log") << u"none"_s << 5;
    QTest::newRow("the last commit torn off") << u"torn"_s << 4;
    QTest::newRow("a byte changed in the third commit") << u"byte"_s << 2;
    QTest::newRow("a header that is not its own") << u"header"_s << 0;
    QTest::newRow("not a log at all") << u"junk"_s << 0;
}

// What the program reads of a log (the frames, the marks its copies of page 1 hold) is what
// SQLite itself applies of it: five commits, each of one row and a new mark.
void TestLocalFile::logReadAsSqliteReadsIt()
{
    QFETCH(QString, damage);
    QFETCH(int, commits);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"a.db"_s);
    QByteArray file, log;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"writer"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& sql : {u"PRAGMA journal_mode = WAL"_s, u"PRAGMA wal_autocheckpoint = 0"_s,
                                   u"CREATE TABLE t (x)"_s, u"PRAGMA wal_checkpoint(TRUNCATE)"_s})
            QVERIFY2(q.exec(sql), qPrintable(sql));
        for (int i = 1; i <= 5; ++i) {
            QVERIFY(db.transaction());
            QVERIFY(q.exec(u"INSERT INTO t VALUES (%1)"_s.arg(i)));
            QVERIFY(q.exec(u"PRAGMA user_version = %1"_s.arg(100 + i)));
            QVERIFY(db.commit());
        }
        q.finish();
        // Both read while the connection holds them.
        file = testing::readAll(path);
        log = testing::readAll(path + u"-wal"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"writer"_s);
    const int frameSize = 24 + 4096;
    QCOMPARE(log.size(), 32 + 10 * frameSize);
    if (damage == u"torn"_s)
        log.chop(100);
    if (damage == u"byte"_s)
        log[32 + 4 * frameSize + 24 + 2000] = char(log[32 + 4 * frameSize + 24 + 2000] ^ 1);
    if (damage == u"header"_s)
        log[17] = char(log[17] ^ 1);
    if (damage == u"junk"_s)
        log.fill('x');

    const QString copy = tmp.filePath(u"b.db"_s);
    QVERIFY(testing::writeAll(copy, file));
    QVERIFY(testing::writeAll(copy + u"-wal"_s, log));
    const store::LogContent read = store::readLog(log);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"reader"_s);
        db.setDatabaseName(copy);
        QVERIFY(db.open());
        QCOMPARE(testing::firstValue(db, u"SELECT count(*) FROM t"_s).toInt(), commits);
        const int mark = testing::firstValue(db, u"PRAGMA user_version"_s).toInt();
        QCOMPARE(read.firstPageMarks.isEmpty() ? 0 : int(read.firstPageMarks.last()), mark);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"reader"_s);
    QCOMPARE(read.frames, 2 * commits);
    QList<quint32> marks;
    for (int i = 1; i <= commits; ++i)
        marks << quint32(100 + i);
    QCOMPARE(read.firstPageMarks, marks);
}

// Reading a file that a connection of this process holds never drops the connection's locks
// (as opening it by path and closing that descriptor does: the control at the end).
void TestLocalFile::readingHeldFileKeepsItsLocks()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    const qint64 self = QCoreApplication::applicationPid();
    QVERIFY(testing::locksOn(self, path) > 0);
    QCOMPARE(writeSomething(kConn), QString());
    QVERIFY(store::readFileBytes(path).startsWith("SQLite format 3"));
    QCOMPARE(store::markOnDisk(path), store::readRecord(path).mark);
    QCOMPARE(store::logBesideFile(path), store::LogState::Belongs);
    QVERIFY(testing::locksOn(self, path) > 0);
    {
        QFile plain(path);
        QVERIFY(plain.open(QIODevice::ReadOnly));
    }
    QCOMPARE(testing::locksOn(self, path), 0);
}

// A log that fills is folded into the file while the session goes on writing: the record ends
// naming the mark the file carries, and nothing written around the folds is lost.
void TestLocalFile::fullLogFoldedAside()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(store::openDatabase(kConn, path, store::DbKind::Main), QString());
    const QSqlDatabase db = QSqlDatabase::database(kConn, false);
    QCOMPARE(writeSomething(kConn), QString());
    // About 1,500 pages in one commit, twice, with small commits after each.
    const auto many = [&](int from) {
        return store::inTransaction(db, [&] {
            return store::run(
                db,
                u"WITH RECURSIVE r(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM r WHERE i + 1 < %1 + 16000) "
                "INSERT INTO 営業日報ヘッダ SELECT '2024-01-02', '多' || i, '部', printf('%.300c', 'x') FROM r"_s
                    .arg(from));
        });
    };
    int small = 0;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(many(round * 16000), QString());
        for (int i = 0; i < 20; ++i, ++small) {
            const store::Error e = store::inTransaction(db, [&] {
                return store::run(db, u"INSERT INTO 営業日報ヘッダ VALUES ('2024-01-03', ?, '部', 't')"_s,
                                  {u"小%1"_s.arg(small)});
            });
            QCOMPARE(e, QString());
        }
        // The fold ends with the file holding the new mark the record names.
        QVERIFY(!store::readRecord(path).checkpointing);
        QCOMPARE(store::markOnDisk(path), store::readRecord(path).mark);
        QVERIFY(QFileInfo(path).size() > (round + 1) * 4000000);
        QCOMPARE(store::logBesideFile(path), store::LogState::Belongs);
    }
    store::closeDatabase(kConn);
    QVERIFY(!QFile::exists(path + u"-wal"_s));
    const store::FileRecord r = store::readRecord(path);
    QVERIFY(r.clean);
    QCOMPARE(r.mark, store::markOnDisk(path));
    QCOMPARE(r.previousMark, r.mark);
    {
        QSqlDatabase plain = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"outside"_s);
        plain.setDatabaseName(path);
        QVERIFY(plain.open());
        QSqlQuery q(plain);
        QVERIFY(q.exec(u"SELECT count(*) FROM 営業日報ヘッダ WHERE 氏名 LIKE '多%' OR 氏名 LIKE '小%'"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 32000 + small);
        QVERIFY(q.exec(u"PRAGMA integrity_check"_s) && q.next());
        QCOMPARE(q.value(0).toString(), u"ok"_s);
    }
    QSqlDatabase::removeDatabase(u"outside"_s);
}

using Failing = std::function<store::Error(const QString& path)>;

void TestLocalFile::failureKindFromTheEngine_data()
{
    using K = store::ErrorKind;
    const auto open = [](const QString& path) {
        return store::openLocalFile(kConn, path, store::DbKind::Main).error;
    };
    const auto openedThen = [](std::function<store::Error(const QSqlDatabase&)> then) {
        return [then](const QString& path) {
            if (store::Error e = store::openDatabase(kConn, path, store::DbKind::Main); e.failed())
                return e;
            return then(QSqlDatabase::database(kConn, false));
        };
    };
    QTest::addColumn<Failing>("failing");
    QTest::addColumn<store::ErrorKind>("kind");
    QTest::newRow("no file") << Failing([open](const QString& path) {
        QFile::remove(path);
        return open(path);
    }) << K::Missing;
    QTest::newRow("no folder") << Failing([open](const QString& path) {
        return open(path + u"-none/Tesvan.mdb"_s);
    }) << K::Missing;
    QTest::newRow("a text file") << Failing([open](const QString& path) {
        return testing::writeAll(path, "営業日報\n") ? open(path) : store::Error();
    }) << K::NotOurs;
    // SQLite's own header, with a page size no database has: the engine refuses it.
    QTest::newRow("a header the engine refuses") << Failing([open](const QString& path) {
        QByteArray bytes = testing::readAll(path);
        bytes[16] = 0;
        bytes[17] = 3;
        return testing::writeAll(path, bytes) ? open(path) : store::Error();
    }) << K::NotOurs;
    QTest::newRow("another program's database") << Failing([open](const QString& path) {
        QFile::remove(path);
        return outside(path, {u"CREATE TABLE notes (t TEXT)"_s}) ? open(path) : store::Error();
    }) << K::NotOurs;
    QTest::newRow("a damaged page read") << Failing([openedThen](const QString& path) {
        // The lines' titles are on the table's pages only, not on its index's.
        if (!testing::damagePageHolding(path, QString(50, u'x')))
            return store::Error();
        return openedThen([](const QSqlDatabase& db) {
            QList<store::Row> rows;
            return store::readRows(db, u"SELECT * FROM 営業日報ヘッダ ORDER BY タイトル"_s, {}, rows);
        })(path);
    }) << K::Damaged;
    // Another program holds the file for writing longer than a statement waits.
    QTest::newRow("locked by another program") << Failing(openedThen([](const QSqlDatabase&) {
        QSqlDatabase holder = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"holder"_s);
        holder.setDatabaseName(QSqlDatabase::database(kConn, false).databaseName());
        holder.setConnectOptions(u"QSQLITE_OPEN_URI"_s);
        QSqlQuery q(holder);
        if (!holder.open() || !q.exec(u"BEGIN IMMEDIATE"_s))
            return store::Error();
        return writeSomething(kConn);
    })) << K::Locked;
    QTest::newRow("no room left") << Failing(openedThen([](const QSqlDatabase& db) {
        const int pages = testing::firstValue(db, u"PRAGMA page_count"_s).toInt();
        if (store::Error e = store::run(db, u"PRAGMA max_page_count = %1"_s.arg(pages)); e.failed())
            return e;
        return store::run(
            db,
            u"INSERT INTO 営業日報ヘッダ SELECT 作成日, 氏名 || 'x', 所属, タイトル FROM 営業日報ヘッダ"_s);
    })) << K::Full;
    QTest::newRow("a connection that only reads") << Failing(openedThen([](const QSqlDatabase& db) {
        const store::Error e = store::run(db, u"PRAGMA query_only = 1"_s);
        return e.failed() ? e : writeSomething(kConn);
    })) << K::Access;
}

// The kind of a real failure is what the engine or the file system says, not its wording.
void TestLocalFile::failureKindFromTheEngine()
{
    QFETCH(Failing, failing);
    QFETCH(store::ErrorKind, kind);
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"Tesvan.mdb"_s);
    QCOMPARE(store::createInitialFile(path, store::DbKind::Main), QString());
    QCOMPARE(fill(path, 300), QString());
    const store::Error e = failing(path);
    QVERIFY(e.failed());
    QCOMPARE(e.kind(), kind);
    QVERIFY(!e.reason().isEmpty());
}

QTEST_GUILESS_MAIN(TestLocalFile)
#include "tst_localfile.moc"
