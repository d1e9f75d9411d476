#pragma once
// A grid's columns as one table: each tab states its grid's columns here, next to the named
// column enum it uses, and the set-up applies them in one call.
#include <QList>
#include <QString>
#include <Qt>

#include "ui/grid/CellEditor.h"

class DataGrid;
class DataSource;
class QWidget;

struct GridColumn {
    QString field{};              // "" = a column bound to no field
    QString caption{};            // shown in the header
    double widthTwips = -1;       // -1 = the grid's default
    Qt::Alignment alignment = {}; // 0 = the grid's default (text from the left)
    QString format{};             // "mm/dd", "yyyy/mm/dd", "00:00"
    bool hidden = false;
    bool locked = false;       // not editable
    bool noCursor = false;     // Enter, Tab, arrows and clicks never stop there
    bool checkBox = false;     // a 0/1 field shown as a tick box
    bool actionOnly = false;   // double click and F2 raise cellAction; typing still edits in place
    QWidget* editor = nullptr; // an external editor (a CellEditor)
    QString fitText{};         // never narrower than this text needs
    bool stretch = false;      // shares the width the grid has beyond all columns' own widths
    ValueRule rule{};          // what a typed text becomes (GridEditSession applies it)
};

// Binds grid to source and sets every column as listed, in order.
void applyColumns(DataGrid* grid, DataSource* source, const QList<GridColumn>& columns);

// True when values run 0, 1, 2, ... in the order given.
template <auto... Values> constexpr bool runsFromZero()
{
    int i = 0;
    return ((int(Values) == i++) && ...);
}

// A grid's columns in the order of its column enum, the enum's values named beside them:
// inEnumOrder<ColLast, ColA, ColB, ColLast>(a, b, last). It does not compile unless the named
// values run 0, 1, 2, ... up to the enum's last, one column each, so the table cannot drift
// from the enum the tab's code uses.
template <auto Last, auto... Cols, typename... Columns>
QList<GridColumn> inEnumOrder(const Columns&... columns)
{
    static_assert(sizeof...(Cols) == sizeof...(Columns), "one column for each enum value");
    static_assert(sizeof...(Cols) == int(Last) + 1, "every enum value up to the last has its column");
    static_assert(runsFromZero<Cols...>(), "the columns are listed in enum order");
    return {GridColumn(columns)...};
}
