#pragma once
// Where the cell cursor of a grid may stand and where each move takes it. Plain rules over a
// table of column facts and a row count, so they hold the same for keys, clicks and programs.
#include <QList>

struct CursorColumn {
    bool visible = true;
    bool takesCursor = true;
};

struct GridCell {
    int row = -1;
    int col = -1;
    bool isValid() const { return row >= 0 && col >= 0; }
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

class GridCursor {
  public:
    // Top and Bottom are Ctrl+Home and Ctrl+End.
    enum class Move { Next, Previous, Left, Right, Up, Down, Home, End, Top, Bottom, PageUp, PageDown };

    void setShape(const QList<CursorColumn>& columns, int rowCount);
    int rowCount() const { return m_rowCount; }
    int columnCount() const { return int(m_columns.size()); }

    bool takesCursor(int col) const;
    int firstColumn() const; // -1 when no column takes the cursor
    int lastColumn() const;
    int nextColumn(int col, int step) const; // -1 when none in that direction
    // The column a hidden cursor column hands the cursor to.
    int columnAfterHiding(int col) const;

    // The place of the cursor. row() is the row count while past the last row.
    int row() const { return m_eof ? m_rowCount : m_row; }
    int col() const { return m_col; }
    bool isEof() const { return m_eof; }
    // The row the cursor was last placed on, kept while it is past the last row; -1 for none.
    int placedRow() const { return m_row; }
    bool onRow() const { return !m_eof && m_row >= 0; } // there is a current row to read or edit
    bool isAt(int row, int col) const { return m_row == row && m_col == col; }
    void place(int row, int col);
    void setColumn(int col) { m_col = col; }
    void setEof(bool eof) { m_eof = eof; }

    // The current column while it is one of the grid's, else the first cursor column.
    int columnOrFirst() const;
    // The current column while it takes the cursor, else the first that does: where a row picked
    // by the row selector, or a click on a column without cursor, puts the cursor.
    int cursorColumnOrFirst() const;

    // Where a move from the current cell goes; an invalid cell means no move. page is the number
    // of rows a page key moves.
    GridCell target(Move move, int page = 1) const;
    // Enter / Tab: the next (or previous) cursor cell, wrapping to the next row; invalid at the
    // end of the grid.
    GridCell step(bool forward) const;
    // The same column one row down; invalid from the last row (the cursor then goes past it).
    GridCell below() const;
    GridCell lastRowCell() const;
    // After the rows were read again: the nearest cell to where the cursor stood. Its row is -1
    // when there is no row to stand on.
    GridCell afterReread() const;

    // Whether the place changed since it was last reported; if so, *lastRow and *lastCol get the
    // place reported before and the current place counts as reported.
    bool takeChange(int* lastRow, int* lastCol);

  private:
    QList<CursorColumn> m_columns;
    int m_rowCount = 0;
    int m_row = -1;
    int m_col = -1;
    bool m_eof = false;
    int m_reportedRow = -1;
    int m_reportedCol = -1;
};
