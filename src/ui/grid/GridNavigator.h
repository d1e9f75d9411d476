#pragma once
// The cell cursor of a grid on its view: moves by the GridCursor rules, keeps the view's current
// cell in step with it and reports each change of place once.
#include "ui/grid/GridCursor.h"

#include <functional>

class GridColumns;
class QModelIndex;
class QTableView;

class GridNavigator {
  public:
    // beforeMove runs before the cursor may leave its cell (an open edit is written there);
    // moved reports a change of place with the place reported before.
    GridNavigator(QTableView* view, const GridColumns& columns, std::function<void()> beforeMove,
                  std::function<void(int lastRow, int lastCol)> moved);

    // The rules over the columns and rows the view has right now, and the cursor's place.
    const GridCursor& cursor() const;

    void setRow(int row);
    void setCol(int col);
    void goTo(int row, int col);
    void goTo(const GridCell& cell) { goTo(cell.row, cell.col); }
    bool step(bool forward); // false when there is no further cell
    void moveNext();         // from the last row: past it
    void moveLast();
    // Where a move goes from the current cell, a page being what the view shows.
    GridCell target(GridCursor::Move move) const;
    // The column the cursor stands in was hidden: it moves on to one that is shown.
    void columnHidden(int col);
    // A click on the cell the cursor stood on before it went past the last row.
    void clickedWhilePastEnd(int row, int col);

    // The view's current cell changed, by the grid or by anyone moving its selection model.
    void viewMoved(const QModelIndex& current);
    // The rows were read again: the cursor stays where it was, as far as the new rows allow.
    void restore();

  private:
    int pageRows() const;
    void report();

    QTableView* m_view;
    const GridColumns& m_columns;
    std::function<void()> m_beforeMove;
    std::function<void(int, int)> m_moved;
    mutable GridCursor m_cursor;
};
