#pragma once
// The one cell editor a grid may have open: opening it on a cell, writing its value into the
// table, dropping it, the keys it leaves to the grid and the focus leaving it. External editors
// (a list, a date input) are reached only through CellEditor.
#include "ui/grid/CellEditor.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridKeys.h"
#include "store/Error.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>

class DataGridModel;
class QAbstractItemView;

// What an edit session needs from the grid it edits in.
class GridEditHost {
  public:
    // The view closes the editor it opened (the view's own closeEditor, not the grid's).
    virtual void closeEditorWidget(QWidget* editor) = 0;
    virtual void cellWritten(int col) = 0;
    virtual void cellWriteFailed(int col, const store::Error& error) = 0;
    // The editor on row was left by Enter, Tab or an arrow after its value was written.
    virtual void editorLeft(EditorCommand command, int key, Qt::KeyboardModifiers mods, int row) = 0;

  protected:
    ~GridEditHost() = default;
};

class GridEditSession : public QObject, public CellEditorProvider {
    Q_OBJECT
  public:
    GridEditSession(QAbstractItemView* view, DataGridModel* model, GridEditHost* host);
    ~GridEditSession() override;

    // One external editor per column for the grid's life; nullptr for the grid's own line edit.
    void setColumnEditor(int col, QWidget* editor);
    QWidget* columnEditor(int col) const;
    // The rule a non-empty text typed into the column's own line edit passes before it is written.
    void setColumnRule(int col, ValueRule rule);

    QWidget* editor() const { return m_editor; }
    bool isOpen() const { return m_editor != nullptr; }
    bool isEditing(int row, int col) const;
    int column() const { return m_editor ? m_index.column() : -1; }

    // Whether the cell can be edited where it stands (not locked, no tick box, one line).
    bool canEdit(int row, int col) const;
    // Opens the editor on a cell, which the cursor must be on already. forward is the typed key or composed
    // text that started the edit: it replaces the cell's text.
    bool open(int row, int col, QEvent* forward);
    // Empties the open editor's text (Delete, Backspace): Enter then writes an empty cell.
    void clearText();
    // Writes the editor's value if it differs from the table's; on failure (the table's error,
    // or the reason a text is no value) the editor stays open with what was typed. close: close
    // the editor once written.
    store::Error commit(bool close);
    // Why the last commit wrote nothing; None after one that succeeded.
    CommitFailure lastFailure() const { return m_lastFailure; }
    void discard();
    // From now on nothing is written and no key or focus change is acted on: the grid or the
    // screen around it is being destroyed.
    void stop() { m_stopped = true; }

    // CellEditorProvider
    QWidget* createCellEditor(QWidget* parent, const QModelIndex& index) override;
    void editorReleased(QWidget* editor) override;
    bool keepsEditor(const QWidget* editor) const override;
    bool editorEvent(QWidget* editor, QEvent* e) override;
    bool columnOffersList(int col) const override;

  private:
    QVariant editorValue(QWidget* editor) const;
    bool onKey(QWidget* editor, int key, Qt::KeyboardModifiers mods);
    void close();

    QAbstractItemView* m_view;
    DataGridModel* m_model;
    GridEditHost* m_host;
    QList<QPointer<QWidget>> m_columnEditors;
    QList<ValueRule> m_rules;
    CommitFailure m_lastFailure = CommitFailure::None;
    // The value whose failed write the user was told of: the focus leaving for a button and the
    // button's operation then try the same write, and one notice is enough. Enter, Tab or an
    // arrow is a new attempt of the user's and is told again.
    bool m_failureTold = false;
    QVariant m_toldValue;
    QPointer<QWidget> m_editor;
    QPersistentModelIndex m_index;
    bool m_stopped = false;
};
