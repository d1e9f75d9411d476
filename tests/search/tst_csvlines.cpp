// The result lines of a search written as CSV, on a local file and on the server: every line in
// the result's order across pages, the columns as a spreadsheet shows them, nothing on a refusal.
#include "search/Csv.h"

#include "CsvRead.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using search::Criteria;
using search::CsvEncoding;
using Table = QList<QStringList>;

namespace {

const QStringList kHeader{u"日付"_s, u"時間"_s, u"氏名"_s, u"訪問先"_s, u"担当"_s, u"内容"_s, u"備考"_s};

QVariant v(const QString& s)
{
    return s.isNull() ? QVariant() : QVariant(s);
}

// The file at path as a spreadsheet reads it: decoded by iconv, parsed strictly.
Table readCsv(const QString& path, CsvEncoding enc)
{
    QByteArray bytes = testing::readAll(path);
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (bom != (enc == CsvEncoding::Utf8Bom)) {
        QTest::qFail("byte-order mark wrong for the encoding", __FILE__, __LINE__);
        return {};
    }
    bool ok = false;
    const QString text = testing::iconvToUtf8(bom ? bytes.mid(3) : bytes,
                                              enc == CsvEncoding::Utf8Bom ? "UTF-8" : "CP932", &ok);
    Table t;
    if (!ok || !testing::parseCsv(text, &t))
        QTest::qFail("not a CSV file", __FILE__, __LINE__);
    return t;
}

} // namespace

class TstCsvLines : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QSqlDatabase m_main, m_work;
    int m_round = 0;
    QString prefix() const { return u"c%1-"_s.arg(m_round); }

    // Lines of one report: 日付, 時間, 訪問先, 担当, 内容, 備考 each.
    void storeReport(const QString& created, const QString& name, const QList<QStringList>& lines)
    {
        store::Transaction t(m_main);
        QVERIFY(t.ok());
        QCOMPARE(
            store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '')"_s, {created, name}),
            QString());
        store::Statement ins(m_main,
                             u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 訪問先, "
                             "担当, 内容, 備考) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
        int no = 0;
        for (const QStringList& l : lines) {
            ins.bind(created).bind(name).bind(++no).bind(v(l[0])).bind(v(l[0]));
            for (int f = 1; f < 6; ++f)
                ins.bind(v(l[f]));
            QVERIFY2(ins.exec(), qPrintable(ins.error().reason()));
        }
        QVERIFY(t.commit());
    }
    QString path() const { return m_dir.filePath(u"%1/out/結果.csv"_s.arg(m_round)); }

  private slots:
    void init()
    {
        ++m_round;
        QCOMPARE(testing::openFreshFiles(m_dir.path() + u"/%1"_s.arg(m_round), prefix(), m_main, m_work),
                 QString());
        // Stored out of the result's order; Null fields, awkward texts.
        storeReport(u"2024-04-11"_s, u"鈴木"_s,
                    {{u"2024-04-11"_s, u"1330"_s, u"大阪, 本社"_s, u"山本"_s, u"=SUM(A1:A9)"_s, QString()},
                     {u"2024-04-10"_s, u"0900"_s, QString(), QString(), u"朝礼\r\n報告"_s, u"\"至急\""_s}});
        storeReport(u"2024-04-10"_s, u"佐藤"_s,
                    {{u"2024-04-10"_s, u"0930"_s, u"ABC商事"_s, u"田中"_s, u"見積〜提出"_s, u"-5"_s},
                     {u"2024-04-10"_s, QString(), u"㈱髙橋①"_s, QString(), u"+81-3-1234"_s, u"@担当"_s}});
    }
    void cleanup() { testing::closeFreshFiles(prefix(), m_main, m_work); }

    void everyLineInOrder_data();
    void everyLineInOrder();
    void narrowedByCriteria();
    void manyPages();
    void refusedLineNamed();
    void followsTheChosenOrder();
    void failedReadWritesNothing();
};

void TstCsvLines::everyLineInOrder_data()
{
    QTest::addColumn<CsvEncoding>("enc");
    QTest::newRow("UTF-8 with BOM") << CsvEncoding::Utf8Bom;
    QTest::newRow("cp932") << CsvEncoding::Cp932;
}

void TstCsvLines::everyLineInOrder()
{
    QFETCH(CsvEncoding, enc);
    QDir().mkpath(QFileInfo(path()).path());
    const search::CsvFailure f = search::writeLinesCsv(m_main, Criteria{}, path(), enc);
    QVERIFY2(f.ok(), qPrintable(f.error.reason()));
    // The result's order, newest first by 日付, 時間, 氏名; an empty time last in its day;
    // guarded formulas; -5 a number.
    const Table expected{
        kHeader,
        {u"2024/04/11"_s, u"13:30"_s, u"鈴木"_s, u"大阪, 本社"_s, u"山本"_s, u"'=SUM(A1:A9)"_s, u""_s},
        {u"2024/04/10"_s, u"09:30"_s, u"佐藤"_s, u"ABC商事"_s, u"田中"_s,
         enc == CsvEncoding::Cp932 ? u"見積～提出"_s : u"見積〜提出"_s, u"-5"_s},
        {u"2024/04/10"_s, u"09:00"_s, u"鈴木"_s, u""_s, u""_s, u"朝礼\r\n報告"_s, u"\"至急\""_s},
        {u"2024/04/10"_s, u""_s, u"佐藤"_s, u"㈱髙橋①"_s, u""_s, u"'+81-3-1234"_s, u"'@担当"_s},
    };
    QCOMPARE(readCsv(path(), enc), expected);
}

void TstCsvLines::narrowedByCriteria()
{
    QDir().mkpath(QFileInfo(path()).path());
    Criteria c;
    c.name = u"鈴木"_s;
    c.from = QDate(2024, 4, 11);
    QVERIFY(search::writeLinesCsv(m_main, c, path(), CsvEncoding::Utf8Bom).ok());
    const Table t = readCsv(path(), CsvEncoding::Utf8Bom);
    QCOMPARE(t.size(), 2);
    QCOMPARE(t[1].value(0), u"2024/04/11"_s);
    // No line matches: the header alone.
    c.keywords = u"存在しない語"_s;
    QVERIFY(search::writeLinesCsv(m_main, c, path(), CsvEncoding::Cp932).ok());
    QCOMPARE(readCsv(path(), CsvEncoding::Cp932), Table{kHeader});
}

void TstCsvLines::manyPages()
{
    // More lines than one round of reading takes, across several reports of one day.
    for (int r = 0; r < 6; ++r) {
        QList<QStringList> lines;
        for (int i = 0; i < 500; ++i)
            lines << QStringList{
                u"2025-01-%1"_s.arg(1 + i % 28, 2, 10, QChar(u'0')),
                u"%1%2"_s.arg(8 + i % 10, 2, 10, QChar(u'0')).arg(i % 60, 2, 10, QChar(u'0')),
                u"訪問先%1"_s.arg(i),
                QString(),
                u"r%1 l%2"_s.arg(r).arg(i),
                QString()};
        storeReport(u"2025-02-01"_s, u"担当者%1"_s.arg(r), lines);
    }
    QDir().mkpath(QFileInfo(path()).path());
    Criteria c;
    c.from = QDate(2025, 1, 1);
    QVERIFY(search::writeLinesCsv(m_main, c, path(), CsvEncoding::Utf8Bom).ok());
    Table t = readCsv(path(), CsvEncoding::Utf8Bom);
    QCOMPARE(t.takeFirst(), kHeader);
    QCOMPARE(t.size(), 3000);
    QSet<QString> texts;
    for (int i = 0; i < t.size(); ++i) {
        texts << t[i][5];
        if (i > 0) {
            const QStringList key{t[i][0], t[i][1], t[i][2]}, prev{t[i - 1][0], t[i - 1][1], t[i - 1][2]};
            QVERIFY2(prev.join(u' ') >= key.join(u' '), qPrintable(u"row %1"_s.arg(i)));
        }
    }
    QCOMPARE(texts.size(), 3000); // none twice, none left out
    // The order of the search's own screens, page after page.
    QStringList paged;
    QList<search::Hit> page;
    do {
        const search::Hit last = page.isEmpty() ? search::Hit{} : page.constLast();
        const bool first = page.isEmpty() && paged.isEmpty();
        page.clear();
        QCOMPARE(search::findLines(m_main, c, first ? nullptr : &last, 700, &page), QString());
        for (const search::Hit& h : page)
            paged << h.内容;
    } while (page.size() == 700);
    QStringList written;
    for (const QStringList& r : t)
        written << r[5];
    QCOMPARE(written, paged);
}

void TstCsvLines::refusedLineNamed()
{
    storeReport(u"2024-04-12"_s, u"吉田"_s,
                {{u"2024-04-12"_s, u"1000"_s, u"𠮷野家"_s, QString(), u"昼"_s, QString()}});
    QDir().mkpath(QFileInfo(path()).path());
    const search::CsvFailure f = search::writeLinesCsv(m_main, Criteria{}, path(), CsvEncoding::Cp932);
    QVERIFY(!f.ok());
    QCOMPARE(f.line, 1); // the newest, before the four lines of 04/10 and 04/11
    QCOMPARE(f.text, u"𠮷"_s);
    QCOMPARE(QDir(QFileInfo(path()).path()).entryList(QDir::Files), QStringList{});
    // The same result goes to UTF-8.
    QVERIFY(search::writeLinesCsv(m_main, Criteria{}, path(), CsvEncoding::Utf8Bom).ok());
    QCOMPARE(readCsv(path(), CsvEncoding::Utf8Bom).value(1).value(3), u"𠮷野家"_s);
}

// The file holds the result in the order chosen by a header click, as the window shows it.
void TstCsvLines::followsTheChosenOrder()
{
    QDir().mkpath(QFileInfo(path()).path());
    Criteria c;
    c.sortBy = search::SortBy::Place;
    c.descending = false;
    QVERIFY(search::writeLinesCsv(m_main, c, path(), CsvEncoding::Utf8Bom).ok());
    QStringList places;
    for (const QStringList& row : readCsv(path(), CsvEncoding::Utf8Bom).mid(1))
        places << row.value(3);
    QCOMPARE(places, QStringList({u""_s, u"ABC商事"_s, u"㈱髙橋①"_s, u"大阪, 本社"_s}));
    QList<search::Hit> shown;
    QCOMPARE(search::findLines(m_main, c, nullptr, 100, &shown), QString());
    QStringList found;
    for (const search::Hit& h : shown)
        found << h.訪問先;
    QCOMPARE(found, places);
}

void TstCsvLines::failedReadWritesNothing()
{
    QDir().mkpath(QFileInfo(path()).path());
    const search::CsvFailure f =
        search::writeLinesCsv(QSqlDatabase(), Criteria{}, path(), CsvEncoding::Utf8Bom);
    QVERIFY(!f.ok());
    QCOMPARE(QDir(QFileInfo(path()).path()).entryList(QDir::Files), QStringList{});
}

QTEST_GUILESS_MAIN(TstCsvLines)
#include "tst_csvlines.moc"
