#pragma once
// The view's side of a grid's columns: width in twips, shown or hidden, whether the cursor stops
// there, action only; and the row height. Kept here and laid on the view again after every
// reset of the model, which forgets them.
#include "ui/grid/GridCursor.h"

#include <QList>

class QTableView;

class GridColumns {
  public:
    explicit GridColumns(QTableView* view) : m_view(view) {}

    void setWidthTwips(int col, double twips);
    double widthTwips(int col) const;
    void setVisible(int col, bool visible);
    bool isVisible(int col) const;
    void setTakesCursor(int col, bool takes);
    bool takesCursor(int col) const;
    void setActionOnly(int col, bool on);
    bool isActionOnly(int col) const;
    void setRowHeightTwips(double twips);
    // The column is never narrower than this text needs (the 3 digits of line 100).
    void setFitText(int col, const QString& text);
    // The column is never narrower than px (an external editor's narrowest usable width).
    void setMinimumPx(int col, int px);
    // One of the columns that share the width the grid has beyond all columns' own widths, in
    // proportion to those widths; in a grid too narrow for all, they give up width the same way.
    void addStretchColumn(int col);
    // How narrow, in percent of their own widths, the stretch columns go in a small grid.
    static constexpr int kNarrowestShare = 75;
    // Lays the stretch columns over the viewport's width again (after a resize).
    void fit();

    // The user resized a column on the view.
    void resized(int col, int px);
    void reapply();
    // What the cursor rules need to know of each of the view's columns.
    QList<CursorColumn> cursorFacts() const;

  private:
    struct Column {
        double widthTwips = -1;
        bool visible = true;
        bool takesCursor = true;
        bool actionOnly = false;
        QString fitText;
        int minPx = 0;
    };
    int basePx(int col) const;
    Column& column(int col);
    const Column* columnAt(int col) const;
    int viewColumns() const;

    QTableView* m_view;
    QList<Column> m_columns;
    int m_rowHeightPx = -1;
    bool m_applying = false;
    QList<int> m_stretch;
};
