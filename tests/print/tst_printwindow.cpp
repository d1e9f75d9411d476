// 印刷 on the main window: the preview opens at once, holds its own click's report, stays out
// of the way of the main window and closes with it.
#include "PdfTools.h"
#include "WindowFixture.h"
#include "app/Application.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "ui/SaveChooser.h"
#include "ui/grid/DataGrid.h"
#include "ui/DateInput.h"
#include "print/PrintPreview.h"
#include "store/Rows.h"
#include "report/ReportTab.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QtTest>

using namespace testing;

namespace {
void typeText(const QString& text)
{
    for (const QChar ch : text) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void pressKey(Qt::Key key)
{
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, key);
}

QList<PrintPreview*> openPreviews()
{
    QList<PrintPreview*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PrintPreview*>(w); p && p->isVisible())
            out << p;
    return out;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
} // namespace

class TstPrintWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void pressPrintOpensPreview();
    void eachClickKeepsItsOwnReport();
    void mainWindowStaysUsable();
    void closingMainWindowClosesPreviews();
    void failedSnapshotIsReported();
    void savePdfFromPreview();
    void qtTextsInJapanese();
    void previewKeepsTheFormsPage();
    void typedReportReadsBackFromPdf();
    void noCommentOptionOnLocalFiles();
    void commentOptionFollowsTheTick();

  private:
    void setHeader(const QDate& d, const QString& name, const QString& dept, const QString& title);
    void editCell(int row, int col, const QString& text);
    void clearCell(int row, int col);
    void clickPrint();
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstPrintWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    r = m_w->reportTab();
}

void TstPrintWindow::cleanup()
{
    for (PrintPreview* p : openPreviews())
        p->close();
    flushDeletes();
    m_fx.stop();
    flushDeletes();
}

void TstPrintWindow::setHeader(const QDate& d, const QString& name, const QString& dept, const QString& title)
{
    r->Dt日付->setDate(d);
    r->cmb氏名->setEditText(name);
    r->cmb所属->setEditText(dept);
    r->txtタイトル->setText(title);
}

void TstPrintWindow::editCell(int row, int col, const QString& text)
{
    // Back to the main window, as the user clicks into it with a preview open.
    QApplication::setActiveWindow(m_w);
    QTRY_VERIFY(m_w->isActiveWindow());
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(row);
    g->setCol(col);
    typeText(text);
}

void TstPrintWindow::clearCell(int row, int col)
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(row);
    g->setCol(col);
    // As the date editor leaves an emptied cell: both dates Null.
    QCOMPARE(g->setColumnValue(col, QVariant()), QString());
    r->afterColUpdate(col);
}

void TstPrintWindow::clickPrint()
{
    QTest::mouseClick(r->cmd印刷, Qt::LeftButton);
    QCoreApplication::processEvents();
}

void TstPrintWindow::pressPrintOpensPreview()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), QStringLiteral("営業一課"),
              QStringLiteral("週報"));
    editCell(0, ReportTab::ColShowDate, QStringLiteral("12/08"));
    pressKey(Qt::Key_Return);
    editCell(0, ReportTab::ColText, QStringLiteral("一件目"));
    pressKey(Qt::Key_Return);
    editCell(2, ReportTab::ColShowDate, QStringLiteral("12/09"));
    pressKey(Qt::Key_Return);
    editCell(2, ReportTab::ColText, QStringLiteral("二件目"));
    pressKey(Qt::Key_Return);
    // The time of line 3 is still being typed when 印刷 is pressed.
    editCell(2, ReportTab::ColTime, QStringLiteral("0930"));
    clickPrint();

    QVERIFY(m_fx.boxes->shown.isEmpty());
    const QList<PrintPreview*> previews = openPreviews();
    QCOMPARE(previews.size(), 1);
    PrintPreview* p = previews.first();
    QCOMPARE(p->objectName(), QString("rpt営業日報"));
    QCOMPARE(p->windowModality(), Qt::NonModal);
    QCOMPARE(p->pagePrinter()->pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(p->pagePrinter()->pageLayout().pageSize().id(), QPageSize::A4);

    const print::HeaderValues& h = p->report().header();
    QCOMPARE(h.Prn作成日, QString("2026/12/08"));
    QCOMPARE(h.Prn氏名, QString("山田太郎"));
    QCOMPARE(h.Prn所属, QString("営業一課"));
    QCOMPARE(h.Prnタイトル, QString("週報"));
    const QList<print::PrintLine>& lines = p->report().lines();
    QCOMPARE(lines.size(), 2);
    // Numbered as 登録 numbers the lines it stores.
    QCOMPARE(lines[0].行番号.toInt(), 1);
    QCOMPARE(lines[1].行番号.toInt(), 2);
    QCOMPARE(lines[1].時間.toString(), QString("0930"));
    QCOMPARE(firstValue(m_w->WorkDb(), "SELECT count(*) FROM w営業日報印刷").toInt(), 2);
}

void TstPrintWindow::eachClickKeepsItsOwnReport()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), QStringLiteral("営業一課"),
              QStringLiteral("初回"));
    editCell(0, ReportTab::ColShowDate, QStringLiteral("12/08"));
    pressKey(Qt::Key_Return);
    editCell(1, ReportTab::ColShowDate, QStringLiteral("12/08"));
    pressKey(Qt::Key_Return);
    editCell(1, ReportTab::ColText, QStringLiteral("訪問"));
    pressKey(Qt::Key_Return);
    clickPrint();
    QCOMPARE(openPreviews().size(), 1);
    QPointer<PrintPreview> first = openPreviews().first();

    // Second run: other header, line 2 undated, line 5 dated.
    setHeader(QDate(), QStringLiteral("鈴木花子"), QStringLiteral("営業二課"), QStringLiteral("二回目"));
    clearCell(0, ReportTab::ColShowDate);
    clearCell(1, ReportTab::ColShowDate);
    editCell(4, ReportTab::ColShowDate, QStringLiteral("12/10"));
    pressKey(Qt::Key_Return);
    editCell(4, ReportTab::ColText, QStringLiteral("五行目"));
    pressKey(Qt::Key_Return);
    QVERIFY(firstValue(m_w->WorkDb(), "SELECT 日付 FROM w営業日報 WHERE 行番号 = 1").isNull());
    clickPrint();
    QVERIFY(m_fx.boxes->shown.isEmpty());
    QList<PrintPreview*> previews = openPreviews();
    QCOMPARE(previews.size(), 2);
    QVERIFY(first);
    PrintPreview* second = previews.first() == first ? previews.last() : previews.first();

    // The work table holds only the second run; the first window still shows the first.
    QList<store::Row> rows;
    QVERIFY(
        store::readRows(m_w->WorkDb(), "SELECT 行番号 FROM w営業日報印刷 ORDER BY 行番号", {}, rows).ok());
    QCOMPARE(rows, (QList<store::Row>{{1}, {2}}));
    QVERIFY(second->report().lines()[0].日付.isNull());
    QCOMPARE(second->report().lines()[1].内容.toString(), QString("五行目"));
    QCOMPARE(first->report().lines().size(), 1);
    QCOMPARE(first->report().lines()[0].内容.toString(), QString("訪問"));
    QCOMPARE(first->report().header().Prnタイトル, QString("初回"));

    QTemporaryDir tmp;
    const QString pdf = tmp.filePath("second.pdf");
    QVERIFY(second->savePdf(pdf));
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    for (const char* s : {"鈴木花子", "営業二課", "二回目", "12/10"})
        QVERIFY2(pages[0].contains(QString::fromUtf8(s)), s);
    for (const char* s : {"山田太郎", "営業一課", "初回", "2026/12/08"})
        QVERIFY2(!pages[0].contains(QString::fromUtf8(s)), s);
}

void TstPrintWindow::mainWindowStaysUsable()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    QCOMPARE(openPreviews().size(), 1);
    QVERIFY(!QApplication::activeModalWidget());
    // Typing on the main window goes on while the preview is open.
    QApplication::setActiveWindow(m_w);
    QTRY_VERIFY(m_w->isActiveWindow());
    r->txtタイトル->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), r->txtタイトル);
    typeText(QStringLiteral("続き"));
    QCOMPARE(r->txtタイトル->text(), QString("続き"));
    QVERIFY(r->cmd印刷->isEnabled() && m_w->isEnabled());
}

void TstPrintWindow::closingMainWindowClosesPreviews()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    clickPrint();
    QList<QPointer<PrintPreview>> previews;
    for (PrintPreview* p : openPreviews())
        previews << p;
    QCOMPARE(previews.size(), 2);
    // The report printed is not registered: closing asks, and goes on without it.
    m_fx.boxes->answers << MsgButton::Discard;
    QVERIFY(m_w->close());
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].choices.size(), 3);
    flushDeletes();
    for (const QPointer<PrintPreview>& p : previews)
        QVERIFY(!p || !p->isVisible());
}

void TstPrintWindow::failedSnapshotIsReported()
{
    QVERIFY(store::run(m_w->WorkDb(), "CREATE TRIGGER refuse_print BEFORE INSERT ON w営業日報印刷 "
                                      "BEGIN SELECT RAISE(ABORT, 'disk is full'); END")
                .ok());
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    editCell(0, ReportTab::ColShowDate, QStringLiteral("12/08"));
    pressKey(Qt::Key_Return);
    editCell(0, ReportTab::ColText, QStringLiteral("内容"));
    pressKey(Qt::Key_Return);
    clickPrint();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, QString("注意"));
    QVERIFY2(m_fx.boxes->shown[0].text.contains("disk is full"), qPrintable(m_fx.boxes->shown[0].text));
    QVERIFY(openPreviews().isEmpty());
}

void TstPrintWindow::savePdfFromPreview()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    PrintPreview* p = openPreviews().value(0);
    QVERIFY(p);
    // The save action sits on the preview's tool bar.
    QVERIFY(p->savePdfAction());
    QCOMPARE(p->savePdfAction()->text(), QString("PDFに保存"));
    QToolBar* bar = p->findChild<QToolBar*>();
    QVERIFY(bar && bar->actions().contains(p->savePdfAction()));

    // A folder that does not exist: the user is told which, nothing is written.
    QTemporaryDir tmp;
    const QString bad = tmp.filePath("missing/folder/r.pdf");
    QVERIFY(!p->savePdf(bad));
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, QString("書き出し注意"));
    QVERIFY2(m_fx.boxes->shown[0].text.startsWith(
                 QStringLiteral("保存先のフォルダ %1 がありません。").arg(tmp.filePath("missing/folder"))),
             qPrintable(m_fx.boxes->shown[0].text));
    QVERIFY(!QFile::exists(bad));

    // An existing file is replaced whole.
    const QString good = tmp.filePath("r.pdf");
    {
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    QVERIFY(p->savePdf(good));
    QVERIFY(readAll(good).startsWith("%PDF"));
    QCOMPARE(pdfInfo(good, "Pages"), QString("1"));

    // The action asks where through the program's save dialog, offering the report's own name
    // in a folder that exists; a name typed without ".pdf" gets it.
    app::SaveRequest asked;
    app::setSaveChooser([&](const app::SaveRequest& r) {
        asked = r;
        return app::SaveChoice{tmp.filePath("typed"), 0};
    });
    p->savePdfAction()->trigger();
    app::setSaveChooser({});
    QCOMPARE(asked.dialogName, QString("dlgPDF保存"));
    QCOMPARE(QFileInfo(asked.path).fileName(), QString("営業日報_20261208_山田太郎.pdf"));
    QVERIFY(QFileInfo(QFileInfo(asked.path).path()).isDir());
    QVERIFY(readAll(tmp.filePath("typed.pdf")).startsWith("%PDF"));
}

void TstPrintWindow::qtTextsInJapanese()
{
    QVERIFY2(app::loadQtTranslation(*QCoreApplication::instance()),
             "qtbase_ja not installed: qt6-translations-l10n");
    // Message-box buttons take Qt's own Japanese labels.
    QMessageBox box;
    QCOMPARE(box.addButton(QMessageBox::Yes)->text(), QString("はい(&Y)"));
    QCOMPARE(box.addButton(QMessageBox::No)->text(), QString("いいえ(&N)"));
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    PrintPreview* p = openPreviews().value(0);
    QVERIFY(p);
    // The preview's own print command speaks Japanese.
    bool printAction = false;
    for (QAction* a : p->findChild<QToolBar*>()->actions())
        printAction = printAction || a->text().contains(QStringLiteral("印刷"));
    QVERIFY(printAction);
}

void TstPrintWindow::previewKeepsTheFormsPage()
{
    app::loadQtTranslation(*QCoreApplication::instance());
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    PrintPreview* p = openPreviews().value(0);
    QVERIFY(p);
    QVERIFY(QTest::qWaitForWindowExposed(p));
    QToolBar* bar = p->findChild<QToolBar*>();
    QVERIFY(bar);
    auto named = [&](const char* text) -> QAction* {
        for (QAction* a : bar->actions())
            if (a->text() == QCoreApplication::translate("QPrintPreviewDialog", text))
                return a;
        return nullptr;
    };
    // Landscape is what the page is and what the dialog says; nothing offers another page.
    QAction* landscape = named("Landscape");
    QVERIFY(landscape && landscape->isChecked());
    for (const char* other : {"Portrait", "Landscape", "Page setup"})
        QVERIFY2(!named(other)->isVisible(), other);
    // At the default size printing and saving stand on the tool bar, not behind its overflow.
    for (QAction* a : {named("Print"), p->savePdfAction()}) {
        QWidget* button = bar->widgetForAction(a);
        QVERIFY(button && button->isVisible());
        QVERIFY2(bar->rect().contains(button->geometry()), qPrintable(a->text()));
    }
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        p->grab().save(shots + QStringLiteral("/preview-default.png"));
    // A printer turned to portrait behind the form's back is set back before painting.
    p->pagePrinter()->setPageOrientation(QPageLayout::Portrait);
    emit p->paintRequested(p->pagePrinter());
    QCOMPARE(p->pagePrinter()->pageLayout().orientation(), QPageLayout::Landscape);
}

void TstPrintWindow::typedReportReadsBackFromPdf()
{
    // Typed as a user types it: the header fields, then 33 dated lines with contents (a line
    // without them is neither stored nor printed).
    m_w->show();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    r->Dt日付->setFocus();
    typeText(QStringLiteral("2026/12/08"));
    pressKey(Qt::Key_Return);
    typeText(QStringLiteral("山田一郎"));
    pressKey(Qt::Key_Return);
    typeText(QStringLiteral("人事部"));
    pressKey(Qt::Key_Return);
    typeText(QStringLiteral("月曜日の日報"));
    const QStringList contents = {QStringLiteral("山田様と面談"), QStringLiteral("月末の見積"),
                                  QStringLiteral("一日中 人と会う")};
    for (int row = 0; row < 33; ++row) {
        editCell(row, ReportTab::ColShowDate, QStringLiteral("12/08"));
        pressKey(Qt::Key_Return);
        r->Grid日報->setRow(row);
        r->Grid日報->setCol(ReportTab::ColText);
        QTest::keyClick(r->Grid日報, Qt::Key_F2);
        QVERIFY(!r->Cnテキスト入力->isHidden());
        typeText(contents[row % 3]);
        QTest::keyClick(r->txt内容, Qt::Key_Return, Qt::ControlModifier);
    }
    clickPrint();
    PrintPreview* p = openPreviews().value(0);
    QVERIFY(p);
    QTemporaryDir tmp;
    const QString pdf = tmp.filePath("typed.pdf");
    QVERIFY(p->savePdf(pdf));
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("2"));
    const QStringList pages = runTool("pdftotext", {pdf, QStringLiteral("-")}).split(u'\f');
    for (int n = 0; n < 2; ++n) {
        for (const char* word : {"2026/12/08", "山田一郎", "人事部", "月曜日の日報"})
            QVERIFY2(pages[n].contains(QString::fromUtf8(word)), word);
        QVERIFY(pages[n].contains(QStringLiteral("%1 / 2").arg(n + 1)));
    }
    for (const QString& word : contents)
        QVERIFY2((pages[0] + pages[1]).contains(word), qPrintable(word));
}

// A local file keeps no comments: 印刷 offers none to print.
void TstPrintWindow::noCommentOptionOnLocalFiles()
{
    setHeader(QDate(2026, 12, 8), QStringLiteral("山田太郎"), {}, {});
    clickPrint();
    PrintPreview* p = openPreviews().value(0);
    QVERIFY(p && !p->withComments());
    const QCheckBox* box = p->findChild<QCheckBox*>(QStringLiteral("chkコメント印刷"));
    QVERIFY(!box || !box->isVisible());
}

// With a thread the tool bar offers it unticked; the tick (Alt+C) changes the pages shown at once,
// and the printer gets the pages the saved PDF holds.
void TstPrintWindow::commentOptionFollowsTheTick()
{
    const QList<print::PrintLine> lines{{1, "2026-12-08", "0900", "A社", {}, QStringLiteral("商談"), {}}};
    QList<print::PrintComment> thread;
    for (int i = 1; i <= 12; ++i)
        thread << print::PrintComment{QStringLiteral("加藤課長"), QDateTime(QDate(2026, 12, 8), QTime(18, i)),
                                      QStringLiteral("第%1の指摘。").arg(i) +
                                          QString(i % 4 ? 0 : 120, u'詳')};
    auto* p = print::showPreview({{}, QStringLiteral("2026/12/08"), {}, QStringLiteral("山田太郎")}, lines,
                                 m_w, thread);
    QVERIFY(QTest::qWaitForWindowExposed(p));
    QCheckBox* box = p->withComments();
    QVERIFY(box && box->isVisible() && !box->isChecked() && box->text() == QStringLiteral("コメントも印刷"));
    QVERIFY(p->findChild<QToolBar*>()->isAncestorOf(box) && (box->focusPolicy() & Qt::TabFocus));
    auto* pages = p->findChild<QPrintPreviewWidget*>();
    QTRY_COMPARE(pages->pageCount(), 1);
    QApplication::setActiveWindow(p);
    QTRY_VERIFY(p->isActiveWindow());
    // The box's key clicks it as a click shows, a moment later.
    QTest::keyClick(p, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(box->isChecked());
    QCOMPARE(pages->pageCount(), 2);
    QTemporaryDir tmp;
    QVERIFY(p->savePdf(tmp.filePath("saved.pdf")));
    p->pagePrinter()->setOutputFormat(QPrinter::PdfFormat);
    p->pagePrinter()->setOutputFileName(tmp.filePath("printed.pdf"));
    pages->print();
    const QStringList text = pdfPages(tmp.filePath("saved.pdf"));
    QCOMPARE(pdfPages(tmp.filePath("printed.pdf")), text);
    QVERIFY(text.size() == 2 && text[1].contains(QStringLiteral("第12の指摘")));
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        p->grab().save(shots + QStringLiteral("/preview-comments.png"));
    box->click();
    QCOMPARE(pages->pageCount(), 1);
}

QTEST_MAIN(TstPrintWindow)
#include "tst_printwindow.moc"
