// The report-line grid under the keyboard and the mouse: typing, keys, tick boxes and the
// editors that open on a cell.
#include "ControlsFixture.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/Ime.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QSqlQuery>

class TstGridEditing : public ControlsFixture {
    Q_OBJECT
  private slots:
    void initTestCase() { openWorkFile(); }
    void cleanupTestCase() { closeWorkFile(); }
    void init() { resetWorkFile(); }

    void typedEditIsWritten();
    void emptiedTextBecomesNull();
    void escapeCancelsEdit();
    void tickBoxClickAndSpace();
    void enterMovesRightAndWraps();
    void tabSkipsNoCursorColumnsAndLeaves();
    void keyDownCanConsume();
    void enterInEditorCommitsBeforeKeyDown();
    void cellActionAndActionOnly();
    void multilineCellNotEditedInline();
    void clickOnNoCursorColumnKeepsColumn();
    void inputMethodCommitStartsEdit();
    void imeStatusFollowsGrid();
    void externalDateEditor();
    void dropDownPickAndType();
    void dropDownFollowsItsList_data();
    void dropDownFollowsItsList();
};

void TstGridEditing::typedEditIsWritten()
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

void TstGridEditing::emptiedTextBecomesNull()
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

void TstGridEditing::escapeCancelsEdit()
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

void TstGridEditing::tickBoxClickAndSpace()
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

void TstGridEditing::enterMovesRightAndWraps()
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

void TstGridEditing::tabSkipsNoCursorColumnsAndLeaves()
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

void TstGridEditing::keyDownCanConsume()
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

void TstGridEditing::enterInEditorCommitsBeforeKeyDown()
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

void TstGridEditing::cellActionAndActionOnly()
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

void TstGridEditing::multilineCellNotEditedInline()
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

void TstGridEditing::clickOnNoCursorColumnKeepsColumn()
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

void TstGridEditing::inputMethodCommitStartsEdit()
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

void TstGridEditing::imeStatusFollowsGrid()
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

void TstGridEditing::externalDateEditor()
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

void TstGridEditing::dropDownPickAndType()
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

// Read again, the list shows the table's names in order (Null and '' left out), whether they
// changed or not, and keeps the text in its box.
void TstGridEditing::dropDownFollowsItsList_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("unchanged") << "" << QStringList{"青木工業", "山田商事", "佐藤"};
    QTest::newRow("renamed in place") << "UPDATE w訪問先 SET sname = '山田物産' WHERE sname = '山田商事'"
                                      << QStringList{"青木工業", "山田物産", "佐藤"};
    QTest::newRow("blanked: left out")
        << "UPDATE w訪問先 SET sname = '' WHERE sname = '山田商事'" << QStringList{"青木工業", "佐藤"};
    QTest::newRow("removed") << "DELETE FROM w訪問先 WHERE sname = '青木工業'"
                             << QStringList{"山田商事", "佐藤"};
    QTest::newRow("added, and a Null row") << "INSERT INTO w訪問先 (sname) VALUES ('新規'), (NULL)"
                                           << QStringList{"青木工業", "山田商事", "佐藤", "新規"};
}

void TstGridEditing::dropDownFollowsItsList()
{
    QFETCH(QString, change);
    QFETCH(QStringList, items);
    QVERIFY(run("INSERT INTO w訪問先 (sname) VALUES ('青木工業'), ('山田商事'), ('佐藤')"));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("w訪問先");
    DropDown dd;
    dd.setDataSource(&src);
    dd.setListField("SNAME");
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(dd.count(), 3);
    dd.setEditText("打ちかけ");
    if (!change.isEmpty())
        QVERIFY(run(change));
    QCOMPARE(src.refresh(), QString());
    QStringList shown;
    for (int i = 0; i < dd.count(); ++i)
        shown << dd.itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(dd.currentText(), QString("打ちかけ"));
}

QTEST_MAIN(TstGridEditing)
#include "tst_gridediting.moc"
