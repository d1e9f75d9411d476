#include "tst_controls.h"

#include "ui/grid/GridCursor.h"
#include "ui/grid/GridKeys.h"

namespace {

using Move = GridCursor::Move;

// A cursor over a layout written one character a column: 'c' takes the cursor, '-' is shown
// but passed over, 'h' is hidden (and would take the cursor if it were shown).
GridCursor cursorOver(const QString& layout, int rows, int row, int col)
{
    QList<CursorColumn> columns;
    for (const QChar ch : layout)
        columns.append({ch != u'h', ch != u'-'});
    GridCursor cur;
    cur.setShape(columns, rows);
    cur.place(row, col);
    return cur;
}

QString describe(const GridKey& k)
{
    static const QHash<Move, QString> moves = {
        {Move::Left, "left"},      {Move::Right, "right"},       {Move::Up, "up"},   {Move::Down, "down"},
        {Move::Home, "home"},      {Move::End, "end"},           {Move::Top, "top"}, {Move::Bottom, "bottom"},
        {Move::PageUp, "page up"}, {Move::PageDown, "page down"}};
    switch (k.command) {
    case GridCommand::None:
        return "none";
    case GridCommand::Enter:
        return "enter";
    case GridCommand::NextCell:
        return "next cell";
    case GridCommand::PreviousCell:
        return "previous cell";
    case GridCommand::Move:
        return "move " + moves.value(k.move);
    case GridCommand::CellAction:
        return "cell action";
    case GridCommand::OpenEmpty:
        return "open empty";
    case GridCommand::ToggleTick:
        return "toggle tick";
    case GridCommand::Copy:
        return "copy";
    case GridCommand::Type:
        return "type";
    case GridCommand::OpenList:
        return "open list";
    }
    return "?";
}

QString describe(EditorCommand c)
{
    switch (c) {
    case EditorCommand::None:
        return "none";
    case EditorCommand::Enter:
        return "enter";
    case EditorCommand::NextCell:
        return "next cell";
    case EditorCommand::PreviousCell:
        return "previous cell";
    case EditorCommand::Discard:
        return "discard";
    case EditorCommand::RowUp:
        return "row up";
    case EditorCommand::RowDown:
        return "row down";
    }
    return "?";
}

} // namespace

// The report grid's layout: the line number takes no cursor, the stored date is hidden.
static const QString kReport = QStringLiteral("-cchccccc");

void TstControls::cursorMoves_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("move"); // "step" / "back" are Enter or Tab / Shift+Tab
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("toRow"); // -1: no move
    QTest::addColumn<int>("toCol");

    QTest::newRow("Tab passes over the hidden column") << kReport << 5 << 0 << 2 << "step" << 1 << 0 << 4;
    QTest::newRow("Tab wraps past a no-cursor first column")
        << kReport << 5 << 0 << 8 << "step" << 1 << 1 << 1;
    QTest::newRow("Tab in the very last cell goes nowhere")
        << kReport << 5 << 4 << 8 << "step" << 1 << -1 << -1;
    QTest::newRow("Shift+Tab wraps to the row above") << kReport << 5 << 1 << 1 << "back" << 1 << 0 << 8;
    QTest::newRow("Shift+Tab in the first cell goes nowhere")
        << kReport << 5 << 0 << 1 << "back" << 1 << -1 << -1;
    QTest::newRow("one cursor column steps down the rows") << "-c-" << 3 << 0 << 1 << "step" << 1 << 1 << 1;
    QTest::newRow("one cell has nowhere to step") << "c" << 1 << 0 << 0 << "step" << 1 << -1 << -1;
    QTest::newRow("no column takes the cursor") << "--h" << 3 << 0 << 0 << "step" << 1 << -1 << -1;
    QTest::newRow("no rows") << "cc" << 0 << -1 << 0 << "down" << 1 << -1 << -1;

    QTest::newRow("Right passes over hidden and no-cursor columns")
        << "ch-c" << 1 << 0 << 0 << "right" << 1 << 0 << 3;
    QTest::newRow("Right stops at the last cursor column") << "cc-" << 2 << 0 << 1 << "right" << 1 << 0 << 1;
    QTest::newRow("Left stops at the first cursor column") << kReport << 2 << 1 << 1 << "left" << 1 << 1 << 1;
    QTest::newRow("Up in the first row stays") << kReport << 5 << 0 << 2 << "up" << 1 << 0 << 2;
    QTest::newRow("Down in the last row stays") << kReport << 5 << 4 << 2 << "down" << 1 << 4 << 2;
    QTest::newRow("Home: first cursor column") << kReport << 5 << 2 << 6 << "home" << 1 << 2 << 1;
    QTest::newRow("End: last cursor column") << "ccc-h" << 5 << 2 << 0 << "end" << 1 << 2 << 2;
    QTest::newRow("Ctrl+Home: top left") << kReport << 5 << 3 << 5 << "top" << 1 << 0 << 1;
    QTest::newRow("Ctrl+End: bottom right") << kReport << 5 << 1 << 2 << "bottom" << 1 << 4 << 8;
    QTest::newRow("Page Up by a page") << kReport << 10 << 9 << 2 << "page up" << 4 << 5 << 2;
    QTest::newRow("Page Down stops at the last row") << kReport << 10 << 8 << 2 << "page down" << 4 << 9 << 2;

    QTest::newRow("no current row: moves start in the first")
        << kReport << 3 << -1 << 2 << "down" << 1 << 1 << 2;
    QTest::newRow("a row the grid no longer has: moves start in the last")
        << kReport << 3 << 3 << 2 << "up" << 1 << 1 << 2;
    QTest::newRow("a column the grid lost: from the first cursor column")
        << "-cc" << 2 << 0 << 7 << "right" << 1 << 0 << 2;
}

void TstControls::cursorMoves()
{
    QFETCH(QString, layout);
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, move);
    QFETCH(int, page);
    QFETCH(int, toRow);
    QFETCH(int, toCol);
    static const QHash<QString, Move> moves = {
        {"left", Move::Left},      {"right", Move::Right},       {"up", Move::Up},   {"down", Move::Down},
        {"home", Move::Home},      {"end", Move::End},           {"top", Move::Top}, {"bottom", Move::Bottom},
        {"page up", Move::PageUp}, {"page down", Move::PageDown}};
    const GridCursor cur = cursorOver(layout, rows, row, col);
    GridCell got;
    if (move == u"step" || move == u"back")
        got = cur.step(move == u"step");
    else
        got = cur.target(moves.value(move), page);
    if (toRow < 0)
        QVERIFY2(!got.isValid(), qPrintable(QStringLiteral("moved to %1,%2").arg(got.row).arg(got.col)));
    else
        QCOMPARE(got, (GridCell{toRow, toCol}));
}

void TstControls::cursorAfterReread_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("rowsNow"); // after the re-read
    QTest::addColumn<int>("toRow");
    QTest::addColumn<int>("toCol");

    QTest::newRow("same rows: the same cell") << kReport << 2 << 6 << 5 << 2 << 6;
    QTest::newRow("fewer rows: the last one") << kReport << 4 << 6 << 2 << 1 << 6;
    QTest::newRow("no rows: no row, the column kept") << kReport << 4 << 6 << 0 << -1 << 6;
    QTest::newRow("no row before: the first") << kReport << -1 << 2 << 3 << 0 << 2;
    QTest::newRow("lost column: the first cursor column") << "-cc" << 1 << 5 << 3 << 1 << 1;
    QTest::newRow("nothing takes the cursor") << "--" << 1 << 5 << 3 << -1 << -1;
}

void TstControls::cursorAfterReread()
{
    QFETCH(QString, layout);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(int, rowsNow);
    QFETCH(int, toRow);
    QFETCH(int, toCol);
    QCOMPARE(cursorOver(layout, rowsNow, row, col).afterReread(), (GridCell{toRow, toCol}));
}

void TstControls::cursorPastTheLastRow()
{
    GridCursor cur = cursorOver(kReport, 3, 1, 4);
    QCOMPARE(cur.below(), (GridCell{2, 4}));
    cur.place(2, 4);
    QVERIFY(!cur.below().isValid());
    cur.setEof(true);
    // Past the end the row is the row count and nothing of a row can be read or edited, but
    // the cell it left is remembered for moving back.
    QCOMPARE(cur.row(), 3);
    QVERIFY(!cur.onRow());
    QCOMPARE(cur.placedRow(), 2);
    QVERIFY(!cur.below().isValid());
    QCOMPARE(cur.lastRowCell(), (GridCell{2, 4}));
    QCOMPARE(cur.target(Move::Up), (GridCell{1, 4}));
    // Without rows there is no last row to go back to.
    QVERIFY(!cursorOver(kReport, 0, -1, 4).lastRowCell().isValid());
}

void TstControls::cursorReportsEachChangeOnce()
{
    GridCursor cur = cursorOver(kReport, 3, 0, 1);
    int r = 99;
    int c = 99;
    QVERIFY(cur.takeChange(&r, &c));
    QCOMPARE(r, -1); // nothing reported before
    QCOMPARE(c, -1);
    QVERIFY(!cur.takeChange(&r, &c));
    cur.place(0, 1);
    QVERIFY(!cur.takeChange(&r, &c)); // the same cell again is no change
    cur.place(2, 5);
    cur.setEof(true);
    QVERIFY(cur.takeChange(&r, &c));
    QCOMPARE(r, 0);
    QCOMPARE(c, 1);
    // Coming back from past the end to the row it left is a change.
    cur.setEof(false);
    QVERIFY(cur.takeChange(&r, &c));
    QCOMPARE(r, 3);
    QCOMPARE(c, 5);
}

void TstControls::gridKeyMap_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");
    const int none = Qt::NoModifier;
    const int shift = Qt::ShiftModifier;
    const int ctrl = Qt::ControlModifier;
    const int alt = Qt::AltModifier;

    QTest::newRow("Enter") << int(Qt::Key_Return) << none << "\r"
                           << "enter";
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "\r"
                                  << "enter";
    QTest::newRow("Tab") << int(Qt::Key_Tab) << none << "\t"
                         << "next cell";
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << shift << ""
                               << "previous cell";
    QTest::newRow("Home") << int(Qt::Key_Home) << none << ""
                          << "move home";
    QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << ctrl << ""
                               << "move top";
    QTest::newRow("Ctrl+End") << int(Qt::Key_End) << ctrl << ""
                              << "move bottom";
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << ""
                               << "move page down";
    QTest::newRow("F2") << int(Qt::Key_F2) << none << ""
                        << "cell action";
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << ""
                            << "open empty";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "\b"
                               << "open empty";
    QTest::newRow("Space") << int(Qt::Key_Space) << none << " "
                           << "toggle tick";
    QTest::newRow("Shift+Space") << int(Qt::Key_Space) << shift << " "
                                 << "toggle tick";
    QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << ctrl << " "
                                << "none";
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << "\x03"
                            << "copy";
    QTest::newRow("a letter") << int(Qt::Key_A) << none << "a"
                              << "type";
    QTest::newRow("a capital") << int(Qt::Key_A) << shift << "A"
                               << "type";
    QTest::newRow("kana from the input method") << int(Qt::Key_unknown) << none << "あ"
                                                << "type";
    QTest::newRow("Ctrl+letter") << int(Qt::Key_B) << ctrl << "\x02"
                                 << "none";
    QTest::newRow("Alt+letter") << int(Qt::Key_B) << alt << "b"
                                << "none";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << "\x1b"
                            << "none";
}

void TstControls::gridKeyMap()
{
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, text);
    QFETCH(QString, command);
    QCOMPARE(describe(gridkeys::gridCommand(key, Qt::KeyboardModifiers(mods), text)), command);
}

void TstControls::editorKeyMap_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("command");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << "enter";
    QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << "next cell";
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "previous cell";
    QTest::newRow("Ctrl+Tab stays with the editor") << int(Qt::Key_Tab) << int(Qt::ControlModifier) << "none";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << "discard";
    QTest::newRow("Up") << int(Qt::Key_Up) << int(Qt::NoModifier) << "row up";
    QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier) << "row down";
    QTest::newRow("Alt+Down opens a list") << int(Qt::Key_Down) << int(Qt::AltModifier) << "none";
    QTest::newRow("Left moves in the text") << int(Qt::Key_Left) << int(Qt::NoModifier) << "none";
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier) << "none";
}

void TstControls::editorKeyMap()
{
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, command);
    QCOMPARE(describe(gridkeys::editorCommand(key, Qt::KeyboardModifiers(mods))), command);
    // Whatever Enter or Escape would also mean to the window, the open editor has them first.
    QCOMPARE(gridkeys::editorClaims(key), command == u"enter" || command == u"discard");
}
