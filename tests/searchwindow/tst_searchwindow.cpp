// The search window driven from the main window as a person would: opening it, typing
// criteria, scrolling, opening a found line, narrowing from the counts, writing CSV and PDF.
#include "SearchData.h"
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "search/BarChart.h"
#include "search/CountsPage.h"
#include "search/ResultsModel.h"
#include "search/SaveChooser.h"
#include "search/SearchWindow.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/grid/DataGrid.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstSearchWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void ctrlFFromEveryTab_data();
    void ctrlFFromEveryTab();
    void listButtonOpensAndAgainRaisesTheSame();
    void escapeCloses();
    void resultsAsTyped_data();
    void resultsAsTyped();
    void periodAndNameTyped();
    void scrollingFetchesTheRest();
    void unreadableDataToldOnce();
    void openFoundLine_data();
    void openFoundLine();
    void openDeletedReportSaysSoAndSearchesAgain();
    void enterMovesThroughTheCriteria();
    void countsNarrowTheSearch();
    void chartBarsNarrowTheSearch();

  private:
    search::SearchWindow* openByKeys();
    // The grid as "yyyy/mm/dd hh:mm 氏名 内容" per row.
    QStringList shown() const;
    void settle() { QTest::qWait(1); }
    search::SearchWindow* s() const { return m_w->searchWindow(); }

    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
};

void TstSearchWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    QCOMPARE(storeLines(m_w->MainDb(), smallSet()), QString());
}

void TstSearchWindow::cleanup()
{
    search::setSaveChooser({});
    m_fx.stop();
}

search::SearchWindow* TstSearchWindow::openByKeys()
{
    m_w->activateWindow();
    if (!QTest::qWaitForWindowActive(m_w))
        return nullptr;
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : m_w, Qt::Key_F, Qt::ControlModifier);
    settle();
    return m_w->searchWindow();
}

QStringList TstSearchWindow::shown() const
{
    QStringList rows;
    const QAbstractItemModel* m = s()->Grid検索->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c : {search::ResultsModel::ColDate, search::ResultsModel::ColTime,
                      search::ResultsModel::ColName, search::ResultsModel::ColText})
            cells << m->index(r, c).data().toString();
        rows << cells.join(u' ');
    }
    return rows;
}

void TstSearchWindow::ctrlFFromEveryTab_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("focus"); // objectName of the control the keys go to
    QTest::addColumn<bool>("editing");  // a cell editor of that grid open
    QTest::newRow("entry date") << 0 << u"Dt日付"_s << false;
    QTest::newRow("entry name") << 0 << u"cmb氏名"_s << false;
    QTest::newRow("entry grid") << 0 << u"Grid日報"_s << false;
    QTest::newRow("entry grid typing") << 0 << u"Grid日報"_s << true;
    QTest::newRow("list grid") << 1 << u"Grid一覧"_s << false;
    QTest::newRow("list name") << 1 << u"cmb氏名選択"_s << false;
    QTest::newRow("code grid") << 2 << u"Gridコード表"_s << false;
}

void TstSearchWindow::ctrlFFromEveryTab()
{
    QFETCH(int, tab);
    QFETCH(QString, focus);
    QFETCH(bool, editing);
    m_w->SSTab1->setCurrentIndex(tab);
    auto* target = m_w->findChild<QWidget*>(focus);
    QVERIFY(target);
    target->setFocus();
    if (editing) {
        auto* grid = qobject_cast<DataGrid*>(target);
        grid->setRow(0);
        grid->setCol(ReportTab::ColText);
        typeText(u"訪"_s);
        QVERIFY(grid->isEditing());
    }
    QVERIFY(!m_w->searchWindow());
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->objectName(), u"Frm検索"_s);
    QCOMPARE(w->windowTitle(), u"日報検索"_s);
    QVERIFY(!w->isModal());
    QTRY_COMPARE(QApplication::focusWidget(), w->txtキーワード);
    // Everything is found before a word is typed.
    QCOMPARE(shown().size(), smallSet().size());
    if (editing) // the cell's text is not lost to the shortcut
        QCOMPARE(qobject_cast<DataGrid*>(target)->isEditing(), true);
}

void TstSearchWindow::listButtonOpensAndAgainRaisesTheSame()
{
    m_w->SSTab1->setCurrentIndex(1);
    auto* button = m_w->findChild<QPushButton*>(u"cmd検索"_s);
    QVERIFY(button);
    QVERIFY(button->isVisible());
    // The button sits in the list's row of commands without covering them, down to the main
    // window's smallest size.
    for (const QSize size : {m_w->size(), m_w->minimumSize()}) {
        m_w->resize(size);
        QTest::qWait(1);
        const QList<QWidget*> row{m_w->listTab()->cmb氏名選択, m_w->listTab()->cmd一覧読込,
                                  m_w->listTab()->cmdHint2};
        for (QWidget* other : row)
            QVERIFY2(!other->geometry().intersects(button->geometry()), qPrintable(other->objectName()));
        QVERIFY(m_w->listTab()->rect().contains(button->geometry()));
    }
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    search::SearchWindow* first = s();
    QVERIFY(first && first->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), first->txtキーワード);
    typeText(u"見積"_s);
    settle();
    first->Grid検索->setFocus();

    // Opened again, the same window comes back with its keywords selected, ready to be replaced.
    QVERIFY(openByKeys() == first);
    QTRY_COMPARE(QApplication::focusWidget(), first->txtキーワード);
    QCOMPARE(first->txtキーワード->selectedText(), u"見積"_s);
    QCOMPARE(m_w->findChildren<search::SearchWindow*>().size(), 1);
}

void TstSearchWindow::escapeCloses()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    // A date being typed is dropped by the first Escape; the next one closes the window.
    w->dtp期間From->setFocus();
    QTest::keyClicks(w->dtp期間From, u"2026/04"_s);
    QTest::keyClick(w->dtp期間From, Qt::Key_Escape);
    QVERIFY(w->isVisible());
    QCOMPARE(w->dtp期間From->text(), QString());
    QTest::keyClick(w->dtp期間From, Qt::Key_Escape);
    QTRY_VERIFY(!w->isVisible());
    // From the grid as well.
    QVERIFY(openByKeys() == w);
    w->Grid検索->setFocus();
    QTest::keyClick(w->Grid検索, Qt::Key_Escape);
    QTRY_VERIFY(!w->isVisible());
}

void TstSearchWindow::resultsAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    const QString a1 = u"2026/04/01 09:30 山田太郎 新製品の見積を提出"_s;
    const QString a2 = u"2026/04/01 14:00 山田太郎 定例の商談"_s;
    const QString b1 = u"2026/04/02 10:00 佐藤花子 abc商事へ見積の説明"_s;
    const QString b2 = u"2026/04/02 15:30 佐藤花子 ガス設備の点検立会い"_s;
    const QString c1 = u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s;
    QTest::newRow("two characters") << u"見積"_s << QStringList{a1, b1, c1} << u"該当 3 行（3 件の日報）"_s;
    QTest::newRow("one character, folded sign")
        << u"株"_s << QStringList{a2, c1} << u"該当 2 行（2 件の日報）"_s;
    QTest::newRow("full-width typed, ascii stored")
        << u"ａｂｃ"_s << QStringList{a1, b1} << u"該当 2 行（2 件の日報）"_s;
    QTest::newRow("upper case") << u"ABC"_s << QStringList{a1, b1} << u"該当 2 行（2 件の日報）"_s;
    QTest::newRow("half-width kana stored")
        << u"ガステック"_s << QStringList{b2} << u"該当 1 行（1 件の日報）"_s;
    QTest::newRow("two words, ideographic space")
        << u"商談　見積"_s << QStringList{c1} << u"該当 1 行（1 件の日報）"_s;
    QTest::newRow("担当 and 備考 are searched")
        << u"鈴木 5月"_s << QStringList{a2} << u"該当 1 行（1 件の日報）"_s;
    QTest::newRow("nothing") << u"見積書"_s << QStringList{} << u"該当 0 行（0 件の日報）"_s;
}

// Each character typed searches again: the grid shows, after the last one, its lines in order.
void TstSearchWindow::resultsAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    new QAbstractItemModelTester(w->results(), QAbstractItemModelTester::FailureReportingMode::QtTest, w);
    QStringList after;
    for (const QChar ch : typed) {
        typeText(QString(ch));
        settle();
        after << u"%1:%2"_s.arg(w->txtキーワード->text()).arg(w->results()->rowCount());
    }
    QCOMPARE(w->txtキーワード->text(), typed);
    QCOMPARE(shown(), rows);
    QTRY_COMPARE(w->lbl件数->text(), count);
    // Every prefix typed found at least what the whole finds (more words never find more).
    for (const QString& a : after)
        QVERIFY2(a.section(u':', 1).toInt() >= rows.size(), qPrintable(after.join(u", ")));
    QCOMPARE(w->cmdPDF出力->isEnabled(), !rows.isEmpty());
    QCOMPARE(w->cmdCSV出力->isEnabled(), !rows.isEmpty());
}

void TstSearchWindow::periodAndNameTyped()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    w->dtp期間From->setFocus();
    QTest::keyClicks(w->dtp期間From, u"2026/04/02"_s);
    QTest::keyClick(w->dtp期間From, Qt::Key_Tab);
    settle();
    QCOMPARE(shown().size(), 4); // from 04/02 on
    QTest::keyClicks(w->dtp期間To, u"2026/04/30"_s);
    QTest::keyClick(w->dtp期間To, Qt::Key_Tab);
    settle();
    QCOMPARE(shown(), QStringList({u"2026/04/02 10:00 佐藤花子 abc商事へ見積の説明"_s,
                                   u"2026/04/02 15:30 佐藤花子 ガス設備の点検立会い"_s}));
    // The name is exact: its first character alone finds nobody.
    QCOMPARE(QApplication::focusWidget(), w->cmb氏名検索);
    w->dtp期間From->setNull();
    w->dtp期間To->setNull();
    typeText(u"山"_s);
    settle();
    QCOMPARE(w->cmb氏名検索->currentText(), u"山"_s);
    QCOMPARE(shown(), QStringList());
    typeText(u"田太郎"_s);
    settle();
    QCOMPARE(shown().size(), 4);
    QTRY_COMPARE(w->lbl件数->text(), u"該当 4 行（2 件の日報）"_s);
    // All three together.
    w->dtp期間From->setDate(QDate(2026, 5, 1));
    w->txtキーワード->setFocus();
    typeText(u"商談"_s);
    settle();
    QCOMPARE(shown(), QStringList({u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s}));
    // A date that is not one finds nothing, and says why.
    w->dtp期間To->setFocus();
    QTest::keyClicks(w->dtp期間To, u"2026/13/45"_s);
    QTest::keyClick(w->dtp期間To, Qt::Key_Tab);
    settle();
    QCOMPARE(shown(), QStringList());
    QCOMPARE(w->lbl件数->text(), u"期間の日付が正しくありません"_s);
    QVERIFY(!w->cmdCSV出力->isEnabled());
    // Corrected, it searches again.
    w->dtp期間To->setFocus();
    w->dtp期間To->selectAll();
    QTest::keyClicks(w->dtp期間To, u"2026/05/31"_s);
    QTest::keyClick(w->dtp期間To, Qt::Key_Return);
    settle();
    QCOMPARE(shown().size(), 1);
}

void TstSearchWindow::scrollingFetchesTheRest()
{
    // 45 reports of 10 lines beyond the small set.
    QList<StoredLine> many;
    for (int d = 0; d < 45; ++d)
        for (int n = 0; n < 10; ++n) {
            const QString date = QDate(2025, 1, 1).addDays(d).toString(Qt::ISODate);
            many << StoredLine{date,
                               u"鈴木一郎"_s,
                               date,
                               u"%1"_s.arg(800 + n * 100, 4, 10, QChar(u'0')),
                               u"北斗工業"_s,
                               QString(),
                               u"巡回 %1-%2"_s.arg(d).arg(n),
                               QString()};
        }
    QCOMPARE(storeLines(m_w->MainDb(), many), QString());
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    typeText(u"巡回"_s);
    settle();
    QCOMPARE(w->results()->rowCount(), search::ResultsModel::kFirstPage);
    QTRY_COMPARE(w->lbl件数->text(), u"該当 450 行（45 件の日報）"_s);
    QScrollBar* bar = w->Grid検索->verticalScrollBar();
    for (int i = 0; i < 20 && w->results()->rowCount() < 450; ++i) {
        bar->setValue(bar->maximum());
        settle();
    }
    QCOMPARE(w->results()->rowCount(), 450);
    // In date and time order, each line once.
    QStringList rows = shown();
    QStringList sorted = rows;
    sorted.sort();
    QCOMPARE(rows, sorted);
    QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), 450);
}

// A read that fails (here the lines' table gone) is told once, not at every key; the rows read
// before stay, and nothing more is asked for.
void TstSearchWindow::unreadableDataToldOnce()
{
    QList<StoredLine> many;
    for (int n = 0; n < 150; ++n)
        many << StoredLine{u"2025-01-01"_s, u"鈴木一郎"_s, u"2025-01-01"_s,     QString(),
                           QString(),       QString(),     u"巡回 %1"_s.arg(n), QString()};
    QCOMPARE(storeLines(m_w->MainDb(), many), QString());
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    typeText(u"巡回"_s);
    settle();
    QCOMPARE(w->results()->rowCount(), search::ResultsModel::kFirstPage);
    QCOMPARE(store::run(m_w->MainDb(), u"ALTER TABLE 営業日報 RENAME TO 営業日報_old"_s).reason(), QString());
    w->Grid検索->verticalScrollBar()->setValue(w->Grid検索->verticalScrollBar()->maximum());
    settle();
    QCOMPARE(w->results()->rowCount(), search::ResultsModel::kFirstPage);
    QVERIFY(!w->results()->canFetchMore({}));
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QVERIFY2(m_fx.boxes->shown[0].text.contains(u"続きの検索結果を読込"_s),
             qPrintable(m_fx.boxes->shown[0].text));

    // Typing on against the same failure: told once more at most, and the result is empty.
    w->txtキーワード->setFocus();
    typeText(u" 1"_s);
    settle();
    typeText(u"2"_s);
    settle();
    QCOMPARE(w->results()->rowCount(), 0);
    QCOMPARE(m_fx.boxes->shown.size(), 1); // the same reason as the first
    QCOMPARE(w->lbl件数->text(), u"検索できませんでした"_s);
    QVERIFY(!w->cmdPDF出力->isEnabled());
    QCOMPARE(store::run(m_w->MainDb(), u"ALTER TABLE 営業日報_old RENAME TO 営業日報"_s).reason(), QString());
}

void TstSearchWindow::openFoundLine_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("gridRow");
    QTest::addColumn<QString>("text");
    QTest::newRow("Enter, first line")
        << u"点検"_s << false << u"2026/04/02"_s << u"佐藤花子"_s << 1 << u"ガス設備の点検立会い"_s;
    QTest::newRow("double click, second line")
        << u"定例"_s << true << u"2026/04/01"_s << u"山田太郎"_s << 1 << u"定例の商談"_s;
    QTest::newRow("Enter, the first of the report")
        << u"年間"_s << false << u"2026/05/10"_s << u"山田太郎"_s << 0 << u"年間契約の商談、見積依頼あり"_s;
}

// The report opens on the entry tab as the list's 選択 opens it, the found line current.
void TstSearchWindow::openFoundLine()
{
    QFETCH(QString, typed);
    QFETCH(bool, doubleClick);
    QFETCH(QString, date);
    QFETCH(QString, name);
    QFETCH(int, gridRow);
    QFETCH(QString, text);
    m_w->SSTab1->setCurrentIndex(2);
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    typeText(typed);
    settle();
    QCOMPARE(w->results()->rowCount(), 1);
    if (doubleClick) {
        const QRect cell = w->Grid検索->visualRect(w->results()->index(0, search::ResultsModel::ColText));
        QTest::mouseClick(w->Grid検索->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(w->Grid検索->viewport(), Qt::LeftButton, {}, cell.center());
    } else {
        QTest::keyClick(w->txtキーワード, Qt::Key_Return); // into the grid
        QCOMPARE(QApplication::focusWidget(), w->Grid検索);
        QTest::keyClick(w->Grid検索, Qt::Key_Return);
    }
    settle();
    ReportTab* r = m_w->reportTab();
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    QCOMPARE(r->Dt日付->formatted(u"yyyy/mm/dd"_s), date);
    QCOMPARE(r->cmb氏名->currentText(), name);
    QCOMPARE(r->Grid日報->row(), gridRow);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColText));
    QCOMPARE(r->Grid日報->columnText(ReportTab::ColText), text);
    QTRY_VERIFY(m_w->isActiveWindow());
    QVERIFY(w->isVisible()); // still there for the next look
    QCOMPARE(m_fx.boxes->shown.size(), 0);
}

void TstSearchWindow::openDeletedReportSaysSoAndSearchesAgain()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    typeText(u"点検"_s);
    settle();
    QCOMPARE(w->results()->rowCount(), 1);
    // Another user deletes it meanwhile.
    QCOMPARE(store::run(m_w->MainDb(), u"DELETE FROM 営業日報 WHERE 氏名 = '佐藤花子'"_s).reason(),
             QString());
    QCOMPARE(store::run(m_w->MainDb(), u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '佐藤花子'"_s).reason(),
             QString());
    QVERIFY(!w->openRow(0));
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].text,
             u"2026/04/02 佐藤花子 の日報は登録されていません。検索し直しました。"_s);
    QCOMPARE(w->results()->rowCount(), 0);
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    QCOMPARE(m_w->reportTab()->cmb氏名->currentText(), QString());
}

void TstSearchWindow::enterMovesThroughTheCriteria()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    // Tab walks period, name, keywords, result, buttons.
    w->dtp期間From->setFocus();
    const QList<QWidget*> order{w->dtp期間To, w->cmb氏名検索, w->txtキーワード, w->Grid検索, w->cmdCSV出力};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // Enter walks the criteria, then into the result, whose first row becomes current.
    w->dtp期間From->setFocus();
    for (QWidget* next : order.mid(0, 4)) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QCOMPARE(w->Grid検索->currentIndex().row(), 0);
    QTest::keyClick(w->Grid検索, Qt::Key_Down);
    QCOMPARE(w->Grid検索->currentIndex().row(), 1);
    QVERIFY(w->isVisible());
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    QCOMPARE(m_w->reportTab()->cmb氏名->currentText(), QString()); // nothing opened yet
}

void TstSearchWindow::countsNarrowTheSearch()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    typeText(u"見積"_s);
    settle();
    w->Tab検索->setCurrentWidget(w->Tab集計);
    search::CountsPage* c = w->Tab集計;
    QCOMPARE(c->header(), QStringList({u"訪問先"_s, u"訪問回数"_s, u"最終訪問日"_s, u"訪問者"_s}));
    // ＡＢＣ商事 and ABC商事 are stored apart and counted apart.
    QCOMPARE(c->rows().size(), 3);
    QCOMPARE(c->Grid集計->rowCount(), 3);

    // Enter on a row: its place joins the keywords, the result page shows its lines.
    int row = -1;
    for (int r = 0; r < c->Grid集計->rowCount(); ++r)
        if (c->Grid集計->item(r, 0)->text() == u"東京物産㈱"_s)
            row = r;
    QVERIFY(row >= 0);
    QCOMPARE(c->Grid集計->item(row, 1)->text(), u"1"_s);
    QCOMPARE(c->Grid集計->item(row, 2)->text(), u"2026/05/10"_s);
    QCOMPARE(c->Grid集計->item(row, 3)->text(), u"山田太郎"_s);
    c->Grid集計->setFocus();
    c->Grid集計->setCurrentCell(row, 0);
    QTest::keyClick(c->Grid集計, Qt::Key_Return);
    settle();
    QCOMPARE(w->txtキーワード->text(), u"見積 東京物産㈱"_s);
    QCOMPARE(w->Tab検索->currentWidget(), w->Grid検索);
    QCOMPARE(shown(), QStringList({u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s}));

    // Per name and month: a row narrows to the name and that month.
    w->txtキーワード->clear();
    settle();
    w->Tab検索->setCurrentWidget(c);
    c->cmb集計->setCurrentIndex(1);
    QCOMPARE(c->header(), QStringList({u"氏名"_s, u"月"_s, u"訪問回数"_s, u"日報数"_s}));
    QCOMPARE(c->rows(), QList<QStringList>({{u"佐藤花子"_s, u"2026/04"_s, u"2"_s, u"1"_s},
                                            {u"山田太郎"_s, u"2026/04"_s, u"2"_s, u"1"_s},
                                            {u"山田太郎"_s, u"2026/05"_s, u"2"_s, u"1"_s}}));
    c->Grid集計->setCurrentCell(2, 0);
    QTest::keyClick(c->Grid集計, Qt::Key_Return);
    settle();
    QCOMPARE(w->cmb氏名検索->currentText(), u"山田太郎"_s);
    QCOMPARE(w->dtp期間From->date(), QDate(2026, 5, 1));
    QCOMPARE(w->dtp期間To->date(), QDate(2026, 5, 31));
    QCOMPARE(shown().size(), 2);
    QTRY_COMPARE(w->lbl件数->text(), u"該当 2 行（1 件の日報）"_s);

    // Per week, within the period asked for.
    w->Tab検索->setCurrentWidget(c);
    c->cmb集計単位->setCurrentIndex(1);
    QCOMPARE(c->rows(), QList<QStringList>({{u"山田太郎"_s, u"2026/05/04〜"_s, u"2"_s, u"1"_s}}));
}

void TstSearchWindow::chartBarsNarrowTheSearch()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    w->Tab検索->setCurrentWidget(w->Tab集計);
    search::BarChart* chart = w->Tab集計->Chart集計;
    QCOMPARE(chart->series().size(), 1);
    // The busiest place is the top bar, and a click on it is a click on the table's first row.
    const QString busiest = w->Tab集計->Grid集計->item(0, 0)->text();
    QCOMPARE(chart->categories().size(), w->Tab集計->Grid集計->rowCount());
    QCOMPARE(chart->categories().first(), busiest);
    QCOMPARE(chart->series()[0].values.first(), w->Tab集計->Grid集計->item(0, 1)->text().toDouble());
    const QRectF top = chart->partRect(0, 0);
    QVERIFY(!top.isEmpty());
    QVERIFY(top.top() < chart->partRect(0, 1).top());
    QCOMPARE(chart->partAt(top.center()), std::make_pair(0, 0));
    QTest::mouseClick(chart, Qt::LeftButton, {}, top.center().toPoint());
    settle();
    QCOMPARE(w->txtキーワード->text(), busiest);
    QCOMPARE(w->Tab検索->currentWidget(), w->Grid検索);

    // Per name: a person's part of a month's bar; a click beside the bars does nothing.
    w->txtキーワード->clear();
    settle();
    w->Tab検索->setCurrentWidget(w->Tab集計);
    w->Tab集計->cmb集計->setCurrentIndex(1);
    int sato = -1;
    for (int s = 0; s < chart->series().size(); ++s)
        if (chart->series()[s].name == u"佐藤花子"_s)
            sato = s;
    QVERIFY(sato >= 0);
    QCOMPARE(chart->categories(), QStringList({u"2026/04"_s, u"2026/05"_s}));
    QCOMPARE(chart->series()[sato].values, QList<qreal>({2.0, 0.0}));
    QVERIFY(chart->partRect(sato, 1).isEmpty()); // nothing in May
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(2, 2));
    settle();
    QVERIFY(w->cmb氏名検索->currentText().isEmpty());
    QTest::mouseClick(chart, Qt::LeftButton, {}, chart->partRect(sato, 0).center().toPoint());
    settle();
    QCOMPARE(w->cmb氏名検索->currentText(), u"佐藤花子"_s);
    QCOMPARE(w->dtp期間From->date(), QDate(2026, 4, 1));
    QCOMPARE(w->dtp期間To->date(), QDate(2026, 4, 30));
    QCOMPARE(shown().size(), 2);
}

QTEST_MAIN(TstSearchWindow)
#include "tst_searchwindow.moc"
