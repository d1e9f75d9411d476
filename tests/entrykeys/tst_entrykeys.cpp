// The entry tab as a keyboard user meets it, and the mends of its wrong-line and wrong-date paths.
#include "Typing.h"
#include "WindowFixture.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/grid/GridColumns.h"
#include "ui/grid/GridDelegate.h"
#include <QScrollBar>
#include "report/ReportTab.h"
#include "store/Db.h"
#include "store/Rows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
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
    void tabAtLineEndGoesToNextDate();
    void fromLastByKey();
    void windowLaysItselfOut_data();
    void windowLaysItselfOut();
    void clearReturnsToCreationDate();
    void listKeysOpenCellLists_data();
    void listKeysOpenCellLists();
    // Last: a closed window ends the event loops for the rest of the process.
    void ctrlQClosesFromEveryTab_data();
    void ctrlQClosesFromEveryTab();

  private:
    QVariant work(const QString& sql, const QVariantList& args = {})
    {
        return firstValue(m_w->WorkDb(), sql, args);
    }
    QVariant main(const QString& sql, const QVariantList& args = {})
    {
        return firstValue(m_w->MainDb(), sql, args);
    }
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
    QTest::newRow("December report typed in January") << QDate(2025, 12, 26) << "12/26"
                                                      << "2025-12-26";
    QTest::newRow("visit after new year") << QDate(2025, 12, 26) << "1/5"
                                          << "2026-01-05";
    QTest::newRow("January report, December visit") << QDate(2026, 1, 3) << "12/29"
                                                    << "2025-12-29";
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
    } keys[] = {{r->cmd登録, "Ctrl+S"},   {r->cmd読込, "F5"},         {r->cmd印刷, "Ctrl+P"},
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

    for (const int col :
         {ReportTab::ColShowDate, ReportTab::ColTime, ReportTab::ColPlace, ReportTab::ColPerson}) {
        goTo(1, col);
        QTest::keyClick(r->Grid日報, Qt::Key_D, Qt::ControlModifier);
    }
    QCOMPARE(
        work("SELECT 表示日付 || 日付 || 時間 || 訪問先 || 担当 FROM w営業日報 WHERE 行番号 = 2").toString(),
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

// Tab from 備考, typed into or not, goes to the next line's date as Enter does; on the last line
// it leaves the grid for the buttons.
void TstEntryKeys::tabAtLineEndGoesToNextDate()
{
    goTo(0, ReportTab::ColNote);
    QTest::keyClick(r->Grid日報, Qt::Key_Tab);
    QCOMPARE(r->Grid日報->row(), 1);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColShowDate));
    // From an open editor, the value written first.
    goTo(1, ReportTab::ColNote);
    typeText("至急");
    QVERIFY(r->Grid日報->isEditing());
    pressKey(Qt::Key_Tab);
    QCOMPARE(work("SELECT 備考 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("至急"));
    QCOMPARE(r->Grid日報->row(), 2);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColShowDate));
    QCOMPARE(QApplication::focusWidget(), r->Grid日報);
    // Shift+Tab still walks back within the line.
    goTo(3, ReportTab::ColNote);
    QTest::keyClick(r->Grid日報, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(r->Grid日報->row(), 3);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColText));
    goTo(r->dat日報->rowCount() - 1, ReportTab::ColNote);
    QTest::keyClick(r->Grid日報, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), r->cmd行削除);
}

void TstEntryKeys::ctrlQClosesFromEveryTab_data()
{
    QTest::addColumn<int>("tab");
    QTest::newRow("営業日報") << 0;
    QTest::newRow("日報一覧") << 1;
    QTest::newRow("設定・情報") << 2;
}

// Ctrl+Q closes the window from whichever tab is shown, as 閉じる does; with the 内容 panel open
// it waits, as 閉じる does.
void TstEntryKeys::ctrlQClosesFromEveryTab()
{
    QFETCH(int, tab);
    if (tab == 0) {
        goTo(1, ReportTab::ColText);
        QTest::keyClick(r->Grid日報, Qt::Key_F2);
        QVERIFY(r->Cnテキスト入力->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(m_w->isVisible());
        QTest::keyClick(r->txt内容, Qt::Key_Escape);
    }
    m_w->SSTab1->setCurrentIndex(tab);
    QTRY_VERIFY(m_w->SSTab1->currentWidget()->isVisible());
    QWidget* focus = m_w->SSTab1->currentWidget()->focusWidget();
    QTest::keyClick(focus && focus->isVisible() ? focus : m_w->SSTab1->tabBar(), Qt::Key_Q,
                    Qt::ControlModifier);
    QTRY_VERIFY(!m_w->isVisible());
    QVERIFY(m_fx.boxes->shown.isEmpty());
}

// Ctrl+Shift+N is 前回から作成; its button names the key.
void TstEntryKeys::fromLastByKey()
{
    QVERIFY(r->cmd前回から作成->toolTip().contains("Ctrl+Shift+N"));
    QVERIFY(store::run(m_w->MainDb(),
                       "INSERT INTO 営業日報ヘッダ VALUES ('2026-01-05', '社員2', '営業部', '週報')")
                .ok());
    QVERIFY(store::run(m_w->MainDb(),
                       "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 訪問先, 内容) "
                       "VALUES ('2026-01-05', '社員2', 1, '2026-01-05', '2026-01-05', '山田商事', '見積')")
                .ok());
    r->cmb氏名->setFocus();
    typeText("社員2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    // A button's key clicks it as the mouse would, after it is shown pressed.
    QTRY_COMPARE(r->Dt日付->date(), QDate::currentDate());
    QCOMPARE(r->txtタイトル->text(), QString("週報"));
    QCOMPARE(
        work("SELECT 訪問先 || '/' || 日付 || '/' || coalesce(内容, '-') FROM w営業日報 WHERE 行番号 = 1")
            .toString(),
        QString("山田商事/%1/-").arg(QDate::currentDate().toString(Qt::ISODate)));
    // The hand goes where the typing is: the first line's 内容.
    QCOMPARE(QApplication::focusWidget(), r->Grid日報);
    QCOMPARE(r->Grid日報->row(), 0);
    QCOMPARE(r->Grid日報->col(), int(ReportTab::ColText));
    QVERIFY(m_fx.boxes->shown.isEmpty());
}

void TstEntryKeys::windowLaysItselfOut_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest, 800x560") << QSize(800, 560);
    QTest::newRow("default") << QSize(900, 660);
    QTest::newRow("1366x768") << QSize(1366, 768);
    QTest::newRow("1400x1000") << QSize(1400, 1000);
}

// Nothing is cut off or covered at any size down to 800x560; the default keeps the header's
// places; a wider window gives its width to the text columns, each in proportion.
void TstEntryKeys::windowLaysItselfOut()
{
    QFETCH(QSize, size);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    m_w->resize(size);
    QTRY_COMPARE(m_w->size(), size);
    for (int tab = 0; tab < 3; ++tab) {
        m_w->SSTab1->setCurrentIndex(tab);
        QWidget* page = m_w->SSTab1->currentWidget();
        QTRY_VERIFY(page->isVisible());
        QCoreApplication::processEvents();
        QList<QPair<QString, QRect>> seen;
        for (QWidget* w : page->findChildren<QWidget*>(Qt::FindChildrenRecursively)) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<DateInput*>(w) || w->objectName() == u"txtタイトル";
            if (!control || w->objectName().isEmpty() || !w->isVisible() ||
                w->parentWidget()->inherits("QComboBox") ||
                w->parentWidget()->inherits("QAbstractScrollArea") || w->window() != m_w)
                continue;
            const QRect at(w->mapTo(page, QPoint(0, 0)), w->size());
            QVERIFY2(page->rect().contains(at), qPrintable(w->objectName() + " cut off"));
            QVERIFY2(w->width() >= qMin(w->minimumSizeHint().width(), 60),
                     qPrintable(QStringLiteral("%1 %2 < %3")
                                    .arg(w->objectName())
                                    .arg(w->width())
                                    .arg(w->minimumSizeHint().width())));
            for (const auto& [name, other] : seen)
                QVERIFY2(!at.intersects(other), qPrintable(w->objectName() + " covers " + name));
            seen.append({w->objectName(), at});
        }
    }
    m_w->SSTab1->setCurrentIndex(0);
    DataGrid* g = r->Grid日報;
    QTRY_VERIFY(g->isVisible());
    // TESVAN_SHOTS names a folder for pictures of each size, to look at.
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty())
        for (int tab = 2; tab >= 0; --tab) {
            m_w->SSTab1->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            m_w->grab().save(QStringLiteral("%1/window-%2x%3-tab%4.png")
                                 .arg(shots)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(tab));
        }
    auto base = [g](double twips) { return qRound(twips * g->logicalDpiX() / 1440); };
    if (size == QSize(900, 660)) {
        // The described places: the creation date 1080 twips in, 2010 wide; the lists 190 px.
        QVERIFY(qAbs(r->Dt日付->x() - base(1080)) <= 1);
        QVERIFY(qAbs(r->Dt日付->width() - base(2010)) <= 1);
        QCOMPARE(r->cmb氏名->width(), 190);
        QCOMPARE(r->cmb所属->width(), 190);
    }
    int used = 0;
    for (int c = 0; c < g->model()->columnCount(); ++c)
        if (!g->isColumnHidden(c))
            used += g->columnWidth(c);
    const struct {
        int col;
        double twips;
    } text[] = {{ReportTab::ColPlace, 1950.236},
                {ReportTab::ColPerson, 1240},
                {ReportTab::ColText, 3690},
                {ReportTab::ColNote, 2300}};
    // Every column in view, no grey area beside the last one.
    QCOMPARE(used, g->viewport()->width());
    QVERIFY(!g->horizontalScrollBar()->isVisible());
    // Only a window smaller than the default narrows the text columns, and not far.
    const int share = size.width() < 900 ? GridColumns::kNarrowestShare : 100;
    for (const auto& c : text)
        QVERIFY(g->columnWidth(c.col) >= base(c.twips) * share / 100 - 1);
    QCOMPARE(g->columnWidth(ReportTab::ColTime), base(764.7874));
    if (size.width() >= 1366) {
        // Every text column takes a share of the width, in proportion to its own.
        const double place = double(g->columnWidth(ReportTab::ColPlace)) / base(1950.236);
        QVERIFY2(place > 1.2, qPrintable(QString::number(place)));
        for (const auto& c : text)
            QVERIFY(qAbs(double(g->columnWidth(c.col)) / base(c.twips) - place) < 0.05);
    }
    QVERIFY(g->columnWidth(ReportTab::ColNo) >= g->fontMetrics().horizontalAdvance("100") + 4);
    QVERIFY(g->columnWidth(ReportTab::ColShowDate) >= r->Dt日付入力->minimumSizeHint().width());
}

// Ctrl+N from the middle of the grid: a new report starts at its creation date.
void TstEntryKeys::clearReturnsToCreationDate()
{
    m_w->show();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    goTo(4, ReportTab::ColPlace);
    QTRY_COMPARE(QApplication::focusWidget(), r->Grid日報);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::focusWidget(), r->Dt日付);
    QVERIFY(r->Dt日付->isNull());
    // The clear button itself does the same.
    goTo(2, ReportTab::ColTime);
    QTest::mouseClick(r->cmdクリア, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), r->Dt日付);
}

void TstEntryKeys::listKeysOpenCellLists_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::newRow("訪問先 F4") << int(ReportTab::ColPlace) << int(Qt::Key_F4) << int(Qt::NoModifier);
    QTest::newRow("訪問先 Alt+Down") << int(ReportTab::ColPlace) << int(Qt::Key_Down) << int(Qt::AltModifier);
    QTest::newRow("備考 F4") << int(ReportTab::ColNote) << int(Qt::Key_F4) << int(Qt::NoModifier);
    QTest::newRow("備考 Alt+Down") << int(ReportTab::ColNote) << int(Qt::Key_Down) << int(Qt::AltModifier);
    QTest::newRow("日付 F4 opens the calendar")
        << int(ReportTab::ColShowDate) << int(Qt::Key_F4) << int(Qt::NoModifier);
}

// From a selected cell, F4 and Alt+Down open the cell's list; its arrow shows on the cell.
void TstEntryKeys::listKeysOpenCellLists()
{
    QFETCH(int, col);
    QFETCH(int, key);
    QFETCH(int, mods);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    for (const char* table : {"w訪問先", "w備考"})
        QCOMPARE(store::run(m_w->WorkDb(),
                            QStringLiteral("INSERT INTO %1 (sname) VALUES ('東京商事'), ('大阪物産')")
                                .arg(QString::fromUtf8(table))),
                 QString());
    DataGrid* g = r->Grid日報;
    goTo(3, ReportTab::ColTime);
    QTRY_COMPARE(QApplication::focusWidget(), g);
    // The arrow: dark pixels at the right of the empty current cell, none on a plain one.
    auto arrowInk = [g](int col) {
        const QRect cell = g->visualRect(g->model()->index(3, col));
        const QImage img = g->viewport()->grab(cell).toImage();
        // Ink is what stands out from the cell's own background, left of any arrow.
        const int back = qGray(img.pixel(4, img.height() / 2));
        const QRect arrow =
            GridDelegate::listArrowRect(cell).translated(-cell.topLeft()).adjusted(4, 4, -4, -4);
        int ink = 0;
        for (int y = arrow.top(); y <= arrow.bottom(); ++y)
            for (int x = arrow.left(); x <= arrow.right(); ++x)
                ink += qAbs(qGray(img.pixel(x, y)) - back) > 60;
        return ink;
    };
    QCOMPARE(arrowInk(ReportTab::ColTime), 0);
    g->setCol(col);
    QTRY_VERIFY(arrowInk(col) > 0);
    QTest::keyClick(g, Qt::Key(key), Qt::KeyboardModifiers(mods));
    if (col == ReportTab::ColShowDate) {
        QTRY_VERIFY(r->Dt日付入力->isCalendarVisible());
        r->Dt日付入力->hideCalendar();
    } else {
        DropDown* dd = col == ReportTab::ColPlace ? r->DD訪問先 : r->DD備考;
        QTRY_VERIFY(dd->view()->isVisible());
        dd->hidePopup();
    }
    QCOMPARE(g->row(), 3);
    QCOMPARE(g->col(), col);
    // Down alone still moves to the next line.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(QApplication::focusWidget(), g);
    QTest::keyClick(g, Qt::Key_Down);
    QCOMPARE(g->row(), 4);
}

QTEST_MAIN(TstEntryKeys)
#include "tst_entrykeys.moc"
