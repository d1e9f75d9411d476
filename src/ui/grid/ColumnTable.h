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
