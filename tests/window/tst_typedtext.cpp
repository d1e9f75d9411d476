// What is typed is what is read, stored and listed: the name boxes and the grid's drop-down
// cells never turn a typed name into a longer one from their list. Driven by keys, as typed.
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "store/Rows.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/grid/DataGrid.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstTypedText : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void nameBoxKeepsTypedText_data();
    void nameBoxKeepsTypedText();
    void nameBoxTakesAPick();
    void typedNameIsStoredAndListed_data();
    void typedNameIsStoredAndListed();
    void dropDownCellKeepsTypedText_data();
    void dropDownCellKeepsTypedText();

  private:
    void setMaster(const QString& category, const QString& code, const QString& name);
    void storeReport(const QString& date, const QString& name);
    Combo* box(const QString& name);
    // Types into the focused box as a keyboard does, or commits it through the input method.
    void typeInto(QWidget* w, const QString& text, bool inputMethod);
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstTypedText::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    r = m_w->reportTab();
    setMaster(u"氏名"_s, u"001"_s, u"山田太郎"_s);
    setMaster(u"氏名"_s, u"002"_s, u"佐藤"_s);
    setMaster(u"所属"_s, u"001"_s, u"営業一課"_s);
    setMaster(u"訪問先"_s, u"001"_s, u"ABC商事"_s);
    setMaster(u"備考"_s, u"001"_s, u"至急対応"_s);
    // The pick lists as the entry tab's クリア builds them.
    r->Clear日報();
    QCOMPARE(r->cmb氏名->count(), 2);
}

void TstTypedText::cleanup()
{
    m_fx.stop();
}

void TstTypedText::setMaster(const QString& category, const QString& code, const QString& name)
{
    QCOMPARE(store::run(m_w->MainDb(), u"UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"_s,
                        {name, category, code}),
             QString());
}

void TstTypedText::storeReport(const QString& date, const QString& name)
{
    QCOMPARE(store::run(m_w->MainDb(), u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '', ?)"_s,
                        {date, name, name + u"の日報"_s}),
             QString());
    QCOMPARE(
        store::run(
            m_w->MainDb(),
            u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 表示日付, 内容) VALUES (?, ?, 1, ?, ?, ?)"_s,
            {date, name, date, date, name + u"の内容"_s}),
        QString());
}

Combo* TstTypedText::box(const QString& name)
{
    return m_w->findChild<Combo*>(name);
}

void TstTypedText::typeInto(QWidget* w, const QString& text, bool inputMethod)
{
    w->setFocus();
    QVERIFY(QTest::qWaitFor([w] { return w->hasFocus(); }));
    if (!inputMethod) {
        typeText(text);
        return;
    }
    // Composed first, then committed whole, as an input method does.
    QWidget* target = QApplication::focusWidget();
    QInputMethodEvent compose(text, {});
    QApplication::sendEvent(target, &compose);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

void TstTypedText::nameBoxKeepsTypedText_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("inputMethod");
    const QList<std::tuple<const char*, int, QString>> boxes = {
        {"cmb氏名", 0, u"山田"_s}, {"cmb所属", 0, u"営業"_s}, {"cmb氏名選択", 1, u"山田"_s}};
    for (const auto& [name, tab, typed] : boxes) {
        QTest::addRow("%s, keys", name) << QString::fromUtf8(name) << tab << typed << false;
        QTest::addRow("%s, input method", name) << QString::fromUtf8(name) << tab << typed << true;
    }
    QTest::newRow("cmb氏名, the first character of another name") << u"cmb氏名"_s << 0 << u"佐"_s << false;
}

void TstTypedText::nameBoxKeepsTypedText()
{
    QFETCH(QString, box);
    QFETCH(int, tab);
    QFETCH(QString, typed);
    QFETCH(bool, inputMethod);
    m_w->SSTab1->setCurrentIndex(tab);
    Combo* c = this->box(box);
    QVERIFY(c);
    typeInto(c, typed, inputMethod);
    QCOMPARE(c->currentText(), typed);
    QCOMPARE(c->lineEdit()->selectedText(), QString());
    // Leaving the box keeps it too.
    pressKey(Qt::Key_Tab);
    QCOMPARE(c->currentText(), typed);
    QCOMPARE(c->currentIndex(), -1);
}

void TstTypedText::nameBoxTakesAPick()
{
    // The arrows step through the list: a pick, which the box takes.
    typeInto(r->cmb氏名, u"山田"_s, false);
    pressKey(Qt::Key_Down);
    QCOMPARE(r->cmb氏名->currentText(), u"山田太郎"_s);
    pressKey(Qt::Key_Tab);
    QCOMPARE(r->cmb氏名->currentText(), u"山田太郎"_s);
    // A name typed whole is the list's item.
    typeInto(r->cmb氏名, QString(), false);
    r->cmb氏名->lineEdit()->selectAll();
    typeText(u"佐藤"_s);
    pressKey(Qt::Key_Tab);
    QCOMPARE(r->cmb氏名->currentIndex(), 1);
}

void TstTypedText::typedNameIsStoredAndListed_data()
{
    QTest::addColumn<bool>("inputMethod");
    QTest::newRow("keys") << false;
    QTest::newRow("input method") << true;
}

void TstTypedText::typedNameIsStoredAndListed()
{
    QFETCH(bool, inputMethod);
    storeReport(u"2026-04-01"_s, u"山田太郎"_s);
    storeReport(u"2026-04-02"_s, u"山田太郎"_s);
    // 読込 with 山田 typed finds no report of 山田, and leaves 山田太郎's alone.
    r->Dt日付->setDate(QDate(2026, 4, 1));
    typeInto(r->cmb氏名, u"山田"_s, inputMethod);
    r->cmd読込->click();
    QCOMPARE(r->cmb氏名->currentText(), u"山田"_s);
    QVERIFY(r->txtタイトル->text() != u"山田太郎の日報"_s);
    // 登録 stores under 山田, with the department as typed.
    typeInto(r->cmb所属, u"営業"_s, inputMethod);
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(0);
    g->setCol(ReportTab::ColText);
    typeText(u"山田の訪問"_s);
    pressKey(Qt::Key_Return);
    m_fx.boxes->answers = {true};
    r->cmd登録->click();
    QCOMPARE(firstValue(m_w->MainDb(), u"SELECT group_concat(x, ' ') FROM (SELECT 氏名 || '/' || 所属 AS x "
                                       "FROM 営業日報ヘッダ WHERE 作成日 = '2026-04-01' ORDER BY 氏名)"_s)
                 .toString(),
             u"山田/営業 山田太郎/"_s);
    QCOMPARE(firstValue(m_w->MainDb(), u"SELECT 内容 FROM 営業日報 WHERE 作成日 = '2026-04-01' AND 氏名 = "
                                       "'山田太郎'"_s)
                 .toString(),
             u"山田太郎の内容"_s);
    // The list filtered by 山田 lists 山田's report only.
    m_w->SSTab1->setCurrentIndex(1);
    ListTab* l = m_w->listTab();
    typeInto(l->cmb氏名選択, u"山田"_s, inputMethod);
    l->cmd一覧読込->click();
    QCOMPARE(l->Grid一覧->model()->rowCount(), 1);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT group_concat(氏名, ' ') FROM w一覧"_s).toString(), u"山田"_s);
}

void TstTypedText::dropDownCellKeepsTypedText_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pick"); // Down in the open cell before Enter
    QTest::addColumn<QString>("stored");
    QTest::newRow("訪問先 typed") << int(ReportTab::ColPlace) << u"ABC"_s << false << u"ABC"_s;
    QTest::newRow("備考 typed") << int(ReportTab::ColNote) << u"至急"_s << false << u"至急"_s;
    QTest::newRow("訪問先 picked with the arrow")
        << int(ReportTab::ColPlace) << u"ABC"_s << true << u"ABC商事"_s;
}

void TstTypedText::dropDownCellKeepsTypedText()
{
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(bool, pick);
    QFETCH(QString, stored);
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(2);
    g->setCol(col);
    typeText(typed);
    auto* dd = qobject_cast<DropDown*>(g->activeEditor());
    QVERIFY(dd);
    QCOMPARE(dd->currentText(), typed);
    if (pick)
        pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Return);
    const QString field = col == ReportTab::ColPlace ? u"訪問先"_s : u"備考"_s;
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT %1 FROM w営業日報 WHERE 行番号 = 3"_s.arg(field)).toString(),
             stored);
}

QTEST_MAIN(TstTypedText)
#include "tst_typedtext.moc"
