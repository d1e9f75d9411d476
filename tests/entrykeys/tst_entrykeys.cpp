// The entry tab as a keyboard user meets it, and the mends of its wrong-line and wrong-date paths.
#include "Typing.h"
#include "WindowFixture.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "report/ReportTab.h"

#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using namespace testing;

class TstEntryKeys : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void panelBelongsToItsLine();
    void mistypedCreationDateStops_data();
    void mistypedCreationDateStops();
    void yearlessLineDateNearCreationDate_data();
    void yearlessLineDateNearCreationDate();
    void enterWalksTheHeader();
    void commandKeys();
    void dateKeys();
    void fillDown();
    void timeAsDisplayed();
    void mistypedLineDateStaysInItsEditor();
    void emojiStartsACell();
    void tabOrderAroundTheGrid();
    void windowGrows();

private:
    QVariant work(const QString& sql, const QVariantList& args = {}) { return firstValue(m_w->WorkDb(), sql, args); }
    QVariant main(const QString& sql, const QVariantList& args = {}) { return firstValue(m_w->MainDb(), sql, args); }
    void goTo(int row, int col)
    {
        r->Grid日報->setFocus();
        r->Grid日報->setRow(row);
        r->Grid日報->setCol(col);
    }
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstEntryKeys::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    r = m_w->reportTab();
}

void TstEntryKeys::cleanup()
{
    m_fx.stop();
}

// Opened on line 2, the panel writes into line 2 whatever the user clicks meanwhile, and
// nothing else on the tab acts until it is closed.
void TstEntryKeys::panelBelongsToItsLine()
{
    QCOMPARE(r->Grid日報->setColumnValue(ReportTab::ColText, QVariant()), QString());
    goTo(0, ReportTab::ColText);
    typeText("一行目");
    pressKey(Qt::Key_Return);
    goTo(1, ReportTab::ColText);
    QTest::keyClick(r->Grid日報, Qt::Key_F2);
    QVERIFY(r->Cnテキスト入力->isVisible());
    QCOMPARE(QApplication::focusWidget(), r->txt内容);
    typeText("二行目の内容");

    // A click on line 1 and on 登録 do nothing while the panel is open.
    QVERIFY(!r->Grid日報->isEnabled());
    const QRect line1 = r->Grid日報->visualRect(r->Grid日報->model()->index(0, ReportTab::ColPlace));
    QTest::mouseClick(r->Grid日報->viewport(), Qt::LeftButton, {}, line1.center());
    QCOMPARE(r->Grid日報->row(), 1);
    r->cmd登録->click();
    QVERIFY(m_fx.boxes->shown.isEmpty());
    QTest::keyClick(r->txt内容, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(m_fx.boxes->shown.isEmpty());

    // Tab leaves the text for 決定; the buttons show their keys.
    QTest::keyClick(r->txt内容, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), r->cmd入力書込);
    QCOMPARE(r->txt内容->toPlainText(), QString("二行目の内容"));
    QVERIFY(r->cmd入力書込->toolTip().contains("Ctrl+Enter"));
    QVERIFY(r->cmd入力閉じる->toolTip().contains("Esc"));
    QTest::keyClick(r->cmd入力書込, Qt::Key_Space);

    QVERIFY(!r->Cnテキスト入力->isVisible());
    QVERIFY(r->Grid日報->isEnabled() && r->cmd登録->isEnabled());
    QCOMPARE(work("SELECT 内容 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("一行目"));
    QCOMPARE(work("SELECT 内容 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("二行目の内容"));

    // Escape from a button of the panel closes it without writing.
    goTo(1, ReportTab::ColText);
    QTest::keyClick(r->Grid日報, Qt::Key_F2);
    QTest::keyClick(r->txt内容, Qt::Key_A);
    QTest::keyClick(r->txt内容, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!r->Cnテキスト入力->isVisible());
    QCOMPARE(work("SELECT 内容 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("二行目の内容"));
}

void TstEntryKeys::mistypedCreationDateStops_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("登録") << "cmd登録";
    QTest::newRow("読込") << "cmd読込";
}

// A mistyped creation date never falls back to the date before it: the report of that date
// is neither overwritten nor read.
void TstEntryKeys::mistypedCreationDateStops()
{
    QFETCH(QString, button);
    r->Dt日付->setFocus();
    typeText("2026/04/01");
    pressKey(Qt::Key_Return);
    QCOMPARE(r->Dt日付->date(), QDate(2026, 4, 1));
    r->cmb氏名->setEditText("山田");
    r->Dt日付->setFocus();
    r->Dt日付->selectAll();
    typeText("2026/04/31");
    pressKey(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), r->Dt日付); // Enter does not move on from a wrong date
    QVERIFY(r->Dt日付->isInvalid());
    QCOMPARE(r->Dt日付->text(), QString("2026/04/31"));
    QCOMPARE(r->Dt日付->toolTip(), QString("日付が正しくありません"));

    r->cmb氏名->setFocus();
    m_w->findChild<QPushButton*>(button)->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].text, QString("作成日を記入してください。"));
    QCOMPARE(QApplication::focusWidget(), r->Dt日付);
    QCOMPARE(main("SELECT count(*) FROM 営業日報ヘッダ").toInt(), 0);
}

void TstEntryKeys::yearlessLineDateNearCreationDate_data()
{
    QTest::addColumn<QDate>("created");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("December report typed in January") << QDate(2025, 12, 26) << "12/26" << "2025-12-26";
    QTest::newRow("visit after new year") << QDate(2025, 12, 26) << "1/5" << "2026-01-05";
    QTest::newRow("January report, December visit") << QDate(2026, 1, 3) << "12/29" << "2025-12-29";
    QTest::newRow("no creation date: near today")
        << QDate() << QDate::currentDate().toString("MM/dd") << QDate::currentDate().toString(Qt::ISODate);
}

void TstEntryKeys::yearlessLineDateNearCreationDate()
{
    QFETCH(QDate, created);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    r->Dt日付->setDate(created);
    goTo(0, ReportTab::ColShowDate);
    typeText(typed);
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 1").toString(), stored);
    QCOMPARE(work("SELECT 日付 FROM w営業日報 WHERE 行番号 = 1").toString(), stored);
}

// Enter walks the header from 作成日 to the first line's date, Tab and Shift+Tab the same way.
void TstEntryKeys::enterWalksTheHeader()
{
    r->Dt日付->setFocus();
    typeText("20261208");
    pressKey(Qt::Key_Return);
    QCOMPARE(r->Dt日付->date(), QDate(2026, 12, 8));
    QVERIFY(r->cmb氏名->hasFocus());
    typeText("山田");
    pressKey(Qt::Key_Return);
    QVERIFY(r->cmb所属->hasFocus());
    QCOMPARE(r->cmb氏名->currentText(), QString("山田"));
    pressKey(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), r->txtタイトル);
    typeText("週報");
    pressKey(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), r->Grid日報);
    QCOMPARE(r->Grid日報->row(), 0);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColShowDate));

    r->txtタイトル->setFocus();
    QTest::keyClick(r->txtタイトル, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(r->cmb所属->hasFocus());
}

// Every command of the tab has its key, and the tooltip says which.
void TstEntryKeys::commandKeys()
{
    const struct {
        CommandButton* button;
        QString key;
    } keys[] = {{r->cmd登録, "Ctrl+S"}, {r->cmd読込, "F5"},        {r->cmd印刷, "Ctrl+P"},
                {r->cmdクリア, "Ctrl+N"}, {r->cmd行削除, "Ctrl+Del"}, {r->cmd閉じる, "Ctrl+Q"}};
    for (const auto& k : keys)
        QVERIFY2(k.button->toolTip().contains(k.key), qPrintable(k.button->toolTip()));
    QVERIFY(r->cmd読込->toolTip().contains("Ctrl+O"));

    r->Dt日付->setDate(QDate(2026, 4, 1));
    r->cmb氏名->setEditText("山田");
    m_fx.boxes->answers = {false};
    QTest::keyClick(m_w, Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, QString("登録の確認"));

    // F5 and Ctrl+O read; without a name both say so.
    r->cmb氏名->setEditText(QString());
    QTest::keyClick(m_w, Qt::Key_F5);
    QTRY_COMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].text, QString("氏名を記入してください。"));
    QTest::keyClick(m_w, Qt::Key_O, Qt::ControlModifier);
    QTRY_COMPARE(m_fx.boxes->shown.size(), 3);
    QCOMPARE(m_fx.boxes->shown[2].text, QString("氏名を記入してください。"));
}

// Ctrl+; is today in both date inputs; Up and Down step the creation date by a day.
void TstEntryKeys::dateKeys()
{
    r->Dt日付->setFocus();
    QTest::keyClick(r->Dt日付, Qt::Key_Semicolon, Qt::ControlModifier);
    QCOMPARE(r->Dt日付->date(), QDate::currentDate());
    QTest::keyClick(r->Dt日付, Qt::Key_Down);
    QCOMPARE(r->Dt日付->date(), QDate::currentDate().addDays(-1));
    QTest::keyClick(r->Dt日付, Qt::Key_Up);
    QTest::keyClick(r->Dt日付, Qt::Key_Up);
    QCOMPARE(r->Dt日付->date(), QDate::currentDate().addDays(1));

    goTo(2, ReportTab::ColShowDate);
    typeText("1");
    QVERIFY(r->Grid日報->isEditing());
    QWidget* editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier); // select what was typed
    QTest::keyClick(editor, Qt::Key_Semicolon, Qt::ControlModifier);
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 3").toString(),
             QDate::currentDate().toString(Qt::ISODate));
}

// Ctrl+D copies the same column of the line above, and the rules of a typed value apply.
void TstEntryKeys::fillDown()
{
    r->Dt日付->setDate(QDate(2026, 4, 1));
    goTo(0, ReportTab::ColShowDate);
    typeText("4/2");
    pressKey(Qt::Key_Return); // on to the time
    typeText("0930");
    pressKey(Qt::Key_Return);
    typeText("山田商事");
    pressKey(Qt::Key_Return);
    typeText("佐藤");
    pressKey(Qt::Key_Return);

    for (const int col : {ReportTab::ColShowDate, ReportTab::ColTime, ReportTab::ColPlace, ReportTab::ColPerson}) {
        goTo(1, col);
        QTest::keyClick(r->Grid日報, Qt::Key_D, Qt::ControlModifier);
    }
    QCOMPARE(work("SELECT 表示日付 || 日付 || 時間 || 訪問先 || 担当 FROM w営業日報 WHERE 行番号 = 2").toString(),
             QString("2026-04-022026-04-020930山田商事佐藤"));
    // On the first line there is nothing above.
    goTo(0, ReportTab::ColPlace);
    QTest::keyClick(r->Grid日報, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(work("SELECT 訪問先 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("山田商事"));
}

void TstEntryKeys::timeAsDisplayed()
{
    goTo(0, ReportTab::ColTime);
    typeText("09:30");
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 時間 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("0930"));
    goTo(1, ReportTab::ColTime);
    typeText("１７：４５");
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 時間 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("1745"));
    goTo(2, ReportTab::ColTime);
    typeText("930");
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 時間 FROM w営業日報 WHERE 行番号 = 3").toString(), QString("0930"));
}

// A line date that is not a date keeps its editor open and marked; Escape gives the cell back.
void TstEntryKeys::mistypedLineDateStaysInItsEditor()
{
    goTo(0, ReportTab::ColShowDate);
    typeText("4/2");
    pressKey(Qt::Key_Return);
    goTo(0, ReportTab::ColShowDate);
    typeText("13/45");
    pressKey(Qt::Key_Return);
    QVERIFY(r->Grid日報->isEditing());
    QCOMPARE(r->Grid日報->activeEditor(), r->Dt日付入力);
    QVERIFY(r->Dt日付入力->isInvalid());
    QCOMPARE(r->Dt日付入力->text(), QString("13/45"));
    const QString kept = work("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 1").toString();
    QVERIFY(kept.endsWith("-04-02"));

    // 登録 stops on it rather than registering around it.
    r->Dt日付->setDate(QDate(2026, 4, 2));
    r->cmb氏名->setEditText("山田");
    r->cmd登録->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QVERIFY(m_fx.boxes->shown[0].text.contains("日付が正しくありません"));
    QCOMPARE(main("SELECT count(*) FROM 営業日報ヘッダ").toInt(), 0);

    // Escape drops the entry and the cell is as it was.
    r->Dt日付入力->setFocus();
    pressKey(Qt::Key_Escape);
    QVERIFY(!r->Grid日報->isEditing());
    QCOMPARE(work("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 1").toString(), kept);
}

// A character outside the basic plane typed first into a cell is kept.
void TstEntryKeys::emojiStartsACell()
{
    goTo(0, ReportTab::ColPerson);
    typeText(QString::fromUtf8("😀山田"));
    pressKey(Qt::Key_Return);
    QCOMPARE(work("SELECT 担当 FROM w営業日報 WHERE 行番号 = 1").toString(), QString::fromUtf8("😀山田"));
}

// Shift+Tab from the grid's first cell goes back to the title; Ctrl+Tab leaves for the buttons.
void TstEntryKeys::tabOrderAroundTheGrid()
{
    goTo(0, ReportTab::ColShowDate);
    QTest::keyClick(r->Grid日報, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColCheck));
    QTest::keyClick(r->Grid日報, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), r->txtタイトル);
    goTo(3, ReportTab::ColPlace);
    QTest::keyClick(r->Grid日報, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), r->cmd行削除);
}

// Extra width goes to 内容 and extra height to the grid; line 100's number shows whole.
void TstEntryKeys::windowGrows()
{
    DataGrid* g = r->Grid日報;
    const int textBefore = g->columnWidth(ReportTab::ColText);
    const int gridHeight = g->height();
    const QSize start = m_w->size();
    m_w->resize(1400, 1000);
    QTRY_VERIFY(g->columnWidth(ReportTab::ColText) > textBefore + 300);
    QVERIFY(g->height() > gridHeight + 200);
    int used = 0;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        if (!g->isColumnHidden(c))
            used += g->columnWidth(c);
    QCOMPARE(used, g->viewport()->width()); // no grey area beside the last column
    QCOMPARE(g->columnWidth(ReportTab::ColPlace), qRound(1950.236 * g->logicalDpiX() / 1440));
    QVERIFY(g->columnWidth(ReportTab::ColNo) >= g->fontMetrics().horizontalAdvance("100") + 4);
    // The date column is as wide as its editor, so the editor fits its cell.
    QVERIFY(g->columnWidth(ReportTab::ColShowDate) >= r->Dt日付入力->minimumSizeHint().width());
    m_w->resize(start);
    QTRY_COMPARE(g->columnWidth(ReportTab::ColText), textBefore);
}

QTEST_MAIN(TstEntryKeys)
#include "tst_entrykeys.moc"
