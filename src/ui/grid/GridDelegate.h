#pragma once
// Paints a grid's cells (tick boxes centred, line breaks of one-line cells marked) and hands the
// life of cell editors to whoever manages the editing.
#include <QStyledItemDelegate>

// What the delegate asks of the editing side of the grid.
class CellEditorProvider {
  public:
    virtual QWidget* createCellEditor(QWidget* parent, const QModelIndex& index) = 0;
    virtual void editorReleased(QWidget* editor) = 0;
    // An editor that lives as long as the grid: hidden when released, never deleted.
    virtual bool keepsEditor(const QWidget* editor) const = 0;
    // Keys and focus of an open editor; true when the event was dealt with.
    virtual bool editorEvent(QWidget* editor, QEvent* e) = 0;
    // The column's editor has a list or calendar to open.
    virtual bool columnOffersList(int col) const = 0;

  protected:
    ~CellEditorProvider() = default;
};

class QLineEdit;

class GridDelegate : public QStyledItemDelegate {
  public:
    GridDelegate(CellEditorProvider* editors, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // The grid writes committed values itself.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    // A line editor as wide as its text needs, never narrower than its cell.
    static void fitLineEdit(QLineEdit* le);
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Where the current cell of a list column shows its arrow.
    static QRect listArrowRect(const QRect& cell);

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void paintListArrow(QPainter* painter, const QStyleOptionViewItem& option) const;

    CellEditorProvider* m_editors;
};
