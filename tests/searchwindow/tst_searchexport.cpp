// The search window's CSV and PDF buttons end to end: the file chosen, what is in it read back
// with a CSV reading, iconv and pdftotext, and the Shift_JIS refusal answered both ways.
#include "Dialogs.h"
#include "SearchData.h"
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "search/CountsPage.h"
#include "search/ResultsModel.h"
#include "ui/SaveChooser.h"
#include "search/SearchWindow.h"
#include "ui/Background.h"
#include "ui/Controls.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

namespace {
const QByteArray kBom("\xEF\xBB\xBF");

// RFC 4180 records of text (quoted fields may hold commas, quotes and line breaks).
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            fields << field;
            records << fields;
            fields.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

QString fromCp932(const QString& path)
{
    QProcess iconv;
    iconv.start(u"iconv"_s, {u"-f"_s, u"CP932"_s, u"-t"_s, u"UTF-8"_s, path});
    if (!iconv.waitForFinished() || iconv.exitCode() != 0)
        return u"<iconv failed>"_s;
    return QString::fromUtf8(iconv.readAllStandardOutput());
}
} // namespace

class TstSearchExport : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void resultLines_data();
    void resultLines();
    void shiftJisRefusal_data();
    void shiftJisRefusal();
    void countTable();
    void cancelledChoiceWritesNothing();
    void realSaveDialog();
    void reportsIntoOnePdf();
    void longPdfCancelled();

  private:
    search::SearchWindow* open(const QString& keywords);
    // The file being written on the worker is done (written, failed or refused).
    static bool written(search::SearchWindow* w)
    {
        return QTest::qWaitFor([w] { return !w->writing()->isRunning(); }, 20000);
    }
    // Answers the next save dialog with path and the filter at index.
    void choose(const QString& path, int filter = 0)
    {
        app::setSaveChooser([this, path, filter](const app::SaveRequest& r) {
            m_asked << r;
            return app::SaveChoice{path, filter};
        });
    }

    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    QList<app::SaveRequest> m_asked;
};

void TstSearchExport::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    m_asked.clear();
    app::Background::setShowAfter(500);
    QCOMPARE(storeLines(m_w->MainDb(), smallSet()), QString());
}

void TstSearchExport::cleanup()
{
    app::setSaveChooser({});
    m_fx.stop();
}

search::SearchWindow* TstSearchExport::open(const QString& keywords)
{
    // The main window's own activation is done before the search window asks for the keyboard.
    if (!QTest::qWaitForWindowActive(m_w))
        return nullptr;
    m_w->showSearch();
    search::SearchWindow* w = m_w->searchWindow();
    if (!w || !QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }))
        return nullptr;
    w->txtキーワード->setFocus();
    typeText(keywords);
    QTest::qWait(1);
    return w;
}

void TstSearchExport::resultLines_data()
{
    QTest::addColumn<int>("filter");
    QTest::newRow("UTF-8 with BOM") << 0;
    QTest::newRow("Shift_JIS") << 1;
}

void TstSearchExport::resultLines()
{
    QFETCH(int, filter);
    search::SearchWindow* w = open(u"見積"_s);
    QVERIFY(w);
    const QString path = m_fx.tmp->filePath(u"結果.csv"_s);
    choose(path, filter);
    QTest::mouseClick(w->cmdCSV出力, Qt::LeftButton);
    QVERIFY(written(w));
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked[0].dialogName, u"dlgCSV保存"_s);
    QCOMPARE(m_asked[0].filters.size(), 2);
    QVERIFY(m_asked[0].path.endsWith(u".csv"_s));
    const QByteArray bytes = readAll(path);
    QCOMPARE(bytes.startsWith(kBom), filter == 0);
    const QString text = filter == 0 ? QString::fromUtf8(bytes.mid(3)) : fromCp932(path);
    const QList<QStringList> records = parseCsv(text);
    QCOMPARE(records.size(), 1 + w->results()->rowCount());
    QCOMPARE(records[0],
             QStringList({u"日付"_s, u"時間"_s, u"氏名"_s, u"訪問先"_s, u"担当"_s, u"内容"_s, u"備考"_s}));
    // The lines as the grid shows them, in its order.
    for (int r = 0; r < w->results()->rowCount(); ++r)
        for (int c = 0; c < search::ResultsModel::ColCount; ++c)
            QCOMPARE(records[r + 1].value(c), w->results()->index(r, c).data().toString());
    QVERIFY2(w->lbl出力結果->text().startsWith(u"3 行を書き出しました"_s),
             qPrintable(w->lbl出力結果->text()));
    QCOMPARE(m_fx.boxes->shown.size(), 0);
}

void TstSearchExport::shiftJisRefusal_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("UTF-8 instead") << true;
    QTest::newRow("nothing") << false;
}

// A text Shift_JIS cannot hold is named with its line, nothing is written, and UTF-8 offered.
void TstSearchExport::shiftJisRefusal()
{
    QFETCH(bool, answer);
    QCOMPARE(storeLines(m_w->MainDb(), {{"2026-06-01", "鈴木一郎", "2026-06-01", "1000", "𠮷野商店", "",
                                         "見積の打合せ 😀", ""}}),
             QString());
    search::SearchWindow* w = open(u"見積"_s);
    QVERIFY(w);
    QCOMPARE(w->results()->rowCount(), 4);
    const QString path = m_fx.tmp->filePath(u"sjis.csv"_s);
    QVERIFY(!QFile::exists(path));
    choose(path, 1);
    m_fx.boxes->answers << answer;
    QTest::mouseClick(w->cmdCSV出力, Qt::LeftButton);
    QTRY_COMPARE(m_fx.boxes->shown.size(), 1);
    QVERIFY(written(w));
    const MsgSpec box = m_fx.boxes->shown[0];
    QCOMPARE(box.title, u"書き出し注意"_s);
    // The newest line, first in the result.
    QVERIFY2(box.text.startsWith(u"1 行目「"_s), qPrintable(box.text));
    QVERIFY2(box.text.contains(u"𠮷"_s) || box.text.contains(u"😀"_s), qPrintable(box.text));
    QVERIFY(box.yesNo);
    QCOMPARE(QFile::exists(path), answer);
    if (answer) {
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith(kBom));
        QVERIFY(QString::fromUtf8(bytes).contains(u"見積の打合せ 😀"_s));
        QVERIFY(w->lbl出力結果->text().contains(u"書き出しました"_s));
    } else {
        QCOMPARE(w->lbl出力結果->text(), QString());
    }
}

void TstSearchExport::countTable()
{
    search::SearchWindow* w = open(QString());
    QVERIFY(w);
    w->Tab検索->setCurrentWidget(w->Tab集計);
    w->Tab集計->cmb集計->setCurrentIndex(1);
    const QString path = m_fx.tmp->filePath(u"集計.csv"_s);
    choose(path);
    // The table is written once it is counted: till then the button waits, disabled.
    QTRY_VERIFY(w->cmdCSV出力->isEnabled());
    QTest::mouseClick(w->cmdCSV出力, Qt::LeftButton);
    QVERIFY(m_asked.value(0).path.contains(u"氏名別_月"_s));
    const QList<QStringList> records = parseCsv(QString::fromUtf8(readAll(path).mid(3)));
    QCOMPARE(records.value(0), w->Tab集計->header());
    QCOMPARE(records.mid(1), w->Tab集計->rows());
    QCOMPARE(records.size(), 4);
}

void TstSearchExport::cancelledChoiceWritesNothing()
{
    search::SearchWindow* w = open(u"見積"_s);
    QVERIFY(w);
    choose(QString());
    QTest::mouseClick(w->cmdCSV出力, Qt::LeftButton);
    QTest::mouseClick(w->cmdPDF出力, Qt::LeftButton);
    // The reports are found on a worker before the dialog asks.
    QTRY_COMPARE(m_asked.size(), 2);
    QVERIFY(written(w));
    QCOMPARE(QDir(m_fx.tmp->path()).entryList(QDir::Files), QStringList());
    QCOMPARE(m_fx.boxes->shown.size(), 0);
}

// Qt's own dialog, found by its name, a file name typed into it and Enter pressed.
void TstSearchExport::realSaveDialog()
{
    search::SearchWindow* w = open(u"点検"_s);
    QVERIFY(w);
    const QString path = m_fx.tmp->filePath(u"typed.csv"_s);
    bool seen = false;
    testing::whenShown<QFileDialog>(
        [&](QFileDialog* dialog) {
            seen = dialog->testOption(QFileDialog::DontUseNativeDialog);
            auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
            if (!name)
                return dialog->reject();
            // Qt's completion list opens over the name as it is typed (once the folder is read, late
            // on a loaded machine) and takes the Return: typed as a user who ignores it.
            name->setCompleter(nullptr);
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, path);
            QTest::keyClick(name, Qt::Key_Return);
        },
        u"dlgCSV保存"_s);
    QTest::mouseClick(w->cmdCSV出力, Qt::LeftButton);
    QVERIFY(seen);
    QTRY_VERIFY(QFile::exists(path));
    QCOMPARE(parseCsv(QString::fromUtf8(readAll(path).mid(3))).size(), 2);
}

void TstSearchExport::reportsIntoOnePdf()
{
    search::SearchWindow* w = open(u"見積"_s);
    QVERIFY(w);
    const QString path = m_fx.tmp->filePath(u"日報.pdf"_s);
    choose(path);
    QTest::mouseClick(w->cmdPDF出力, Qt::LeftButton);
    QVERIFY(written(w));
    QCOMPARE(m_asked.value(0).dialogName, u"dlgPDF保存"_s);
    QVERIFY(readAll(path).startsWith("%PDF"));
    QProcess text;
    text.start(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    QVERIFY(text.waitForFinished());
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    // The three reports holding 見積, in date order; the lines of each, not only the found one.
    for (const QString& s : {u"新製品の見積を提出"_s, u"定例の商談"_s, u"abc商事へ見積の説明"_s,
                             u"ガス設備の点検立会い"_s, u"年間契約の商談、見積依頼あり"_s})
        QVERIFY2(pdf.contains(s), qPrintable(s));
    QVERIFY(pdf.indexOf(u"佐藤花子"_s) > pdf.indexOf(u"新製品"_s));
    QVERIFY(pdf.indexOf(u"年間契約"_s) > pdf.indexOf(u"佐藤花子"_s));
    QProcess info;
    info.start(u"pdfinfo"_s, {path});
    QVERIFY(info.waitForFinished());
    QVERIFY(
        QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(u"Pages:\\s+3\\b"_s)));
    QVERIFY(w->lbl出力結果->text().startsWith(u"3 件の日報を書き出しました"_s));

    // Narrowed to one report, only it is written. (The offscreen platform does not give the
    // keyboard back after the progress dialog, as a window manager does.)
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
    w->txtキーワード->setFocus();
    w->txtキーワード->clear();
    typeText(u"点検"_s);
    QTest::qWait(1);
    QTest::mouseClick(w->cmdPDF出力, Qt::LeftButton);
    QVERIFY(written(w));
    text.start(u"pdftotext"_s, {path, u"-"_s});
    QVERIFY(text.waitForFinished());
    const QString one = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY(one.contains(u"佐藤花子"_s));
    QVERIFY(!one.contains(u"山田太郎"_s));
}

// A long PDF is painted on a worker: the window takes keys meanwhile, PDF出力 waits disabled,
// the bar's キャンセル stops it and no file is left, and the next one runs.
void TstSearchExport::longPdfCancelled()
{
    QList<testing::StoredLine> many;
    for (int i = 0; i < 400; ++i) {
        const QString day = QDate(2025, 1, 1).addDays(i).toString(Qt::ISODate);
        for (int n = 0; n < 20; ++n)
            many.append({day, u"長田"_s, day, u"0900"_s, u"長期商事"_s, u"担当"_s,
                         u"長い見積の説明 %1"_s.arg(n), u""_s});
    }
    QCOMPARE(storeLines(m_w->MainDb(), many), QString());
    app::Background::setShowAfter(0);
    search::SearchWindow* w = open(u"長い見積"_s);
    QVERIFY(w);
    const QString path = m_fx.tmp->filePath(u"長い.pdf"_s);
    choose(path);
    QTest::mouseClick(w->cmdPDF出力, Qt::LeftButton);
    QTRY_COMPARE(m_asked.size(), 1);
    QVERIFY(w->writing()->isRunning());
    QTRY_VERIFY(w->writing()->bar()->isVisible());
    QVERIFY(!w->cmdPDF出力->isEnabled());
    QVERIFY(!w->cmdCSV出力->isEnabled());
    // The keys go on being taken while it paints.
    w->txtキーワード->setFocus();
    typeText(u"x"_s);
    QCOMPARE(w->txtキーワード->text(), u"長い見積x"_s);
    QVERIFY(w->writing()->isRunning());
    auto* cancel = w->writing()->bar()->findChild<QPushButton*>(u"prg出力キャンセル"_s);
    QVERIFY(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!w->writing()->isRunning());
    QCOMPARE(w->lbl出力結果->text(), u"PDF の書き出しを取り消しました"_s);
    QTest::qWait(200);
    QCOMPARE(QDir(m_fx.tmp->path()).entryList({u"*.pdf"_s}, QDir::Files), QStringList());
    QCOMPARE(m_fx.boxes->shown.size(), 0);

    // The next one runs whole.
    w->txtキーワード->setFocus();
    w->txtキーワード->clear();
    typeText(u"点検"_s);
    QTest::qWait(1);
    QTRY_VERIFY(w->cmdPDF出力->isEnabled());
    QTest::mouseClick(w->cmdPDF出力, Qt::LeftButton);
    QVERIFY(written(w));
    QVERIFY(readAll(path).startsWith("%PDF"));
}

QTEST_MAIN(TstSearchExport)
#include "tst_searchexport.moc"
