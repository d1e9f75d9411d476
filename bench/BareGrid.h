#pragma once
// The drawing's floor: a bare QTableView over a plain model of strings, shaped like one of the
// window's grids (same columns, widths, row height, row selector, font, palette and size) in a
// window of its own, told of new rows the way the grid is (one dataChanged over every cell
// when the rows keep their number, a reset otherwise) and painted by the same event loop.
#include "Floor.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>
#include <vector>

namespace bench {

using Rows = std::vector<std::vector<Text>>;

// Reads the rows a grid shows, in the grid's own columns: sql selects them in that order.
inline Rows readRows(Raw& db, const std::string& sql)
{
    Rows rows;
    sqlite3_stmt* s = db.st(sql.c_str());
    const int n = sqlite3_column_count(s);
    while (db.row(s)) {
        std::vector<Text> row;
        row.reserve(size_t(n));
        for (int i = 0; i < n; ++i)
            row.push_back(column(s, i));
        rows.push_back(std::move(row));
    }
    return rows;
}

class PlainModel : public QAbstractTableModel {
  public:
    PlainModel(int columns, std::vector<bool> ticks, std::vector<int> align)
        : m_columns(columns), m_ticks(std::move(ticks)), m_align(std::move(align))
    {
    }
    void setRows(const Rows& rows)
    {
        const bool same = rows.size() == m_rows.size();
        if (!same)
            beginResetModel();
        m_rows.clear();
        m_rows.reserve(rows.size());
        for (const auto& r : rows) {
            std::vector<QString> row;
            row.reserve(r.size());
            for (const Text& t : r)
                row.push_back(t ? QString::fromStdString(*t) : QString());
            m_rows.push_back(std::move(row));
        }
        if (!same)
            endResetModel();
        else if (!m_rows.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
    }
    int rowCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : m_columns; }
    QVariant data(const QModelIndex& i, int role) const override
    {
        const auto& row = m_rows[size_t(i.row())];
        const QString& t = size_t(i.column()) < row.size() ? row[size_t(i.column())] : m_empty;
        const bool tick = m_ticks[size_t(i.column())];
        switch (role) {
        case Qt::DisplayRole:
            return tick ? QVariant() : QVariant(t);
        case Qt::CheckStateRole:
            return tick ? QVariant(int(t.isEmpty() || t == u"0" ? Qt::Unchecked : Qt::Checked)) : QVariant();
        case Qt::TextAlignmentRole:
            return m_align[size_t(i.column())];
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return m_captions.value(section);
        if (o == Qt::Horizontal && role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    }
    QStringList m_captions;

  private:
    int m_columns;
    std::vector<bool> m_ticks;
    std::vector<int> m_align;
    std::vector<std::vector<QString>> m_rows;
    QString m_empty;
};

class BareGrid {
  public:
    // A window of its own beside the main one, shaped like grid.
    explicit BareGrid(const DataGrid& grid)
    {
        const DataGridModel* m = grid.gridModel();
        const int cols = m->columnCount();
        std::vector<bool> ticks;
        std::vector<int> align;
        for (int c = 0; c < cols; ++c) {
            ticks.push_back(m->isCheckBox(c));
            align.push_back(int(m->alignment(c) | Qt::AlignVCenter));
        }
        m_model = new PlainModel(cols, ticks, align);
        for (int c = 0; c < cols; ++c)
            m_model->m_captions << m->caption(c);
        m_view.setModel(m_model);
        m_view.setFont(grid.font());
        m_view.setPalette(grid.palette());
        m_view.setWordWrap(grid.wordWrap());
        m_view.setShowGrid(grid.showGrid());
        m_view.setCornerButtonEnabled(false);
        m_view.setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_view.setSelectionMode(QAbstractItemView::SingleSelection);
        m_view.horizontalHeader()->setStretchLastSection(false);
        m_view.horizontalHeader()->setHighlightSections(false);
        m_view.verticalHeader()->setHighlightSections(false);
        // The same cells in sight: narrow columns are not widened to the header's own minimum,
        // and the scroll bars come and go as the grid's do.
        m_view.horizontalHeader()->setMinimumSectionSize(grid.horizontalHeader()->minimumSectionSize());
        m_view.verticalHeader()->setMinimumSectionSize(grid.verticalHeader()->minimumSectionSize());
        m_view.setHorizontalScrollBarPolicy(grid.horizontalScrollBarPolicy());
        m_view.setVerticalScrollBarPolicy(grid.verticalScrollBarPolicy());
        m_view.setFrameShape(grid.frameShape());
        m_view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_view.verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
        m_view.verticalHeader()->setVisible(grid.verticalHeader()->isVisible());
        m_view.verticalHeader()->setFixedWidth(grid.verticalHeader()->width());
        m_view.horizontalHeader()->setFixedHeight(grid.horizontalHeader()->height());
        for (int c = 0; c < cols; ++c) {
            m_view.setColumnHidden(c, grid.isColumnHidden(c));
            m_view.setColumnWidth(c, grid.columnWidth(c));
        }
        m_view.setWindowTitle(QStringLiteral("floor"));
        m_view.resize(grid.size());
        m_view.move(grid.window()->frameGeometry().right() + 8, 0);
        m_view.show();
    }
    ~BareGrid() { delete m_model; }
    void setRows(const Rows& rows) { m_model->setRows(rows); }
    QTableView& view() { return m_view; }

  private:
    QTableView m_view;
    PlainModel* m_model = nullptr;
};

} // namespace bench
