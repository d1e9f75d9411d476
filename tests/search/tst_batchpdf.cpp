// Stored reports printed from the main database, alone and many into one PDF: read back with
// poppler's tools, compared with the 印刷 button's own form, and stopped part-way.
#include "PdfTools.h"
#include "TestFiles.h"
#include "print/PrintSnapshot.h"
#include "print/ReportForm.h"
#include "report/ReportStore.h"
#include "search/BatchPdf.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace testing;
using search::ReportKey;

namespace {

QVariant v(const QString& s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

// A stored line: 行番号, 日付, 時間, 内容; 表示日付 is the 日付, 訪問先 and 担当 follow from no.
struct Stored {
    int no;
    QString date;
    QString time;
    QString text;
};

QString firstText(const QString& name)
{
    return u"%1の最初の行"_s.arg(name);
}

} // namespace

class TstBatchPdf : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;
    QSqlDatabase m_main, m_work;
    int m_round = 0;
    QString prefix() const { return u"b%1-"_s.arg(m_round); }

    void storeReport(const QDate& created, const QString& name, const QList<Stored>& lines,
                     bool withHeader = true)
    {
        const QVariant key = created.toString(Qt::ISODate);
        store::Transaction t(m_main);
        QVERIFY(t.ok());
        if (withHeader)
            QCOMPARE(
                store::run(m_main,
                           u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES (?, ?, ?, ?)"_s,
                           {key, name, u"営業一課"_s, u"%1の週報"_s.arg(name)}),
                QString());
        store::Statement ins(m_main,
                             u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, "
                             "訪問先, 内容, 備考) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
        for (const Stored& l : lines) {
            ins.bind(key).bind(name).bind(l.no).bind(v(l.date)).bind(v(l.date)).bind(v(l.time));
            ins.bind(u"担当%1"_s.arg(l.no)).bind(u"訪問先%1"_s.arg(l.no)).bind(v(l.text)).bind(QVariant());
            QVERIFY2(ins.exec(), qPrintable(ins.error().reason()));
        }
        QVERIFY(t.commit());
    }
    // A report of n lines, the first holding firstText(name).
    void storeLines(const QDate& created, const QString& name, int n)
    {
        QList<Stored> lines;
        for (int i = 1; i <= n; ++i)
            lines << Stored{i, created.toString(Qt::ISODate), u"0900"_s,
                            i == 1 ? firstText(name) : u"%1 行目の内容"_s.arg(i)};
        storeReport(created, name, lines);
    }
    QString pdfPath(const QString& stem) { return m_tmp.filePath(u"%1-%2.pdf"_s.arg(stem).arg(m_round)); }

  private slots:
    void init()
    {
        ++m_round;
        QCOMPARE(openFreshFiles(m_tmp.path() + u"/%1"_s.arg(m_round), prefix(), m_main, m_work), QString());
    }
    void cleanup() { closeFreshFiles(prefix(), m_main, m_work); }

    void storedSnapshot_data();
    void storedSnapshot();
    void storedSnapshotIsWhatPrintShows();
    void batchReadsBack();
    void batchPageIsThePrintedForm();
    void cancel_data();
    void cancel();
    void dialogCancel();
    void nothingToPrint_data();
    void nothingToPrint();
};

void TstBatchPdf::storedSnapshot_data()
{
    QTest::addColumn<QList<Stored>>("lines");
    QTest::addColumn<bool>("withHeader");
    QTest::addColumn<QStringList>("printed"); // "内容@日付", numbered 1, 2, 3...
    QTest::addColumn<bool>("found");
    const QString d = u"2026-12-08"_s, e = u"2026-12-10"_s;
    QTest::newRow("as 登録 stores") << QList<Stored>{{1, d, u"0930"_s, u"a"_s}, {2, e, {}, u"b"_s}} << true
                                    << QStringList{u"a@"_s + d, u"b@"_s + e} << true;
    QTest::newRow("gaps in numbering close up")
        << QList<Stored>{{3, d, {}, u"c"_s}, {7, d, {}, u"g"_s}, {12, e, {}, u"l"_s}} << true
        << QStringList{u"c@"_s + d, u"g@"_s + d, u"l@"_s + e} << true;
    QTest::newRow("another program's lines: no contents, no date")
        << QList<Stored>{{1, d, {}, u"a"_s}, {2, e, {}, {}}, {3, {}, {}, u"inherits"_s}, {4, e, {}, u"d"_s}}
        << true << QStringList{u"a@"_s + d, u"inherits@"_s + d, u"d@"_s + e} << true;
    QTest::newRow("header only") << QList<Stored>{} << true << QStringList{} << true;
    QTest::newRow("lines without a header")
        << QList<Stored>{{1, d, {}, u"a"_s}} << false << QStringList{u"a@"_s + d} << true;
    QTest::newRow("nothing stored") << QList<Stored>{} << false << QStringList{} << false;
}

void TstBatchPdf::storedSnapshot()
{
    QFETCH(QList<Stored>, lines);
    QFETCH(bool, withHeader);
    QFETCH(QStringList, printed);
    QFETCH(bool, found);
    // A server keeps no line without its header: deleting the header takes its lines.
    if (testing::onServer() && !withHeader && !lines.isEmpty())
        QSKIP("on the server lines go with their header");
    const QDate created(2026, 12, 8);
    storeReport(created, u"山田"_s, lines, withHeader);
    // Another report on the same day and another day of the same name stay out.
    storeReport(created, u"山田二郎"_s, {{1, u"2026-12-08"_s, {}, u"other"_s}});
    storeReport(created.addDays(1), u"山田"_s, {{1, u"2026-12-09"_s, {}, u"other"_s}});
    print::StoredReport r;
    QCOMPARE(print::storedSnapshot(m_main, created, u"山田"_s, r), QString());
    QCOMPARE(r.found, found);
    QStringList got;
    for (int i = 0; i < r.lines.size(); ++i) {
        got << r.lines[i].内容.toString() + u'@' + r.lines[i].日付.toString();
        QCOMPARE(r.lines[i].行番号.toInt(), i + 1);
    }
    QCOMPARE(got, printed);
    QCOMPARE(r.header.Prn作成日, u"2026/12/08"_s);
    QCOMPARE(r.header.Prn氏名, u"山田"_s);
    QCOMPARE(r.header.Prnタイトル, withHeader ? u"山田の週報"_s : QString());
    QCOMPARE(r.header.Prn所属, withHeader ? u"営業一課"_s : QString());
}

void TstBatchPdf::storedSnapshotIsWhatPrintShows()
{
    // The grid as a user leaves it: blank rows, a row without contents, undated rows.
    const QString d = u"2026-12-08"_s;
    const QList<store::Row> grid{
        {1, 0, d, d, u"0930"_s, u"佐藤"_s, u"東京商事"_s, u"商談"_s, u"要見積"_s},
        {2, 0, QVariant(), QVariant(), u"1000"_s, QVariant(), QVariant(), u"日付なし"_s, QVariant()},
        {3, 0, QVariant(), QVariant(), QVariant(), u"鈴木"_s, QVariant(), QVariant(), QVariant()},
        {5, 0, u"2026-12-09"_s, u"2026-12-09"_s, QVariant(), QVariant(), u"大阪"_s, u"電話"_s, QVariant()},
        {6, 0, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}};
    QCOMPARE(store::rewriteTable(m_work, store::tbl::w営業日報, store::fieldsOf(store::tbl::w営業日報), grid),
             QString());
    const report::Header h{QDate(2026, 12, 8), u"田中"_s, u"営業二課"_s, u"月報"_s};
    QCOMPARE(report::registerReport(m_main, m_work, h), QString());
    QList<print::PrintLine> shown;
    QCOMPARE(print::takeSnapshot(m_work, shown), QString());
    print::StoredReport r;
    QCOMPARE(print::storedSnapshot(m_main, h.作成日, h.氏名, r), QString());
    QCOMPARE(r.lines.size(), 3);
    QCOMPARE(r.lines.size(), shown.size());
    const rpt営業日報 button(print::headerValues(h.タイトル, h.作成日, h.所属, h.氏名), shown);
    const rpt営業日報 stored(r.header, r.lines);
    QCOMPARE(stored.PageHeader_Format(), button.PageHeader_Format());
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(stored.Detail_Format(r.lines[i]), button.Detail_Format(shown[i]));
}

void TstBatchPdf::batchReadsBack()
{
    // Given out of order, one twice, one that no longer exists; one long enough for two pages.
    storeLines(QDate(2026, 12, 9), u"佐藤"_s, 20);
    storeLines(QDate(2026, 12, 8), u"鈴木"_s, 20);
    storeLines(QDate(2026, 12, 8), u"佐藤"_s, 40);
    storeLines(QDate(2026, 11, 30), u"髙橋"_s, 1);
    const QList<ReportKey> keys{{QDate(2026, 12, 9), u"佐藤"_s},  {QDate(2026, 12, 8), u"鈴木"_s},
                                {QDate(2026, 12, 8), u"佐藤"_s},  {QDate(2026, 12, 1), u"消えた"_s},
                                {QDate(2026, 11, 30), u"髙橋"_s}, {QDate(2026, 12, 9), u"佐藤"_s}};
    const QString path = pdfPath(u"batch"_s);
    QList<int> seen;
    bool cancelled = true;
    const store::Error e = search::printReportsPdf(
        m_main, keys, path,
        [&](int done, int total) {
            seen << done;
            return total == 5;
        },
        &cancelled);
    QVERIFY2(e.ok(), qPrintable(e.reason()));
    QVERIFY(!cancelled);
    QCOMPARE(seen, (QList<int>{0, 1, 2, 3, 4, 5}));
    QCOMPARE(pdfInfo(path, u"Pages"_s), u"5"_s);
    QVERIFY(pdfInfo(path, u"Page size"_s).contains(u"842"_s)); // A4 across: landscape
    const QStringList pages = pdfPages(path);
    QCOMPARE(pages.size(), 5);
    // 作成日 then 氏名 order: 11/30 髙橋, 12/08 佐藤 (two pages), 12/08 鈴木, 12/09 佐藤.
    const QList<std::tuple<QString, QString, QString>> expected{{u"2026/11/30"_s, u"髙橋"_s, u"1 / 1"_s},
                                                                {u"2026/12/08"_s, u"佐藤"_s, u"1 / 2"_s},
                                                                {u"2026/12/08"_s, u"佐藤"_s, u"2 / 2"_s},
                                                                {u"2026/12/08"_s, u"鈴木"_s, u"1 / 1"_s},
                                                                {u"2026/12/09"_s, u"佐藤"_s, u"1 / 1"_s}};
    for (int i = 0; i < pages.size(); ++i) {
        const auto& [date, name, number] = expected[i];
        const QString& page = pages[i];
        QVERIFY2(page.contains(u"営業日報"_s) && page.contains(date) && page.contains(name) &&
                     page.contains(u"%1の週報"_s.arg(name)) && page.contains(u"営業一課"_s),
                 qPrintable(u"page %1:\n"_s.arg(i + 1) + page));
        QVERIFY2(page.contains(number), qPrintable(page));
        QCOMPARE(page.contains(firstText(name)), number.startsWith(u"1 /"_s));
    }
    QVERIFY(pages[2].contains(u"40 行目の内容"_s));
    QVERIFY(!pages.join(QString()).contains(u"消えた"_s));
    QCOMPARE(QDir(m_tmp.path()).entryList({u"*.pdf"_s}, QDir::Files),
             QStringList{QFileInfo(path).fileName()});
}

void TstBatchPdf::batchPageIsThePrintedForm()
{
    storeLines(QDate(2026, 12, 7), u"伊藤"_s, 3);
    storeLines(QDate(2026, 12, 8), u"山田"_s, 12);
    const QString batch = pdfPath(u"two"_s);
    QCOMPARE(search::printReportsPdf(
                 m_main, {{QDate(2026, 12, 8), u"山田"_s}, {QDate(2026, 12, 7), u"伊藤"_s}}, batch, {}),
             QString());
    // The 印刷 button's own file of the same report, from the same stored lines.
    print::StoredReport r;
    QCOMPARE(print::storedSnapshot(m_main, QDate(2026, 12, 8), u"山田"_s, r), QString());
    const QString single = pdfPath(u"single"_s);
    QCOMPARE(rpt営業日報(r.header, r.lines).writePdf(single), QString());
    QCOMPARE(pdfPages(batch).value(1), pdfPages(single).value(0));
    const QImage a = pdfPageImage(batch, 2, 50, m_tmp.path());
    const QImage b = pdfPageImage(single, 1, 50, m_tmp.path());
    QVERIFY(!a.isNull());
    QCOMPARE(a, b);
}

void TstBatchPdf::cancel_data()
{
    QTest::addColumn<int>("stopAt"); // the progress call that answers "stop"
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("before the first report") << 0 << false;
    QTest::newRow("part-way") << 2 << false;
    QTest::newRow("part-way, an old file kept") << 2 << true;
    QTest::newRow("after the last report") << 4 << true;
}

void TstBatchPdf::cancel()
{
    QFETCH(int, stopAt);
    QFETCH(bool, oldFile);
    QList<ReportKey> keys;
    for (int i = 0; i < 4; ++i) {
        storeLines(QDate(2026, 12, 1 + i), u"佐藤"_s, 20);
        keys << ReportKey{QDate(2026, 12, 1 + i), u"佐藤"_s};
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"一括.pdf"_s);
    if (oldFile) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    bool cancelled = false;
    int calls = 0;
    const store::Error e = search::printReportsPdf(
        m_main, keys, path, [&](int, int) { return calls++ < stopAt; }, &cancelled);
    QCOMPARE(e, QString());
    QVERIFY(cancelled);
    QCOMPARE(calls, stopAt + 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), oldFile ? QStringList{u"一括.pdf"_s} : QStringList{});
    if (oldFile)
        QCOMPARE(readAll(path), QByteArray("old"));
}

void TstBatchPdf::dialogCancel()
{
    // Enough reports that the dialog shows itself however fast this machine is: it shows once
    // the work is estimated to take 400 ms.
    QList<ReportKey> keys;
    for (int i = 0; i < 1000; ++i) {
        storeLines(QDate(2026, 6, 1).addDays(i), u"佐藤"_s, 10);
        keys << ReportKey{QDate(2026, 6, 1).addDays(i), u"佐藤"_s};
    }
    QWidget window;
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The user clicks キャンセル once the dialog is there.
    bool clicked = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = window.findChild<QProgressDialog*>(u"dlgPDF出力"_s);
        if (!dlg || !dlg->isVisible() || clicked)
            return;
        for (QPushButton* b : dlg->findChildren<QPushButton*>())
            if (b->text() == u"キャンセル"_s) {
                QCOMPARE(dlg->windowModality(), Qt::WindowModal);
                QTest::mouseClick(b, Qt::LeftButton);
                clicked = true;
            }
    });
    poll.start();
    const QString path = pdfPath(u"dialog"_s);
    bool cancelled = false;
    QCOMPARE(search::exportReportsPdf(&window, m_main, keys, path, &cancelled), QString());
    QVERIFY(clicked);
    QVERIFY(cancelled);
    QVERIFY(!QFile::exists(path));
    // Without a click the same run writes the file.
    poll.stop();
    QCOMPARE(search::exportReportsPdf(&window, m_main, keys.mid(0, 3), path, &cancelled), QString());
    QVERIFY(!cancelled);
    QCOMPARE(pdfInfo(path, u"Pages"_s), u"3"_s);
}

void TstBatchPdf::nothingToPrint_data()
{
    QTest::addColumn<QList<ReportKey>>("keys");
    QTest::newRow("no keys") << QList<ReportKey>{};
    QTest::newRow("every report gone") << QList<ReportKey>{{QDate(2026, 1, 1), u"誰か"_s}};
}

void TstBatchPdf::nothingToPrint()
{
    QFETCH(QList<ReportKey>, keys);
    const QString path = pdfPath(u"none"_s);
    bool cancelled = true;
    QVERIFY(search::printReportsPdf(m_main, keys, path, {}, &cancelled).failed());
    QVERIFY(!cancelled);
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TstBatchPdf)
#include "tst_batchpdf.moc"
