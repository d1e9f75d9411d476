#include "tst_controls.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/Twips.h"

#include <QHeaderView>
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace {

struct Heard {
    bool screenGone = false;
    QStringList late; // notifications that reached the screen after its destructor ran
};

// A screen that hears its grid through handlers whose context is the screen, as the tabs do.
class Screen : public QWidget {
  public:
    Screen(Heard* heard, bool sourceFirst) : m_heard(heard)
    {
        if (sourceFirst)
            src = new DataSource(this);
        grid = new DataGrid(this);
        if (!sourceFirst)
            src = new DataSource(this);
        (new QVBoxLayout(this))->addWidget(grid);
        src->setDatabase("ctlWork");
        src->setRecordSource("w営業日報");
        grid->setDataSource(src);
        grid->setFields({"行番号", "担当"});
        const auto note = [heard](const QString& what) {
            if (heard->screenGone)
                heard->late << what;
        };
        connect(grid, &DataGrid::rowColChange, this, [note] { note("rowColChange"); });
        connect(grid, &DataGrid::afterColUpdate, this, [note] { note("afterColUpdate"); });
        connect(grid, &DataGrid::keyDown, this, [note] { note("keyDown"); });
        connect(grid, &DataGrid::cellAction, this, [note] { note("cellAction"); });
        connect(grid, &DataGrid::writeFailed, this, [note] { note("writeFailed"); });
    }
    ~Screen() override { m_heard->screenGone = true; }

    DataSource* src = nullptr;
    DataGrid* grid = nullptr;

  private:
    Heard* m_heard;
};

} // namespace

void TstControls::modelPassesTester()
{
    RIG(rig);
    QAbstractItemModel* m = g->model();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m->rowCount(), 5);
    QCOMPARE(m->columnCount(), 9);
    QCOMPARE(m->data(m->index(4, 0)).toInt(), 5);
    QCOMPARE(m->data(m->index(0, 1), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(m->flags(m->index(0, 1)) & Qt::ItemIsUserCheckable);
    QCOMPARE(rig.src->setValue(0, "担当", "a"), QString());
    QCOMPARE(m->data(m->index(0, 6)).toString(), QString("a"));
    QVERIFY(resetLines(7));
    QCOMPARE(rig.src->refresh(), QString());
    QCOMPARE(m->rowCount(), 7);
    g->setFields({"行番号", "担当", ""});
    QCOMPARE(m->columnCount(), 3);
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QString("担当"));
    QVERIFY(!m->data(m->index(0, 2)).isValid() || m->data(m->index(0, 2)).toString().isEmpty());
    QVERIFY(!(m->flags(m->index(0, 2)) & Qt::ItemIsEditable)); // unbound
}

void TstControls::formats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("stored"); // SQL literal
    QTest::addColumn<QString>("shown");
    QTest::newRow("four-digit time") << "00:00"
                                     << "'0930'"
                                     << "09:30";
    QTest::newRow("upper bound time") << "00:00"
                                      << "'2400'"
                                      << "24:00";
    QTest::newRow("three digits padded") << "00:00"
                                         << "'930'"
                                         << "09:30";
    QTest::newRow("letters shown as stored") << "00:00"
                                             << "'ab12'"
                                             << "ab12";
    QTest::newRow("five digits shown as stored") << "00:00"
                                                 << "'12345'"
                                                 << "12345";
    QTest::newRow("null time empty") << "00:00"
                                     << "NULL"
                                     << "";
    QTest::newRow("ISO date as month/day") << "mm/dd"
                                           << "'2026-04-01'"
                                           << "04/01";
    QTest::newRow("ISO date in full") << "yyyy/mm/dd"
                                      << "'2026-04-01'"
                                      << "2026/04/01";
    QTest::newRow("kanji date") << "yyyy年mm月dd日"
                                << "'2026-12-31'"
                                << "2026年12月31日";
    QTest::newRow("text that is no date") << "mm/dd"
                                          << "'someday'"
                                          << "someday";
    QTest::newRow("no format") << ""
                               << "'0930'"
                               << "0930";
}

void TstControls::formats()
{
    QFETCH(QString, format);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    RIG(rig);
    g->setColumnFormat(6, format);
    QVERIFY(run(QStringLiteral("UPDATE w営業日報 SET 担当 = %1 WHERE 行番号 = 2").arg(stored)));
    QCOMPARE(rig.src->refresh(), QString());
    QCOMPARE(g->model()->data(g->model()->index(1, 6)).toString(), shown);
    g->setRow(1);
    QCOMPARE(g->columnText(6), shown);
    // The value itself is never the formatted text.
    QCOMPARE(g->columnValue(6), cell("担当", 2));
}

void TstControls::moveNextPastLastRow()
{
    RIG(rig);
    g->setRow(3);
    g->setCol(4);
    QSignalSpy moves(g, &DataGrid::rowColChange);
    g->moveNext();
    QCOMPARE(g->row(), 4);
    QVERIFY(!g->isEof());
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.last().at(0).toInt(), 3);
    QCOMPARE(moves.last().at(1).toInt(), 4);
    QVERIFY(run("UPDATE w営業日報 SET 時間 = '1200'"));
    QCOMPARE(rig.src->refresh(), QString());
    g->moveNext();
    QVERIFY(g->isEof());
    QCOMPARE(g->row(), 5);
    QVERIFY(g->columnValue(4).isNull());
    QVERIFY(g->setColumnValue(4, "0000").failed());
    QCOMPARE(moves.count(), 2);
    g->moveNext();
    QVERIFY(g->isEof());
    QCOMPARE(moves.count(), 2);
    g->moveLast();
    QVERIFY(!g->isEof());
    QCOMPARE(g->row(), 4);
    QCOMPARE(g->col(), 4);
    QCOMPARE(g->columnValue(4).toString(), QString("1200"));
    QCOMPARE(moves.count(), 3);
}

void TstControls::columnsSurviveRefresh()
{
    RIG(rig);
    g->setColumnVisible(6, false);
    QVERIFY(resetLines(3));
    QCOMPARE(rig.src->refresh(), QString());
    QVERIFY(g->isColumnHidden(3));
    QVERIFY(g->isColumnHidden(6));
    QCOMPARE(g->columnWidth(5), twipsToPx(700, g));
    g->setRow(0);
    g->setCol(5);
    QTest::keyClick(g, Qt::Key_Tab);
    QCOMPARE(g->col(), 7);
    QTest::keyClick(g, Qt::Key_Left);
    QCOMPARE(g->col(), 5);
}

// Caption sizes are kept between the header's many re-measures: a new caption, a caption of two
// lines and a larger font still resize it, and a caption taken back gives back the first size.
void TstControls::headerFollowsCaptionsAndFont()
{
    RIG(rig);
    QHeaderView* h = g->horizontalHeader();
    const QSize first = h->sizeHint();
    g->setColumnCaption(1, QStringLiteral("とても長い見出しの訪問先欄"));
    QVERIFY(h->sizeHint().width() > first.width());
    g->setColumnCaption(2, QStringLiteral("二行の\n見出し"));
    const int twoLines = h->sizeHint().height();
    QVERIFY(twoLines > first.height());
    QFont big = g->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    g->setFont(big);
    QVERIFY(h->sizeHint().height() > twoLines);
    g->setFont(QFont());
    g->setColumnCaption(2, QString());
    QCOMPARE(h->sizeHint().height(), first.height());
}

void TstControls::refreshClosesEditorKeepsCursor()
{
    RIG(rig);
    g->setRow(2);
    g->setCol(6);
    type(g, "typed");
    QVERIFY(run("UPDATE w営業日報 SET 担当 = 'fromdb' WHERE 行番号 = 3"));
    QCOMPARE(rig.src->refresh(), QString());
    QVERIFY(!g->isEditing());
    QCOMPARE(g->row(), 2);
    QCOMPARE(g->col(), 6);
    QCOMPARE(g->columnValue(6).toString(), QString("fromdb"));
    QCOMPARE(cell("担当", 3).toString(), QString("fromdb"));
    // Fewer rows: the cursor stays on the last one.
    g->setRow(4);
    QVERIFY(resetLines(2));
    QCOMPARE(rig.src->refresh(), QString());
    QCOMPARE(g->row(), 1);
    QCOMPARE(g->col(), 6);
}

void TstControls::updateCommitsOpenEditor()
{
    RIG(rig);
    QCOMPARE(g->commitPending(), QString());
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(0);
    g->setCol(6);
    type(g, "abc");
    QCOMPARE(g->commitPending(), QString());
    QVERIFY(!g->isEditing());
    QCOMPARE(cell("担当", 1).toString(), QString("abc"));
    QCOMPARE(after.count(), 1);
    // Focus leaving the grid commits too.
    g->setRow(1);
    type(g, "def");
    rig.after->setFocus();
    QTRY_COMPARE(cell("担当", 2).toString(), QString("def"));
    QVERIFY(!g->isEditing());
}

void TstControls::failedWriteKeepsEditorOpen()
{
    RIG(rig);
    QVERIFY(run(
        "CREATE TRIGGER fail_update BEFORE UPDATE ON w営業日報 BEGIN SELECT RAISE(ABORT, 'locked'); END"));
    QSignalSpy failed(g, &DataGrid::writeFailed);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(0);
    g->setCol(6);
    type(g, "abc");
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.at(0).at(1).value<store::Error>().reason().contains("locked"));
    QVERIFY(g->isEditing());
    QCOMPARE(g->col(), 6);
    QCOMPARE(after.count(), 0);
    QVERIFY(g->commitPending().failed());
    QVERIFY(cell("担当", 1).isNull());
    QVERIFY(run("DROP TRIGGER fail_update"));
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QCOMPARE(cell("担当", 1).toString(), QString("abc"));
    QCOMPARE(after.count(), 1);
}

void TstControls::programWritesRaiseNoAfterColUpdate()
{
    RIG(rig);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(1);
    QCOMPARE(g->setColumnValue(4, "0930"), QString());
    QCOMPARE(g->setColumnValue(3, QDate(2026, 4, 1)), QString()); // a hidden column is writable
    QCOMPARE(cell("時間", 2).toString(), QString("0930"));
    QCOMPARE(cell("日付", 2).toString(), QString("2026-04-01"));
    QCOMPARE(g->columnText(4), QString("09:30"));
    QCOMPARE(after.count(), 0);
}

void TstControls::screenClosingHearsNothing_data()
{
    QTest::addColumn<bool>("sourceFirst");
    QTest::addColumn<bool>("editing");
    QTest::newRow("data source made before the grid") << true << false;
    QTest::newRow("data source made after the grid") << false << false;
    QTest::newRow("an edit open as the screen closes") << true << true;
}

void TstControls::screenClosingHearsNothing()
{
    QFETCH(bool, sourceFirst);
    QFETCH(bool, editing);
    Heard heard;
    auto* screen = new Screen(&heard, sourceFirst);
    QCOMPARE(screen->src->refresh(), QString());
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    DataGrid* g = screen->grid;
    g->setFocus();
    g->setRow(2);
    g->setCol(1);
    QCOMPARE(g->row(), 2);
    if (editing) {
        type(g, "途中");
        QVERIFY(g->isEditing());
    }
    delete screen;
    QVERIFY(heard.screenGone);
    QCOMPARE(heard.late, QStringList());
    // A screen writes a half-typed cell itself before it closes (commitPending); nothing is
    // written behind its back while it is torn down.
    QVERIFY(cell("担当", 3).isNull());
}

void TstControls::sourceDeletedAloneEmptiesGrid()
{
    RIG(rig);
    g->setRow(2);
    g->setCol(4);
    QSignalSpy moves(g, &DataGrid::rowColChange);
    delete rig.src;
    // The grid lives on: it shows no rows and says so.
    QCOMPARE(g->model()->rowCount(), 0);
    QCOMPARE(moves.count(), 1);
    QCOMPARE(g->row(), -1);
    QCOMPARE(g->col(), 4);
    QVERIFY(g->columnValue(4).isNull());
    QTest::keyClick(g, Qt::Key_Down);
    QCOMPARE(g->row(), -1);
}
