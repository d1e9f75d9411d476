// The screens follow what the files hold: the pick lists after the code master changed, the
// report list after a registration, a data initialisation or a report deleted behind it.
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "codes/CodeTab.h"
#include "list/ListStore.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "store/Rows.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstFollow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void pickListsFollowCodeMaster_data();
    void pickListsFollowCodeMaster();
    void onlyTheWrittenCategoryFollows_data();
    void onlyTheWrittenCategoryFollows();
    void dataInitialisationEmptiesList();
    void openingGoneReport_data();
    void openingGoneReport();
    void registrationShowsInList_data();
    void registrationShowsInList();

  private:
    static QStringList items(const QComboBox* c);
    QStringList listed(); // the list grid's rows as "date name title"
    void report(const QString& date, const QString& name);
    void typeInto(QWidget* w, const QString& text);
    void codeName(int row, const QString& text);
    void registerReport(const QDate& date, const QString& name, const QString& title);
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
    ListTab* l = nullptr;
    CodeTab* c = nullptr;
};

void TstFollow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    r = m_w->reportTab();
    l = m_w->listTab();
    c = m_w->codeTab();
}

void TstFollow::cleanup()
{
    m_fx.stop();
}

QStringList TstFollow::items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList TstFollow::listed()
{
    QStringList out;
    auto* m = l->Grid一覧->model();
    for (int row = 0; row < m->rowCount(); ++row)
        out << u"%1 %2 %3"_s.arg(m->index(row, ListTab::ColDate).data().toString(),
                                 m->index(row, ListTab::ColName).data().toString(),
                                 m->index(row, ListTab::ColTitle).data().toString());
    return out;
}

void TstFollow::report(const QString& date, const QString& name)
{
    QCOMPARE(store::run(m_w->MainDb(), u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '既存')"_s,
                        {date, name}),
             QString());
    QCOMPARE(store::run(m_w->MainDb(),
                        u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES (?, ?, 1, 'x')"_s,
                        {date, name}),
             QString());
}

void TstFollow::typeInto(QWidget* w, const QString& text)
{
    w->setFocus();
    typeText(text);
}

// Types a name into the code grid's row and writes it with Enter.
void TstFollow::codeName(int row, const QString& text)
{
    DataGrid* g = c->Gridコード表;
    g->setFocus();
    g->setRow(row);
    g->setCol(CodeTab::ColName);
    typeText(text);
    QTest::keyClick(g, Qt::Key_Return);
}

// On the entry tab: the header typed, one line with a visit destination and contents, 登録.
void TstFollow::registerReport(const QDate& date, const QString& name, const QString& title)
{
    m_w->SSTab1->setCurrentIndex(0);
    r->Dt日付->setDate(date);
    r->cmb氏名->setEditText(QString());
    typeInto(r->cmb氏名, name);
    r->txtタイトル->clear();
    typeInto(r->txtタイトル, title);
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(0);
    g->setCol(ReportTab::ColPlace);
    typeText(u"新規取引先"_s);
    QTest::keyClick(g, Qt::Key_Return);
    g->setRow(0);
    g->setCol(ReportTab::ColText);
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {},
                       g->visualRect(g->model()->index(0, ReportTab::ColText)).center());
    QVERIFY(r->Cnテキスト入力->isVisible());
    typeText(u"訪問"_s);
    r->cmd入力書込->click();
    r->cmd登録->click();
}

void TstFollow::pickListsFollowCodeMaster_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("登録 of a renamed department") << u"登録"_s << QStringList{u"第一営業部"_s, u"総務部"_s};
    QTest::newRow("行削除") << u"行削除"_s << QStringList{u"総務部"_s};
    QTest::newRow("削除") << u"削除"_s << QStringList{};
}

void TstFollow::pickListsFollowCodeMaster()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, offered);
    m_w->SSTab1->setCurrentIndex(2);
    codeName(0, u"営業部"_s);
    codeName(1, u"総務部"_s);
    c->cmd設定登録->click();
    // Offered at once, with nothing typed on the entry tab lost.
    QCOMPARE(items(r->cmb所属), (QStringList{u"営業部"_s, u"総務部"_s}));

    // A report being typed with the department's name as it was.
    m_w->SSTab1->setCurrentIndex(0);
    r->Dt日付->setDate(QDate(2026, 12, 8));
    typeInto(r->cmb氏名, u"山田"_s);
    typeInto(r->cmb所属, u"営業部"_s);
    typeInto(r->txtタイトル, u"週報"_s);
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(0);
    g->setCol(ReportTab::ColPerson);
    typeText(u"田中"_s);
    QTest::keyClick(g, Qt::Key_Return);

    m_w->SSTab1->setCurrentIndex(2);
    if (operation == u"登録") {
        codeName(0, u"第一営業部"_s);
        c->cmd設定登録->click();
    } else if (operation == u"行削除") {
        c->Gridコード表->setFocus();
        c->Gridコード表->setRow(0);
        c->Gridコード表->setCol(CodeTab::ColCheck);
        QTest::keyClick(c->Gridコード表, Qt::Key_Space);
        m_fx.boxes->answers = {true}; // No is the question's default
        c->cmd設定行削除->click();
    } else {
        c->cmd設定削除->click();
    }
    for (const MsgSpec& box : m_fx.boxes->shown)
        QVERIFY2(box.yesNo, qPrintable(box.text)); // questions only, no notice of a failure

    // Before any クリア: the new names, not the old; what was typed stands.
    QCOMPARE(items(r->cmb所属), offered);
    QCOMPARE(r->cmb所属->currentText(), u"営業部"_s);
    QCOMPARE(r->cmb氏名->currentText(), u"山田"_s);
    QCOMPARE(r->txtタイトル->text(), u"週報"_s);
    QCOMPARE(r->Dt日付->date(), QDate(2026, 12, 8));
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT 担当 FROM w営業日報 WHERE 行番号 = 1"_s).toString(),
             u"田中"_s);
    // The entry tab's own list shows the new names when opened.
    m_w->SSTab1->setCurrentIndex(0);
    QCOMPARE(items(r->cmb所属), offered);
}

// A write on the code master tab rebuilds the pick list of its own category only: the others keep
// their names, the written one shows the change at once.
void TstFollow::onlyTheWrittenCategoryFollows_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("operation");
    for (const char* k : {"所属", "氏名", "備考", "訪問先"})
        for (const char* op : {"登録", "行削除"})
            QTest::addRow("%s, %s", k, op) << QString::fromUtf8(k) << QString::fromUtf8(op);
}

void TstFollow::onlyTheWrittenCategoryFollows()
{
    QFETCH(QString, category);
    QFETCH(QString, operation);
    const QStringList categories{u"所属"_s, u"氏名"_s, u"備考"_s, u"訪問先"_s};
    for (const QString& k : categories)
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(store::run(m_w->MainDb(),
                                u"UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"_s,
                                {u"%1%2"_s.arg(k).arg(n), k, u"00%1"_s.arg(n)}),
                     QString());
    m_w->refreshPickLists();
    const auto offered = [&] {
        return QList<QStringList>{items(r->cmb所属), items(r->cmb氏名), items(r->DD備考), items(r->DD訪問先)};
    };
    QList<QStringList> expected = offered();
    for (qsizetype i = 0; i < categories.size(); ++i)
        QCOMPARE(expected[i].size(), 3);

    m_w->SSTab1->setCurrentIndex(2);
    c->cmbコード区分->setCurrentText(category);
    c->cmd設定読込->click();
    QStringList& written = expected[categories.indexOf(category)];
    if (operation == u"登録") {
        codeName(1, u"新しい名"_s);
        c->cmd設定登録->click();
        written[1] = u"新しい名"_s;
    } else {
        for (const int row : {0, 2}) {
            c->Gridコード表->setFocus();
            c->Gridコード表->setRow(row);
            c->Gridコード表->setCol(CodeTab::ColCheck);
            QTest::keyClick(c->Gridコード表, Qt::Key_Space);
        }
        m_fx.boxes->answers = {true};
        c->cmd設定行削除->click();
        written = QStringList{written[1]};
    }
    for (const MsgSpec& box : m_fx.boxes->shown)
        QVERIFY2(box.yesNo, qPrintable(box.text));
    QCOMPARE(offered(), expected);
    QCOMPARE(items(l->cmb氏名選択), expected[1]);
    // The same lists as a full rebuild from the files gives.
    m_w->refreshPickLists();
    QCOMPARE(offered(), expected);
}

void TstFollow::dataInitialisationEmptiesList()
{
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    QCOMPARE(store::run(m_w->MainDb(),
                        u"UPDATE コードマスタ SET sname = '佐藤' WHERE kcode = '氏名' AND code = '001'"_s),
             QString());
    r->cmdクリア->click();
    QCOMPARE(items(l->cmb氏名選択), QStringList{u"佐藤"_s});
    m_w->SSTab1->setCurrentIndex(1);
    l->cmd一覧読込->click();
    QCOMPARE(listed().size(), 2);
    m_w->SSTab1->setCurrentIndex(2);
    c->cmd一括削除7->click();
    QCOMPARE(m_fx.boxes->shown.size(), 2); // the question and the completion notice
    QCOMPARE(l->Grid一覧->model()->rowCount(), 0);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM w一覧"_s).toInt(), 0);
    QCOMPARE(items(l->cmb氏名選択), QStringList());
    QCOMPARE(items(r->cmb氏名), QStringList());
    // The list was read, so what is registered from now on shows in it.
    registerReport(QDate(2024, 6, 1), u"田中"_s, u"初日"_s);
    QCOMPARE(listed(), QStringList{u"2024/06/01 田中 初日"_s});
}

void TstFollow::openingGoneReport_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("選択") << u"button"_s;
    QTest::newRow("double click") << u"double"_s;
    QTest::newRow("Enter") << u"enter"_s;
}

void TstFollow::openingGoneReport()
{
    QFETCH(QString, how);
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-01"_s, u"鈴木"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    m_w->SSTab1->setCurrentIndex(1);
    l->cmd一覧読込->click();
    // Deleted behind the list, as by another user on a team server.
    QCOMPARE(store::run(m_w->MainDb(),
                        u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '鈴木' AND 作成日 = '2024-05-01'"_s),
             QString());
    QCOMPARE(
        store::run(m_w->MainDb(), u"DELETE FROM 営業日報 WHERE 氏名 = '鈴木' AND 作成日 = '2024-05-01'"_s),
        QString());
    r->cmb氏名->setEditText(u"入力中"_s);
    const auto open = [&](int row) {
        DataGrid* g = l->Grid一覧;
        g->setFocus();
        g->setRow(row);
        g->setCol(ListTab::ColName);
        if (how == u"button")
            l->cmd選択->click();
        else if (how == u"enter")
            QTest::keyClick(g, Qt::Key_Return);
        else
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {},
                               g->visualRect(g->model()->index(row, ListTab::ColTitle)).center());
    };
    open(1);
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, u"キーチェック"_s);
    QCOMPARE(m_fx.boxes->shown[0].text,
             u"2024/05/01 鈴木 の日報は登録されていません。一覧から外しました。"_s);
    QVERIFY(!m_fx.boxes->shown[0].yesNo);
    QCOMPARE(listed(), (QStringList{u"2024/05/01 佐藤 既存"_s, u"2024/05/02 鈴木 既存"_s}));
    // Nothing of the entry tab was touched; the list stays in front.
    QCOMPARE(m_w->SSTab1->currentIndex(), 1);
    QCOMPARE(r->cmb氏名->currentText(), u"入力中"_s);
    // A report that is still there opens as before.
    open(1);
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    QCOMPARE(r->cmb氏名->currentText(), u"鈴木"_s);
    QCOMPARE(r->Dt日付->date(), QDate(2024, 5, 2));
}

void TstFollow::registrationShowsInList_data()
{
    QTest::addColumn<QString>("state"); // how the list was left: "read:<filter>", "cleared", "never"
    QTest::addColumn<QStringList>("expected");
    const QStringList before{u"2024/05/01 佐藤 既存"_s, u"2024/05/03 鈴木 既存"_s};
    const QStringList with{u"2024/05/01 佐藤 既存"_s, u"2024/05/02 山田 週報"_s, u"2024/05/03 鈴木 既存"_s};
    QTest::newRow("read for everyone: in its place") << u"read:"_s << with;
    QTest::newRow("read for the person") << u"read:山田"_s << QStringList{u"2024/05/02 山田 週報"_s};
    QTest::newRow("read for another person") << u"read:佐藤"_s << QStringList{u"2024/05/01 佐藤 既存"_s};
    QTest::newRow("cleared") << u"cleared"_s << QStringList{};
    QTest::newRow("not read in this run") << u"never"_s << before;
}

void TstFollow::registrationShowsInList()
{
    QFETCH(QString, state);
    QFETCH(QStringList, expected);
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-03"_s, u"鈴木"_s);
    m_w->SSTab1->setCurrentIndex(1);
    if (state == u"never") {
        // Rows left from an earlier run: shown, but read with a filter nobody knows now.
        QCOMPARE(list::readList(m_w->MainDb(), m_w->WorkDb(), QString()).error, QString());
        QCOMPARE(l->dat一覧->refresh(), QString());
    } else {
        l->cmb氏名選択->setEditText(state.startsWith(u"read:") ? state.mid(5) : QString());
        l->cmd一覧読込->click();
        if (state == u"cleared")
            l->cmd一覧クリア->click();
        // The filter typed later does not change which list was read.
        l->cmb氏名選択->setEditText(u"鈴木"_s);
    }
    registerReport(QDate(2024, 5, 2), u"山田"_s, u"週報"_s);
    QCOMPARE(m_fx.boxes->shown.size(), 1); // the confirmation only
    QCOMPARE(listed(), expected);
    // The visit destination it taught the code master is offered on the next line at once.
    QVERIFY(items(r->DD訪問先).contains(u"新規取引先"_s));

    // Registered again with another title: its row changes, once.
    registerReport(QDate(2024, 5, 2), u"山田"_s, u"月報"_s);
    expected.replaceInStrings(u"山田 週報"_s, u"山田 月報"_s);
    QCOMPARE(listed(), expected);
}

QTEST_MAIN(TstFollow)
#include "tst_follow.moc"
