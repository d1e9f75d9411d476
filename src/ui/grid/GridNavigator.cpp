#include "ui/grid/GridNavigator.h"

#include "ui/grid/GridColumns.h"

#include <QTableView>

GridNavigator::GridNavigator(QTableView* view, const GridColumns& columns, std::function<void()> beforeMove,
                             std::function<void(int, int)> moved)
    : m_view(view), m_columns(columns), m_beforeMove(std::move(beforeMove)), m_moved(std::move(moved))
{
}

const GridCursor& GridNavigator::cursor() const
{
    const QAbstractItemModel* m = m_view->model();
    m_cursor.setShape(m_columns.cursorFacts(), m ? m->rowCount() : 0);
    return m_cursor;
}

void GridNavigator::setRow(int r)
{
    const GridCursor& cur = cursor();
    if (r < 0 || r >= cur.rowCount())
        return;
    goTo(r, cur.columnOrFirst());
}

void GridNavigator::setCol(int c)
{
    const GridCursor& cur = cursor();
    if (c < 0 || c >= cur.columnCount())
        return;
    if (cur.rowCount() == 0) {
        m_cursor.setColumn(c);
        report();
        return;
    }
    goTo(qBound(0, cur.placedRow(), cur.rowCount() - 1), c);
}

void GridNavigator::goTo(int r, int c)
{
    const GridCursor& cur = cursor();
    if (r < 0 || c < 0 || r >= cur.rowCount() || c >= cur.columnCount())
        return;
    m_beforeMove();
    const QModelIndex idx = m_view->model()->index(r, c);
    if (m_view->currentIndex() == idx && m_cursor.isAt(r, c)) {
        m_cursor.setEof(false);
        report();
        return;
    }
    m_view->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
}

bool GridNavigator::step(bool forward)
{
    const GridCell t = cursor().step(forward);
    if (!t.isValid())
        return false;
    goTo(t);
    return true;
}

void GridNavigator::moveNext()
{
    m_beforeMove();
    if (m_cursor.isEof())
        return;
    if (const GridCell t = cursor().below(); t.isValid()) {
        goTo(t);
        return;
    }
    m_cursor.setEof(true);
    report();
}

void GridNavigator::moveLast()
{
    m_beforeMove();
    m_cursor.setEof(false);
    if (const GridCell t = cursor().lastRowCell(); t.isValid())
        goTo(t);
    report();
}

GridCell GridNavigator::target(GridCursor::Move move) const
{
    return cursor().target(move, pageRows());
}

int GridNavigator::pageRows() const
{
    const int rc = cursor().rowCount();
    const int r = rc > 0 ? qBound(0, m_cursor.placedRow(), rc - 1) : 0;
    return qMax(1, m_view->viewport()->height() / qMax(1, m_view->rowHeight(r)) - 1);
}

void GridNavigator::columnHidden(int col)
{
    if (col != m_cursor.col() || m_cursor.placedRow() < 0)
        return;
    if (const int next = cursor().columnAfterHiding(col); next >= 0)
        goTo(m_cursor.placedRow(), next);
}

void GridNavigator::clickedWhilePastEnd(int row, int col)
{
    if (m_cursor.isEof() && m_cursor.isAt(row, col)) {
        m_cursor.setEof(false);
        report();
    }
}

void GridNavigator::viewMoved(const QModelIndex& current)
{
    if (current.isValid())
        m_cursor.place(current.row(), current.column());
    report();
}

void GridNavigator::restore()
{
    m_cursor.setEof(false);
    const GridCell t = cursor().afterReread();
    if (t.row < 0) {
        m_cursor.place(-1, t.col);
        report();
        return;
    }
    m_cursor.place(-1, m_cursor.col());
    m_view->selectionModel()->setCurrentIndex(m_view->model()->index(t.row, t.col),
                                              QItemSelectionModel::ClearAndSelect);
    if (m_cursor.placedRow() < 0) { // the view kept that cell as current, so viewMoved did not run
        m_cursor.place(t.row, t.col);
        report();
    }
}

void GridNavigator::report()
{
    int lastRow = -1;
    int lastCol = -1;
    cursor();
    if (m_cursor.takeChange(&lastRow, &lastCol))
        m_moved(lastRow, lastCol);
}
