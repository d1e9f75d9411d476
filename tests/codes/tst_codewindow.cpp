// The 設定・情報 tab driven through its controls: the code master and data initialisation.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "store/Integrity.h"
#include "store/Rows.h"
#include "Dialogs.h"

#include <sqlite3.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

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

// Text committed whole by an input method to the focused widget.
void commitText(const QString& text)
{
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}
} // namespace

class TstCodeWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void startupShowsDepartments();
    void comboTakesNoTyping();
    void leavingComboReadsPickedCategory();
    void registerThroughButton();
    void registerAnsweredNoChangesNothing();
    void lineDeleteThroughButton_data();
    void lineDeleteThroughButton();
    void deleteBlanksCategory_data();
    void deleteBlanksCategory();
    void clearDiscardsEdits();
    void inputMethodFollowsColumn();
    void dataInitialisation_data();
    void dataInitialisation();
    void failuresShowNoticeAndKeepData_data();
    void failuresShowNoticeAndKeepData();
    void enterGoesToNextName_data();
    void enterGoesToNextName();
    void typingWhereNothingIsKeptIsRefused();
    void staleGridIsNotWritten_data();
    void staleGridIsNotWritten();
    void categoryListEscapedKeepsTypedNames();
    void writesWaitForTheFileCheck_data();
    void writesWaitForTheFileCheck();

  private:
    QString master(const QString& category);
    QString shown(); // the grid's names with their codes
    void editName(int row, const QString& text);
    void setMaster(const QString& category, const QString& code, const QVariant& name);
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    CodeTab* t = nullptr;
};

void TstCodeWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    t = m_w->codeTab();
    m_w->SSTab1->setCurrentIndex(2);
}

void TstCodeWindow::cleanup()
{
    m_fx.stop();
}

QString TstCodeWindow::master(const QString& category)
{
    return firstValue(
               m_w->MainDb(),
               u"SELECT count(*) || ':' || count(sname) || ':' || ifnull(group_concat(CASE WHEN sname <> '' "
               "THEN code || '=' || sname END, ' '), '') FROM (SELECT * FROM コードマスタ WHERE kcode = ? "
               "ORDER BY code)"_s,
               {category})
        .toString();
}

QString TstCodeWindow::shown()
{
    auto* m = t->Gridコード表->model();
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r) {
        const QString name = m->index(r, CodeTab::ColName).data().toString();
        if (!name.isEmpty())
            out << m->index(r, CodeTab::ColCode).data().toString() + u'=' + name;
    }
    return u"%1:"_s.arg(m->rowCount()) + out.join(u' ');
}

// Types into the name cell and leaves the editor open.
void TstCodeWindow::editName(int row, const QString& text)
{
    DataGrid* g = t->Gridコード表;
    g->setFocus();
    g->setRow(row);
    g->setCol(CodeTab::ColName);
    typeText(text);
}

void TstCodeWindow::setMaster(const QString& category, const QString& code, const QVariant& name)
{
    QCOMPARE(store::run(m_w->MainDb(), u"UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"_s,
                        {name, category, code}),
             QString());
}

void TstCodeWindow::startupShowsDepartments()
{
    QCOMPARE(t->cmbコード区分->currentText(), u"所属"_s);
    QStringList items;
    for (int i = 0; i < t->cmbコード区分->count(); ++i)
        items << t->cmbコード区分->itemText(i);
    QCOMPARE(items, (QStringList{u"所属"_s, u"氏名"_s, u"備考"_s, u"訪問先"_s}));
    QCOMPARE(shown(), u"199:"_s);
    QCOMPARE(t->Gridコード表->model()->index(198, CodeTab::ColCode).data().toString(), u"199"_s);
    // The code column never takes the cursor and cannot be edited.
    QVERIFY(!t->Gridコード表->columnTakesCursor(CodeTab::ColCode));
    QVERIFY(!(t->Gridコード表->model()->index(0, CodeTab::ColCode).flags() & Qt::ItemIsEditable));
}

void TstCodeWindow::comboTakesNoTyping()
{
    Combo* c = t->cmbコード区分;
    c->setFocus();
    for (const QString& s : {u"氏"_s, u"備"_s, u"x"_s, u" "_s})
        typeText(s);
    QTest::keyClick(c, Qt::Key_Delete);
    QTest::keyClick(c, Qt::Key_Backspace);
    QCOMPARE(c->currentText(), u"所属"_s);
    QCOMPARE(c->currentIndex(), 0);
}

void TstCodeWindow::leavingComboReadsPickedCategory()
{
    setMaster(u"備考"_s, u"002"_s, u"至急"_s);
    setMaster(u"備考"_s, u"007"_s, u"要連絡"_s);
    Combo* c = t->cmbコード区分;
    c->setFocus();
    c->setCurrentIndex(2);
    QCOMPARE(shown(), u"199:"_s); // picking alone reads nothing
    t->Gridコード表->setFocus();
    QCOMPARE(shown(), u"199:002=至急 007=要連絡"_s);
    // A category never registered shows blank rows.
    QCOMPARE(store::run(m_w->MainDb(), u"DELETE FROM コードマスタ WHERE kcode = '訪問先'"_s), QString());
    c->setFocus();
    c->setCurrentIndex(3);
    t->cmd設定読込->click();
    QCOMPARE(shown(), u"199:"_s);
}

void TstCodeWindow::registerThroughButton()
{
    editName(0, u"営業一課"_s);
    QTest::keyClick(t->Gridコード表, Qt::Key_Return);
    editName(2, u"営業二課"_s);
    QTest::keyClick(t->Gridコード表, Qt::Key_Return);
    editName(4, u"総務"_s); // still being typed
    t->cmd設定登録->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].text, u"設定 を登録します。よろしいですか"_s);
    QCOMPARE(master(u"所属"_s), u"199:199:001=営業一課 003=営業二課 005=総務"_s);
    QCOMPARE(QApplication::focusWidget(), t->cmbコード区分);
    t->cmd設定登録->click();
    QCOMPARE(master(u"所属"_s), u"199:199:001=営業一課 003=営業二課 005=総務"_s);
    // The entry tab's クリア offers them close together.
    m_w->reportTab()->cmdクリア->click();
    QStringList items;
    for (int i = 0; i < m_w->reportTab()->cmb所属->count(); ++i)
        items << m_w->reportTab()->cmb所属->itemText(i);
    QCOMPARE(items, (QStringList{u"営業一課"_s, u"営業二課"_s, u"総務"_s}));
}

void TstCodeWindow::registerAnsweredNoChangesNothing()
{
    const QString before = master(u"所属"_s);
    editName(0, u"営業一課"_s);
    m_fx.boxes->answers = {false};
    t->cmd設定登録->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(master(u"所属"_s), before);
}

void TstCodeWindow::lineDeleteThroughButton_data()
{
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("gridAfter");
    QTest::addColumn<QString>("masterAfter");
    QTest::newRow("ticked 002 and 004, registered")
        << true << true << true << u"199:001=甲 002=丙 003=戊 008=登録済"_s
        << u"199:6:001=甲 002=丙 003=戊 008=登録済"_s;
    QTest::newRow("ticked 002 and 004, never registered")
        << false << true << true << u"199:001=甲 002=丙 003=戊"_s << u"0:0:"_s;
    QTest::newRow("nothing ticked still writes through")
        << true << false << true << u"199:001=甲 002=乙 003=丙 004=丁 005=戊 010=登録済"_s
        << u"199:6:001=甲 002=乙 003=丙 004=丁 005=戊 010=登録済"_s;
    QTest::newRow("answered No") << true << true << false
                                 << u"199:001=甲 002=乙 003=丙 004=丁 005=戊 010=登録済"_s
                                 << u"199:1:010=登録済"_s;
}

void TstCodeWindow::lineDeleteThroughButton()
{
    QFETCH(bool, registered);
    QFETCH(bool, tick);
    QFETCH(bool, yes);
    QFETCH(QString, gridAfter);
    QFETCH(QString, masterAfter);
    setMaster(u"氏名"_s, u"010"_s, u"登録済"_s);
    if (!registered)
        QCOMPARE(store::run(m_w->MainDb(), u"DELETE FROM コードマスタ WHERE kcode = '氏名'"_s), QString());
    t->cmbコード区分->setFocus();
    t->cmbコード区分->setCurrentIndex(1);
    t->cmd設定読込->click();
    DataGrid* g = t->Gridコード表;
    if (tick)
        for (int r : {1, 3})
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                              g->visualRect(g->model()->index(r, CodeTab::ColCheck)).center());
    const QStringList names{u"甲"_s, u"乙"_s, u"丙"_s, u"丁"_s, u"戊"_s};
    for (int r = 0; r < names.size(); ++r) {
        editName(r, names[r]);
        if (r + 1 < names.size()) // the last one is still being typed
            QTest::keyClick(g, Qt::Key_Return);
    }
    m_fx.boxes->answers = {yes};
    t->cmd設定行削除->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, u"削除の確認"_s);
    QCOMPARE(m_fx.boxes->shown[0].text, u"指定されたデータ を削除します。よろしいですか"_s);
    if (yes) {
        QCOMPARE(shown(), gridAfter);
        QCOMPARE(
            firstValue(m_w->WorkDb(), u"SELECT count(*) FROM wコードマスタ WHERE チェック <> 0"_s).toInt(),
            0);
        QCOMPARE(QApplication::focusWidget(), g);
    } else {
        QCOMPARE(
            firstValue(m_w->WorkDb(), u"SELECT count(*) FROM wコードマスタ WHERE チェック <> 0"_s).toInt(),
            2);
        QVERIFY(g->commitPending().ok());
        QCOMPARE(shown(), gridAfter);
    }
    QCOMPARE(master(u"氏名"_s), masterAfter);
}

void TstCodeWindow::deleteBlanksCategory_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TstCodeWindow::deleteBlanksCategory()
{
    QFETCH(bool, yes);
    setMaster(u"所属"_s, u"001"_s, u"総務"_s);
    setMaster(u"氏名"_s, u"001"_s, u"佐藤"_s);
    t->cmd設定読込->click();
    QCOMPARE(shown(), u"199:001=総務"_s);
    m_fx.boxes->answers = {yes};
    t->cmd設定削除->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].text, u"所属のデータを削除します、よろしいですか"_s);
    QCOMPARE(shown(), yes ? u"199:"_s : u"199:001=総務"_s);
    t->cmd設定読込->click();
    QCOMPARE(shown(), yes ? u"199:"_s : u"199:001=総務"_s);
    QCOMPARE(master(u"所属"_s), yes ? u"199:0:"_s : u"199:1:001=総務"_s);
    QCOMPARE(master(u"氏名"_s), u"199:1:001=佐藤"_s);
}

void TstCodeWindow::clearDiscardsEdits()
{
    setMaster(u"所属"_s, u"003"_s, u"総務"_s);
    t->cmbコード区分->setFocus();
    t->cmbコード区分->setCurrentIndex(1);
    t->cmd設定読込->click();
    editName(0, u"未登録の名"_s);
    t->cmd設定クリア->click();
    QCOMPARE(t->cmbコード区分->currentText(), u"所属"_s);
    QCOMPARE(shown(), u"199:003=総務"_s);
    QCOMPARE(master(u"氏名"_s), u"199:0:"_s);
}

void TstCodeWindow::inputMethodFollowsColumn()
{
    DataGrid* g = t->Gridコード表;
    QWidget* ime = g->imeWindow();
    g->setFocus();
    g->setRow(0);
    g->setCol(CodeTab::ColName);
    QVERIFY(ime->testAttribute(Qt::WA_InputMethodEnabled));
    g->setCol(CodeTab::ColCheck);
    QVERIFY(!ime->testAttribute(Qt::WA_InputMethodEnabled));
    g->setCol(CodeTab::ColName);
    QVERIFY(ime->testAttribute(Qt::WA_InputMethodEnabled));
}

void TstCodeWindow::dataInitialisation_data()
{
    QTest::addColumn<bool>("answerByDefault"); // Enter on the question
    QTest::newRow("Enter answers Yes") << true;
    QTest::newRow("No") << false;
}

void TstCodeWindow::dataInitialisation()
{
    QFETCH(bool, answerByDefault);
    QSqlDatabase main = m_w->MainDb(), work = m_w->WorkDb();
    QCOMPARE(store::run(main, u"INSERT INTO 営業日報ヘッダ VALUES ('2024-01-01', '佐藤', '', '')"_s),
             QString());
    QCOMPARE(
        store::run(main, u"INSERT INTO 営業日報 (作成日, 氏名, 行番号) VALUES ('2024-01-01', '佐藤', 1)"_s),
        QString());
    setMaster(u"訪問先"_s, u"001"_s, u"取引先"_s);
    QCOMPARE(
        store::run(
            work,
            u"INSERT INTO ClHint (FormName, CtlName, Contents) VALUES ('FrmTesvan', 'cmdHint', 'ヒント')"_s),
        QString());
    m_w->listTab()->cmd一覧読込->click();
    const auto workCounts = [&] {
        return firstValue(
                   work,
                   u"SELECT (SELECT count(*) FROM w営業日報) || '/' || (SELECT count(*) FROM w一覧) || '/' "
                   "|| (SELECT count(*) FROM wコードマスタ) || '/' || (SELECT count(*) FROM ClHint)"_s)
            .toString();
    };
    const QString workBefore = workCounts();
    QCOMPARE(workBefore, u"100/1/199/1"_s);
    if (!answerByDefault)
        m_fx.boxes->answers = {false};
    t->cmd一括削除7->click();
    QVERIFY(!m_fx.boxes->shown.isEmpty());
    QCOMPARE(m_fx.boxes->shown[0].text, u"すべてのデータを初期化します。、よろしいですか"_s);
    QVERIFY(!m_fx.boxes->shown[0].defaultNo);
    const int headers = firstValue(main, u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt();
    const int lines = firstValue(main, u"SELECT count(*) FROM 営業日報"_s).toInt();
    if (answerByDefault) {
        QCOMPARE(m_fx.boxes->shown.size(), 2);
        QCOMPARE(m_fx.boxes->shown[1].text, u"すべてのデータを初期化しました"_s);
        QCOMPARE(headers + lines, 0);
        QCOMPARE(master(u"訪問先"_s), u"199:0:"_s);
    } else {
        QCOMPARE(m_fx.boxes->shown.size(), 1);
        QCOMPARE(headers + lines, 2);
        QCOMPARE(master(u"訪問先"_s), u"199:1:001=取引先"_s);
    }
    QCOMPARE(firstValue(main, u"SELECT count(*) FROM コードマスタ"_s).toInt(), 4 * 199);
    // Only the list loses its rows: their reports are gone.
    QCOMPARE(workCounts(), answerByDefault ? u"100/0/199/1"_s : workBefore);
    QCOMPARE(m_w->listTab()->Grid一覧->model()->rowCount(), answerByDefault ? 0 : 1);
}

void TstCodeWindow::failuresShowNoticeAndKeepData_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("trigger");
    // On a row the operation writes: 登録 and 行削除 write only the names that change.
    QTest::newRow("登録") << u"cmd設定登録"_s << u"UPDATE ON コードマスタ WHEN OLD.code = '003'"_s;
    QTest::newRow("行削除") << u"cmd設定行削除"_s << u"UPDATE ON コードマスタ WHEN OLD.code = '002'"_s;
    QTest::newRow("削除") << u"cmd設定削除"_s << u"UPDATE ON コードマスタ WHEN OLD.code = '100'"_s;
    QTest::newRow("初期化") << u"cmd一括削除7"_s << u"UPDATE ON コードマスタ WHEN OLD.code = '100'"_s;
}

void TstCodeWindow::failuresShowNoticeAndKeepData()
{
    QFETCH(QString, button);
    QFETCH(QString, trigger);
    QSqlDatabase main = m_w->MainDb();
    QCOMPARE(store::run(main, u"INSERT INTO 営業日報ヘッダ VALUES ('2024-01-01', '佐藤', '', '')"_s),
             QString());
    setMaster(u"所属"_s, u"001"_s, u"総務"_s);
    setMaster(u"所属"_s, u"002"_s, u"営業"_s);
    t->cmd設定読込->click();
    DataGrid* g = t->Gridコード表;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualRect(g->model()->index(0, CodeTab::ColCheck)).center());
    editName(2, u"新規"_s);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(
        store::run(main, u"CREATE TRIGGER fail BEFORE %1 BEGIN SELECT RAISE(ABORT, '書込の故障'); END"_s.arg(
                             trigger)),
        QString());
    const QString before = master(u"所属"_s);
    m_fx.boxes->answers = {true};
    t->findChild<CommandButton*>(button)->click();
    QCOMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].title, u"注意"_s);
    QVERIFY(m_fx.boxes->shown[1].text.contains(u"書込の故障"_s));
    QCOMPARE(master(u"所属"_s), before);
    QCOMPARE(firstValue(main, u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt(), 1);
    // The grid keeps what the user had: the tick and the typed name.
    QCOMPARE(shown(), u"199:001=総務 002=営業 003=新規"_s);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM wコードマスタ WHERE チェック <> 0"_s).toInt(),
             1);
}

void TstCodeWindow::enterGoesToNextName_data()
{
    QTest::addColumn<bool>("inputMethod");
    QTest::newRow("keys") << false;
    QTest::newRow("input method") << true;
}

// Names typed one under the other, each ended with Enter, all land in the grid and are registered.
void TstCodeWindow::enterGoesToNextName()
{
    QFETCH(bool, inputMethod);
    t->cmbコード区分->setFocus();
    t->cmbコード区分->setCurrentIndex(1);
    t->cmd設定読込->click();
    DataGrid* g = t->Gridコード表;
    g->setFocus();
    g->setRow(0);
    g->setCol(CodeTab::ColName);
    for (const QString& name : {u"山田太郎"_s, u"佐藤花子"_s, u"鈴木一郎"_s}) {
        if (inputMethod)
            commitText(name);
        else
            typeText(name);
        pressKey(Qt::Key_Return);
        QCOMPARE(g->col(), int(CodeTab::ColName));
    }
    QCOMPARE(g->row(), 3);
    QCOMPARE(shown(), u"199:001=山田太郎 002=佐藤花子 003=鈴木一郎"_s);
    t->cmd設定登録->click();
    QCOMPARE(master(u"氏名"_s), u"199:199:001=山田太郎 002=佐藤花子 003=鈴木一郎"_s);
}

// A tick box keeps no text: what is typed there is refused where the user looks.
void TstCodeWindow::typingWhereNothingIsKeptIsRefused()
{
    DataGrid* g = t->Gridコード表;
    g->setFocus();
    g->setRow(1);
    g->setCol(CodeTab::ColCheck);
    for (const bool inputMethod : {false, true}) {
        QToolTip::hideText();
        QVERIFY(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        if (inputMethod)
            commitText(u"山田"_s);
        else
            typeText(u"山"_s);
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), DataGrid::kTypingRefused);
        QVERIFY(!g->isEditing());
    }
    QCOMPARE(shown(), u"199:"_s);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM wコードマスタ WHERE チェック <> 0"_s).toInt(),
             0);
}

void TstCodeWindow::staleGridIsNotWritten_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("登録") << u"cmd設定登録"_s;
    QTest::newRow("行削除") << u"cmd設定行削除"_s;
}

// A report registered while the 備考 grid is open learns a new remark: the grid, read before,
// must not write over it.
void TstCodeWindow::staleGridIsNotWritten()
{
    QFETCH(QString, button);
    const auto named = [this] { return master(u"備考"_s).section(u':', 2); };
    setMaster(u"備考"_s, u"001"_s, u"至急"_s);
    setMaster(u"備考"_s, u"002"_s, u"要連絡"_s);
    setMaster(u"備考"_s, u"003"_s, u"済"_s);
    t->cmbコード区分->setFocus();
    t->cmbコード区分->setCurrentIndex(2);
    t->cmd設定読込->click();

    ReportTab* r = m_w->reportTab();
    m_w->SSTab1->setCurrentIndex(0);
    r->Dt日付->setDate(QDate(2026, 5, 1));
    r->cmb氏名->setEditText(u"山田"_s);
    DataGrid* rg = r->Grid日報;
    rg->setFocus();
    rg->setRow(0);
    rg->setCol(ReportTab::ColText);
    typeText(u"訪問"_s);
    pressKey(Qt::Key_Tab);
    typeText(u"新しい備考"_s);
    pressKey(Qt::Key_Return);
    m_fx.boxes->answers = {true};
    r->cmd登録->click();
    QCOMPARE(named(), u"001=至急 002=要連絡 003=済 004=新しい備考"_s);

    m_w->SSTab1->setCurrentIndex(2);
    QCOMPARE(shown(), u"199:001=至急 002=要連絡 003=済"_s);
    DataGrid* g = t->Gridコード表;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualRect(g->model()->index(0, CodeTab::ColCheck)).center());
    editName(3, u"手入力"_s);
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {true};
    t->findChild<CommandButton*>(button)->click();
    QCOMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].title, u"更新注意"_s);
    QCOMPARE(m_fx.boxes->shown[1].text,
             u"区分 備考 は読込んだ後に変更されたため、書き込みませんでした。入力した名称を控えてから、"
             "読込みし直してください。"_s);
    QCOMPARE(named(), u"001=至急 002=要連絡 003=済 004=新しい備考"_s);
    // The grid keeps the user's edits and tick.
    QCOMPARE(shown(), u"199:001=至急 002=要連絡 003=済 004=手入力"_s);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM wコードマスタ WHERE チェック <> 0"_s).toInt(),
             1);

    // Read again, the learnt name is there and the write goes through.
    t->cmd設定読込->click();
    QCOMPARE(shown(), u"199:001=至急 002=要連絡 003=済 004=新しい備考"_s);
    editName(4, u"手入力"_s);
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {true};
    t->findChild<CommandButton*>(button)->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(named(), u"001=至急 002=要連絡 003=済 004=新しい備考 005=手入力"_s);
}

// Opening the category list and leaving it with Escape reads nothing: the names typed stay.
void TstCodeWindow::categoryListEscapedKeepsTypedNames()
{
    DataGrid* g = t->Gridコード表;
    editName(0, u"未登録の名"_s);
    pressKey(Qt::Key_Return);
    Combo* c = t->cmbコード区分;
    QTest::mouseClick(c, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    QCOMPARE(c->currentText(), u"所属"_s);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualRect(g->model()->index(1, CodeTab::ColName)).center());
    QCOMPARE(QApplication::focusWidget(), g);
    QCOMPARE(shown(), u"199:001=未登録の名"_s);
    // A category picked from the list is read on leaving, as before.
    c->setFocus();
    c->setCurrentIndex(1);
    g->setFocus();
    QCOMPARE(shown(), u"199:"_s);
}

void TstCodeWindow::writesWaitForTheFileCheck_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("登録") << u"cmd設定登録"_s;
    QTest::newRow("行削除") << u"cmd設定行削除"_s;
    QTest::newRow("削除") << u"cmd設定削除"_s;
    QTest::newRow("データ初期化") << u"cmd一括削除7"_s;
}

// After a kill a write waits for the file's whole check in a dialog the window paints behind,
// and キャンセル there writes nothing. The check is held by a file another connection keeps locked.
void TstCodeWindow::writesWaitForTheFileCheck()
{
    QFETCH(QString, button);
    setMaster(u"所属"_s, u"001"_s, u"営業一課"_s);
    QSqlDatabase main = m_w->MainDb();
    const auto everything = [&] {
        return firstValue(main, u"SELECT (SELECT group_concat(kcode || code || sname) FROM コードマスタ) || "
                                "(SELECT count(*) FROM 営業日報ヘッダ)"_s)
            .toString();
    };
    t->cmbコード区分->setCurrentIndex(1);
    t->cmd設定読込->click();
    editName(0, u"営業二課"_s);
    const QString before = everything();
    const QString held = m_fx.tmp->filePath(u"held.db"_s);
    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(held.toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "CREATE TABLE t(a); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1)", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
    const QFuture<store::Error> check = store::startPageCheck(main.connectionName(), held);
    bool shown = false;
    whenShown<QProgressDialog>(
        [&](QProgressDialog* d) {
            shown = true;
            if (auto* cancel = d->findChild<QPushButton*>())
                QTest::mouseClick(cancel, Qt::LeftButton);
        },
        u"dlgファイル検査"_s);
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {true};
    m_w->findChild<QPushButton*>(button)->click();
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    store::forgetPageCheck(main.connectionName());
    QVERIFY(shown);
    // Only the confirmation was asked; no failure was told and nothing was written.
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(everything(), before);
}

QTEST_MAIN(TstCodeWindow)
#include "tst_codewindow.moc"
