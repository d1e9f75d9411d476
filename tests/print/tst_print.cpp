// The printed form, read back from PDF.
#include "GridRows.h"
#include "PdfTools.h"
#include "TestFiles.h"
#include "print/PrintSnapshot.h"
#include "print/ReportForm.h"
#include "print/TextFit.h"
#include "report/ReportStore.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QFontMetricsF>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QtTest>

using namespace testing;

namespace {

print::PrintLine printLine(int no, const QString& date, const QString& time, const QString& text,
                           const QString& note = {})
{
    auto v = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    return {
        no,      v(date), v(time), QVariant(QStringLiteral("訪問先%1").arg(no)), v(QStringLiteral("担当")),
        v(text), v(note)};
}

print::HeaderValues header(const QString& date = QStringLiteral("2026/12/08"))
{
    return {QStringLiteral("週次の訪問計画"), date, QStringLiteral("営業一課"), QStringLiteral("山田太郎")};
}

// Data lines of a page of pdftotext output: the number and the date at the line's start.
QList<int> printedNumbers(const QString& page)
{
    static const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+\\d\\d/\\d\\d\\b"));
    QList<int> out;
    for (const QString& line : page.split(u'\n')) {
        const QRegularExpressionMatch m = row.match(line);
        if (m.hasMatch())
            out << m.captured(1).toInt();
    }
    return out;
}

QString lineWith(const QString& page, const QString& needle)
{
    for (const QString& line : page.split(u'\n'))
        if (line.contains(needle))
            return line;
    return {};
}

// n comments a minute apart, oldest first; every third one wraps, the last is 40 typed lines.
QList<print::PrintComment> commentThread(int n)
{
    QList<print::PrintComment> out;
    for (int i = 1; i <= n; ++i) {
        QString text = QStringLiteral("第%1号。").arg(i, 2, 10, QChar(u'0'));
        text += i == n  ? QStringLiteral("\n段落").repeated(40)
                : i % 3 ? QString()
                        : QString(150, QChar(0x898B));
        out << print::PrintComment{i % 2 ? QStringLiteral("加藤課長") : QStringLiteral("佐藤花子"),
                                   QDateTime(QDate(2026, 12, 8), QTime(17, i)), text};
    }
    return out;
}

bool isNavy(QRgb c)
{
    return qBlue(c) > 90 && qRed(c) < 50 && qGreen(c) < 50;
}

bool isDark(QRgb c)
{
    return qGray(c) < 160 && !isNavy(c);
}

} // namespace

class TstPrint : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void headerOnEveryPage();
    void linesOrderAndFormats();
    void inheritedDatePrinted();
    void emptyHeaderFields();
    void pageSizeAndFonts();
    void longContentsStayInBox();
    void searchableText_data();
    void searchableText();
    void noDatedLineGivesOnePage();
    void pageImageMatchesLayout_data();
    void pageImageMatchesLayout();
    void ruleUnderEveryLine();
    void wrappedLinesGrowAndPage();
    void threadAfterTheLines();
    void threadPagesKeepTogether();

  private:
    void setGrid(const QList<store::Row>& rows);
    QString writePdf(const print::HeaderValues& h, const QList<print::PrintLine>& lines,
                     const QList<print::PrintComment>& comments = {});

    QTemporaryDir m_tmp;
    QSqlDatabase m_main, m_work;
    int m_files = 0;
};

void TstPrint::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    const QString err =
        openFreshFiles(m_tmp.path() + QStringLiteral("/db"), QStringLiteral("print"), m_main, m_work);
    QVERIFY2(err.isEmpty(), qPrintable(err));
}

void TstPrint::cleanupTestCase()
{
    closeFreshFiles(QStringLiteral("print"), m_main, m_work);
}

void TstPrint::init()
{
    QVERIFY(store::run(m_work, QStringLiteral("DROP TRIGGER IF EXISTS refuse_print")).ok());
}

void TstPrint::setGrid(const QList<store::Row>& rows)
{
    setGridRows(m_work, rows);
}

QString TstPrint::writePdf(const print::HeaderValues& h, const QList<print::PrintLine>& lines,
                           const QList<print::PrintComment>& comments)
{
    const QString path = m_tmp.filePath(QStringLiteral("r%1.pdf").arg(++m_files));
    const store::Error e = rpt営業日報(h, lines, comments).writePdf(path);
    if (e.failed())
        QTest::qFail(qPrintable(e.reason()), __FILE__, __LINE__);
    return path;
}

void TstPrint::headerOnEveryPage()
{
    QList<print::PrintLine> lines;
    for (int i = 1; i <= 100; ++i)
        lines << printLine(i, "2026-12-08", "0900", QStringLiteral("内容%1").arg(i));
    const QString pdf = writePdf(header(), lines);
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("4"));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 4);
    QList<int> all;
    QList<int> perPage;
    for (const QString& page : pages) {
        for (const char* text : {"営業日報", "作成日", "2026/12/08", "所属", "営業一課", "氏名", "山田太郎",
                                 "週次の訪問計画", "No.", "時間", "担当"})
            QVERIFY2(page.contains(QString::fromUtf8(text)), text);
        // Headings keep their spacing (full-width blanks between the characters).
        const QString headings = lineWith(page, "No.");
        for (const char* word : {"日\\s+付", "訪\\s+問\\s+先", "内\\s+容", "備\\s+考"})
            QVERIFY2(headings.contains(QRegularExpression(QString::fromUtf8(word))), qPrintable(headings));
        const QList<int> numbers = printedNumbers(page);
        perPage << int(numbers.size());
        all += numbers;
    }
    QList<int> expected;
    for (int i = 1; i <= 100; ++i)
        expected << i;
    QCOMPARE(all, expected);
    QCOMPARE(perPage, (QList<int>{31, 31, 31, 7}));
    // Each page carries its number of the four, once.
    for (int n = 1; n <= 4; ++n) {
        const QString mark = QStringLiteral("%1 / 4").arg(n);
        QVERIFY2(pages[n - 1].count(mark) == 1, qPrintable(pages[n - 1].right(300)));
        for (int other = 1; other <= 4; ++other)
            QVERIFY(other == n || !pages[n - 1].contains(QStringLiteral("%1 / 4").arg(other)));
    }
}

void TstPrint::linesOrderAndFormats()
{
    const QList<print::PrintLine> lines = {
        printLine(1, "2026-12-08", "0930", "朝の訪問"), printLine(2, "2026-12-09", "1305", "午後の訪問"),
        printLine(4, "2027-01-05", {}, "時刻なし"), printLine(10, "2027-01-06", "2400", "深夜")};
    const QStringList pages = pdfPages(writePdf(header(), lines));
    QCOMPARE(pages.size(), 1);
    QCOMPARE(printedNumbers(pages[0]), (QList<int>{1, 2, 4, 10}));
    struct Want {
        const char* text;
        const char* date;
        const char* time;
    };
    for (const Want& w : {Want{"朝の訪問", "12/08", "09:30"}, Want{"午後の訪問", "12/09", "13:05"},
                          Want{"時刻なし", "01/05", nullptr}, Want{"深夜", "01/06", "24:00"}}) {
        const QString line = lineWith(pages[0], QString::fromUtf8(w.text));
        QVERIFY2(line.contains(QString::fromLatin1(w.date)), qPrintable(line));
        if (w.time)
            QVERIFY2(line.contains(QString::fromLatin1(w.time)), qPrintable(line));
        else
            QVERIFY2(!line.contains(u':'), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("2026-")) && !line.contains(QStringLiteral("2027-")),
                 qPrintable(line));
    }
}

void TstPrint::inheritedDatePrinted()
{
    // A report stored with its second line undated inherits the first line's date; read back,
    // the line shows no date on screen but prints with the inherited one.
    setGrid(
        {gridLine(1, "2026-12-08", "2026-12-08", "0930", "一件目"), gridLine(2, {}, {}, "1100", "二件目")});
    report::Header h{QDate(2026, 12, 8), QStringLiteral("山田太郎"), QStringLiteral("営業一課"),
                     QStringLiteral("t")};
    const store::Error reg = report::registerReport(m_main, m_work, h);
    QVERIFY2(reg.ok(), qPrintable(reg.reason()));
    setGrid({});
    const report::ReadResult r = report::readReport(m_main, m_work, h.作成日, h.氏名);
    QVERIFY2(r.error.ok(), qPrintable(r.error.reason()));
    QVERIFY(firstValue(m_work, QStringLiteral("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 2")).isNull());

    QList<print::PrintLine> lines;
    QVERIFY(print::takeSnapshot(m_work, lines).ok());
    QCOMPARE(lines.size(), 2);
    const QStringList pages = pdfPages(writePdf(header(), lines));
    QCOMPARE(pages.size(), 1);
    const QString second = lineWith(pages[0], QStringLiteral("二件目"));
    QVERIFY2(second.contains(QStringLiteral("12/08")) && second.contains(QStringLiteral("11:00")),
             qPrintable(second));
    QCOMPARE(printedNumbers(pages[0]), (QList<int>{1, 2}));
}

void TstPrint::emptyHeaderFields()
{
    const print::HeaderValues h{QString(), QString(), QString(), QStringLiteral("鈴木")};
    const QStringList pages = pdfPages(writePdf(h, {printLine(1, "2026-12-08", "0930", "x")}));
    QCOMPARE(pages.size(), 1);
    const QString top = lineWith(pages[0], QStringLiteral("作成日"));
    QVERIFY2(top.contains(QStringLiteral("鈴木")), qPrintable(top));
    QVERIFY2(!top.contains(QRegularExpression(QStringLiteral("\\d"))), qPrintable(top));
    // Labels stand, fields stay empty: nothing but labels and the name on the header line.
    QString rest = top;
    for (const QString& s :
         {QString("営業日報"), QString("作成日"), QString("所属"), QString("氏名"), QString("鈴木")})
        rest.remove(s);
    QVERIFY2(rest.trimmed().isEmpty(), qPrintable(top));
}

void TstPrint::pageSizeAndFonts()
{
    const QString pdf = writePdf(header(), {printLine(1, "2026-12-08", "0930", "x")});
    const QString size = pdfInfo(pdf, "Page size");
    QVERIFY2(size.contains(QStringLiteral("(A4)")), qPrintable(size));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("([\\d.]+) x ([\\d.]+)")).match(size);
    QVERIFY(m.hasMatch());
    QVERIFY2(m.captured(1).toDouble() > m.captured(2).toDouble(), qPrintable(size)); // landscape
    // Every font is embedded, so the file reads the same on a machine without Japanese fonts.
    const QStringList fonts = runTool("pdffonts", {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& row : fonts) {
        const QStringList cols = row.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        QVERIFY2(cols.size() >= 5 && cols.at(cols.size() - 5) == u"yes", qPrintable(row));
    }
}

void TstPrint::longContentsStayInBox()
{
    const QString typed =
        QStringLiteral("見積書を提出した。先方の部長が検討中で、来週までに回答をもらう予定。");
    const QList<print::PrintLine> lines = {
        printLine(1, "2026-12-08", "0930", typed, "備考欄"),
        printLine(2, "2026-12-08", "1000", QString(1000, QChar(0x3042)), "二行目")};
    const QString pdf = writePdf(header(), lines);
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    // The whole of the first contents is printed, the end included, wrapped at the form's size.
    QString flat = pages[0];
    flat.remove(QRegularExpression(QStringLiteral("\\s")));
    const rpt営業日報 wrapped(header(), lines);
    const print::FittedText first = wrapped.fitDetail(lines[0]).cells[5];
    QCOMPARE(first.lines.join(QString()), typed);
    QCOMPARE(first.font.pixelSize(), 240);
    for (const QString& part : first.lines)
        QVERIFY2(flat.contains(part), qPrintable(pages[0]));
    // What cannot be printed is marked, never cut silently.
    QVERIFY2(flat.contains(QString(10, QChar(0x3042)) + print::kEllipsis), qPrintable(pages[0]));

    // Between the contents box and the remark's text nothing is painted.
    const QImage img = pdfPageImage(pdf, 1, 144, m_tmp.path());
    QVERIFY(!img.isNull());
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        img.save(shots + QStringLiteral("/long-contents.png"));
    // Each line as tall as its wrapped contents.
    double top = 600 + 1100;
    for (const print::PrintLine& line : lines) {
        const double height = wrapped.fitDetail(line).height;
        QVERIFY(height > print::kDetailHeight);
        for (int x = (800 + 12500) / 10 + 1; x < (800 + 12543 + 30) / 10 - 1; ++x)
            for (int y = int(top + 10) / 10; y < int(top + height - 30) / 10; ++y)
                QVERIFY2(!isDark(img.pixel(x, y)), qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        top += height;
    }
}

void TstPrint::searchableText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("dept");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("contents");
    // Kanji that the Japanese fonts also draw as Kangxi radicals (日 一 山 田 月 人 …).
    QTest::newRow("radical look-alikes") << "山田一郎"
                                         << "人事部"
                                         << "日報 十二月"
                                         << "月曜日に山田様と面談";
    QTest::newRow("more look-alikes") << "田中大"
                                      << "営業一課"
                                      << "週報 水曜日"
                                      << "人力車の見学、口頭で説明";
    QTest::newRow("mixed scripts") << "佐藤花子"
                                   << "Sales 二課"
                                   << "ABC商事 訪問"
                                   << "ＴＥＬ連絡 10時 日程調整";
}

void TstPrint::searchableText()
{
    QFETCH(QString, name);
    QFETCH(QString, dept);
    QFETCH(QString, title);
    QFETCH(QString, contents);
    QList<print::PrintLine> lines;
    for (int i = 1; i <= 70; ++i)
        lines << printLine(i, "2026-12-08", "0900", QStringLiteral("%1 %2").arg(contents).arg(i));
    const QString pdf = writePdf({title, QStringLiteral("2026/12/08"), dept, name}, lines);
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("3"));
    // Plain text, as a search or a copy reads it: every typed word as it was typed.
    const QStringList pages = runTool("pdftotext", {pdf, QStringLiteral("-")}).split(u'\f');
    for (int p = 0; p < 3; ++p) {
        for (const QString& word : QStringList{name, dept, contents} + title.split(u' '))
            QVERIFY2(pages[p].contains(word), qPrintable(word + QStringLiteral(" not in:\n") + pages[p]));
        QVERIFY(pages[p].contains(QStringLiteral("%1 / 3").arg(p + 1)));
        // No radical stands in for a kanji.
        for (const QChar c : pages[p])
            QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF,
                     qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QChar(u'0'))));
    }
    QVERIFY(pages[2].contains(contents + QStringLiteral(" 70")));
}

void TstPrint::noDatedLineGivesOnePage()
{
    const QString pdf = writePdf(header(), {});
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("1"));
    const QStringList pages = pdfPages(pdf);
    QVERIFY(pages[0].contains(QStringLiteral("山田太郎")));
    QVERIFY(printedNumbers(pages[0]).isEmpty());
}

void TstPrint::pageImageMatchesLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sidesFree"); // nothing navy next to its left and right edges
    for (const char* n : {"Label1", "Label10", "Label57", "Label58"})
        QTest::newRow(n) << QString::fromUtf8(n) << true;
    for (const char* n : {"Label44", "Label53", "Label54", "Label55", "Label56", "Label59", "Label60"})
        QTest::newRow(n) << QString::fromUtf8(n) << false;
}

void TstPrint::pageImageMatchesLayout()
{
    QFETCH(QString, name);
    QFETCH(bool, sidesFree);
    const print::LayoutItem* item = nullptr;
    for (const print::LayoutItem& i : print::pageHeaderItems())
        if (i.name == name)
            item = &i;
    QVERIFY(item);
    // At 144 dpi one pixel is ten twips; the form starts at the left and top margins.
    const QString pdf = writePdf(header(), {printLine(1, "2026-12-08", "0930", "x")});
    const QImage img = pdfPageImage(pdf, 1, 144, m_tmp.path());
    QCOMPARE(img.width(), 1684); // A4 landscape, 841.89 x 595.28 points
    QVERIFY(qAbs(img.height() - 1191) <= 1);
    const QRectF px((item->rect.left() + 800) / 10, (item->rect.top() + 600) / 10, item->rect.width() / 10,
                    item->rect.height() / 10);
    const int l = qRound(px.left()), t = qRound(px.top()), r = qRound(px.right()), b = qRound(px.bottom());
    auto at = [&](int x, int y) { return img.pixel(x, y); };
    // Inside, two pixels from every corner: navy.
    for (const QPoint p :
         {QPoint(l + 2, t + 2), QPoint(r - 3, t + 2), QPoint(l + 2, b - 3), QPoint(r - 3, b - 3)})
        QVERIFY2(isNavy(at(p.x(), p.y())),
                 qPrintable(QStringLiteral("%1,%2 %3").arg(p.x()).arg(p.y()).arg(at(p.x(), p.y()), 0, 16)));
    // Outside, two pixels beyond the top and bottom edges (and the sides of a lone label): not navy.
    const int mid = (l + r) / 2;
    QVERIFY(!isNavy(at(mid, t - 2)));
    QVERIFY(!isNavy(at(mid, b + 2)));
    if (sidesFree) {
        QVERIFY(!isNavy(at(l - 2, (t + b) / 2)));
        QVERIFY(!isNavy(at(r + 2, (t + b) / 2)));
    }
    // The label's text is white on the navy.
    int white = 0;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            white += qGray(at(x, y)) > 200;
    QVERIFY2(white > 10, qPrintable(QString::number(white)));
}

void TstPrint::ruleUnderEveryLine()
{
    QList<print::PrintLine> lines;
    for (int i = 1; i <= 31; ++i)
        lines << printLine(i, "2026-12-08", "0900", QStringLiteral("短い"));
    const QString pdf = writePdf(header(), lines);
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("1"));
    const QImage img = pdfPageImage(pdf, 1, 144, m_tmp.path());
    QVERIFY(!img.isNull());
    // Far right in the contents column, where short texts leave the line empty but the rule runs.
    const int x = (800 + 11000) / 10;
    for (int i = 0; i < 31; ++i) {
        const int y = (600 + 1100 + i * 310 + 300) / 10;
        bool ink = false;
        for (int dy = -1; dy <= 1; ++dy)
            ink = ink || isDark(img.pixel(x, y + dy));
        QVERIFY2(ink, qPrintable(QStringLiteral("no rule under line %1 at y %2").arg(i + 1).arg(y)));
        QVERIFY(!isDark(img.pixel(x, y - 4)) && !isDark(img.pixel(x, y + 4)));
    }
    // The rule spans from x 70 to x 15320 and no further.
    const int y = (600 + 1100 + 300) / 10;
    QVERIFY(isDark(img.pixel((800 + 90) / 10, y)) || isDark(img.pixel((800 + 90) / 10, y + 1)));
    QVERIFY(isDark(img.pixel((800 + 15300) / 10, y)) || isDark(img.pixel((800 + 15300) / 10, y + 1)));
    QVERIFY(!isDark(img.pixel((800 + 15320) / 10 + 3, y)) && !isDark(img.pixel((800 + 70) / 10 - 3, y)));
    // Nothing below the bottom margin.
    for (int yy = (11906 - 300) / 10 + 1; yy < img.height(); ++yy)
        for (int xx = 0; xx < img.width(); xx += 3)
            QVERIFY(!isDark(img.pixel(xx, yy)));
}

// A 内容 longer than its box wraps at the form's size and its line grows; the lines that no
// longer fit go to the next page, each printed whole.
void TstPrint::wrappedLinesGrowAndPage()
{
    QList<print::PrintLine> lines;
    QStringList contents;
    for (int i = 1; i <= 31; ++i) {
        contents << QStringLiteral("第%1行。").arg(i, 2, 10, QChar(u'0')) + QString(54, QChar(0x65E5));
        lines << printLine(i, "2026-12-08", "0900", contents.last());
    }
    const rpt営業日報 form(header(), lines);
    const rpt営業日報::DetailRow row = form.fitDetail(lines[0]);
    QCOMPARE(row.cells[5].lines.size(), 3);
    QCOMPARE(row.cells[5].font.pixelSize(), 240); // 12 pt, the form's size
    QCOMPARE(row.height, print::kDetailHeight + 2 * row.cells[5].pitch);
    const QString pdf = writePdf(header(), lines);
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[2].contains(QStringLiteral("3 / 3")));
    QString flat = pages.join(QString());
    flat.remove(QRegularExpression(QStringLiteral("\\s")));
    for (const QString& c : contents)
        QVERIFY2(flat.count(c) == 1, qPrintable(c));
    QVERIFY(!flat.contains(print::kEllipsis));
    // TESVAN_SHOTS names a folder for a picture of the first page, to look at.
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        pdfPageImage(pdf, 1, 100, m_tmp.path()).save(shots + QStringLiteral("/wrapped-lines.png"));
}

// No thread, no trace of one. A thread follows the last line, oldest first, each author and time
// before the text; under a full page of lines it runs onto pages numbered of them all, with the
// header's first row and without the lines' column headings.
void TstPrint::threadAfterTheLines()
{
    QList<print::PrintLine> lines;
    for (int i = 1; i <= 31; ++i) // a page of lines exactly
        lines << printLine(i, "2026-12-08", "0900", QStringLiteral("内容%1").arg(i));
    const QStringList plain = pdfPages(writePdf(header(), lines));
    QCOMPARE(plain.size(), 1);
    QVERIFY(!plain[0].contains(QStringLiteral("コメント")));
    const QList<print::PrintComment> comments = commentThread(12);
    const QString pdf = writePdf(header(), lines, comments);
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 4);
    // TESVAN_SHOTS names a folder for a picture of the first page of comments, to look at.
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        pdfPageImage(pdf, 2, 100, m_tmp.path()).save(shots + QStringLiteral("/comment-thread.png"));
    QCOMPARE(pages[0], QString(plain[0]).replace(QStringLiteral("1 / 1"), QStringLiteral("1 / 4")));
    for (int n = 2; n <= 4; ++n) {
        QVERIFY(pages[n - 1].contains(QStringLiteral("%1 / 4").arg(n)));
        QVERIFY(lineWith(pages[n - 1], QStringLiteral("作成日")).contains(QStringLiteral("山田太郎")));
        QVERIFY2(lineWith(pages[n - 1], QStringLiteral("No.")).isEmpty(), qPrintable(pages[n - 1]));
    }
    QString all = pages.mid(1).join(QString());
    QVERIFY(lineWith(all, QStringLiteral("第12号")).trimmed() == QStringLiteral("第12号。")); // a typed break
    all.remove(QRegularExpression(QStringLiteral("\\s")));
    qsizetype at = all.indexOf(QStringLiteral("コメント"));
    for (const print::PrintComment& c : comments) {
        const qsizetype next = all.indexOf(c.by + c.at.toString(QStringLiteral("yyyy/MM/ddHH:mm")));
        QVERIFY2(next > at && all.indexOf(c.text.section(u'\n', 0, 0), next) > next, qPrintable(c.text));
        at = next;
    }
    QCOMPARE(all.count(QStringLiteral("段落")), 40);
    QVERIFY2(pages[3].contains(QStringLiteral("佐藤花子 2026/12/08 17:12（続き）")), qPrintable(pages[3]));
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        pdfPageImage(pdf, 4, 100, m_tmp.path()).save(shots + QStringLiteral("/thread-4.png"));
}

// Whatever room the lines leave, each page's rows stay above its foot, a heading stays with the first
// comment and an author with its first line, and every row is printed once.
void TstPrint::threadPagesKeepTogether()
{
    QPdfWriter device(m_tmp.filePath(QStringLiteral("plan.pdf")));
    rpt営業日報::prepareDevice(device);
    const double foot = rpt営業日報::pageTwips(device) - print::kPageNumberHeight;
    for (int count = 0; count <= 31; ++count) {
        QList<print::PrintLine> lines;
        for (int i = 1; i <= count; ++i)
            lines << printLine(i, "2026-12-08", "0900", QStringLiteral("x"));
        const rpt営業日報 form(header(), lines, commentThread(3));
        QList<rpt営業日報::DetailRow> rows;
        for (const print::PrintLine& line : lines)
            rows << form.fitDetail(line);
        const QList<rpt営業日報::ThreadRow> thread = form.threadRows();
        qsizetype next = 0;
        for (const rpt営業日報::PagePlan& page : rpt営業日報::planPages(device, rows, thread)) {
            QCOMPARE(page.firstThread, next);
            double bottom = page.threadTop + (page.continued >= 0 ? thread[page.continued].height : 0);
            for (qsizetype k = page.firstThread; k < page.endThread; ++k)
                bottom += thread[k].height;
            QVERIFY2(bottom <= foot + 0.5 &&
                         (page.endThread == next || !thread[page.endThread - 1].keepWithNext),
                     qPrintable(QString::number(count)));
            next = page.endThread;
        }
        QCOMPARE(next, thread.size());
    }
}

QTEST_MAIN(TstPrint)
#include "tst_print.moc"
