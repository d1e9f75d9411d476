// DataGrid's column properties and size: each kept by the model (what a column shows and
// allows), the column layout (widths, visibility, cursor) or the edit session (editors).
#include "ui/grid/DataGrid.h"

#include "ui/grid/CellEditor.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "ui/Twips.h"

#include <QHeaderView>

void DataGrid::setColumnCaption(int col, const QString& caption)
{
    m_model->setCaption(col, caption);
}

void DataGrid::setColumnWidthTwips(int col, double twips)
{
    m_columns.setWidthTwips(col, twips);
}

double DataGrid::columnWidthTwips(int col) const
{
    return m_columns.widthTwips(col);
}

void DataGrid::setColumnAlignment(int col, Qt::Alignment a)
{
    m_model->setAlignment(col, a);
}

void DataGrid::setColumnFormat(int col, const QString& fmt)
{
    m_model->setFormat(col, fmt);
}

void DataGrid::setColumnVisible(int col, bool visible)
{
    m_columns.setVisible(col, visible);
    if (col >= 0 && !visible)
        m_nav.columnHidden(col);
}

void DataGrid::setColumnLocked(int col, bool locked)
{
    m_model->setLocked(col, locked);
}

void DataGrid::setColumnTakesCursor(int col, bool takes)
{
    m_columns.setTakesCursor(col, takes);
}

bool DataGrid::columnTakesCursor(int col) const
{
    return m_columns.takesCursor(col);
}

void DataGrid::setColumnCheckBox(int col, bool on)
{
    m_model->setCheckBox(col, on);
}

void DataGrid::setColumnEditor(int col, QWidget* editor)
{
    m_session->setColumnEditor(col, editor);
    // The column is wide enough for its editor, so the editor fits its cell.
    if (auto* ce = dynamic_cast<CellEditor*>(editor))
        m_columns.setMinimumPx(col, ce->minimumCellWidth());
}

QWidget* DataGrid::columnEditor(int col) const
{
    return m_session->columnEditor(col);
}

void DataGrid::setColumnActionOnly(int col, bool on)
{
    m_columns.setActionOnly(col, on);
}

bool DataGrid::columnActionOnly(int col) const
{
    return m_columns.isActionOnly(col);
}

void DataGrid::setHeightTwips(double twips)
{
    // The height is the grid's preferred height, so a layout can still stretch it.
    m_heightPx = twipsToPx(twips, this);
    updateGeometry();
    resize(width(), m_heightPx);
}

void DataGrid::setRowHeightTwips(double twips)
{
    m_columns.setRowHeightTwips(twips);
}

void DataGrid::setColumnFitText(int col, const QString& text)
{
    m_columns.setFitText(col, text);
}

void DataGrid::addStretchColumn(int col)
{
    m_columns.addStretchColumn(col);
}

void DataGrid::resizeEvent(QResizeEvent* e)
{
    QTableView::resizeEvent(e);
    m_columns.fit();
}

void DataGrid::setRowSelectorWidthTwips(double twips)
{
    const int px = twipsToPx(twips, this);
    if (px > 0) {
        verticalHeader()->setFixedWidth(px);
        verticalHeader()->show();
    } else {
        verticalHeader()->hide();
    }
}

QSize DataGrid::sizeHint() const
{
    QSize s = QTableView::sizeHint();
    if (m_heightPx > 0)
        s.setHeight(m_heightPx);
    return s;
}
