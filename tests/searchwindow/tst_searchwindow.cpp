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
#include "ui/SaveChooser.h"
#include "search/SearchWindow.h"
#include "search/Visits.h"
#include "ui/Background.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/grid/DataGrid.h"

#include <QCheckBox>
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstSearchWindow : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
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
    void newestFirstAndHeaderClicksSort();
    void visitsCountedOncePerDayAndPlace();
    void manyCountsShownAsTheyCame();

  private:
    search::SearchWindow* openByKeys();
    // The 集計 page's counts, made on a worker, are in.
    static bool tallied(search::SearchWindow* w)
    {
        return QTest::qWaitFor([w] { return !w->tallying()->isRunning(); }, 20000);
    }
    // The grid as "yyyy/mm/dd hh:mm 氏名 内容" per row.
    QStringList shown() const;
    void settle() { QTest::qWait(1); }
    search::SearchWindow* s() const { return m_w->searchWindow(); }

    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
};

void TstSearchWindow::initTestCase()
{
    // The places left out of visits are a setting of the user: kept apart from the real ones.
    QStandardPaths::setTestModeEnabled(true);
    search::setNotVisitPlaces({});
}

void TstSearchWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    QCOMPARE(storeLines(m_w->MainDb(), smallSet()), QString());
}

void TstSearchWindow::cleanup()
{
    app::setSaveChooser({});
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
    // Comments are a team server's: a local file has nothing to tick.
    QVERIFY(w->chkコメントも検索->isHidden());
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
    // Listed oldest first above; shown newest first.
    std::reverse(rows.begin(), rows.end());
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
    QCOMPARE(shown(), QStringList({u"2026/04/02 15:30 佐藤花子 ガス設備の点検立会い"_s,
                                   u"2026/04/02 10:00 佐藤花子 abc商事へ見積の説明"_s}));
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
    // Newest first by date and time, each line once.
    QStringList rows = shown();
    QStringList sorted = rows;
    sorted.sort();
    std::reverse(sorted.begin(), sorted.end());
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
    QVERIFY(tallied(w));
    QCOMPARE(c->header(), QStringList({u"訪問先"_s, u"訪問回数"_s, u"行数"_s, u"最終訪問日"_s, u"訪問者"_s}));
    // ＡＢＣ商事 and ABC商事 are stored apart and counted apart.
    QCOMPARE(c->rows().size(), 3);
    QCOMPARE(c->rowCount(), 3);

    // Enter on a row: its place joins the keywords, the result page shows its lines.
    int row = -1;
    for (int r = 0; r < c->rowCount(); ++r)
        if (c->text(r, 0) == u"東京物産㈱"_s)
            row = r;
    QVERIFY(row >= 0);
    QCOMPARE(c->text(row, 1), u"1"_s);
    QCOMPARE(c->text(row, 2), u"1"_s);
    QCOMPARE(c->text(row, 3), u"2026/05/10"_s);
    QCOMPARE(c->text(row, 4), u"山田太郎"_s);
    c->Grid集計->setFocus();
    c->Grid集計->setCurrentIndex(c->Grid集計->model()->index(row, 0));
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
    QVERIFY(tallied(w));
    QCOMPARE(c->header(), QStringList({u"氏名"_s, u"月"_s, u"訪問回数"_s, u"行数"_s, u"日報数"_s}));
    // May's office work has no place: a line, not a visit.
    QCOMPARE(c->rows(), QList<QStringList>({{u"佐藤花子"_s, u"2026/04"_s, u"2"_s, u"2"_s, u"1"_s},
                                            {u"山田太郎"_s, u"2026/04"_s, u"2"_s, u"2"_s, u"1"_s},
                                            {u"山田太郎"_s, u"2026/05"_s, u"1"_s, u"2"_s, u"1"_s}}));
    c->Grid集計->setCurrentIndex(c->Grid集計->model()->index(2, 0));
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
    QVERIFY(tallied(w));
    QCOMPARE(c->rows(), QList<QStringList>({{u"山田太郎"_s, u"2026/05/04〜"_s, u"1"_s, u"2"_s, u"1"_s}}));
}

void TstSearchWindow::chartBarsNarrowTheSearch()
{
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    w->Tab検索->setCurrentWidget(w->Tab集計);
    QVERIFY(tallied(w));
    search::BarChart* chart = w->Tab集計->Chart集計;
    QCOMPARE(chart->series().size(), 1);
    // The busiest place is the top bar, and a click on it is a click on the table's first row.
    const QString busiest = w->Tab集計->text(0, 0);
    QCOMPARE(chart->categories().size(), w->Tab集計->rowCount());
    QCOMPARE(chart->categories().first(), busiest);
    QCOMPARE(chart->series()[0].values.first(), w->Tab集計->text(0, 1).toDouble());
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
    QVERIFY(tallied(w));
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

// Newest first at the start; a click on 氏名 or 訪問先 sorts by it (ties newest first), a second
// click turns it round, 日付 brings the newest back, and a column without an order of its own
// leaves it. The rows read later as the view scrolls follow the same order.
void TstSearchWindow::newestFirstAndHeaderClicksSort()
{
    QList<StoredLine> more;
    for (int d = 0; d < 30; ++d)
        for (const QString& name : {u"鈴木一郎"_s, u"阿部次郎"_s})
            more << StoredLine{QDate(2025, 6, 1).addDays(d).toString(Qt::ISODate),
                               name,
                               QDate(2025, 6, 1).addDays(d).toString(Qt::ISODate),
                               u"1000"_s,
                               d % 2 ? u"北斗工業"_s : u"さくら食品"_s,
                               QString(),
                               u"巡回 %1"_s.arg(d),
                               QString()};
    QCOMPARE(storeLines(m_w->MainDb(), more), QString());
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    const int total = smallSet().size() + int(more.size());
    const auto readAll = [w, total] {
        QScrollBar* bar = w->Grid検索->verticalScrollBar();
        for (int i = 0; i < 20 && w->results()->rowCount() < total; ++i) {
            bar->setValue(bar->maximum());
            QTest::qWait(1);
        }
        return w->results()->rowCount();
    };
    const auto column = [w](int col) {
        QStringList values;
        for (int r = 0; r < w->results()->rowCount(); ++r)
            values << w->results()->index(r, col).data().toString();
        return values;
    };
    const auto click = [w](int col) {
        QHeaderView* header = w->Grid検索->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(1);
    };
    using RM = search::ResultsModel;
    QHeaderView* header = w->Grid検索->horizontalHeader();
    QCOMPARE(shown().first(), u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s);
    QCOMPARE(shown().last(), u"2025/06/01 10:00 鈴木一郎 巡回 0"_s); // 氏名 descending too
    QCOMPARE(header->sortIndicatorSection(), int(RM::ColDate));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // By name: from the top, each person's lines newest first.
    click(RM::ColName);
    QCOMPARE(readAll(), total);
    QStringList names = column(RM::ColName);
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end());
    QCOMPARE(names, expected);
    QCOMPARE(header->sortIndicatorSection(), int(RM::ColName));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    const QStringList abe = shown().filter(u"阿部次郎"_s);
    QCOMPARE(abe.first(), u"2025/06/30 10:00 阿部次郎 巡回 29"_s);
    QCOMPARE(abe.last(), u"2025/06/01 10:00 阿部次郎 巡回 0"_s);
    // Again: the other way round.
    click(RM::ColName);
    QCOMPARE(readAll(), total);
    std::reverse(expected.begin(), expected.end());
    QCOMPARE(column(RM::ColName), expected);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // By place, every row once.
    click(RM::ColPlace);
    QCOMPARE(readAll(), total);
    QStringList places = column(RM::ColPlace);
    QStringList sortedPlaces = places;
    std::sort(sortedPlaces.begin(), sortedPlaces.end());
    QCOMPARE(places, sortedPlaces);
    const QStringList byPlace = shown();
    QCOMPARE(QSet<QString>(byPlace.begin(), byPlace.end()).size(), total);
    // 内容 has no order of its own: nothing changes, the indicator stays on 訪問先.
    const QStringList before = shown();
    click(RM::ColText);
    QCOMPARE(shown(), before);
    QCOMPARE(header->sortIndicatorSection(), int(RM::ColPlace));

    // 日付: newest first again, and the oldest first at a second click.
    click(RM::ColDate);
    QCOMPARE(shown().first(), u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s);
    click(RM::ColDate);
    QCOMPARE(readAll(), total);
    QCOMPARE(shown().first(), u"2025/06/01 10:00 鈴木一郎 巡回 0"_s);
    QCOMPARE(shown().last(), u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s);
    // Typing keeps the order chosen.
    w->txtキーワード->setFocus();
    typeText(u"見積"_s);
    settle();
    QCOMPARE(shown(), QStringList({u"2026/04/01 09:30 山田太郎 新製品の見積を提出"_s,
                                   u"2026/04/02 10:00 佐藤花子 abc商事へ見積の説明"_s,
                                   u"2026/05/10 09:00 山田太郎 年間契約の商談、見積依頼あり"_s}));
}

// Two lines at one customer on one day are one visit; a place typed as no visit leaves the
// counts, is kept as the user's setting and is there again in the next window.
void TstSearchWindow::visitsCountedOncePerDayAndPlace()
{
    QCOMPARE(
        storeLines(
            m_w->MainDb(),
            {{u"2026-06-01"_s, u"佐藤花子"_s, u"2026-06-01"_s, u"0900"_s, u"ABC商事"_s, {}, u"見積"_s, {}},
             {u"2026-06-01"_s, u"佐藤花子"_s, u"2026-06-01"_s, u"1600"_s, u"ABC商事"_s, {}, u"再訪"_s, {}},
             {u"2026-06-01"_s, u"佐藤花子"_s, u"2026-06-01"_s, u"1800"_s, u"社内"_s, {}, u"会議"_s, {}}}),
        QString());
    search::SearchWindow* w = openByKeys();
    QVERIFY(w);
    search::CountsPage* c = w->Tab集計;
    QCOMPARE(c->txt訪問除外->text(), QString());
    w->Tab検索->setCurrentWidget(c);
    QVERIFY(tallied(w));
    const auto rowOf = [c](const QString& place) {
        for (const QStringList& r : c->rows())
            if (r[0] == place)
                return r.mid(0, 3).join(u' ');
        return QString();
    };
    QCOMPARE(rowOf(u"ABC商事"_s), u"ABC商事 2 3"_s); // 04/02 once, 06/01 once over two lines
    QCOMPARE(rowOf(u"社内"_s), u"社内 1 1"_s);

    c->txt訪問除外->setFocus();
    typeText(u"社内、自社"_s);
    QTest::keyClick(c->txt訪問除外, Qt::Key_Return);
    QVERIFY(tallied(w));
    QCOMPARE(rowOf(u"社内"_s), QString());
    QCOMPARE(rowOf(u"ABC商事"_s), u"ABC商事 2 3"_s);
    QCOMPARE(search::notVisitPlaces(), QStringList({u"社内"_s, u"自社"_s}));
    // Per person: June holds two visits' worth of lines and the meeting, one visit.
    c->cmb集計->setCurrentIndex(1);
    QVERIFY(tallied(w));
    QVERIFY(c->rows().contains(QStringList({u"佐藤花子"_s, u"2026/06"_s, u"1"_s, u"3"_s, u"1"_s})));

    // A new window (the next session's) starts with the places kept.
    search::CountsPage next;
    QCOMPARE(next.txt訪問除外->text(), u"社内、自社"_s);
    QCOMPARE(next.notVisits(), QStringList({u"社内"_s, u"自社"_s}));
    search::setNotVisitPlaces({});
}

// Thousands of places or periods (a year of a busy team) are shown from the counts as they came,
// each cell as its row says, the chart from the same rows, and a row picked is the row shown.
void TstSearchWindow::manyCountsShownAsTheyCame()
{
    search::CountsPage page;
    QAbstractItemModelTester tester(page.Grid集計->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    search::CountsPage::Counts places;
    for (int i = 0; i < 5000; ++i)
        places.places << search::PlaceCount{u"訪問先%1"_s.arg(i),
                                            5000 - i,
                                            2 * (5000 - i),
                                            QDate(2026, 1, 1).addDays(i % 300),
                                            {u"佐藤"_s, u"鈴木"_s}};
    QVERIFY(page.show(places));
    QCOMPARE(page.rowCount(), 5000);
    QCOMPARE(page.Grid集計->model()->rowCount(), 5000);
    QCOMPARE(page.rows().at(4321),
             QStringList({u"訪問先4321"_s, u"679"_s, u"1,358"_s, u"2026/05/02"_s, u"佐藤、鈴木"_s}));
    QCOMPARE(page.text(0, 1), u"5,000"_s);
    QCOMPARE(page.Grid集計->model()->index(17, 0).data().toString(), u"訪問先17"_s);
    QCOMPARE(page.Chart集計->categories().size(), 15);
    QCOMPARE(page.Chart集計->series()[0].values.first(), 5000.0);
    QSignalSpy picked(&page, &search::CountsPage::placePicked);
    page.Grid集計->setCurrentIndex(page.Grid集計->model()->index(4321, 0));
    QTest::keyClick(page.Grid集計, Qt::Key_Return);
    QCOMPARE(picked.size(), 1);
    QCOMPARE(picked[0][0].toString(), u"訪問先4321"_s);

    // Per name and month: three names over many months, the chart's latest twelve.
    page.setView(search::CountsPage::View::Names);
    search::CountsPage::Counts names;
    names.view = search::CountsPage::View::Names;
    const QStringList people{u"佐藤"_s, u"鈴木"_s, u"田中"_s};
    for (const QString& who : people)
        for (int m = 0; m < 1000; ++m)
            names.names << search::NameCount{who, QDate(1940, 1, 1).addMonths(m), m + 1, m + 2, 1};
    QVERIFY(page.show(names));
    QCOMPARE(page.rowCount(), 3000);
    QCOMPARE(page.header(), QStringList({u"氏名"_s, u"月"_s, u"訪問回数"_s, u"行数"_s, u"日報数"_s}));
    QCOMPARE(page.rows().at(2999), QStringList({u"田中"_s, u"2023/04"_s, u"1,000"_s, u"1,001"_s, u"1"_s}));
    QCOMPARE(page.Chart集計->series().size(), 3);
    QCOMPARE(page.Chart集計->categories().size(), 12);
    QCOMPARE(page.Chart集計->categories().last(), u"2023/04"_s);
    QCOMPARE(page.Chart集計->series()[1].name, u"鈴木"_s);
    QCOMPARE(page.Chart集計->series()[1].values.last(), 1000.0);
    QCOMPARE(page.Chart集計->series()[2].values.first(), 989.0);
    // Counts made for the other view are not shown.
    QVERIFY(!page.show(places));
    QCOMPARE(page.rowCount(), 3000);
}

QTEST_MAIN(TstSearchWindow)
#include "tst_searchwindow.moc"
