// The print snapshot: which lines of the entry grid's work table are printed, and the header.
#include "GridRows.h"
#include "TestFiles.h"
#include "print/PrintSnapshot.h"
#include "report/ReportStore.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QtTest>

using namespace testing;

class TstPrintSnapshot : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void snapshot_data();
    void snapshot();
    void snapshotCopiesEveryField();
    void snapshotReplacesEarlierRun();
    void failedSnapshotKeepsEarlierRun();
    void headerValues_data();
    void headerValues();
    void suggestedPdfName_data();
    void suggestedPdfName();

  private:
    void setGrid(const QList<store::Row>& rows) { setGridRows(m_work, rows); }
    QList<int> printTableNumbers();

    QTemporaryDir m_tmp;
    QSqlDatabase m_main, m_work;
};

void TstPrintSnapshot::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    const QString err =
        openFreshFiles(m_tmp.path() + QStringLiteral("/db"), QStringLiteral("printsnapshot"), m_main, m_work);
    QVERIFY2(err.isEmpty(), qPrintable(err));
}

void TstPrintSnapshot::cleanupTestCase()
{
    closeFreshFiles(QStringLiteral("printsnapshot"), m_main, m_work);
}

void TstPrintSnapshot::init()
{
    QVERIFY(store::run(m_work, QStringLiteral("DROP TRIGGER IF EXISTS refuse_print")).ok());
}

QList<int> TstPrintSnapshot::printTableNumbers()
{
    QList<store::Row> rows;
    const store::Error e =
        store::readRows(m_work, QStringLiteral("SELECT 行番号 FROM w営業日報印刷 ORDER BY 行番号"), {}, rows);
    if (e.failed())
        return {-1};
    QList<int> out;
    for (const store::Row& r : rows)
        out << r.value(0).toInt();
    return out;
}

void TstPrintSnapshot::snapshot_data()
{
    // printed: "内容@日付" of each printed line, in order.
    QTest::addColumn<QList<store::Row>>("grid");
    QTest::addColumn<QStringList>("printed");
    const QString d = QStringLiteral("2026-12-08");
    const QString e = QStringLiteral("2026-12-10");
    QTest::newRow("empty grid") << QList<store::Row>{gridLine(1, {}, {}), gridLine(2, {}, {})}
                                << QStringList{};
    QTest::newRow("undated lines take the date above; dated rows without contents are no lines")
        << QList<store::Row>{gridLine(1, d, d, "0930", "a"),         gridLine(2, e, e),
                             gridLine(3, {}, {}, "1000", "no date"), gridLine(4, e, e, {}, "d"),
                             gridLine(5, {}, {}, {}, "after"),       gridLine(6, {}, {})}
        << QStringList{"a@" + d, "no date@" + d, "d@" + e, "after@" + e};
    QTest::newRow("inherited date without shown date")
        << QList<store::Row>{gridLine(1, d, d, {}, "a"), gridLine(2, {}, d, {}, "inherited")}
        << QStringList{"a@" + d, "inherited@" + d};
    QTest::newRow("a first line without a date stays undated")
        << QList<store::Row>{gridLine(1, {}, {}, {}, "x"), gridLine(2, d, d, {}, "y")}
        << QStringList{"x@", "y@" + d};
    // The copy made inside the file must read the rows as 登録 does.
    QTest::newRow("blank rows between do not stop the date")
        << QList<store::Row>{gridLine(1, d, d, {}, "a"), gridLine(2, {}, {}), gridLine(3, {}, {}),
                             gridLine(4, {}, {}, "1330", "b"), gridLine(5, {}, {}, {}, "c")}
        << QStringList{"a@" + d, "b@" + d, "c@" + d};
    QTest::newRow("rows of only a remark or a time pass no date on")
        << QList<store::Row>{gridLine(1, d, d, {}, "a"), gridLine(2, e, e, {}, {}, "memo"),
                             gridLine(3, {}, {}, "0900"), gridLine(4, {}, {}, {}, "b"),
                             gridLine(5, {}, {}, {}, {}, "memo")}
        << QStringList{"a@" + d, "b@" + d};
    QTest::newRow("each dated line starts a new run")
        << QList<store::Row>{gridLine(2, {}, {}, {}, "x"), gridLine(4, d, d, {}, "a"),
                             gridLine(6, {}, {}, {}, "b"), gridLine(8, e, e, {}, "c"),
                             gridLine(9, {}, {}, {}, "d"), gridLine(100, {}, {}, {}, "last")}
        << QStringList{"x@", "a@" + d, "b@" + d, "c@" + e, "d@" + e, "last@" + e};
    QTest::newRow("order by line number, not by insertion")
        << QList<store::Row>{gridLine(9, d, d, {}, "i"), gridLine(3, d, d, {}, "c"),
                             gridLine(5, d, d, {}, "e")}
        << QStringList{"c@" + d, "e@" + d, "i@" + d};
}

void TstPrintSnapshot::snapshot()
{
    QFETCH(QList<store::Row>, grid);
    QFETCH(QStringList, printed);
    setGrid(grid);
    QList<print::PrintLine> lines;
    const store::Error e = print::takeSnapshot(m_work, lines);
    QVERIFY2(e.ok(), qPrintable(e.reason()));
    QStringList got;
    QList<int> numbers, dense;
    for (const print::PrintLine& l : lines) {
        got << l.内容.toString() + u'@' + l.日付.toString();
        numbers << l.行番号.toInt();
        dense << int(dense.size() + 1);
    }
    QCOMPARE(got, printed);
    QCOMPARE(numbers, dense);
    QCOMPARE(printTableNumbers(), dense);

    // What is printed is what 登録 stores from the same grid, field by field.
    const report::Header h{QDate(2026, 12, 8), QStringLiteral("印刷確認"), {}, {}};
    QVERIFY(report::registerReport(m_main, m_work, h).ok());
    QList<store::Row> stored;
    QVERIFY(
        store::readRows(m_main,
                        QStringLiteral("SELECT 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM 営業日報 "
                                       "WHERE 氏名 = ? ORDER BY 行番号"),
                        {h.氏名}, stored)
            .ok());
    QCOMPARE(stored.size(), lines.size());
    for (int i = 0; i < stored.size(); ++i) {
        const print::PrintLine& l = lines[i];
        const store::Row p{l.行番号, l.日付, l.時間, l.訪問先, l.担当, l.内容, l.備考};
        for (int f = 0; f < p.size(); ++f) {
            QCOMPARE(stored[i][f].isNull(), p[f].isNull());
            QCOMPARE(stored[i][f].toString(), p[f].toString());
        }
    }
}

void TstPrintSnapshot::snapshotCopiesEveryField()
{
    setGrid({gridLine(1, "2026-12-08", "2026-12-08", "0930", "商談", "要見積", "東京商事", "佐藤"),
             gridLine(2, {}, "2026-12-09", {}, "電話のみ")});
    QVERIFY(store::run(m_work, QStringLiteral("UPDATE w営業日報 SET チェック = 1 WHERE 行番号 = 2")).ok());
    QList<print::PrintLine> lines;
    QVERIFY(print::takeSnapshot(m_work, lines).ok());
    QList<store::Row> source, copy;
    QVERIFY(
        store::readRows(m_work, QStringLiteral("SELECT * FROM w営業日報 ORDER BY 行番号"), {}, source).ok());
    QVERIFY(store::readRows(m_work, QStringLiteral("SELECT * FROM w営業日報印刷 ORDER BY 行番号"), {}, copy)
                .ok());
    // The copy holds the lines as 登録 stores them: no tick.
    source[1][1] = 0;
    QCOMPARE(copy, source);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].時間.toString(), QString("0930"));
    QCOMPARE(lines[0].訪問先.toString(), QString("東京商事"));
    QCOMPARE(lines[0].担当.toString(), QString("佐藤"));
    QCOMPARE(lines[0].内容.toString(), QString("商談"));
    QCOMPARE(lines[0].備考.toString(), QString("要見積"));
    QVERIFY(lines[1].時間.isNull());
}

void TstPrintSnapshot::snapshotReplacesEarlierRun()
{
    QList<print::PrintLine> lines;
    setGrid(
        {gridLine(1, "2026-12-08", "2026-12-08", {}, "a"), gridLine(2, "2026-12-08", "2026-12-08", {}, "b")});
    QVERIFY(print::takeSnapshot(m_work, lines).ok());
    setGrid({gridLine(5, "2026-12-10", "2026-12-10", {}, "e")});
    QVERIFY(print::takeSnapshot(m_work, lines).ok());
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0].内容.toString(), QString("e"));
    QCOMPARE(printTableNumbers(), QList<int>{1});
}

void TstPrintSnapshot::failedSnapshotKeepsEarlierRun()
{
    QList<print::PrintLine> lines;
    setGrid(
        {gridLine(1, "2026-12-08", "2026-12-08", {}, "a"), gridLine(2, "2026-12-08", "2026-12-08", {}, "b")});
    QVERIFY(print::takeSnapshot(m_work, lines).ok());
    QVERIFY(store::run(m_work, QStringLiteral("CREATE TRIGGER refuse_print BEFORE INSERT ON w営業日報印刷 "
                                              "BEGIN SELECT RAISE(ABORT, 'disk is full'); END"))
                .ok());
    setGrid({gridLine(3, "2026-12-09", "2026-12-09", {}, "c")});
    const store::Error e = print::takeSnapshot(m_work, lines);
    QVERIFY(e.failed());
    QVERIFY2(e.reason().contains(QStringLiteral("disk is full")), qPrintable(e.reason()));
    // The earlier run stays whole: the delete was rolled back with the failed insert.
    QCOMPARE(printTableNumbers(), (QList<int>{1, 2}));
    QCOMPARE(lines.size(), 2);
}

void TstPrintSnapshot::headerValues_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("creation date") << QDate(2026, 12, 8) << "2026/12/08";
    QTest::newRow("first day of year") << QDate(2027, 1, 1) << "2027/01/01";
    QTest::newRow("no creation date") << QDate() << "";
}

void TstPrintSnapshot::headerValues()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    const print::HeaderValues h = print::headerValues("タイトル", date, "所属", "氏名");
    QCOMPARE(h.Prn作成日, text);
    QCOMPARE(h.Prnタイトル, QString("タイトル"));
    QCOMPARE(h.Prn所属, QString("所属"));
    QCOMPARE(h.Prn氏名, QString("氏名"));
}

void TstPrintSnapshot::suggestedPdfName_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("date and name") << "2026/12/08"
                                   << "山田太郎"
                                   << "営業日報_20261208_山田太郎.pdf";
    QTest::newRow("no date") << ""
                             << "山田太郎"
                             << "営業日報_山田太郎.pdf";
    QTest::newRow("no name") << "2026/12/08"
                             << ""
                             << "営業日報_20261208.pdf";
    QTest::newRow("neither") << ""
                             << ""
                             << "営業日報.pdf";
    QTest::newRow("slash and colon dropped") << "2026/12/08"
                                             << "a/b:c"
                                             << "営業日報_20261208_abc.pdf";
    QTest::newRow("blanks become underscores") << "2026/12/08"
                                               << " 山田　太郎 "
                                               << "営業日報_20261208_山田_太郎.pdf";
}

void TstPrintSnapshot::suggestedPdfName()
{
    QFETCH(QString, date);
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(print::suggestedPdfName({{}, date, {}, name}), file);
}

QTEST_MAIN(TstPrintSnapshot)
#include "tst_printsnapshot.moc"
