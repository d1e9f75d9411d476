#include "ui/grid/GridCursor.h"

#include <QtGlobal>

void GridCursor::setShape(const QList<CursorColumn>& columns, int rowCount)
{
    m_columns = columns;
    m_rowCount = qMax(0, rowCount);
}

bool GridCursor::takesCursor(int col) const
{
    if (col < 0 || col >= columnCount())
        return false;
    const CursorColumn& c = m_columns[col];
    return c.visible && c.takesCursor;
}

int GridCursor::firstColumn() const
{
    return nextColumn(-1, 1);
}

int GridCursor::lastColumn() const
{
    return nextColumn(columnCount(), -1);
}

int GridCursor::nextColumn(int col, int step) const
{
    for (int c = col + step; c >= 0 && c < columnCount(); c += step)
        if (takesCursor(c))
            return c;
    return -1;
}

int GridCursor::columnAfterHiding(int col) const
{
    const int next = nextColumn(col, 1);
    return next >= 0 ? next : firstColumn();
}

void GridCursor::place(int row, int col)
{
    m_row = row;
    m_col = col;
    m_eof = false;
}

int GridCursor::columnOrFirst() const
{
    return (m_col >= 0 && m_col < columnCount()) ? m_col : firstColumn();
}

int GridCursor::cursorColumnOrFirst() const
{
    return takesCursor(m_col) ? m_col : firstColumn();
}

GridCell GridCursor::target(Move move, int page) const
{
    const int rc = m_rowCount;
    if (rc == 0 || columnCount() == 0)
        return {};
    // Moves start from a real cell even while no row is current or the cursor is past the end.
    const int r = qBound(0, m_row, rc - 1);
    const int c = columnOrFirst();
    if (c < 0)
        return {};
    page = qMax(1, page);
    switch (move) {
    case Move::Next: {
        const int n = nextColumn(c, 1);
        if (n >= 0)
            return {r, n};
        return r + 1 < rc ? GridCell{r + 1, firstColumn()} : GridCell{};
    }
    case Move::Previous: {
        const int p = nextColumn(c, -1);
        if (p >= 0)
            return {r, p};
        return r > 0 ? GridCell{r - 1, lastColumn()} : GridCell{};
    }
    case Move::Right: {
        const int n = nextColumn(c, 1);
        return {r, n >= 0 ? n : c};
    }
    case Move::Left: {
        const int p = nextColumn(c, -1);
        return {r, p >= 0 ? p : c};
    }
    case Move::Up:
        return {qMax(0, r - 1), c};
    case Move::Down:
        return {qMin(rc - 1, r + 1), c};
    case Move::Home:
        return {r, firstColumn()};
    case Move::End:
        return {r, lastColumn()};
    case Move::Top:
        return {0, firstColumn()};
    case Move::Bottom:
        return {rc - 1, lastColumn()};
    case Move::PageUp:
        return {qMax(0, r - page), c};
    case Move::PageDown:
        return {qMin(rc - 1, r + page), c};
    }
    return {};
}

GridCell GridCursor::step(bool forward) const
{
    const GridCell t = target(forward ? Move::Next : Move::Previous);
    if (!t.isValid() || isAt(t.row, t.col))
        return {};
    return t;
}

GridCell GridCursor::below() const
{
    if (m_eof || m_row < 0 || m_row + 1 >= m_rowCount)
        return {};
    return {m_row + 1, columnOrFirst()};
}

GridCell GridCursor::lastRowCell() const
{
    if (m_rowCount == 0)
        return {};
    return {m_rowCount - 1, columnOrFirst()};
}

GridCell GridCursor::afterReread() const
{
    const int c = columnOrFirst();
    if (m_rowCount == 0 || c < 0)
        return {-1, c};
    return {qBound(0, m_row, m_rowCount - 1), c};
}

bool GridCursor::takeChange(int* lastRow, int* lastCol)
{
    const int r = row();
    if (r == m_reportedRow && m_col == m_reportedCol)
        return false;
    *lastRow = m_reportedRow;
    *lastCol = m_reportedCol;
    m_reportedRow = r;
    m_reportedCol = m_col;
    return true;
}
