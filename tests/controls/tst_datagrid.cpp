#include "tst_controls.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/Ime.h"
#include "ui/Twips.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QListView>
#include <QSignalSpy>
#include <QSqlQuery>
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

#define RIG(name)                                                                                            \
    GridRig name;                                                                                            \
    makeGrid(name);                                                                                          \
    if (QTest::currentTestFailed())                                                                          \
        return;                                                                                              \
    DataGrid* g = name.grid;

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

void TstControls::typedEditIsWritten()
{
    RIG(rig);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(1);
    g->setCol(6);
    type(g, "東京");
    QVERIFY(g->isEditing());
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QVERIFY(!g->isEditing());
    QCOMPARE(cell("担当", 2).toString(), QString("東京"));
    QCOMPARE(after.count(), 1);
    QCOMPARE(after.at(0).at(0).toInt(), 6);
    QCOMPARE(g->row(), 1);
    QCOMPARE(g->col(), 7);
    // Typing into a filled cell replaces it.
    g->setCol(6);
    type(g, "大阪");
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QCOMPARE(cell("担当", 2).toString(), QString("大阪"));
    // Moving away commits as well.
    type(g, "内容1");
    g->setRow(3);
    QCOMPARE(cell("内容", 2).toString(), QString("内容1"));
    QCOMPARE(after.count(), 3);
}

void TstControls::emptiedTextBecomesNull()
{
    QVERIFY(run("UPDATE w営業日報 SET 担当 = 'abc' WHERE 行番号 IN (1, 2)"));
    RIG(rig);
    g->setRow(0);
    g->setCol(6);
    QTest::keyClick(g, Qt::Key_F2);
    auto* le = qobject_cast<QLineEdit*>(g->activeEditor());
    QVERIFY(le);
    QCOMPARE(le->text(), QString("abc"));
    le->selectAll();
    QTest::keyClick(le, Qt::Key_Backspace);
    QTest::keyClick(le, Qt::Key_Return);
    QVERIFY(cell("担当", 1).isNull());
    // Delete opens the cell empty.
    g->setRow(1);
    g->setCol(6);
    QTest::keyClick(g, Qt::Key_Delete);
    QVERIFY(g->isEditing());
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QVERIFY(cell("担当", 2).isNull());
}

void TstControls::escapeCancelsEdit()
{
    RIG(rig);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(0);
    g->setCol(6);
    type(g, "zz");
    QTest::keyClick(g->activeEditor(), Qt::Key_Escape);
    QVERIFY(!g->isEditing());
    QVERIFY(cell("担当", 1).isNull());
    QCOMPARE(after.count(), 0);
    QCOMPARE(QApplication::focusWidget(), g);
}

void TstControls::tickBoxClickAndSpace()
{
    RIG(rig);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    const QRect r = g->visualRect(g->model()->index(2, 1));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(cell("チェック", 3).toInt(), 1);
    QCOMPARE(g->row(), 2);
    QCOMPARE(g->col(), 1);
    QCOMPARE(after.count(), 1);
    QCOMPARE(g->model()->data(g->model()->index(2, 1), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QTest::keyClick(g, Qt::Key_Space);
    QCOMPARE(cell("チェック", 3).toInt(), 0);
    QCOMPARE(after.count(), 2);
    // Only that row changed.
    QSqlQuery q(db());
    QVERIFY(q.exec("SELECT sum(チェック) FROM w営業日報") && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    g->setColumnLocked(1, true);
    QTest::keyClick(g, Qt::Key_Space);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(cell("チェック", 3).toInt(), 0);
}

void TstControls::enterMovesRightAndWraps()
{
    RIG(rig);
    g->setRow(0);
    g->setCol(2);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->col(), 4); // the hidden column is skipped
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Enter);
    QCOMPARE(g->row(), 1);
    QCOMPARE(g->col(), 1); // column 0 takes no cursor
    g->setRow(4);
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 4);
    QCOMPARE(g->col(), 8);
    QVERIFY(!g->isEof());
}

void TstControls::tabSkipsNoCursorColumnsAndLeaves()
{
    RIG(rig);
    g->setRow(0);
    g->setCol(1);
    QList<int> cols;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(g, Qt::Key_Tab);
        cols << g->col();
    }
    QCOMPARE(cols, (QList<int>{2, 4, 5, 6, 7, 8, 1}));
    QCOMPARE(g->row(), 1);
    QTest::keyClick(g, Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(g->row(), 0);
    QCOMPARE(g->col(), 8);
    QTest::keyClick(g, Qt::Key_Backtab);
    QCOMPARE(g->col(), 7);
    QVERIFY(g->hasFocus());
    // From inside an editor in the very last cell: the value is kept and the focus leaves.
    g->setRow(4);
    g->setCol(8);
    type(g, "end");
    QTest::keyClick(g->activeEditor(), Qt::Key_Tab);
    QCOMPARE(cell("備考", 5).toString(), QString("end"));
    QTRY_VERIFY(rig.after->hasFocus());
}

void TstControls::keyDownCanConsume()
{
    RIG(rig);
    QList<int> codes;
    connect(g, &DataGrid::keyDown, this, [&](int* code, Qt::KeyboardModifiers) {
        codes << *code;
        if ((*code == Qt::Key_Return && g->col() == 8) || *code == Qt::Key_A)
            *code = 0;
    });
    g->setRow(0);
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(codes, QList<int>{int(Qt::Key_Return)});
    QCOMPARE(g->row(), 0);
    QCOMPARE(g->col(), 8);
    g->setCol(7);
    QTest::keyClick(g, Qt::Key_Enter);
    QCOMPARE(g->col(), 8);
    QTest::keyClick(g, Qt::Key_A);
    QVERIFY(!g->isEditing());
    QTest::keyClick(g, Qt::Key_Left);
    QCOMPARE(codes.last(), int(Qt::Key_Left));
    QCOMPARE(g->col(), 7);
}

void TstControls::enterInEditorCommitsBeforeKeyDown()
{
    RIG(rig);
    QStringList events;
    connect(g, &DataGrid::afterColUpdate, this, [&](int col) {
        events << QStringLiteral("after %1 %2").arg(col).arg(g->columnValue(col).toString());
    });
    // The end-of-line rule of the report screen: Enter in column 8 starts the next line.
    connect(g, &DataGrid::keyDown, this, [&](int* code, Qt::KeyboardModifiers) {
        events << QStringLiteral("key %1").arg(*code);
        if (*code == Qt::Key_Return && g->col() == 8 && !g->isEof()) {
            *code = 0;
            g->moveNext();
            if (g->isEof())
                g->moveLast();
            g->setCol(2);
        }
    });
    g->setRow(4);
    g->setCol(8);
    type(g, "備考A");
    // The key that opened the editor was the grid's own and was reported.
    QCOMPARE(events, QStringList{QStringLiteral("key %1").arg(int(Qt::Key_unknown))});
    events.clear();
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QCOMPARE(events, (QStringList{"after 8 備考A", QString("key %1").arg(int(Qt::Key_Return))}));
    QCOMPARE(cell("備考", 5).toString(), QString("備考A"));
    QCOMPARE(g->row(), 4); // the last row stays
    QCOMPARE(g->col(), 2);
    g->setRow(1);
    g->setCol(8);
    QTest::keyClick(g, Qt::Key_Return);
    QCOMPARE(g->row(), 2);
    QCOMPARE(g->col(), 2);
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
    QVERIFY(!g->setColumnValue(4, "0000").isEmpty());
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
    QVERIFY(failed.at(0).at(1).toString().contains("locked"));
    QVERIFY(g->isEditing());
    QCOMPARE(g->col(), 6);
    QCOMPARE(after.count(), 0);
    QVERIFY(!g->commitPending().isEmpty());
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

void TstControls::cellActionAndActionOnly()
{
    RIG(rig);
    g->setColumnActionOnly(7, true);
    QSignalSpy action(g, &DataGrid::cellAction);
    g->setRow(0);
    g->setCol(7);
    QTest::keyClick(g, Qt::Key_F2);
    QCOMPARE(action.count(), 1);
    QVERIFY(!g->isEditing());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(1, 7)).center());
    QVERIFY(action.count() >= 2);
    QVERIFY(!g->isEditing());
    QCOMPARE(g->row(), 1);
    // Typing still edits a one-line cell in place.
    type(g, "x");
    QVERIFY(qobject_cast<QLineEdit*>(g->activeEditor()));
    QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    QCOMPARE(cell("内容", 2).toString(), QString("x"));
    // Elsewhere a double click opens the inline editor after the notification.
    g->setFocus();
    const int before = int(action.count());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(1, 6)).center());
    QVERIFY(action.count() > before);
    QVERIFY(qobject_cast<QLineEdit*>(g->activeEditor()));
}

void TstControls::multilineCellNotEditedInline()
{
    QVERIFY(run("UPDATE w営業日報 SET 担当 = 'line1' || char(10) || 'line2' WHERE 行番号 = 1"));
    RIG(rig);
    QSignalSpy action(g, &DataGrid::cellAction);
    g->setRow(0);
    g->setCol(6);
    type(g, "x");
    QVERIFY(!g->isEditing());
    QTest::keyClick(g, Qt::Key_F2);
    QVERIFY(!g->isEditing());
    QCOMPARE(action.count(), 2);
    QCOMPARE(cell("担当", 1).toString(), QString("line1\nline2"));
}

void TstControls::clickOnNoCursorColumnKeepsColumn()
{
    RIG(rig);
    g->setRow(0);
    g->setCol(5);
    QSignalSpy moves(g, &DataGrid::rowColChange);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(3, 0)).center());
    QCOMPARE(g->row(), 3);
    QCOMPARE(g->col(), 5);
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.at(0).at(0).toInt(), 0);
    QCOMPARE(moves.at(0).at(1).toInt(), 5);
    // The row selector picks the row, not its first column.
    g->setRowSelectorWidthTwips(300);
    QHeaderView* v = g->verticalHeader();
    QVERIFY(v->isVisible());
    QTRY_VERIFY(v->width() > 0 && v->sectionSize(1) > 0);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {},
                      QPoint(v->width() / 2, v->sectionViewportPosition(1) + v->sectionSize(1) / 2));
    QCOMPARE(g->row(), 1);
    QCOMPARE(g->col(), 5);
}

void TstControls::inputMethodCommitStartsEdit()
{
    RIG(rig);
    g->setRow(0);
    g->setCol(6);
    QInputMethodEvent ev(QString(), {});
    ev.setCommitString(QStringLiteral("東京"));
    QCoreApplication::sendEvent(g, &ev);
    auto* le = qobject_cast<QLineEdit*>(g->activeEditor());
    QVERIFY(le);
    QCOMPARE(le->text(), QString("東京"));
    QTest::keyClick(le, Qt::Key_Return);
    QCOMPARE(cell("担当", 1).toString(), QString("東京"));
}

void TstControls::imeStatusFollowsGrid()
{
    RIG(rig);
    g->setRow(0);
    g->setCol(6);
    SetImeStatus(g->imeWindow(), false);
    QVERIFY(!g->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClick(g, Qt::Key_F2);
    QVERIFY(g->activeEditor());
    QVERIFY(!g->activeEditor()->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClick(g->activeEditor(), Qt::Key_Escape);
    SetImeStatus(g->imeWindow(), true);
    QVERIFY(g->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClick(g, Qt::Key_F2);
    QWidget* ed = g->activeEditor();
    QVERIFY(ed && ed->testAttribute(Qt::WA_InputMethodEnabled));
    // An editor open with the focus follows a change at once.
    QTRY_VERIFY(ed->hasFocus());
    SetImeStatus(g->imeWindow(), false);
    QVERIFY(!ed->testAttribute(Qt::WA_InputMethodEnabled));
}

void TstControls::externalDateEditor()
{
    RIG(rig);
    QPointer<DateInput> di = new DateInput(rig.window.get());
    di->setObjectName("Dt日付入力");
    di->setFormat("yy/mm/dd");
    g->setColumnEditor(2, di);
    QSignalSpy after(g, &DataGrid::afterColUpdate);
    g->setRow(0);
    g->setCol(2);
    type(g, "26/04/01");
    QCOMPARE(g->activeEditor(), di.data());
    QTest::keyClick(di, Qt::Key_Return);
    QCOMPARE(cell("表示日付", 1).toString(), QString("2026-04-01"));
    QCOMPARE(g->model()->data(g->model()->index(0, 2)).toString(), QString("04/01"));
    QCOMPARE(after.count(), 1);
    QCOMPARE(g->col(), 4);
    QVERIFY(di && di->isHidden()); // kept for the next edit, not deleted
    // An impossible date leaves the cell as it was.
    g->setRow(1);
    g->setCol(2);
    type(g, "26/02/30");
    QTest::keyClick(di, Qt::Key_Return);
    QVERIFY(cell("表示日付", 2).isNull());
    QCOMPARE(after.count(), 1);
    // Editing a stored date shows it in the editor's format.
    g->setRow(0);
    g->setCol(2);
    QTest::keyClick(g, Qt::Key_F2);
    QCOMPARE(di->text(), QString("26/04/01"));
    // A date picked in the calendar is written at once.
    di->showCalendar();
    auto* cal = di->findChild<QCalendarWidget*>("calendar");
    QVERIFY(cal);
    QTRY_VERIFY(cal->isVisible());
    auto* view = cal->findChild<QAbstractItemView*>();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(cell("表示日付", 1).toString(), QString("2026-04-02"));
    QVERIFY(!g->isEditing());
    QCOMPARE(after.count(), 2);
}

void TstControls::dropDownPickAndType()
{
    QVERIFY(run("INSERT INTO w訪問先 (sname) VALUES ('青木工業')"));
    QVERIFY(run("INSERT INTO w訪問先 (sname) VALUES ('山田商事')"));
    RIG(rig);
    auto* listSrc = new DataSource(rig.window.get());
    listSrc->setDatabase("ctlWork");
    listSrc->setRecordSource("w訪問先");
    auto* dd = new DropDown(rig.window.get());
    dd->setDataSource(listSrc);
    dd->setListField("sname");
    QCOMPARE(listSrc->refresh(), QString());
    QCOMPARE(dd->count(), 2);
    QCOMPARE(dd->itemText(0), QString("青木工業"));
    g->setColumnEditor(5, dd);

    // Text the list does not offer is taken as typed.
    g->setRow(0);
    g->setCol(5);
    type(g, "新規先");
    QCOMPARE(g->activeEditor(), dd);
    QTest::keyClick(dd, Qt::Key_Return);
    QCOMPARE(cell("訪問先", 1).toString(), QString("新規先"));

    // Opening the editor re-reads the list.
    QVERIFY(run("INSERT INTO w訪問先 (sname) VALUES ('佐藤')"));
    g->setRow(1);
    g->setCol(5);
    QTest::keyClick(g, Qt::Key_F2);
    QCOMPARE(dd->count(), 3);
    QCOMPARE(dd->itemText(2), QString("佐藤"));

    // Picking an item writes it at once.
    dd->showPopup();
    QTRY_VERIFY(dd->view()->isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect item = dd->view()->visualRect(dd->model()->index(1, 0));
    QTest::mouseMove(dd->view()->viewport(), item.center());
    QTest::mouseClick(dd->view()->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_COMPARE(cell("訪問先", 2).toString(), QString("山田商事"));
    QVERIFY(!g->isEditing());

    // Emptied → Null.
    g->setRow(0);
    g->setCol(5);
    QTest::keyClick(g, Qt::Key_F2);
    dd->clearEditText();
    QTest::keyClick(dd, Qt::Key_Return);
    QVERIFY(cell("訪問先", 1).isNull());
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
