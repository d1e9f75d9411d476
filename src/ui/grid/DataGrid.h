#pragma once
// A grid bound to one table through a DataSource: cell cursor, inline and external editors,
// tick boxes and display formats; every committed edit is written to the table at once.
#include "ui/grid/GridColumns.h"
#include "ui/grid/GridNavigator.h"
#include "ui/grid/GridEditSession.h"

#include <QList>
#include <QPointer>
#include <QTableView>
#include <QVariant>

class DataSource;
class DataGridModel;
class GridDelegate;

class DataGrid : public QTableView, private GridEditHost {
    Q_OBJECT
  public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setDataSource(DataSource* src);
    DataSource* dataSource() const;
    void setFields(const QStringList& fields); // column n bound to fields[n]; "" = unbound column
    QStringList fields() const;
    DataGridModel* gridModel() const { return m_model; }

    // Column properties (all by column index).
    void setColumnCaption(int col, const QString& caption);
    void setColumnWidthTwips(int col, double twips); // converted at the logical DPI
    double columnWidthTwips(int col) const;
    void setColumnAlignment(int col, Qt::Alignment a); // Left, Center, or 0 = text from the left
    void setColumnFormat(int col, const QString& fmt); // "mm/dd" for an ISO date; "00:00" for four digits
    void setColumnVisible(int col, bool visible);
    void setColumnLocked(int col, bool locked);     // not editable
    void setColumnTakesCursor(int col, bool takes); // false: keys/Tab/Enter/clicks never stop there
    void setColumnCheckBox(int col, bool on);       // boolean field shown as a centred tick box
    void setColumnEditor(int col, QWidget* editor); // external editor implementing CellEditor
    // What a text typed into the column's own line edit becomes (a time typed as 930 → 0930);
    // a text the rule refuses stays in the cell, marked, and nothing is written.
    void setColumnValueRule(int col, ValueRule rule);
    // Double click / F2 only raise cellAction; typing still edits inline.
    void setColumnActionOnly(int col, bool on);
    bool columnTakesCursor(int col) const;
    bool columnActionOnly(int col) const;
    QWidget* columnEditor(int col) const;

    void setHeightTwips(double twips);
    void setRowHeightTwips(double twips);
    void setRowSelectorWidthTwips(double twips);         // 0 hides the row selector
    void setColumnFitText(int col, const QString& text); // never narrower than this text needs
    void addStretchColumn(int col);                      // shares the width beyond all columns' own widths

    // Operations.
    int col() const; // current column
    void setCol(int col);
    int row() const; // current row (0-based); the row count while past the last row
    void setRow(int row);
    QVariant columnValue(int col) const;                     // value in the current row (raw, e.g. ISO date)
    QString columnText(int col) const;                       // formatted text in the current row
    store::Error setColumnValue(int col, const QVariant& v); // writes the current row's field to the table
    void moveNext(); // next row; from the last row it goes past the last row (isEof() true)
    void moveLast(); // last row, clears the past-last state
    bool isEof() const;
    // Writes the value still open in a cell editor into the table, so an operation that reads
    // the table sees it; callers stop on a failure. why tells a text that is no value (the
    // caller says so) from a failed write, which the grid has already reported through writeFailed.
    store::Error commitPending(CommitFailure* why = nullptr);
    QWidget* imeWindow(); // the widget SetImeStatus acts on (the grid)
    bool isEditing() const;
    QWidget* activeEditor() const;

    QSize sizeHint() const override;

    // Shown at the cell when typed text cannot go into it (a tick box, a locked cell).
    static const QString kTypingRefused;

  signals:
    // keyDown is raised for every key pressed on the grid itself; inside an open cell editor
    // only for Enter (after the edit was written) and Tab / Shift+Tab.
    void afterColUpdate(int col);                            // a user edit of col was written to the table
    void rowColChange(int lastRow, int lastCol);             // current cell moved
    void keyDown(int* keyCode, Qt::KeyboardModifiers shift); // set *keyCode = 0 to consume
    void cellAction();                                       // double click or F2 on a cell
    void writeFailed(int col, const store::Error& error);    // a user edit could not be written

  protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool focusNextPrevChild(bool next) override;

  private:
    int columnCount() const;
    void commitBeforeMove();
    void reportMove(int lastRow, int lastCol);

    // Keys, typing and the cell's own action.
    bool startEdit(int row, int col, QEvent* forward);
    bool actOnKey(QKeyEvent* e); // the grid's own handling of a key, after keyDown
    void typeInto(QEvent* e);    // a typed key or composed text on the current cell
    void refuseTyping();         // typed text that has nowhere to go is refused where it is seen
    void runCellAction(QEvent* forward);
    void toggle(int row, int col);

    // GridEditHost
    void closeEditorWidget(QWidget* editor) override;
    void cellWritten(int col) override;
    void cellWriteFailed(int col, const store::Error& error) override;
    void editorLeft(EditorCommand command, int key, Qt::KeyboardModifiers mods, int row) override;

    // The screen around the grid connects to it with handlers that die with the screen.
    void watchParent();
    void beginTeardown();

    DataGridModel* m_model = nullptr;
    GridDelegate* m_delegate = nullptr;
    GridEditSession* m_session = nullptr;
    GridColumns m_columns{this};
    GridNavigator m_nav;
    int m_heightPx = -1;
    bool m_closing = false;
    QMetaObject::Connection m_parentWatch;
    QMetaObject::Connection m_resetWatch;
    QMetaObject::Connection m_rereadWatch;
};
