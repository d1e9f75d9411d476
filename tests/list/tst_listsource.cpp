// The list's data source fetching rows as they are asked for: every row, in any order of
// asking, is the row a whole-table read gives, also with gaps left by deleted rows.
#include "TestFiles.h"
#include "ui/grid/DataSource.h"
#include "store/Rows.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestListSource : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QSqlDatabase m_main, m_work;

    // Reads every row through src in the given order of rows: "rowid name" texts, by row.
    static QStringList readAll(const DataSource& src, const QList<int>& order)
    {
        QStringList out(src.rowCount());
        for (int r : order)
            out[r] = u"%1 %2"_s.arg(src.rowId(r)).arg(src.value(r, u"氏名"_s).toString());
        return out;
    }

  private slots:
    void initTestCase()
    {
        QCOMPARE(testing::openFreshFiles(m_dir.path(), u"src-"_s, m_main, m_work), QString());
        store::Transaction tx(m_work);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(store::run(m_work, u"INSERT INTO w一覧 (作成日, 氏名) VALUES ('2024-01-01', ?)"_s,
                                {u"n%1"_s.arg(i)}),
                     QString());
        QVERIFY(tx.commit());
        // Gaps in the written order, as deleting ticked rows leaves them.
        QCOMPARE(store::run(m_work, u"DELETE FROM w一覧 WHERE rowid % 7 = 0 OR rowid BETWEEN 300 AND 460"_s),
                 QString());
    }
    void cleanupTestCase() { testing::closeFreshFiles(u"src-"_s, m_main, m_work); }

    void everyOrderOfAskingGivesTheSameRows_data()
    {
        QTest::addColumn<QString>("order");
        QTest::newRow("top down") << u"forward"_s;
        QTest::newRow("bottom up") << u"backward"_s;
        QTest::newRow("jumps") << u"random"_s;
    }
    void everyOrderOfAskingGivesTheSameRows()
    {
        QFETCH(QString, order);
        DataSource whole, paged;
        for (DataSource* s : {&whole, &paged}) {
            s->setDatabase(u"src-work"_s);
            s->setRecordSource(u"w一覧"_s);
        }
        paged.setFetchOnDemand(true);
        QCOMPARE(whole.refresh(), QString());
        QCOMPARE(paged.refresh(), QString());
        QCOMPARE(paged.rowCount(), whole.rowCount());
        QCOMPARE(paged.fieldNames(), whole.fieldNames());
        QList<int> rows;
        for (int r = 0; r < whole.rowCount(); ++r)
            rows << r;
        if (order == u"backward")
            std::reverse(rows.begin(), rows.end());
        else if (order == u"random")
            std::shuffle(rows.begin(), rows.end(), *QRandomGenerator::global());
        const QStringList all = readAll(whole, rows);
        QCOMPARE(readAll(paged, rows), all);
        // Asked again after the cache has moved on, the rows are still the same.
        QCOMPARE(readAll(paged, rows), all);
        QVERIFY(paged.value(paged.rowCount(), u"氏名"_s).isNull());
        QCOMPARE(paged.rowId(-1), qint64(-1));
    }

    void writesGoToTheRowShown()
    {
        DataSource paged;
        paged.setDatabase(u"src-work"_s);
        paged.setRecordSource(u"w一覧"_s);
        paged.setFetchOnDemand(true);
        QCOMPARE(paged.refresh(), QString());
        const int last = paged.rowCount() - 1;
        QSignalSpy changed(&paged, &DataSource::valueChanged);
        QCOMPARE(paged.value(2, u"氏名"_s).toString(), u"n2"_s);
        QCOMPARE(paged.setValue(last, u"チェック"_s, 1), QString());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(paged.value(last, u"チェック"_s).toInt(), 1);
        QCOMPARE(testing::firstValue(m_work, u"SELECT 氏名 FROM w一覧 WHERE チェック = 1"_s).toString(),
                 u"n999"_s);
        QCOMPARE(paged.setValue(last + 1, u"チェック"_s, 1).reason(),
                 u"行 %1 はありません。"_s.arg(last + 2));
        QCOMPARE(store::run(m_work, u"UPDATE w一覧 SET チェック = 0"_s), QString());
    }

    void unreadableTableShowsNothingAndSaysWhy()
    {
        DataSource paged;
        paged.setDatabase(u"src-work"_s);
        paged.setRecordSource(u"w一覧"_s);
        paged.setFetchOnDemand(true);
        QCOMPARE(paged.refresh(), QString());
        const int count = paged.rowCount();
        QCOMPARE(store::run(m_work, u"ALTER TABLE w一覧 RENAME TO w一覧退避"_s), QString());
        QVERIFY(paged.value(count - 1, u"氏名"_s).isNull());
        QVERIFY(paged.fetchError().failed());
        QVERIFY(paged.setValue(count - 1, u"チェック"_s, 1).failed());
        // A refresh that fails keeps the rows counted before.
        QVERIFY(paged.refresh().failed());
        QCOMPARE(paged.rowCount(), count);
        QCOMPARE(store::run(m_work, u"ALTER TABLE w一覧退避 RENAME TO w一覧"_s), QString());
        QCOMPARE(paged.value(0, u"氏名"_s).toString(), u"n0"_s);
        QVERIFY(paged.fetchError().ok());
    }
};

QTEST_GUILESS_MAIN(TestListSource)
#include "tst_listsource.moc"
