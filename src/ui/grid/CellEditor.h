#pragma once
// A control that a DataGrid can use as the editor of a column.
#include <QString>
#include <QVariant>
#include <functional>

// What a text typed into a column's own line edit becomes: the value to write, or, when problem
// is set, no value at all: nothing is written and the text stays in the cell, marked.
struct TypedValue {
    QVariant value;
    QString problem;
};
using ValueRule = std::function<TypedValue(const QString& typed)>;

// Why a pending edit was not written: a text that is no value (the user corrects it), or the
// table refused the write (the grid has raised writeFailed).
enum class CommitFailure { None, NotAValue, WriteFailed };

class CellEditor {
  public:
    virtual ~CellEditor() = default;
    // The value to write into the cell; Null for an empty entry.
    virtual QVariant cellValue() const = 0;
    virtual void setCellValue(const QVariant&) = 0;
    // Why what is typed is not a value at all (a text that is no date), or "" when it is one.
    // The grid then keeps the editor open, marked through showProblem(), and writes nothing.
    virtual QString cellValueProblem() const { return {}; }
    virtual void showProblem() {}
    // The edit ends: a list or calendar of the editor's own closes with it.
    virtual void closePopup() {}
    // An editor with a list or calendar of its own: F4 and Alt+Down open it from the cell, and
    // the current cell shows an arrow.
    virtual bool offersList() const { return false; }
    virtual void openList() {}
    // The narrowest the editor shows its entry in, however narrow the column.
    virtual int minimumCellWidth() const { return 0; }
    // Called when the user completes an entry in the editor's pop-up (picks an item or a
    // date); the grid writes it at once.
    void setPickedHandler(std::function<void()> handler) { m_picked = std::move(handler); }

  protected:
    void notifyPicked()
    {
        if (m_picked)
            m_picked();
    }

  private:
    std::function<void()> m_picked;
};
