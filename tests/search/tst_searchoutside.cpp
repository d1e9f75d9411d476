// The main file as any SQLite tool sees it: the stock sqlite3 program (a child process, none of
// our code loaded) writes and dumps it while the program has it open, odd values are indexed or
// left out without harm, and an index that is damaged or cannot take a write is made again
// while 登録 goes on.
#include "SearchFixture.h"

#include "store/Connection.h"
#include "store/Integrity.h"
#include "store/LocalFile.h"

#include <QProcess>
#include <sqlite3.h>

namespace {

struct Cli {
    int code = -1;
    QString out;
};

// The stock sqlite3 program on the file at path, given sql on its standard input.
Cli sqliteCli(const QStringList& args, const QByteArray& sql = {})
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(sql);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

} // namespace

class TestSearchOutside : public QObject, SearchFixture {
    Q_OBJECT

    QString mainPath() const { return m_dir.path() + u"/%1/Tesvan.mdb"_s.arg(m_round); }

    QStringList keys(const QString& words) { return found(criteria({}, {}, {}, words)); }

    // FTS5's own check of the index, on the program's connection (rolled back).
    QString ftsCheck()
    {
        QString why;
        store::inTransaction(m_main, [&] {
            why = store::run(m_main,
                             u"INSERT INTO 営業日報検索 (営業日報検索, rank) VALUES ('integrity-check', 0)"_s)
                      .reason();
            return store::Error(u"rolled back"_s);
        });
        return why;
    }

    void reopen()
    {
        testing::closeFreshFiles(prefix(), m_main, m_work);
        const QString dir = m_dir.path() + u"/%1/"_s.arg(m_round);
        QCOMPARE(store::openDatabase(prefix() + u"main"_s, dir + u"Tesvan.mdb"_s, store::DbKind::Main),
                 QString());
        QCOMPARE(store::openDatabase(prefix() + u"work"_s, dir + u"TesvanWork.mdb"_s, store::DbKind::Work),
                 QString());
        m_main = QSqlDatabase::database(prefix() + u"main"_s, false);
        m_work = QSqlDatabase::database(prefix() + u"work"_s, false);
    }

  private slots:
    void initTestCase()
    {
        if (sqliteCli({u"-version"_s}).code != 0)
            QSKIP("the sqlite3 program is not installed");
    }
    void init() { open(); }
    void cleanup() { close(); }

    // Lines inserted, changed and deleted by another program are found (or no longer found) by
    // the next search; the file's dump loads into a fresh file, which the program then searches.
    void anotherProgramWritesLines()
    {
        registerThroughWork(u"2024-05-01"_s, u"佐藤"_s, {u"見積を提出"_s, u"新製品の説明"_s});
        QCOMPARE(keys(u"見積"_s).size(), 1);
        const Cli w = sqliteCli(
            {mainPath()},
            QByteArrayLiteral(".timeout 5000\n"
                              "INSERT INTO 営業日報ヘッダ VALUES ('2024-05-02', '鈴木', '営業部', '');\n"
                              "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 時間, 内容) VALUES "
                              "('2024-05-02', '鈴木', 1, "
                              "'2024-05-02', '0900', '鮭の缶詰を納品');\n"
                              "UPDATE 営業日報 SET 内容 = '特許の出願' WHERE 氏名 = '佐藤' AND 行番号 = 2;\n"
                              "DELETE FROM 営業日報 WHERE 内容 = '見積を提出';\n"));
        QVERIFY2(w.code == 0 && w.out.isEmpty(), qPrintable(w.out));
        QCOMPARE(keys(u"鮭の缶詰"_s), QStringList{u"2024-05-02 0900 鈴木 2024-05-02/1"_s});
        QCOMPARE(keys(u"鮭"_s).size(), 1);
        QCOMPARE(keys(u"特許"_s).size(), 1);
        QCOMPARE(keys(u"新製品"_s).size(), 0);
        QCOMPARE(keys(u"見積"_s).size(), 0);
        search::Totals t;
        QCOMPARE(search::countLines(m_main, criteria({}, {}, {}, u"の"_s), &t), QString());
        QCOMPARE(t.lines, 2);
        // The program's own 登録 after them, and its lines found with theirs.
        registerThroughWork(u"2024-05-03"_s, u"佐藤"_s, {u"鮭の切り身"_s});
        QCOMPARE(keys(u"鮭"_s).size(), 2);
        QCOMPARE(ftsCheck(), QString());

        // The dump, loaded by the stock program into a fresh file, is the file.
        const QString copy = m_dir.path() + u"/%1/copy/Tesvan.mdb"_s.arg(m_round);
        QDir().mkpath(QFileInfo(copy).absolutePath());
        const Cli dump = sqliteCli({mainPath(), u".dump"_s});
        QCOMPARE(dump.code, 0);
        const Cli load = sqliteCli({copy}, dump.out.toUtf8());
        QVERIFY2(load.code == 0 && load.out.isEmpty(), qPrintable(load.out));
        const Cli lines =
            sqliteCli({copy, u"SELECT count(*) FROM 営業日報; DELETE FROM 営業日報 WHERE 行番号 > 1;"_s});
        QVERIFY2(lines.code == 0, qPrintable(lines.out));
        QCOMPARE(lines.out.trimmed(),
                 testing::firstValue(m_main, u"SELECT count(*) FROM 営業日報"_s).toString());
        QCOMPARE(store::openDatabase(u"copy"_s, copy, store::DbKind::Main), QString());
        {
            const QSqlDatabase c = QSqlDatabase::database(u"copy"_s, false);
            QList<Hit> hits;
            QCOMPARE(search::findLines(c, criteria({}, {}, {}, u"鮭"_s), nullptr, 100, &hits), QString());
            QCOMPARE(hits.size(), 2);
            QCOMPARE(search::findLines(c, criteria({}, {}, {}, u"特許"_s), nullptr, 100, &(hits = {})),
                     QString());
            QCOMPARE(hits.size(), 0); // line 2, deleted in the copy only
        }
        store::closeDatabase(u"copy"_s);
    }

    // A NUL inside a text, bytes that are not UTF-8, a blob and a text of 100 kB, written by
    // another program: the index takes them (or leaves them out) and stays whole, and 登録 and
    // taking them out again go on.
    void oddValues()
    {
        const Cli w = sqliteCli(
            {mainPath()},
            QByteArrayLiteral(
                "INSERT INTO 営業日報ヘッダ VALUES ('2024-06-01', '山田', '営業部', '');\n"
                "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 内容, 備考) VALUES "
                "('2024-06-01', '山田', 1, '2024-06-01', '前半' || char(0) || '後半', char(0)),"
                "('2024-06-01', '山田', 2, '2024-06-01', CAST(X'E381FF41E6B0B4' AS TEXT), NULL),"
                "('2024-06-01', '山田', 3, '2024-06-01', X'00FFE9AEAD', '生鮭'),"
                "('2024-06-01', '山田', 4, '2024-06-01', replace(hex(zeroblob(50000)), '00', 'あい') || "
                "'最後の一文', NULL),"
                "('2024-06-01', '山田', 5, 'x', 'ABC商事', NULL),"
                "('not a date', '山田', 6, '2024-06-01', 'ABC商事', NULL),"
                "('2024-06-01', '山田', -1, '2024-06-01', 'ABC商事', NULL);\n"));
        QVERIFY2(w.code == 0 && w.out.isEmpty(), qPrintable(w.out));
        QCOMPARE(keys(u"後半"_s).size(), 1);
        QCOMPARE(keys(u"前半"_s).size(), 1);
        QCOMPARE(keys(u"a水"_s).size(), 1); // the bytes that are not UTF-8 read as U+FFFD
        QCOMPARE(keys(u"生鮭"_s).size(), 1);
        QCOMPARE(keys(u"最後の一文"_s).size(), 1);
        QCOMPARE(keys(u"いあ"_s).size(), 1);
        // Lines whose key the index cannot hold (a report date that is no date, a negative line
        // number) are left out of it, as the earlier version left them: five lines are in it.
        QVERIFY(!keys(u"abc商事"_s).isEmpty());
        QCOMPARE(testing::firstValue(m_main, u"SELECT count(*) FROM 営業日報検索元"_s).toInt(), 5);
        QCOMPARE(ftsCheck(), QString());
        registerThroughWork(u"2024-06-02"_s, u"山田"_s, {u"生鮭の納品"_s});
        QCOMPARE(keys(u"生鮭"_s).size(), 2);
        const Cli d =
            sqliteCli({mainPath()}, "DELETE FROM 営業日報 WHERE 氏名 = '山田' AND 作成日 = '2024-06-01';");
        QVERIFY2(d.code == 0 && d.out.isEmpty(), qPrintable(d.out));
        QCOMPARE(keys(u"生鮭"_s).size(), 1);
        QCOMPARE(keys(u"最後の一文"_s).size(), 0);
        QCOMPARE(ftsCheck(), QString());
        QCOMPARE(testing::firstValue(m_main, u"SELECT count(*) FROM 営業日報検索元"_s).toInt(), 1);
    }

    // Random bytes in the index's own pages (the file's own check still passes): the next open
    // finds it, 登録 goes on meanwhile, a search with keywords is told it is being made again,
    // and made again it finds every line.
    void damagedIndexRebuilt()
    {
        fillRandom(300);
        registerThroughWork(u"2024-05-01"_s, u"新人"_s, {u"見積の話"_s});
        const QStringList before = keys(u"見積"_s);
        QVERIFY(before.size() > 1);
        testing::closeFreshFiles(prefix(), m_main, m_work);

        // The largest block of the index, found where it lies in the file, and its middle overwritten.
        QByteArray block;
        {
            sqlite3* h = nullptr;
            QCOMPARE(sqlite3_open_v2(QFile::encodeName(mainPath()).constData(), &h, SQLITE_OPEN_READWRITE,
                                     nullptr),
                     SQLITE_OK);
            sqlite3_exec(h, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(h, "SELECT block FROM 営業日報検索_data ORDER BY length(block) DESC LIMIT 1",
                               -1, &st, nullptr);
            if (sqlite3_step(st) == SQLITE_ROW)
                block = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                                   sqlite3_column_bytes(st, 0));
            sqlite3_finalize(st);
            sqlite3_close(h);
        }
        QVERIFY(block.size() > 200);
        const QByteArray bytes = testing::readAll(mainPath());
        const qsizetype at = bytes.indexOf(block.left(100));
        QVERIFY(at > 0);
        QByteArray noise(block.size() / 2 - 20, Qt::Uninitialized);
        for (char& c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        QVERIFY(testing::writeThroughSqlite(mainPath(), at + 20, noise));
        QCOMPARE(store::checkPages(mainPath()), QString()); // SQLite's own check sees nothing

        reopen();
        QCOMPARE(store::checkNeedOf(prefix() + u"main"_s), store::CheckNeed::Required);
        QCOMPARE(store::startPageCheck(prefix() + u"main"_s, mainPath(), store::CheckNeed::Required).result(),
                 QString());
        QVERIFY(store::textIndexRebuilding(m_main));
        QVERIFY(!store::textIndexReady(m_main));
        // 登録 goes on; its lines are queued and taken in by the rebuild.
        registerThroughWork(u"2024-05-02"_s, u"新人"_s, {u"二度目の見積"_s});
        // The rebuild a part at a time, with a 登録 between two parts.
        store::RebuildStep s = store::rebuildTextIndexStep(m_main, 50);
        QCOMPARE(s.error, QString());
        QVERIFY(!s.finished);
        s = store::rebuildTextIndexStep(m_main, 50);
        QVERIFY(s.done > 0 && s.done < s.total);
        registerThroughWork(u"2024-05-03"_s, u"新人"_s, {u"三度目の見積"_s});
        // A report before the part already walked is taken in at once, one after it by the walk.
        registerThroughWork(u"2024-03-01"_s, u"新人"_s, {u"早い日の見積"_s});
        QCOMPARE(store::rebuildTextIndex(m_main), QString());
        QVERIFY(!store::textIndexRebuilding(m_main));
        QVERIFY(store::textIndexReady(m_main));
        QCOMPARE(ftsCheck(), QString());
        QCOMPARE(keys(u"見積"_s).size(), before.size() + 3);
        indexAgreesWithStoredLines("rebuilt");
        // A later start goes on as usual: nothing to make again.
        reopen();
        QVERIFY(!store::textIndexRebuilding(m_main));
    }

    // An index that cannot take a 登録 (a part of it gone) never fails the 登録: the keys stay
    // queued, the index is marked, and the rebuild (which a next start would go on with) brings
    // it back whole.
    void indexFailingNeverFailsRegistering()
    {
        fillRandom(30);
        QCOMPARE(store::run(m_main, u"ALTER TABLE 営業日報検索元 RENAME TO 営業日報検索元_x"_s), QString());
        registerThroughWork(u"2024-05-01"_s, u"新人"_s, {u"見積の話"_s});
        QVERIFY(store::textIndexRebuilding(m_main));
        QVERIFY(testing::firstValue(m_main, u"SELECT count(*) FROM 営業日報検索待ち"_s).toInt() > 0);
        reopen();
        QVERIFY(store::textIndexRebuilding(m_main));
        QCOMPARE(store::rebuildTextIndex(m_main), QString());
        QCOMPARE(store::run(m_main, u"DROP TABLE 営業日報検索元_x"_s), QString());
        indexAgreesWithStoredLines("after the failure");
        // A trigger dropped by another tool: the next open puts it back and makes the index again.
        QCOMPARE(sqliteCli({mainPath(), u"DROP TRIGGER 営業日報検索_待ち追加"_s}).code, 0);
        reopen();
        QVERIFY(store::textIndexRebuilding(m_main));
        QCOMPARE(store::rebuildTextIndex(m_main), QString());
        indexAgreesWithStoredLines("trigger back");
    }

    // A file of the earlier version (its index's tokenizer in the program) is given this
    // version's at open, once, in one transaction, and the stock program writes it afterwards.
    void earlierVersionMigrated()
    {
        fillRandom(30);
        // The earlier version's index and one of its triggers, its tokenizer known by name here.
        QCOMPARE(store::inTransaction(m_main, [this] { return store::dropTextIndex(m_main); }), QString());
        for (
            const QString& sql :
            {u"CREATE TABLE 営業日報検索氏名 (番号 INTEGER PRIMARY KEY, 氏名 TEXT NOT NULL UNIQUE)"_s,
             u"CREATE VIRTUAL TABLE 営業日報検索 USING fts5(内容, 訪問先, 担当, 備考, content='', "
             u"detail='none', "
             "columnsize=0, tokenize='tesvan')"_s,
             u"CREATE TRIGGER 営業日報検索_追加 AFTER INSERT ON 営業日報 BEGIN INSERT INTO 営業日報検索 "
             u"(rowid, 内容) "
             "VALUES (new.行番号, new.内容); END"_s,
             u"CREATE INDEX 営業日報_日時 ON 営業日報 (coalesce(日付, ''), coalesce(時間, ''), 氏名, 作成日, 行番号)"_s,
             u"CREATE INDEX 営業日報_氏名日時 ON 営業日報 (氏名, coalesce(日付, ''), coalesce(時間, ''), "
             u"作成日, "
             "行番号)"_s})
            QCOMPARE(store::run(m_main, sql), QString());
        testing::closeFreshFiles(prefix(), m_main, m_work);
        QVERIFY(sqliteCli({mainPath(),
                           u"INSERT INTO 営業日報 (作成日, 氏名, 行番号) VALUES ('2024-01-01', 'x', 1)"_s})
                    .out.contains(u"tesvan"_s));
        reopen();
        QVERIFY(store::textIndexRebuilding(m_main));
        QCOMPARE(store::rebuildTextIndex(m_main), QString());
        indexAgreesWithStoredLines("migrated");
        const Cli w = sqliteCli({mainPath(), u"DELETE FROM 営業日報"_s});
        QVERIFY2(w.code == 0 && w.out.isEmpty(), qPrintable(w.out));
        QCOMPARE(keys(u"の"_s), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSearchOutside)
#include "tst_searchoutside.moc"
