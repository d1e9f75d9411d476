// Pick lists from the code master and learning new names into it.
#include "codes/PickLists.h"
#include "FreshFiles.h"
#include "TestFiles.h"
#include "store/DataInit.h"
#include "store/Schema.h"

#include <QSqlQuery>

#include <QTest>

using namespace Qt::StringLiterals;

class TestPickLists : public QObject, testing::FreshFiles {
    Q_OBJECT
    void name(const QString& category, const QString& code, const QVariant& sname)
    {
        QCOMPARE(store::run(m_main, u"UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"_s,
                            {sname, category, code}),
                 QString());
    }
    QStringList texts(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
    {
        store::Statement q(db, sql);
        for (const QVariant& v : values)
            q.bind(v);
        QStringList out;
        if (q.exec())
            while (q.next())
                out << q.value(0).toString();
        return out;
    }
    QStringList codesOf(const QString& category, const QString& sname)
    {
        return texts(m_main, u"SELECT code FROM コードマスタ WHERE kcode = ? AND sname = ? ORDER BY code"_s,
                     {category, sname});
    }
    QStringList workNames(const QString& table)
    {
        return texts(m_work, u"SELECT sname FROM %1"_s.arg(table));
    }

  private slots:
    void init() { QCOMPARE(openFresh(), QString()); }
    void cleanup() { closeFresh(); }

    void listsFollowCodeOrder()
    {
        for (const QString& k : store::kCategories) {
            name(k, u"010"_s, k + u"C"_s);
            name(k, u"001"_s, u" "_s + k + u"A "_s); // kept untrimmed
            name(k, u"004"_s, k + u"B"_s);
            name(k, u"005"_s, u""_s);
            name(k, u"199"_s, k + u"B"_s); // duplicates stay
        }
        const auto expect = [](const QString& k) {
            return QStringList{u" "_s + k + u"A "_s, k + u"B"_s, k + u"C"_s, k + u"B"_s};
        };
        QCOMPARE(store::run(m_work, u"INSERT INTO w備考 (sname) VALUES ('前回の残り')"_s), QString());
        const codes::PickLists p = codes::loadPickLists(m_main, m_work);
        QCOMPARE(p.error, QString());
        QCOMPARE(p.所属, expect(u"所属"_s));
        QCOMPARE(p.氏名, expect(u"氏名"_s));
        QCOMPARE(workNames(u"w備考"_s), expect(u"備考"_s));
        QCOMPARE(workNames(u"w訪問先"_s), expect(u"訪問先"_s));
    }

    void categoryWithoutRowsGivesEmptyList()
    {
        name(u"氏名"_s, u"001"_s, u"佐藤"_s);
        QCOMPARE(store::run(m_work, u"INSERT INTO w訪問先 (sname) VALUES ('前回の残り')"_s), QString());
        QCOMPARE(store::run(m_main, u"DELETE FROM コードマスタ WHERE kcode IN ('所属', '訪問先')"_s),
                 QString());
        const codes::PickLists p = codes::loadPickLists(m_main, m_work);
        QCOMPARE(p.error, QString());
        QVERIFY(p.所属.isEmpty());
        QCOMPARE(p.氏名, QStringList{u"佐藤"_s});
        QVERIFY(workNames(u"w訪問先"_s).isEmpty());
        QVERIFY(!codes::addCodeMaster(m_main, u"訪問先"_s, u"新規"_s).added);
    }

    void failedWorkWriteKeepsOldLists()
    {
        name(u"備考"_s, u"001"_s, u"新しい備考"_s);
        name(u"訪問先"_s, u"001"_s, u"新しい行先"_s);
        QCOMPARE(store::run(m_work, u"INSERT INTO w備考 (sname) VALUES ('古い備考')"_s), QString());
        QCOMPARE(store::run(m_work, u"CREATE TRIGGER t BEFORE INSERT ON w訪問先 "
                                    "BEGIN SELECT RAISE(ABORT, 'work full'); END"_s),
                 QString());
        const codes::PickLists p = codes::loadPickLists(m_main, m_work);
        QVERIFY(p.error.reason().contains(u"work full"_s));
        QCOMPARE(workNames(u"w備考"_s), QStringList{u"古い備考"_s});
    }

    void failedMainReadTouchesNothing()
    {
        QCOMPARE(store::run(m_work, u"INSERT INTO w備考 (sname) VALUES ('古い備考')"_s), QString());
        QCOMPARE(store::run(m_main, u"DROP TABLE コードマスタ"_s), QString());
        const codes::PickLists p = codes::loadPickLists(m_main, m_work);
        QVERIFY(!p.error.ok());
        QCOMPARE(workNames(u"w備考"_s), QStringList{u"古い備考"_s});
    }

    // A page that fails part-way through the code master: no list is rebuilt from half of it,
    // and no name is learnt twice because the scan missed where it already was.
    void damagedPageFailsListsAndLearning()
    {
        if (testing::onServer())
            QSKIP("the main database is on the server, which keeps its own pages");
        const auto longName = [](int n) {
            return u"MARK%1 "_s.arg(n, 3, 10, QChar(u'0')) + QString(900, u'y');
        };
        for (int n = 11; n <= store::kCodeRows; ++n)
            name(u"訪問先"_s, store::codeOf(n), longName(n));
        QCOMPARE(store::run(m_work, u"INSERT INTO w訪問先 (sname) VALUES ('前回')"_s), QString());
        QVERIFY(testing::damagePageHolding(mainPath(), u"MARK150"_s));

        const codes::PickLists p = codes::loadPickLists(m_main, m_work);
        QVERIFY(p.error.failed());
        QVERIFY(p.所属.isEmpty() && p.氏名.isEmpty());
        QCOMPARE(workNames(u"w訪問先"_s), QStringList{u"前回"_s});

        const codes::AddResult a = codes::addCodeMaster(m_main, u"訪問先"_s, longName(180));
        QVERIFY(a.error.failed());
        QVERIFY(!a.added);
        QVERIFY(texts(m_main, u"SELECT code FROM コードマスタ WHERE kcode = '訪問先' AND code <= '010' "
                              "AND sname IS NOT NULL"_s)
                    .isEmpty());
    }

    // The lists are read again whenever the code master may have changed, by any writer;
    // otherwise the last ones are given without reading.
    void readerReadsAgainAfterWrites_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<bool>("reused");
        QTest::addColumn<QStringList>("names"); // 氏名 afterwards
        const QStringList one{u"佐藤"_s}, two{u"佐藤"_s, u"鈴木"_s};
        QTest::newRow("nothing written") << u"none"_s << true << one;
        QTest::newRow("a name set through this connection") << u"own"_s << false << two;
        QTest::newRow("a name learnt by registration") << u"learn"_s << false << two;
        QTest::newRow("a name set and rolled back") << u"rolledBack"_s << false << one;
        QTest::newRow("another connection to the file") << u"other"_s << false << two;
        QTest::newRow("the data initialised") << u"init"_s << false << QStringList();
        QTest::newRow("the work file written") << u"work"_s << true << one;
    }
    void readerReadsAgainAfterWrites()
    {
        QFETCH(QString, writer);
        QFETCH(bool, reused);
        QFETCH(QStringList, names);
        name(u"氏名"_s, u"001"_s, u"佐藤"_s);
        name(u"訪問先"_s, u"001"_s, u"山田商事"_s);
        codes::PickListReader reader;
        QCOMPARE(reader.load(m_main, m_work).氏名, QStringList{u"佐藤"_s});
        QVERIFY(!reader.reused());
        if (writer == u"own") {
            name(u"氏名"_s, u"002"_s, u"鈴木"_s);
        } else if (writer == u"learn") {
            QVERIFY(codes::addCodeMaster(m_main, u"氏名"_s, u"鈴木"_s).added);
        } else if (writer == u"rolledBack") {
            store::Transaction tx(m_main);
            name(u"氏名"_s, u"002"_s, u"鈴木"_s);
        } else if (writer == u"other") {
            if (testing::onServer())
                QSKIP("the main database is on the server");
            QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"otherWriter"_s);
            other.setDatabaseName(mainPath());
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(
                q.exec(u"UPDATE コードマスタ SET sname = '鈴木' WHERE kcode = '氏名' AND code = '002'"_s));
            q.finish();
            other.close();
        } else if (writer == u"init") {
            QCOMPARE(app::initialiseData(m_main), QString());
        } else if (writer == u"work") {
            QCOMPARE(store::run(m_work, u"DELETE FROM w営業日報"_s), QString());
        }
        QSqlDatabase::removeDatabase(u"otherWriter"_s);
        const codes::PickLists p = reader.load(m_main, m_work);
        QCOMPARE(p.error, QString());
        // A server's code master is read every time: its other users write without telling us.
        QCOMPARE(reader.reused(), reused && !testing::onServer());
        QCOMPARE(p.氏名, names);
        QCOMPARE(workNames(u"w訪問先"_s), names.isEmpty() ? QStringList() : QStringList{u"山田商事"_s});
    }

    // A load that failed is not kept: the next one reads again.
    void readerKeepsNoFailedLoad()
    {
        name(u"氏名"_s, u"001"_s, u"佐藤"_s);
        codes::PickListReader reader;
        QCOMPARE(store::run(m_work, u"CREATE TRIGGER t BEFORE INSERT ON w備考 "
                                    "BEGIN SELECT RAISE(ABORT, 'work full'); END"_s),
                 QString());
        name(u"備考"_s, u"001"_s, u"新しい備考"_s);
        QVERIFY(reader.load(m_main, m_work).error.failed());
        QCOMPARE(store::run(m_work, u"DROP TRIGGER t"_s), QString());
        const codes::PickLists p = reader.load(m_main, m_work);
        QCOMPARE(p.error, QString());
        QVERIFY(!reader.reused());
        QCOMPARE(workNames(u"w備考"_s), QStringList{u"新しい備考"_s});
    }

    // After a write of one category, its pick table holds exactly its names in code order, however
    // the names changed, and the other table is left alone.
    void followCategoryBringsItsTable_data()
    {
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QStringList>("names");
        const QStringList abcd{u"A"_s, u"B"_s, u"C"_s, u"D"_s};
        QTest::newRow("unchanged") << abcd << abcd;
        QTest::newRow("one renamed") << abcd << QStringList{u"A"_s, u"X"_s, u"C"_s, u"D"_s};
        QTest::newRow("order changed") << abcd << QStringList{u"D"_s, u"C"_s, u"B"_s, u"A"_s};
        QTest::newRow("two apart removed") << abcd << QStringList{u"B"_s, u"D"_s};
        QTest::newRow("first and last removed") << abcd << QStringList{u"B"_s, u"C"_s};
        QTest::newRow("a duplicate removed")
            << QStringList{u"A"_s, u"B"_s, u"A"_s, u"B"_s} << QStringList{u"A"_s, u"A"_s, u"B"_s};
        QTest::newRow("every one removed") << abcd << QStringList{};
        QTest::newRow("added at the end") << abcd << abcd + QStringList{u"E"_s, u"F"_s};
        QTest::newRow("added in the middle") << abcd << QStringList{u"A"_s, u"B"_s, u"X"_s, u"C"_s, u"D"_s};
        QTest::newRow("one removed, one added") << abcd << QStringList{u"A"_s, u"C"_s, u"D"_s, u"E"_s};
        QTest::newRow("into an empty table") << QStringList{} << abcd;
        QTest::newRow("a blank row left in the table")
            << QStringList{u"A"_s, u""_s, u"B"_s} << QStringList{u"A"_s, u"B"_s};
    }
    void followCategoryBringsItsTable()
    {
        QFETCH(QStringList, held);
        QFETCH(QStringList, names);
        QCOMPARE(store::run(m_work, u"DELETE FROM w訪問先"_s), QString());
        for (const QString& n : held)
            QCOMPARE(store::run(m_work, u"INSERT INTO w訪問先 (sname) VALUES (?)"_s, {n}), QString());
        QCOMPARE(store::run(m_work, u"INSERT INTO w備考 (sname) VALUES ('備考のまま')"_s), QString());
        // Stored rows in code order, with blank and Null names among them.
        codes::CategoryState stored{u"訪問先"_s, {}, true, {}};
        int code = 1;
        for (const QString& n : names) {
            stored.rows << QVariantList{u"%1"_s.arg(code++, 3, 10, QLatin1Char('0')), n};
            stored.rows << QVariantList{u"%1"_s.arg(code++, 3, 10, QLatin1Char('0')),
                                        code % 4 ? QVariant(u""_s) : QVariant()};
        }
        const codes::CategoryPick p = codes::followCategory(m_work, stored);
        QCOMPARE(p.error, QString());
        QCOMPARE(p.names, names);
        QCOMPARE(p.tableChanged, held != names);
        QCOMPARE(texts(m_work, u"SELECT sname FROM w訪問先 ORDER BY rowid"_s), names);
        QCOMPARE(workNames(u"w備考"_s), QStringList{u"備考のまま"_s});

        // 所属 and 氏名 have no table: their names only.
        stored.category = u"所属"_s;
        const codes::CategoryPick d = codes::followCategory(m_work, stored);
        QCOMPARE(d.names, names);
        QVERIFY(!d.tableChanged);
        QCOMPARE(texts(m_work, u"SELECT sname FROM w訪問先 ORDER BY rowid"_s), names);
    }

    void add_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("code"); // where value is found afterwards
        // Before each row: 001 "ABC", 002 Null, 003 "", 004 "x".
        QTest::newRow("new name takes the lowest free row") << u"D社"_s << true << u"002"_s;
        QTest::newRow("present name is left alone") << u"ABC"_s << false << u"001"_s;
        QTest::newRow("case differs") << u"abc"_s << true << u"002"_s;
        QTest::newRow("width differs") << u"ＡＢＣ"_s << true << u"002"_s;
        QTest::newRow("trailing space differs") << u"ABC "_s << true << u"002"_s;
        QTest::newRow("quote in name") << u"O'Brien"_s << true << u"002"_s;
        QTest::newRow("empty value is no name") << u""_s << false << QString();
    }
    void add()
    {
        QFETCH(QString, value);
        QFETCH(bool, added);
        QFETCH(QString, code);
        const QString k = u"訪問先"_s;
        name(k, u"001"_s, u"ABC"_s);
        name(k, u"003"_s, u""_s);
        name(k, u"004"_s, u"x"_s);
        const codes::AddResult r = codes::addCodeMaster(m_main, k, value);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.added, added);
        if (!code.isEmpty())
            QCOMPARE(codesOf(k, value), QStringList{code});
        QCOMPARE(texts(m_main, u"SELECT count(*) FROM コードマスタ WHERE kcode = ?"_s, {k}),
                 QStringList{u"199"_s});
        QVERIFY(codesOf(u"備考"_s, value).isEmpty());
    }

    void adderFillsFreeRowsInOrderUntilFull()
    {
        const QString k = u"備考"_s;
        for (int i = 1; i <= 199; ++i)
            if (i != 7 && i != 150)
                name(k, u"%1"_s.arg(i, 3, 10, QLatin1Char('0')), u"n%1"_s.arg(i));
        codes::CodeMasterAdder adder(m_main);
        QVERIFY(adder.add(k, u"一"_s).added);
        QVERIFY(!adder.add(k, u"一"_s).added);
        QVERIFY(adder.add(k, u"二"_s).added);
        const codes::AddResult full = adder.add(k, u"三"_s);
        QVERIFY(!full.added && full.error.ok());
        QCOMPARE(codesOf(k, u"一"_s), QStringList{u"007"_s});
        QCOMPARE(codesOf(k, u"二"_s), QStringList{u"150"_s});
        QVERIFY(codesOf(k, u"三"_s).isEmpty());
    }

    void adderBelongsToCallersTransaction()
    {
        {
            store::Transaction tx(m_main);
            QVERIFY(tx.ok());
            codes::CodeMasterAdder adder(m_main);
            QVERIFY(adder.add(u"訪問先"_s, u"取消社"_s).added);
        } // rolled back
        QVERIFY(codesOf(u"訪問先"_s, u"取消社"_s).isEmpty());
        QVERIFY(codes::addCodeMaster(m_main, u"訪問先"_s, u"確定社"_s).added);
        QCOMPARE(codesOf(u"訪問先"_s, u"確定社"_s), QStringList{u"001"_s});
    }

    void failedWriteIsReported()
    {
        QCOMPARE(
            testing::failingTrigger(m_main, u"t"_s, u"UPDATE"_s, u"コードマスタ"_s, {}, u"master locked"_s),
            QString());
        const codes::AddResult r = codes::addCodeMaster(m_main, u"訪問先"_s, u"新規"_s);
        QVERIFY(!r.added);
        QVERIFY(r.error.reason().contains(u"master locked"_s));
    }
};

QTEST_GUILESS_MAIN(TestPickLists)
#include "tst_picklists.moc"
