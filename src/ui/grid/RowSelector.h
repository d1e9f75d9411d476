#pragma once
// The row selector of a grid: an empty vertical header that marks the current row.
#include "ui/grid/GridHeader.h"
#include <functional>

class RowSelector : public GridHeader {
  public:
    // markedRow: the row to mark, or -1 for none.
    RowSelector(std::function<int()> markedRow, QWidget* parent);

  protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;

  private:
    std::function<int()> m_markedRow;
};
