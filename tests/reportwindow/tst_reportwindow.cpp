// The 営業日報 tab driven through its controls: typing, reading, registering.
#include "Dialogs.h"
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "codes/PickLists.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DateText.h"
#include "ui/DropDown.h"
#include "report/ReportTab.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using namespace testing;

class TstReportWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void validation_data();
    void validation();
    void noKeepsMainFileUnchanged();
    void lastTypedValueIsRegistered();
    void timeTyped_data();
    void timeTyped();
    void dateMirrorsIntoHiddenColumn();
    void enterInLastColumn();
    void inputMethodFollowsColumn();
    void popupEditor();
    void longContentsRoundTrip();
    void awkwardNames_data();
    void awkwardNames();
    void failedRegistrationKeepsEarlierVersion();
    void lineCommands();
    void readFillsHeader();
    void learntNamesOfferedAtOnce();
    void userScenario();
    void creationDateTypedStands_data();
    void creationDateTypedStands();

  private:
    void setHeader(const QDate& d, const QString& name, const QString& dept = {}, const QString& title = {});
    void editCell(int row, int col, const QString& text);
    QVariant mainValue(const QString& sql, const QVariantList& args = {});
    QVariant workValue(const QString& sql, const QVariantList& args = {});
    WindowFixture m_fx;
    ScriptedBoxes* m_boxes = nullptr;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstReportWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    m_boxes = m_fx.boxes.get();
    r = m_w->reportTab();
}

void TstReportWindow::cleanup()
{
    m_fx.stop();
}

QVariant TstReportWindow::mainValue(const QString& sql, const QVariantList& args)
{
    return firstValue(m_w->MainDb(), sql, args);
}

QVariant TstReportWindow::workValue(const QString& sql, const QVariantList& args)
{
    return firstValue(m_w->WorkDb(), sql, args);
}

void TstReportWindow::setHeader(const QDate& d, const QString& name, const QString& dept,
                                const QString& title)
{
    if (d.isValid())
        r->Dt日付->setDate(d);
    else
        r->Dt日付->setNull();
    r->cmb氏名->setEditText(name);
    r->cmb所属->setEditText(dept);
    r->txtタイトル->setText(title);
}

// Goes to the cell, types the text and leaves the editor open (no Enter).
void TstReportWindow::editCell(int row, int col, const QString& text)
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(row);
    g->setCol(col);
    typeText(text);
}

void TstReportWindow::validation_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<bool>("withDate");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("focus");
    QTest::newRow("read without date") << true << false << "作成日を記入してください。"
                                       << "Dt日付";
    QTest::newRow("read without name") << true << true << "氏名を記入してください。"
                                       << "cmb氏名";
    QTest::newRow("register without date") << false << false << "作成日を記入してください。"
                                           << "Dt日付";
    QTest::newRow("register without name") << false << true << "氏名を記入してください。"
                                           << "cmb氏名";
}

void TstReportWindow::validation()
{
    QFETCH(bool, reading);
    QFETCH(bool, withDate);
    QFETCH(QString, notice);
    QFETCH(QString, focus);
    setHeader(withDate ? QDate(2026, 4, 1) : QDate(), withDate ? QString() : QString("山田"));
    editCell(0, 7, "残す内容");
    pressKey(Qt::Key_Return);
    const QByteArray before = readAll(m_w->paths().mainDbPath);
    (reading ? r->cmd読込 : r->cmd登録)->click();
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown[0].title, QString("キーチェック"));
    QCOMPARE(m_boxes->shown[0].text, notice);
    QVERIFY(!m_boxes->shown[0].yesNo);
    QWidget* f = QApplication::focusWidget();
    QVERIFY(f);
    QVERIFY2(f->objectName() == focus || (f->parentWidget() && f->parentWidget()->objectName() == focus),
             qPrintable(f->objectName()));
    // The grid kept its line; nothing was stored.
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("残す内容"));
    QCOMPARE(readAll(m_w->paths().mainDbPath), before);
}

void TstReportWindow::noKeepsMainFileUnchanged()
{
    setHeader(QDate(2026, 4, 1), "山田", "営業部", "t");
    editCell(0, 7, "x");
    pressKey(Qt::Key_Return);
    const QByteArray before = readAll(m_w->paths().mainDbPath);
    m_boxes->answers = {false};
    r->cmd登録->click();
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown[0].title, QString("登録の確認"));
    QCOMPARE(m_boxes->shown[0].text, QString("日報 を登録します。よろしいですか"));
    QCOMPARE(readAll(m_w->paths().mainDbPath), before);
}

void TstReportWindow::lastTypedValueIsRegistered()
{
    setHeader(QDate(2026, 4, 1), "山田");
    editCell(0, 7, "最後の入力");
    // The editor is still open when 登録 is pressed.
    r->cmd登録->click();
    QCOMPARE(mainValue("SELECT 内容 FROM 営業日報 WHERE 氏名 = ? AND 行番号 = 1", {"山田"}).toString(),
             QString("最後の入力"));
}

void TstReportWindow::timeTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored"); // Null: no time, kept in the cell and marked
    const QVariant null;
    QTest::newRow("0930 stays") << "0930" << QVariant("0930");
    QTest::newRow("930 is 09:30") << "930" << QVariant("0930");
    QTest::newRow("9:30 is 09:30") << "9:30" << QVariant("0930");
    QTest::newRow("2400 upper bound") << "2400" << QVariant("2400");
    QTest::newRow("1260 upper bound") << "1260" << QVariant("1260");
    QTest::newRow("2501 hour too big") << "2501" << null;
    QTest::newRow("1261 minute too big") << "1261" << null;
    QTest::newRow("ab12 not a number") << "ab12" << null;
    QTest::newRow("full-width digits") << "０９３０" << QVariant("0930");
    QTest::newRow("leading blank") << " 930" << QVariant("0930");
    QTest::newRow("decimal point") << "1.30" << null;
    QTest::newRow("one-digit minutes") << "12:5" << null;
}

void TstReportWindow::timeTyped()
{
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    editCell(3, 4, typed);
    pressKey(Qt::Key_Return);
    const QVariant v = workValue("SELECT 時間 FROM w営業日報 WHERE 行番号 = 4");
    QCOMPARE(v.isNull(), stored.isNull());
    DataGrid* g = r->Grid日報;
    if (stored.isNull()) {
        // Not a time: nothing written, the text stays where it was typed, marked red.
        QVERIFY(m_boxes->shown.isEmpty());
        auto* le = qobject_cast<QLineEdit*>(g->activeEditor());
        QVERIFY(le);
        QCOMPARE(le->text(), typed);
        QVERIFY(le->styleSheet().contains("#d01010"));
        QCOMPARE(le->toolTip(), QString("時間が正しくありません"));
        QCOMPARE(g->col(), 4);
        // Escape drops it, and the cell is as it was.
        pressKey(Qt::Key_Escape);
        QVERIFY(!g->isEditing());
        QVERIFY(workValue("SELECT 時間 FROM w営業日報 WHERE 行番号 = 4").isNull());
        return;
    }
    QCOMPARE(v.toString(), stored.toString());
    g->setRow(3);
    QCOMPARE(g->columnText(4), stored.toString().insert(2, u':'));
}

void TstReportWindow::dateMirrorsIntoHiddenColumn()
{
    editCell(1, 2, "26/04/03");
    pressKey(Qt::Key_Return);
    QCOMPARE(workValue("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("2026-04-03"));
    QCOMPARE(workValue("SELECT 日付 FROM w営業日報 WHERE 行番号 = 2").toString(), QString("2026-04-03"));
    r->Grid日報->setRow(1);
    QCOMPARE(r->Grid日報->columnText(2), QString("04/03"));
    // Emptying the date empties the hidden one too.
    DataGrid* g = r->Grid日報;
    g->setRow(1);
    g->setCol(2);
    pressKey(Qt::Key_F2);
    QWidget* ed = QApplication::focusWidget();
    QVERIFY(ed);
    if (auto* le = qobject_cast<QLineEdit*>(ed))
        le->clear();
    pressKey(Qt::Key_Return);
    QVERIFY(workValue("SELECT 表示日付 FROM w営業日報 WHERE 行番号 = 2").isNull());
    QVERIFY(workValue("SELECT 日付 FROM w営業日報 WHERE 行番号 = 2").isNull());
}

void TstReportWindow::enterInLastColumn()
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(9);
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 10);
    QCOMPARE(g->col(), 2);
    g->setRow(99);
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 99);
    QCOMPARE(g->col(), 2);
    QVERIFY(!g->isEof());
    // Typing a remark and Enter also starts the next line.
    editCell(4, 8, "備考です");
    pressKey(Qt::Key_Return);
    QCOMPARE(workValue("SELECT 備考 FROM w営業日報 WHERE 行番号 = 5").toString(), QString("備考です"));
    QCOMPARE(g->row(), 5);
    QCOMPARE(g->col(), 2);
}

void TstReportWindow::inputMethodFollowsColumn()
{
    DataGrid* g = r->Grid日報;
    QWidget* ime = g->imeWindow();
    g->setFocus();
    g->setRow(0);
    g->setCol(6);
    QVERIFY(ime->testAttribute(Qt::WA_InputMethodEnabled));
    g->setCol(4);
    QVERIFY(!ime->testAttribute(Qt::WA_InputMethodEnabled));
    for (int c : {5, 7, 8}) {
        g->setCol(c);
        QVERIFY(ime->testAttribute(Qt::WA_InputMethodEnabled));
    }
    g->setCol(2);
    QVERIFY(!ime->testAttribute(Qt::WA_InputMethodEnabled));
}

void TstReportWindow::popupEditor()
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(2);
    g->setCol(7);
    // An empty contents cell opens an empty editor.
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(2, 7)).center());
    QVERIFY(r->Cnテキスト入力->isVisible());
    QCOMPARE(r->txt内容->toPlainText(), QString());
    QCOMPARE(QApplication::focusWidget(), r->txt内容);
    typeText("一行目\n二行目");
    r->cmd入力書込->click();
    QVERIFY(r->Cnテキスト入力->isHidden());
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 3").toString(), QString("一行目\n二行目"));
    QCOMPARE(g->col(), 7);
    QCOMPARE(QApplication::focusWidget(), g);

    // 閉じる after typing keeps the cell.
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(2, 7)).center());
    QCOMPARE(r->txt内容->toPlainText(), QString("一行目\n二行目"));
    typeText("捨てる");
    r->cmd入力閉じる->click();
    QVERIFY(r->Cnテキスト入力->isHidden());
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 3").toString(), QString("一行目\n二行目"));

    // Only the contents column opens it.
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(2, 6)).center());
    QVERIFY(r->Cnテキスト入力->isHidden());
}

void TstReportWindow::longContentsRoundTrip()
{
    QString text;
    for (int i = 0; text.size() < 20000; ++i)
        text += QString("行%1：訪問内容の記録です。\n").arg(i);
    text.truncate(20000);
    setHeader(QDate(2026, 5, 15), "長文");
    r->Grid日報->setRow(0);
    r->Grid日報->setCol(7);
    r->cellAction();
    r->txt内容->setPlainText(text);
    r->cmd入力書込->click();
    r->cmd登録->click();
    r->Clear日報();
    setHeader(QDate(2026, 5, 15), "長文");
    r->cmd読込->click();
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 1").toString(), text);
    QCOMPARE(m_boxes->shown.size(), 1); // the confirmation only
}

void TstReportWindow::awkwardNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("single quote") << "O'Brien";
    QTest::newRow("percent") << "100%";
    QTest::newRow("underscore") << "a_b";
    QTest::newRow("backslash") << "C:\\名前";
    QTest::newRow("emoji") << "営業😀太郎";
    QTest::newRow("1000 characters") << QString(1000, QChar(0x540D));
}

void TstReportWindow::awkwardNames()
{
    QFETCH(QString, name);
    const QDate d(2026, 6, 1);
    // A neighbour whose name a pattern match would confuse with the awkward one.
    setHeader(d, "aXb", "隣", "隣のタイトル");
    editCell(0, 7, "隣の内容");
    r->cmd登録->click();
    setHeader(d, name, name + "部", name + "の報告");
    editCell(0, 7, name + "の内容");
    r->cmd登録->click();
    QCOMPARE(mainValue("SELECT count(*) FROM 営業日報ヘッダ").toInt(), 2);
    r->Clear日報();
    setHeader(d, name);
    r->cmd読込->click();
    QCOMPARE(r->cmb氏名->currentText(), name);
    QCOMPARE(r->cmb所属->currentText(), name + "部");
    QCOMPARE(r->txtタイトル->text(), name + "の報告");
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 1").toString(), name + "の内容");
    QVERIFY(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 2").isNull());
    QCOMPARE(mainValue("SELECT 内容 FROM 営業日報 WHERE 氏名 = 'aXb'").toString(), QString("隣の内容"));
}

void TstReportWindow::failedRegistrationKeepsEarlierVersion()
{
    setHeader(QDate(2026, 4, 1), "山田", "営業部", "初版");
    editCell(0, 7, "初版の内容");
    r->cmd登録->click();
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec("CREATE TRIGGER fail_second AFTER INSERT ON 営業日報 WHEN NEW.行番号 = 2 "
                   "BEGIN SELECT RAISE(ABORT, 'disk quota'); END"));
    r->txtタイトル->setText("第二版");
    editCell(0, 7, "第二版の一行目");
    editCell(1, 7, "第二版の二行目");
    pressKey(Qt::Key_Return);
    m_boxes->shown.clear();
    r->cmd登録->click();
    QCOMPARE(m_boxes->shown.size(), 2);
    QCOMPARE(m_boxes->shown[1].title, QString("注意"));
    QVERIFY(m_boxes->shown[1].text.contains("disk quota"));
    QCOMPARE(mainValue("SELECT タイトル FROM 営業日報ヘッダ WHERE 氏名 = '山田'").toString(),
             QString("初版"));
    QCOMPARE(mainValue("SELECT count(*) FROM 営業日報").toInt(), 1);
    QCOMPARE(mainValue("SELECT 内容 FROM 営業日報").toString(), QString("初版の内容"));
}

void TstReportWindow::lineCommands()
{
    QSqlQuery q(m_w->WorkDb());
    QVERIFY(q.exec(
        "UPDATE w営業日報 SET 表示日付 = '2026-04-01', 日付 = '2026-04-01', 内容 = 'x' WHERE 行番号 <= 2"));
    QVERIFY(r->dat日報->refresh().ok());
    r->cmd全選択->click();
    QCOMPARE(workValue("SELECT group_concat(行番号) FROM w営業日報 WHERE チェック = 1").toString(),
             QString("1,2"));
    r->cmd全解除->click();
    QCOMPARE(workValue("SELECT count(*) FROM w営業日報 WHERE チェック = 1").toInt(), 0);
    // Tick rows 3 and 5 by hand and delete them.
    DataGrid* g = r->Grid日報;
    for (int row : {2, 4})
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                          g->visualRect(g->model()->index(row, 1)).center());
    r->cmd行削除->click();
    QCOMPARE(g->model()->rowCount(), 98);
    QCOMPARE(
        workValue("SELECT group_concat(行番号) FROM (SELECT 行番号 FROM w営業日報 ORDER BY 行番号 LIMIT 5)")
            .toString(),
        QString("1,2,4,6,7"));
    r->cmd行削除->click();
    QCOMPARE(g->model()->rowCount(), 98);
    // The two lines are not registered: クリア asks first.
    m_boxes->answers << true;
    r->cmdクリア->click();
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown[0].text, QString("画面をクリアします。よろしいですか"));
    m_boxes->shown.clear();
    QCOMPARE(g->model()->rowCount(), 100);
    QCOMPARE(workValue("SELECT count(*) FROM w営業日報 WHERE 内容 IS NOT NULL OR チェック <> 0").toInt(), 0);
    QVERIFY(r->Dt日付->isNull());
    QCOMPARE(r->txtタイトル->text(), QString());
    QVERIFY(m_boxes->shown.isEmpty());
}

void TstReportWindow::readFillsHeader()
{
    // Stored lines 2, 5 and 9 come back as rows 1, 2 and 3.
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec("INSERT INTO 営業日報ヘッダ VALUES ('2026-04-01', '佐藤', '第二営業部', NULL)"));
    for (int n : {2, 5, 9})
        QVERIFY(q.exec(
            QString(
                "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2026-04-01', '佐藤', %1, 'L%1')")
                .arg(n)));
    setHeader(QDate(2026, 4, 1), "佐藤", "", "前のタイトル");
    // The title typed is not registered: 読込 asks first, and goes on without it.
    m_boxes->answers << MsgButton::Discard;
    r->cmd読込->click();
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_boxes->shown[0].choices.size(), 3);
    m_boxes->shown.clear();
    QCOMPARE(r->cmb所属->currentText(), QString("第二営業部"));
    QCOMPARE(r->txtタイトル->text(), QString("前のタイトル")); // a Null title leaves the box alone
    QCOMPARE(workValue("SELECT group_concat(内容, ',') FROM (SELECT 内容 FROM w営業日報 WHERE 内容 IS NOT "
                       "NULL ORDER BY 行番号)")
                 .toString(),
             QString("L2,L5,L9"));
    QCOMPARE(workValue("SELECT max(行番号) FROM w営業日報 WHERE 内容 IS NOT NULL").toInt(), 3);
    QCOMPARE(workValue("SELECT count(*) FROM w営業日報").toInt(), 100);
    QVERIFY(m_boxes->shown.isEmpty());
}

void TstReportWindow::learntNamesOfferedAtOnce()
{
    QVERIFY(codes::addCodeMaster(m_w->MainDb(), "訪問先", "既存商事").added);
    QVERIFY(!codes::addCodeMaster(m_w->MainDb(), "訪問先", "既存商事").added);
    r->cmdクリア->click();
    QCOMPARE(r->dat訪問先->rowCount(), 1);
    setHeader(QDate(2026, 4, 1), "山田");
    editCell(0, 5, "新規工業");
    pressKey(Qt::Key_Return);
    r->Grid日報->setCol(7);
    typeText("初訪問");
    r->cmd登録->click();
    QCOMPARE(
        mainValue("SELECT code FROM コードマスタ WHERE kcode = '訪問先' AND sname = '新規工業'").toString(),
        QString("002"));
    // Registering learns the name, and the drop-down offers it at once, before any クリア.
    QCOMPARE(r->dat訪問先->rowCount(), 2);
    QCOMPARE(r->DD訪問先->count(), 2);
    QCOMPARE(r->DD訪問先->itemText(1), QString("新規工業"));
    r->cmdクリア->click();
    QCOMPARE(r->dat訪問先->rowCount(), 2);
}

void TstReportWindow::userScenario()
{
    // Real message boxes, answered with Enter as a user would.
    m_fx.boxes.reset();
    m_boxes = nullptr;
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec("UPDATE コードマスタ SET sname = '山田太郎' WHERE kcode = '氏名' AND code = '001'"));
    QVERIFY(q.exec("UPDATE コードマスタ SET sname = '営業一課' WHERE kcode = '所属' AND code = '001'"));
    QVERIFY(q.exec("UPDATE コードマスタ SET sname = 'A商事' WHERE kcode = '訪問先' AND code = '001'"));
    QVERIFY(q.exec("UPDATE コードマスタ SET sname = 'B工業' WHERE kcode = '訪問先' AND code = '002'"));
    r->cmdクリア->click();

    r->cmb氏名->setFocus();
    r->cmb氏名->showPopup();
    QTest::qWait(50);
    QAbstractItemView* view = r->cmb氏名->view();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(r->cmb氏名->currentText(), QString("山田太郎"));
    r->cmb所属->setFocus();
    r->cmb所属->showPopup();
    QTest::qWait(50);
    QTest::keyClick(r->cmb所属->view(), Qt::Key_Down);
    QTest::keyClick(r->cmb所属->view(), Qt::Key_Return);
    QCOMPARE(r->cmb所属->currentText(), QString("営業一課"));
    r->Dt日付->setFocus();
    QTest::keyClicks(r->Dt日付, "2026/12/08");
    QTest::keyClick(r->Dt日付, Qt::Key_Tab);
    QCOMPARE(r->Dt日付->date(), QDate(2026, 12, 8));
    r->txtタイトル->setFocus();
    typeText("週報");

    // Line 1: date, time, destination from the drop-down, person, contents in the pop-up.
    DataGrid* g = r->Grid日報;
    editCell(0, 2, "12/08");
    pressKey(Qt::Key_Return);
    QCOMPARE(g->col(), 4);
    typeText("0930");
    pressKey(Qt::Key_Return);
    QCOMPARE(g->col(), 5);
    pressKey(Qt::Key_F2);
    QTRY_VERIFY(r->DD訪問先->isVisible());
    r->DD訪問先->showPopup();
    QTest::qWait(50);
    QTest::keyClick(r->DD訪問先->view(), Qt::Key_Down);
    QTest::keyClick(r->DD訪問先->view(), Qt::Key_Return);
    QTRY_COMPARE(workValue("SELECT 訪問先 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("B工業"));
    g->setFocus();
    g->setCol(6);
    typeText("鈴木");
    pressKey(Qt::Key_Return);
    QCOMPARE(g->col(), 7);
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(0, 7)).center());
    QVERIFY(r->Cnテキスト入力->isVisible());
    typeText("新製品の説明\n見積依頼あり");
    QTest::mouseClick(r->cmd入力書込, Qt::LeftButton);
    // Line 2: a new destination typed by hand, no date.
    editCell(1, 5, "C物産");
    pressKey(Qt::Key_Return);
    g->setCol(7);
    typeText("挨拶");
    pressKey(Qt::Key_Return);

    // 登録 with Enter at the real confirmation box.
    QString boxText;
    testing::whenShown<QMessageBox>([&boxText](QMessageBox* box) {
        boxText = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::mouseClick(r->cmd登録, Qt::LeftButton);
    QCOMPARE(boxText, QString("日報 を登録します。よろしいですか"));
    QCOMPARE(mainValue("SELECT count(*) FROM 営業日報").toInt(), 2);

    // クリア, then read it back and compare every cell. (The offscreen platform does not
    // give the window back its activation after a modal box, as a window manager would.)
    QApplication::setActiveWindow(m_w);
    QTest::mouseClick(r->cmdクリア, Qt::LeftButton);
    QVERIFY(r->Dt日付->isNull());
    QCOMPARE(r->cmb氏名->currentText(), QString());
    QCOMPARE(r->cmb氏名->count(), 1);
    // The new destination is offered after the clear.
    QCOMPARE(r->dat訪問先->rowCount(), 3);
    r->Dt日付->setFocus();
    QTest::keyClicks(r->Dt日付, "20261208");
    QTest::keyClick(r->Dt日付, Qt::Key_Tab);
    r->cmb氏名->setEditText("山田太郎");
    QTest::mouseClick(r->cmd読込, Qt::LeftButton);
    QCOMPARE(r->cmb所属->currentText(), QString("営業一課"));
    QCOMPARE(r->txtタイトル->text(), QString("週報"));
    g->setRow(0);
    QCOMPARE(g->columnText(2), QString("12/08"));
    QCOMPARE(g->columnValue(3).toString(), QString("2026-12-08"));
    QCOMPARE(g->columnText(4), QString("09:30"));
    QCOMPARE(g->columnText(5), QString("B工業"));
    QCOMPARE(g->columnText(6), QString("鈴木"));
    QCOMPARE(g->columnValue(7).toString(), QString("新製品の説明\n見積依頼あり"));
    QVERIFY(g->columnValue(8).isNull());
    g->setRow(1);
    QVERIFY(g->columnValue(2).isNull());
    QCOMPARE(g->columnValue(3).toString(), QString("2026-12-08"));
    QCOMPARE(g->columnText(5), QString("C物産"));
    QCOMPARE(g->columnValue(7).toString(), QString("挨拶"));
    g->setRow(2);
    QVERIFY(g->columnValue(7).isNull());
}

void TstReportWindow::creationDateTypedStands_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    // The year nearest to today, as the rule for a date typed without one gives it.
    const QDate noYear = *controls::parseDate("3/10", "yyyy年mm月dd日", QDate::currentDate());
    QTest::newRow("with its year") << "2026/03/01" << QDate(2026, 3, 1);
    QTest::newRow("digits only") << "20260301" << QDate(2026, 3, 1);
    QTest::newRow("a year in two digits") << "26/3/1" << QDate(2026, 3, 1);
    QTest::newRow("without a year, a date in its first keys") << "3/10" << noYear;
}

// 作成日 typed at 20 ms a key, as a fast typist or xdotool types, is the date typed. When the
// focus leaves the field after any key (a box, another window) and comes back, the field ends
// with the typed date, or, where what was typed so far was a date itself, with the text marked
// as no date: never another date.
void TstReportWindow::creationDateTypedStands()
{
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    ReportTab* r = m_w->reportTab();
    for (int cut = 0; cut < typed.size(); ++cut) {
        r->Dt日付->setNull();
        r->Dt日付->setFocus();
        QVERIFY(QTest::qWaitFor([r] { return r->Dt日付->hasFocus(); }));
        bool partDate = false;
        for (int i = 0; i < typed.size(); ++i) {
            if (i == cut && cut > 0) {
                partDate =
                    controls::parseDate(typed.left(cut), "yyyy年mm月dd日", QDate::currentDate()).has_value();
                // The focus goes elsewhere and comes back, as after a message box.
                r->txtタイトル->setFocus();
                QVERIFY(QTest::qWaitFor([r] { return r->txtタイトル->hasFocus(); }));
                r->Dt日付->setFocus();
                QVERIFY(QTest::qWaitFor([r] { return r->Dt日付->hasFocus(); }));
                r->Dt日付->end(false);
            }
            typeText(typed.mid(i, 1));
            QTest::qWait(20);
        }
        pressKey(Qt::Key_Return);
        const QString at = QString("focus away after %1 keys: %2").arg(cut).arg(r->Dt日付->text());
        if (partDate) {
            QVERIFY2(r->Dt日付->isNull() && r->Dt日付->toolTip() == "日付が正しくありません", qPrintable(at));
            continue;
        }
        QVERIFY2(r->Dt日付->date() == date, qPrintable(at));
        QVERIFY2(r->cmb氏名->hasFocus(), qPrintable(at));
    }
}

QTEST_MAIN(TstReportWindow)
#include "tst_reportwindow.moc"
