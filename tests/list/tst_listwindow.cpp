// The 日報一覧 tab driven through its controls: reading, clearing, deleting, opening a report.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "list/ListStore.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "store/Rows.h"
#include "ui/NaturalOrder.h"

#include <QCheckBox>
#include <QApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstListWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void readAndFilterThroughTheButtons();
    void clearKeepsItemsAndReports();
    void deleteTickedThroughTheGrid_data();
    void deleteTickedThroughTheGrid();
    void deleteWithNothingTickedSaysSo();
    void failedDeletionShowsNoticeAndKeepsAll();
    void listSurvivesRestart();
    void select_data();
    void select();
    void selectOnEmptyRowDoesNothing_data();
    void selectOnEmptyRowDoesNothing();
    void manyRowsAreFetchedAsShown();
    void readKeys_data();
    void readKeys();
    void naturalOrder_data();
    void naturalOrder();
    void headerClickSorts();
    void localListHasNoChangeColumns();

  private:
    void report(const QString& date, const QString& name, int lines = 2);
    QStringList listed();
    int storedReports()
    {
        return firstValue(m_w->MainDb(), u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt();
    }
    void clickTick(int row);
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ListTab* t = nullptr;
};

void TstListWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    t = m_w->listTab();
    m_w->SSTab1->setCurrentIndex(1);
}

void TstListWindow::cleanup()
{
    m_fx.stop();
}

void TstListWindow::report(const QString& date, const QString& name, int lines)
{
    QCOMPARE(store::run(m_w->MainDb(), u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', 'タイトル')"_s,
                        {date, name}),
             QString());
    for (int n = 1; n <= lines; ++n)
        QCOMPARE(
            store::run(
                m_w->MainDb(),
                u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 内容) VALUES (?, ?, ?, ?, ?, ?)"_s,
                {date, name, n, date, date, u"%1の内容%2"_s.arg(name).arg(n)}),
            QString());
}

// What the grid shows: "date name ticked" per row.
QStringList TstListWindow::listed()
{
    QStringList out;
    auto* m = t->Grid一覧->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << u"%1 %2 %3"_s.arg(
            m->index(r, ListTab::ColDate).data().toString(), m->index(r, ListTab::ColName).data().toString(),
            m->index(r, ListTab::ColCheck).data(Qt::CheckStateRole).toInt() == Qt::Checked ? u"✓"_s : u"-"_s);
    return out;
}

void TstListWindow::clickTick(int row)
{
    DataGrid* g = t->Grid一覧;
    const QRect cell = g->visualRect(g->model()->index(row, ListTab::ColCheck));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
}

void TstListWindow::readAndFilterThroughTheButtons()
{
    report(u"2024-05-02"_s, u"鈴木"_s);
    report(u"2024-05-01"_s, u"O'Brien%"_s);
    report(u"2024-05-02"_s, u"佐藤"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed(),
             (QStringList{u"2024/05/01 O'Brien% -"_s, u"2024/05/02 佐藤 -"_s, u"2024/05/02 鈴木 -"_s}));
    // A name typed into the filter, not among its items, filters exactly.
    t->cmb氏名選択->setFocus();
    t->cmb氏名選択->setEditText(u"O'Brien%"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed(), QStringList{u"2024/05/01 O'Brien% -"_s});
    t->cmb氏名選択->setEditText(u"O'Brien"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed(), QStringList());
}

void TstListWindow::clearKeepsItemsAndReports()
{
    report(u"2024-05-02"_s, u"鈴木"_s);
    t->setPickLists({u"佐藤"_s, u"鈴木"_s});
    t->cmb氏名選択->setEditText(u"鈴木"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed().size(), 1);
    t->cmd一覧クリア->click();
    QCOMPARE(t->cmb氏名選択->currentText(), QString());
    QCOMPARE(t->cmb氏名選択->count(), 2);
    QCOMPARE(listed(), QStringList());
    QCOMPARE(storedReports(), 1);
}

void TstListWindow::deleteTickedThroughTheGrid_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("answered Yes: deleted") << true;
    QTest::newRow("answered No: nothing changes") << false;
}

void TstListWindow::deleteTickedThroughTheGrid()
{
    QFETCH(bool, yes);
    report(u"2024-05-01"_s, u"佐藤"_s, 3);
    report(u"2024-05-02"_s, u"佐藤"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    report(u"2024-05-03"_s, u"鈴木"_s);
    t->cmd一覧読込->click();
    t->Grid一覧->setFocus();
    clickTick(0);
    clickTick(2);
    // The last tick by keyboard, on the current row.
    t->Grid一覧->setRow(3);
    t->Grid一覧->setCol(ListTab::ColCheck);
    QTest::keyClick(t->Grid一覧, Qt::Key_Space);
    QCOMPARE(listed(), (QStringList{u"2024/05/01 佐藤 ✓"_s, u"2024/05/02 佐藤 -"_s, u"2024/05/02 鈴木 ✓"_s,
                                    u"2024/05/03 鈴木 ✓"_s}));
    clickTick(3); // and off again
    const QStringList ticked = listed();
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {yes};
    t->cmd一覧削除->click();
    // One question, No being the default, and no notice after it.
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, u"削除の確認"_s);
    QCOMPARE(m_fx.boxes->shown[0].text, u"指定されたデータ を削除します。よろしいですか"_s);
    QVERIFY(m_fx.boxes->shown[0].yesNo && m_fx.boxes->shown[0].defaultNo);
    if (!yes) {
        QCOMPARE(listed(), ticked);
        QCOMPARE(storedReports(), 4);
        QCOMPARE(firstValue(m_w->MainDb(), u"SELECT count(*) FROM 営業日報"_s).toInt(), 9);
        return;
    }
    QCOMPARE(listed(), (QStringList{u"2024/05/02 佐藤 -"_s, u"2024/05/03 鈴木 -"_s}));
    QCOMPARE(firstValue(m_w->MainDb(),
                        u"SELECT group_concat(作成日 || 氏名, ',') FROM (SELECT * FROM 営業日報ヘッダ "
                        "ORDER BY 1, 2)"_s)
                 .toString(),
             u"2024-05-02佐藤,2024-05-03鈴木"_s);
    QCOMPARE(firstValue(m_w->MainDb(), u"SELECT count(*) FROM 営業日報"_s).toInt(), 4);
}

void TstListWindow::deleteWithNothingTickedSaysSo()
{
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    t->cmd一覧読込->click();
    const QStringList before = listed();
    m_fx.boxes->answers = {true};
    t->cmd一覧削除->click();
    QCOMPARE(listed(), before);
    QCOMPARE(storedReports(), 2);
    // A notice, not a question: there is nothing to delete.
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].text, u"行が指定されていません。行指定してください。"_s);
    QVERIFY(!m_fx.boxes->shown[0].yesNo);
}

void TstListWindow::failedDeletionShowsNoticeAndKeepsAll()
{
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    report(u"2024-05-03"_s, u"田中"_s);
    t->cmd一覧読込->click();
    for (int r = 0; r < 3; ++r)
        clickTick(r);
    // The second report's header cannot be deleted.
    QCOMPARE(store::run(m_w->MainDb(),
                        u"CREATE TRIGGER keep BEFORE DELETE ON 営業日報ヘッダ WHEN OLD.氏名 = '鈴木' "
                        "BEGIN SELECT RAISE(ABORT, '削除できない日報'); END"_s),
             QString());
    m_fx.boxes->answers = {true};
    t->cmd一覧削除->click();
    QCOMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].title, u"注意"_s);
    QVERIFY(m_fx.boxes->shown[1].text.contains(u"削除できない日報"_s));
    QCOMPARE(storedReports(), 3);
    QCOMPARE(firstValue(m_w->MainDb(), u"SELECT count(*) FROM 営業日報"_s).toInt(), 6);
    QCOMPARE(listed(), (QStringList{u"2024/05/01 佐藤 ✓"_s, u"2024/05/02 鈴木 ✓"_s, u"2024/05/03 田中 ✓"_s}));
}

void TstListWindow::listSurvivesRestart()
{
    report(u"2024-05-01"_s, u"佐藤"_s);
    report(u"2024-05-02"_s, u"鈴木"_s);
    t->cmd一覧読込->click();
    clickTick(1);
    const QStringList before = listed();
    // A report registered meanwhile appears only at the next 読込.
    report(u"2024-05-03"_s, u"田中"_s);
    const app::DataPaths paths = m_w->paths();
    m_fx.window.reset();
    m_fx.window = std::make_unique<FrmTesvan>();
    QVERIFY(m_fx.window->loadFrom(paths));
    m_w = m_fx.window.get();
    t = m_w->listTab();
    // What the last run left is read when the list's tab is first shown.
    m_w->SSTab1->setCurrentIndex(1);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    QCOMPARE(before, (QStringList{u"2024/05/01 佐藤 -"_s, u"2024/05/02 鈴木 ✓"_s}));
    QCOMPARE(listed(), before);
}

void TstListWindow::select_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("button") << u"button"_s;
    QTest::newRow("double click") << u"double"_s;
    QTest::newRow("Enter") << u"enter"_s;
}

void TstListWindow::select()
{
    QFETCH(QString, how);
    report(u"2024-05-01"_s, u"佐藤"_s, 3);
    report(u"2024-05-01"_s, u"鈴木"_s, 1);
    t->cmd一覧読込->click();
    DataGrid* g = t->Grid一覧;
    g->setFocus();
    g->setRow(1);
    g->setCol(ListTab::ColName);
    if (how == u"button") {
        t->cmd選択->click();
    } else if (how == u"enter") {
        QTest::keyClick(g, Qt::Key_Return);
    } else {
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {},
                           g->visualRect(g->model()->index(1, ListTab::ColTitle)).center());
    }
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    ReportTab* r = m_w->reportTab();
    QCOMPARE(r->cmb氏名->currentText(), u"鈴木"_s);
    QCOMPARE(r->Dt日付->date(), QDate(2024, 5, 1));
    QCOMPARE(r->dat日報->value(0, u"内容"_s).toString(), u"鈴木の内容1"_s);
    QVERIFY(r->dat日報->value(1, u"内容"_s).isNull());
    QVERIFY(m_fx.boxes->shown.isEmpty());
}

void TstListWindow::selectOnEmptyRowDoesNothing_data()
{
    QTest::addColumn<QVariant>("date");
    QTest::addColumn<QVariant>("name");
    QTest::newRow("empty name") << QVariant(u"2024-05-01"_s) << QVariant(u""_s);
    QTest::newRow("null name") << QVariant(u"2024-05-01"_s) << QVariant();
    QTest::newRow("no date") << QVariant() << QVariant(u"佐藤"_s);
}

void TstListWindow::selectOnEmptyRowDoesNothing()
{
    QFETCH(QVariant, date);
    QFETCH(QVariant, name);
    report(u"2024-05-01"_s, u"佐藤"_s);
    QCOMPARE(store::run(m_w->WorkDb(), u"INSERT INTO w一覧 (作成日, 氏名) VALUES (?, ?)"_s, {date, name}),
             QString());
    QCOMPARE(t->dat一覧->refresh(), QString());
    ReportTab* r = m_w->reportTab();
    r->cmb氏名->setEditText(u"前の氏名"_s);
    t->Grid一覧->setFocus();
    t->Grid一覧->setRow(0);
    t->Grid一覧->setCol(ListTab::ColName);
    t->cmd選択->click();
    QCOMPARE(m_w->SSTab1->currentIndex(), 1);
    QCOMPARE(r->cmb氏名->currentText(), u"前の氏名"_s);
    QVERIFY(m_fx.boxes->shown.isEmpty());
    // No rows at all: nothing either.
    t->cmd一覧クリア->click();
    t->cmd選択->click();
    QCOMPARE(m_w->SSTab1->currentIndex(), 1);
}

void TstListWindow::manyRowsAreFetchedAsShown()
{
    // More rows than the grid keeps at once: the last row and a tick on it read and write right.
    {
        store::Transaction tx(m_w->MainDb());
        for (int i = 0; i < 6000; ++i)
            QCOMPARE(
                store::run(m_w->MainDb(), u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '', '')"_s,
                           {QDate(2000, 1, 1).addDays(i / 3).toString(Qt::ISODate), u"社員%1"_s.arg(i % 3)}),
                QString());
        QVERIFY(tx.commit());
    }
    t->cmd一覧読込->click();
    DataGrid* g = t->Grid一覧;
    QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(g->model()->rowCount(), 6000);
    g->scrollToBottom();
    QCOMPARE(g->model()->index(5999, ListTab::ColName).data().toString(), u"社員2"_s);
    QCOMPARE(g->model()->index(5999, ListTab::ColDate).data().toString(),
             QDate(2000, 1, 1).addDays(1999).toString(u"yyyy/MM/dd"_s));
    g->setFocus();
    g->setRow(5999);
    g->setCol(ListTab::ColCheck);
    QTest::keyClick(g, Qt::Key_Space);
    // Back to the top and down again, page by page.
    g->scrollToTop();
    QCOMPARE(g->model()->index(0, ListTab::ColName).data().toString(), u"社員0"_s);
    for (int r = 0; r < 6000; r += 97)
        QCOMPARE(g->model()->index(r, ListTab::ColName).data().toString(), u"社員%1"_s.arg(r % 3));
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT 氏名 || 作成日 FROM w一覧 WHERE チェック = 1"_s).toString(),
             u"社員2"_s + QDate(2000, 1, 1).addDays(1999).toString(Qt::ISODate));
    m_fx.boxes->answers = {true};
    t->cmd一覧削除->click();
    QCOMPARE(g->model()->rowCount(), 5999);
    QCOMPARE(storedReports(), 5999);
}

void TstListWindow::readKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("inFilter");
    QTest::newRow("Enter in the name filter") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter in the name filter") << int(Qt::Key_Enter) << true;
    QTest::newRow("F5 in the name filter") << int(Qt::Key_F5) << true;
    QTest::newRow("F5 in the grid") << int(Qt::Key_F5) << false;
}

void TstListWindow::readKeys()
{
    QFETCH(int, key);
    QFETCH(bool, inFilter);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    report(u"2026-12-01"_s, u"山田"_s);
    report(u"2026-12-02"_s, u"佐藤"_s);
    QVERIFY(listed().isEmpty());
    QWidget* target = inFilter ? static_cast<QWidget*>(t->cmb氏名選択) : t->Grid一覧;
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    if (inFilter) {
        const QString name = u"山田"_s;
        for (const QChar ch : name)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    // Read through the button's path: the filter holds, nothing else is asked.
    QTRY_COMPARE(listed().size(), inFilter ? 1 : 2);
    QVERIFY(listed().first().contains(u"山田"_s));
    QVERIFY(m_fx.boxes->shown.isEmpty());
}

void TstListWindow::naturalOrder_data()
{
    QTest::addColumn<QStringList>("values"); // "" is an empty value, "-" a Null
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numbers by their value") << QStringList{u"社員10"_s, u"社員2"_s, u"社員1"_s} << false
                                            << QStringList{u"社員1"_s, u"社員2"_s, u"社員10"_s};
    QTest::newRow("descending") << QStringList{u"社員2"_s, u"社員10"_s, u"社員1"_s} << true
                                << QStringList{u"社員10"_s, u"社員2"_s, u"社員1"_s};
    QTest::newRow("full-width digits count too")
        << QStringList{u"社員１０"_s, u"社員９"_s} << false << QStringList{u"社員９"_s, u"社員１０"_s};
    QTest::newRow("dates as stored") << QStringList{u"2024-12-01"_s, u"2024-04-30"_s, u"2023-12-31"_s}
                                     << false
                                     << QStringList{u"2023-12-31"_s, u"2024-04-30"_s, u"2024-12-01"_s};
    QTest::newRow("empty last both ways, ascending")
        << QStringList{u""_s, u"b"_s, u"-"_s, u"a"_s} << false << QStringList{u"a"_s, u"b"_s, u""_s, u"-"_s};
    QTest::newRow("empty last both ways, descending")
        << QStringList{u""_s, u"b"_s, u"-"_s, u"a"_s} << true << QStringList{u"b"_s, u"a"_s, u""_s, u"-"_s};
}

// The order people expect of names with numbers; equal and empty values keep the list's order.
void TstListWindow::naturalOrder()
{
    QFETCH(QStringList, values);
    QFETCH(bool, descending);
    QFETCH(QStringList, sorted);
    QList<QVariant> in;
    for (const QString& v : values)
        in << (v == u"-"_s ? QVariant() : QVariant(v));
    QStringList got;
    for (const qsizetype i : app::naturalOrder(in, descending ? Qt::DescendingOrder : Qt::AscendingOrder))
        got << values[i];
    QCOMPARE(got, sorted);
}

// A click on a header sorts by that column (社員2 before 社員10), a second click the other way;
// 読込 gives the list's own order back. The cursor stays on its report.
void TstListWindow::headerClickSorts()
{
    report(u"2024-05-01"_s, u"社員10"_s);
    report(u"2024-05-02"_s, u"社員2"_s);
    report(u"2024-05-03"_s, u"社員1"_s);
    t->cmd一覧読込->click();
    const QStringList own{u"2024/05/01 社員10 -"_s, u"2024/05/02 社員2 -"_s, u"2024/05/03 社員1 -"_s};
    QCOMPARE(listed(), own);
    DataGrid* g = t->Grid一覧;
    g->setRow(1);
    QHeaderView* header = g->horizontalHeader();
    const auto clickHeader = [&](int col) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                                 header->height() / 2));
    };
    clickHeader(ListTab::ColName);
    QCOMPARE(listed(),
             (QStringList{u"2024/05/03 社員1 -"_s, u"2024/05/02 社員2 -"_s, u"2024/05/01 社員10 -"_s}));
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), int(ListTab::ColName));
    QCOMPARE(g->columnText(ListTab::ColName), u"社員2"_s);
    clickHeader(ListTab::ColName);
    QCOMPARE(listed(),
             (QStringList{u"2024/05/01 社員10 -"_s, u"2024/05/02 社員2 -"_s, u"2024/05/03 社員1 -"_s}));
    clickHeader(ListTab::ColDate);
    QCOMPARE(listed(), own);
    clickHeader(ListTab::ColDate);
    QCOMPARE(listed().first(), u"2024/05/03 社員1 -"_s);
    // A tick set on the sorted list lands on its report.
    clickTick(0);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT 氏名 FROM w一覧 WHERE チェック <> 0"_s).toString(),
             u"社員1"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed(), own);
    QVERIFY(!header->isSortIndicatorShown());
}

// A local file keeps no record of who changed a report: the list's columns are its own five,
// and the work file gains nothing after a read.
void TstListWindow::localListHasNoChangeColumns()
{
    report(u"2024-05-01"_s, u"佐藤"_s);
    t->cmd一覧読込->click();
    QCOMPARE(listed(), QStringList{u"2024/05/01 佐藤 -"_s});
    QAbstractItemModel* m = t->Grid一覧->model();
    QCOMPARE(m->columnCount(), 5);
    QStringList captions;
    for (int c = ListTab::ColDate; c < m->columnCount(); ++c)
        captions << m->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(captions, QStringList({u"作成日"_s, u"氏　名"_s, u"所　属"_s, u"タイトル"_s}));
    QVERIFY(!list::hasChangeColumns(m_w->WorkDb()));
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM pragma_table_info('w一覧')"_s).toInt(), 5);
    // Read marks are a team server's: the unread filter is not there to tick.
    QVERIFY(t->chk未読のみ->isHidden());
}

QTEST_MAIN(TstListWindow)
#include "tst_listwindow.moc"
