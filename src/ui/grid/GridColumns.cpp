#include "ui/grid/GridColumns.h"

#include "ui/Twips.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

GridColumns::Column& GridColumns::column(int col)
{
    if (col >= m_columns.size())
        m_columns.resize(col + 1);
    return m_columns[col];
}

const GridColumns::Column* GridColumns::columnAt(int col) const
{
    return (col >= 0 && col < m_columns.size()) ? &m_columns[col] : nullptr;
}

int GridColumns::viewColumns() const
{
    return m_view->model() ? m_view->model()->columnCount() : 0;
}

void GridColumns::setWidthTwips(int col, double twips)
{
    if (col < 0 || twips < 0)
        return;
    column(col).widthTwips = twips;
    if (col < viewColumns()) {
        m_applying = true;
        m_view->setColumnWidth(col, basePx(col));
        m_applying = false;
        fit();
    }
}

int GridColumns::basePx(int col) const
{
    const Column* c = columnAt(col);
    int px = c && c->widthTwips >= 0 ? twipsToPx(c->widthTwips, m_view) : m_view->columnWidth(col);
    if (c && !c->fitText.isEmpty()) {
        const int margin = m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
        px = qMax(px, m_view->fontMetrics().horizontalAdvance(c->fitText) + 2 * margin + 4);
    }
    if (c)
        px = qMax(px, c->minPx);
    return px;
}

void GridColumns::setMinimumPx(int col, int px)
{
    if (col < 0)
        return;
    column(col).minPx = px;
    reapply();
}

void GridColumns::setFitText(int col, const QString& text)
{
    if (col < 0)
        return;
    column(col).fitText = text;
    reapply();
}

void GridColumns::addStretchColumn(int col)
{
    if (col >= 0 && !m_stretch.contains(col))
        m_stretch << col;
    fit();
}

void GridColumns::fit()
{
    QList<int> shared;
    int used = 0, base = 0;
    for (int c = 0; c < viewColumns(); ++c) {
        if (m_view->isColumnHidden(c))
            continue;
        if (m_stretch.contains(c)) {
            shared << c;
            base += basePx(c);
        } else {
            used += m_view->columnWidth(c);
        }
    }
    if (shared.isEmpty())
        return;
    // A small window narrows them too, down to a share that still reads, before the grid scrolls.
    const int total = qMax(m_view->viewport()->width() - used, base * kNarrowestShare / 100);
    // Rounded on the running sum, so the columns fill the width exactly.
    int given = 0, seen = 0;
    m_applying = true;
    for (const int c : shared) {
        seen += basePx(c);
        const int upTo = base ? int(qint64(total) * seen / base) : 0;
        const int w = upTo - given;
        given = upTo;
        if (w != m_view->columnWidth(c))
            m_view->setColumnWidth(c, w);
    }
    m_applying = false;
}

double GridColumns::widthTwips(int col) const
{
    if (const Column* c = columnAt(col); c && c->widthTwips >= 0)
        return c->widthTwips;
    return col >= 0 && col < viewColumns() ? pixelsToTwips(m_view->columnWidth(col), m_view) : 0.0;
}

void GridColumns::resized(int col, int px)
{
    // A width the user set by dragging is kept in twips like one set by the program.
    if (!m_applying && col >= 0 && px > 0) {
        column(col).widthTwips = pixelsToTwips(px, m_view);
        fit();
    }
}

void GridColumns::setVisible(int col, bool visible)
{
    if (col < 0)
        return;
    column(col).visible = visible;
    if (col < viewColumns())
        m_view->setColumnHidden(col, !visible);
}

bool GridColumns::isVisible(int col) const
{
    const Column* c = columnAt(col);
    return !c || c->visible;
}

void GridColumns::setTakesCursor(int col, bool takes)
{
    if (col >= 0)
        column(col).takesCursor = takes;
}

bool GridColumns::takesCursor(int col) const
{
    const Column* c = columnAt(col);
    return !c || c->takesCursor;
}

void GridColumns::setActionOnly(int col, bool on)
{
    if (col >= 0)
        column(col).actionOnly = on;
}

bool GridColumns::isActionOnly(int col) const
{
    const Column* c = columnAt(col);
    return c && c->actionOnly;
}

void GridColumns::setRowHeightTwips(double twips)
{
    m_rowHeightPx = qMax(4, twipsToPx(twips, m_view));
    QHeaderView* v = m_view->verticalHeader();
    v->setMinimumSectionSize(qMin(v->minimumSectionSize(), m_rowHeightPx));
    v->setDefaultSectionSize(m_rowHeightPx);
}

void GridColumns::reapply()
{
    m_applying = true;
    for (int c = 0; c < viewColumns(); ++c) {
        const Column* col = columnAt(c);
        m_view->setColumnHidden(c, col && !col->visible);
        if (col && (col->widthTwips >= 0 || !col->fitText.isEmpty() || col->minPx > 0) &&
            !m_stretch.contains(c))
            m_view->setColumnWidth(c, basePx(c));
    }
    if (m_rowHeightPx > 0)
        m_view->verticalHeader()->setDefaultSectionSize(m_rowHeightPx);
    m_applying = false;
    fit();
}

QList<CursorColumn> GridColumns::cursorFacts() const
{
    // Hidden on the view counts as well: whoever hid the column, the cursor cannot stand there.
    QList<CursorColumn> facts(viewColumns());
    for (int c = 0; c < facts.size(); ++c) {
        facts[c].visible = !m_view->isColumnHidden(c) && isVisible(c);
        facts[c].takesCursor = takesCursor(c);
    }
    return facts;
}
