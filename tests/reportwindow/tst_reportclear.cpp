// クリア on the 営業日報 tab, from every state the lines can be in, and the pick lists it keeps.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "report/ReportTab.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/Controls.h"
#include "ui/DropDown.h"
#include "codes/PickLists.h"
#include "app/DataFolder.h"

#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

using namespace testing;

class TstReportClear : public QObject {
    Q_OBJECT
  private slots:
    void init()
    {
        QVERIFY(m_fx.start());
        m_w = m_fx.window.get();
        m_boxes = m_fx.boxes.get();
        r = m_w->reportTab();
    }
    void cleanup() { m_fx.stop(); }
    void clearShowsWhatAFreshReadShows_data();
    void clearShowsWhatAFreshReadShows();
    void dropDownOffersItsListAtFirstEdit_data();
    void dropDownOffersItsListAtFirstEdit();

  private:
    void setHeader(const QDate& d, const QString& name)
    {
        r->Dt日付->setDate(d);
        r->cmb氏名->setEditText(name);
    }
    WindowFixture m_fx;
    ScriptedBoxes* m_boxes = nullptr;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

// クリア leaves the table blank and the grid showing exactly what a source reading the table
// afresh holds, whatever the lines held and whether or not the grid had seen it.
void TstReportClear::clearShowsWhatAFreshReadShows_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("after 読込") << "read";
    QTest::newRow("one row ticked") << "ticked";
    QTest::newRow("written behind the grid's back") << "unseen";
    QTest::newRow("already blank") << "blank";
}

void TstReportClear::clearShowsWhatAFreshReadShows()
{
    QFETCH(QString, state);
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec("INSERT INTO 営業日報ヘッダ VALUES ('2026-04-01', '佐藤', '営業部', 'T')"));
    for (int n = 1; n <= 20; ++n)
        QVERIFY(q.exec(QString("INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 時間, 内容) VALUES "
                               "('2026-04-01', '佐藤', %1, '2026-04-01', '0930', 'L%1')")
                           .arg(n)));
    if (state == "read") {
        setHeader(QDate(2026, 4, 1), "佐藤");
        r->cmd読込->click();
        QCOMPARE(r->dat日報->value(19, "内容").toString(), QString("L20"));
    } else if (state == "ticked") {
        QCOMPARE(r->dat日報->setValue(4, "チェック", 1), QString());
    } else if (state == "unseen") {
        QSqlQuery w(m_w->WorkDb());
        QVERIFY(w.exec("UPDATE w営業日報 SET 備考 = 'x' WHERE 行番号 = 100"));
        // A line's value that is not registered: クリア asks first.
        m_boxes->answers << true;
    }
    r->cmdクリア->click();
    QCOMPARE(firstValue(
                 m_w->WorkDb(),
                 "SELECT count(*) FROM w営業日報 WHERE チェック = 0 AND coalesce(表示日付, 日付, 時間, 担当, "
                 "訪問先, 内容, 備考) IS NULL AND 行番号 = rowid")
                 .toInt(),
             100);
    DataSource fresh;
    fresh.setDatabase(r->dat日報->database());
    fresh.setRecordSource("w営業日報", "行番号");
    QCOMPARE(fresh.refresh(), QString());
    QCOMPARE(r->dat日報->fieldNames(), fresh.fieldNames());
    QCOMPARE(r->dat日報->rowCount(), fresh.rowCount());
    const DataGridModel* model = r->Grid日報->gridModel();
    for (int row = 0; row < fresh.rowCount(); ++row) {
        QCOMPARE(r->dat日報->rowId(row), fresh.rowId(row));
        for (int f = 0; f < fresh.fieldNames().size(); ++f) {
            QCOMPARE(r->dat日報->valueAt(row, f), fresh.valueAt(row, f));
            QCOMPARE(r->dat日報->valueAt(row, f).metaType(), fresh.valueAt(row, f).metaType());
        }
        for (int c = ReportTab::ColCheck + 1; c < model->columnCount(); ++c)
            QCOMPARE(model->text(row, c), QString());
        QVERIFY(!model->isTicked(row, ReportTab::ColCheck));
    }
    QCOMPARE(m_boxes->shown.size(), state == "unseen" ? 1 : 0);
}

// The grid's drop-downs are not filled at start: each reads its list as it opens on a cell. A
// window started on files whose lists are already in place offers them at the first edit, and
// a name the code master gained meanwhile too.
void TstReportClear::dropDownOffersItsListAtFirstEdit_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("category");
    QTest::newRow("訪問先") << int(ReportTab::ColPlace) << "訪問先";
    QTest::newRow("備考") << int(ReportTab::ColNote) << "備考";
}

void TstReportClear::dropDownOffersItsListAtFirstEdit()
{
    QFETCH(int, column);
    QFETCH(QString, category);
    QVERIFY(codes::addCodeMaster(m_w->MainDb(), category, "先に覚えた名前").added);
    r->cmdクリア->click();
    // Started again on the same files: the work file's list already holds the name.
    const QString folder = m_fx.tmp->path() + QStringLiteral("/data/");
    m_fx.window.reset();
    m_fx.window = std::make_unique<FrmTesvan>();
    m_w = m_fx.window.get();
    QVERIFY(m_w->loadFrom(app::dataPathsIn(folder)));
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    r = m_w->reportTab();
    QVERIFY(codes::addCodeMaster(m_w->MainDb(), category, "後で覚えた名前").added);
    QSqlQuery w(m_w->WorkDb());
    QVERIFY(w.exec(QString("INSERT INTO w%1 (sname) VALUES ('後で覚えた名前')").arg(category)));

    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(0);
    g->setCol(column);
    QTest::keyClick(g, Qt::Key_F2);
    DropDown* dd = column == ReportTab::ColPlace ? r->DD訪問先 : r->DD備考;
    QTRY_VERIFY(dd->isVisible());
    QStringList offered;
    for (int i = 0; i < dd->count(); ++i)
        offered << dd->itemText(i);
    QVERIFY2(offered.contains("先に覚えた名前"), qPrintable(offered.join(',')));
    QVERIFY2(offered.contains("後で覚えた名前"), qPrintable(offered.join(',')));
    QVERIFY(m_boxes->shown.isEmpty());
}

QTEST_MAIN(TstReportClear)
#include "tst_reportclear.moc"
