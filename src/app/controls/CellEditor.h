#pragma once
// A control that a DataGrid can use as the editor of a column.
#include <QVariant>

class CellEditor {
  public:
    virtual ~CellEditor() = default;
    // The value to write into the cell; Null for an empty entry.
    virtual QVariant cellValue() const = 0;
    virtual void setCellValue(const QVariant&) = 0;
    // False while what is typed is not a value at all (a text that is no date): the grid then
    // keeps the editor open instead of writing anything.
    virtual bool cellValueValid() const { return true; }
};
