// The main window as the user meets it: every control, the grid layouts and their keys.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"

#include <QAbstractItemModelTester>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QScreen>
#include <QSqlQuery>
#include <QTabWidget>
#include <QtTest>

using namespace testing;

class TstWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void controlsByName_data();
    void controlsByName();
    void tooltips_data();
    void tooltips();
    void reportGridLayout();
    void otherGridLayouts();
    void formatsShowStoredValues();
    void tabSkipsNoCursorColumns();
    void tickBoxWritesTable();
    void enterWrapsToNextRow();
    void creationDateInput();
    void categoryList();
    void fitsSmallScreen();

  private:
    int workInt(const QString& sql);
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
};

void TstWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
}

void TstWindow::cleanup()
{
    m_fx.stop();
}

int TstWindow::workInt(const QString& sql)
{
    const QVariant v = firstValue(m_w->WorkDb(), sql);
    return v.typeId() == QMetaType::QString && v.toString() == "<none>" ? -1 : v.toInt();
}

void TstWindow::controlsByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("caption");
    const char* b = "CommandButton";
    const QList<std::tuple<const char*, const char*, const char*>> rows = {
        {"Dt日付", "DateInput", ""},
        {"cmb氏名", "Combo", ""},
        {"cmb所属", "Combo", ""},
        {"txtタイトル", "QLineEdit", ""},
        {"Grid日報", "DataGrid", ""},
        {"Dt日付入力", "DateInput", ""},
        {"DD訪問先", "DropDown", ""},
        {"DD備考", "DropDown", ""},
        {"Cnテキスト入力", "QFrame", ""},
        {"txt内容", "QPlainTextEdit", ""},
        {"cmd入力書込", b, "決定"},
        {"cmd入力閉じる", b, "閉じる"},
        {"cmdクリア", b, "クリア"},
        {"cmd閉じる", b, "閉じる"},
        {"cmdHint", b, ""},
        {"cmd読込", b, "読込"},
        {"cmd印刷", b, "印刷"},
        {"cmd登録", b, "登録"},
        {"cmd行削除", b, "行削除"},
        {"cmd全選択", b, "全選択"},
        {"cmd全解除", b, "全解除"},
        {"cmb氏名選択", "Combo", ""},
        {"Grid一覧", "DataGrid", ""},
        {"cmd一覧クリア", b, "クリア"},
        {"cmd一覧削除", b, "削除"},
        {"cmd一覧読込", b, "読込"},
        {"cmd選択", b, "選択"},
        {"cmdHint2", b, ""},
        {"cmbコード区分", "Combo", ""},
        {"Gridコード表", "DataGrid", ""},
        {"cmd設定登録", b, "登録"},
        {"cmd設定クリア", b, "クリア"},
        {"cmd設定削除", b, "削除"},
        {"cmd設定読込", b, "読込"},
        {"cmd設定行削除", b, "行削除"},
        {"cmdHint3", b, ""},
        {"cmd一括削除7", b, "実行"},
        {"lblInfo", "QLabel", ""},
        {"lblSupport", "QLabel", ""},
    };
    for (const auto& [n, t, c] : rows)
        QTest::newRow(n) << QString(n) << QString(t) << QString(c);
}

void TstWindow::controlsByName()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, caption);
    const QList<QWidget*> found = m_w->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* w = found.first();
    QVERIFY2(w->inherits(type.toLatin1()), w->metaObject()->className());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QCOMPARE(button->text(), caption);
        if (name.startsWith("cmdHint"))
            QVERIFY(!button->icon().isNull());
    }
}

void TstWindow::tooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");
    QTest::newRow("一覧クリア") << "cmd一覧クリア"
                                << "一覧画面クリア。登録済みデータは消去されない。";
    QTest::newRow("一覧削除") << "cmd一覧削除"
                              << "指定された日報を削除";
    QTest::newRow("一覧読込") << "cmd一覧読込"
                              << "一覧を読込";
    QTest::newRow("設定クリア") << "cmd設定クリア"
                                << "設定画面の情報を消去します。登録済みデータは消去されません。";
    QTest::newRow("設定削除") << "cmd設定削除"
                              << "設定情報を削除し初期値に戻します。";
    QTest::newRow("設定読込") << "cmd設定読込"
                              << "設定を読込みます";
    QTest::newRow("設定行削除") << "cmd設定行削除"
                                << "指定行削除";
    QTest::newRow("選択 has none") << "cmd選択"
                                   << "";
    QTest::newRow("設定登録 has none") << "cmd設定登録"
                                       << "";
}

void TstWindow::tooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, tip);
    auto* w = m_w->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->toolTip(), tip);
}

void TstWindow::reportGridLayout()
{
    ReportTab* r = m_w->reportTab();
    DataGrid* g = r->Grid日報;
    QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(g->model()->columnCount(), 9);
    QCOMPARE(g->model()->rowCount(), 100);
    const QStringList captions = {"", "", "日付", "", "時間", "訪問先", "担当", "内　　容", "備　考"};
    for (int c = 0; c < 9; ++c)
        if (c != 3)
            QCOMPARE(g->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
    QVERIFY(g->isColumnHidden(3));
    for (int c = 0; c < 9; ++c)
        QCOMPARE(g->isColumnHidden(c), c == 3);
    const double widths[] = {360, 345.2599, 854.9292, 854.9292, 764.7874, 1950.236, 1240, 3690, 2300};
    for (int c = 0; c < 9; ++c)
        QVERIFY2(qAbs(g->columnWidthTwips(c) - widths[c]) < 1.0, qPrintable(QString::number(c)));
    // Wider columns are wider on screen, in proportion.
    QVERIFY(g->columnWidth(7) > 4 * g->columnWidth(0));
    QCOMPARE(g->model()->data(g->model()->index(0, 0)).toInt(), 1);
    QCOMPARE(g->model()->data(g->model()->index(99, 0)).toInt(), 100);
    const auto align = [g](int c) {
        return Qt::Alignment(g->model()->data(g->model()->index(0, c), Qt::TextAlignmentRole).toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(align(4), Qt::AlignHCenter);
    QCOMPARE(align(6), Qt::AlignHCenter);
    QVERIFY(align(5) == Qt::AlignLeft || align(5) == Qt::Alignment());
    QVERIFY(align(7) == Qt::AlignLeft || align(7) == Qt::Alignment());
    QVERIFY(r->Cnテキスト入力->isHidden());
}

void TstWindow::otherGridLayouts()
{
    DataGrid* gl = m_w->listTab()->Grid一覧;
    const QStringList lc = {"", "作成日", "氏　名", "所　属", "タイトル"};
    QCOMPARE(gl->model()->columnCount(), 5);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(gl->model()->headerData(c, Qt::Horizontal).toString(), lc[c]);
    const double lw[] = {345.2599, 1409.953, 2055.118, 1560.189, 5009.953};
    for (int c = 0; c < 5; ++c)
        QVERIFY(qAbs(gl->columnWidthTwips(c) - lw[c]) < 1.0);

    DataGrid* gc = m_w->codeTab()->Gridコード表;
    QCOMPARE(gc->model()->columnCount(), 4);
    QVERIFY(gc->isColumnHidden(0));
    QVERIFY(!gc->isColumnHidden(1) && !gc->isColumnHidden(2) && !gc->isColumnHidden(3));
    QCOMPARE(gc->model()->headerData(3, Qt::Horizontal).toString(), QString("名　　　　　称"));
    QVERIFY(qAbs(gc->columnWidthTwips(3) - 6330) < 1.0);
}

void TstWindow::formatsShowStoredValues()
{
    QSqlQuery q(m_w->WorkDb());
    QVERIFY(q.exec(
        "UPDATE w営業日報 SET 時間 = '0930', 表示日付 = '2026-04-01', 日付 = '2026-04-01' WHERE 行番号 = 1"));
    QVERIFY(q.exec("UPDATE w営業日報 SET 時間 = '2400' WHERE 行番号 = 2"));
    ReportTab* r = m_w->reportTab();
    QVERIFY(r->dat日報->refresh().ok());
    QAbstractItemModel* m = r->Grid日報->model();
    QCOMPARE(m->data(m->index(0, 4)).toString(), QString("09:30"));
    QCOMPARE(m->data(m->index(1, 4)).toString(), QString("24:00"));
    QCOMPARE(m->data(m->index(0, 2)).toString(), QString("04/01"));
    QCOMPARE(m->data(m->index(1, 2)).toString(), QString());
    r->Grid日報->setRow(0);
    QCOMPARE(r->Grid日報->columnValue(4).toString(), QString("0930"));
    QCOMPARE(r->Grid日報->columnText(4), QString("09:30"));
}

void TstWindow::tabSkipsNoCursorColumns()
{
    DataGrid* g = m_w->reportTab()->Grid日報;
    g->setFocus();
    g->setRow(0);
    g->setCol(1);
    QSet<int> visited;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(g, Qt::Key_Tab);
        visited << g->col();
    }
    QVERIFY(!visited.contains(0));
    QVERIFY(!visited.contains(3));
    QVERIFY(visited.contains(2) && visited.contains(8));
    QVERIFY(g->row() >= 1);

    m_w->SSTab1->setCurrentIndex(2);
    DataGrid* gc = m_w->codeTab()->Gridコード表;
    QVERIFY(gc->model()->rowCount() >= 0);
    if (gc->model()->rowCount() > 1) {
        gc->setFocus();
        gc->setRow(0);
        gc->setCol(1);
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(gc, Qt::Key_Tab);
            QVERIFY(gc->col() != 2 && gc->col() != 0);
        }
    }
}

void TstWindow::tickBoxWritesTable()
{
    DataGrid* g = m_w->reportTab()->Grid日報;
    const QRect cell = g->visualRect(g->model()->index(2, 1));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(workInt("SELECT チェック FROM w営業日報 WHERE 行番号 = 3"), 1);
    QCOMPARE(workInt("SELECT sum(チェック) FROM w営業日報"), 1);
    g->setFocus();
    g->setRow(4);
    g->setCol(1);
    QTest::keyClick(g, Qt::Key_Space);
    QCOMPARE(workInt("SELECT チェック FROM w営業日報 WHERE 行番号 = 5"), 1);
    QTest::keyClick(g, Qt::Key_Space);
    QCOMPARE(workInt("SELECT チェック FROM w営業日報 WHERE 行番号 = 5"), 0);
}

void TstWindow::enterWrapsToNextRow()
{
    // Enter walks right along a line of the code grid, past the code column; after the name it
    // goes on to the next line's name, where the next name is typed.
    m_w->SSTab1->setCurrentIndex(2);
    DataGrid* g = m_w->codeTab()->Gridコード表;
    g->setFocus();
    g->setRow(0);
    g->setCol(1);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 0);
    QCOMPARE(g->col(), 3);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 1);
    QCOMPARE(g->col(), 3);
}

void TstWindow::creationDateInput()
{
    DateInput* d = m_w->reportTab()->Dt日付;
    QVERIFY(d->isNull());
    QCOMPARE(d->format(), QString("yyyy年mm月dd日"));
    QCOMPARE(m_w->reportTab()->Dt日付入力->format(), QString("yy/mm/dd"));
    d->setFocus();
    QTest::keyClicks(d, "20260401");
    QTest::keyClick(d, Qt::Key_Return);
    QCOMPARE(d->date(), QDate(2026, 4, 1));
    QCOMPARE(d->formatted("yyyy/mm/dd"), QString("2026/04/01"));
    QCOMPARE(d->text(), QString("2026年04月01日"));
    // An impossible date stays as typed, marked, and the control holds no date.
    d->selectAll();
    QTest::keyClicks(d, "2026/02/30");
    QTest::keyClick(d, Qt::Key_Return);
    QVERIFY(d->isNull());
    QVERIFY(d->isInvalid());
    QCOMPARE(d->text(), QString("2026/02/30"));
    // Its left edge is 1080 twips into the header.
    QVERIFY(qAbs(d->x() - qRound(1080.0 * d->logicalDpiX() / 1440)) <= 1);
}

void TstWindow::categoryList()
{
    QCOMPARE(QApplication::focusWidget(), m_w->reportTab()->Dt日付);
    Combo* k = m_w->codeTab()->cmbコード区分;
    QCOMPARE(k->count(), 4);
    const QStringList want = {"所属", "氏名", "備考", "訪問先"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(k->itemText(i), want[i]);
    QCOMPARE(k->currentText(), QString("所属"));
}

void TstWindow::fitsSmallScreen()
{
    QVERIFY(m_w->width() <= 1366);
    QVERIFY(m_w->height() <= 728);
    DataGrid* g = m_w->reportTab()->Grid日報;
    QCOMPARE(g->horizontalScrollBar()->maximum(), 0);
}

QTEST_MAIN(TstWindow)
#include "tst_window.moc"
