#include "ui/grid/GridDelegate.h"

#include "ui/grid/CellEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>

GridDelegate::GridDelegate(CellEditorProvider* editors, QObject* parent)
    : QStyledItemDelegate(parent), m_editors(editors)
{
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const
{
    return m_editors->createCellEditor(parent, index);
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QVariant raw = index.data(Qt::EditRole);
    if (auto* ce = dynamic_cast<CellEditor*>(editor)) {
        ce->setCellValue(raw);
    } else if (auto* le = qobject_cast<QLineEdit*>(editor)) {
        le->setText(raw.isNull() ? QString() : raw.toString());
        le->setModified(false);
    }
}

void GridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                        const QModelIndex&) const
{
    QRect r = option.rect;
    // A date input needs its digits and calendar button, even in a narrow column.
    if (auto* ce = dynamic_cast<CellEditor*>(editor))
        r.setWidth(qMax(r.width(), ce->minimumCellWidth()));
    // Editors sit on the grid's viewport: keep them inside it.
    if (const QWidget* area = editor->parentWidget()) {
        const QRect a = area->rect();
        if (r.right() > a.right())
            r.moveRight(a.right());
        if (r.left() < a.left())
            r.moveLeft(a.left());
    }
    editor->setGeometry(r);
    if (auto* le = qobject_cast<QLineEdit*>(editor)) {
        le->setProperty("cellWidth", r.width());
        fitLineEdit(le);
    }
}

void GridDelegate::fitLineEdit(QLineEdit* le)
{
    const int cell = le->property("cellWidth").toInt();
    if (cell <= 0)
        return;
    const QMargins m = le->textMargins();
    const int need =
        le->fontMetrics().horizontalAdvance(le->text() + QStringLiteral("00")) + m.left() + m.right() + 4;
    int w = qMax(cell, need);
    if (const QWidget* area = le->parentWidget())
        w = qMin(w, qMax(cell, area->width() - le->x()));
    if (w != le->width())
        le->resize(w, le->height());
}

void GridDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    m_editors->editorReleased(editor);
    if (m_editors->keepsEditor(editor)) {
        editor->hide();
        return;
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

bool GridDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false; // clicks on tick boxes are the grid's
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    // Only tick-box columns answer the check state.
    if (!index.data(Qt::CheckStateRole).isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        if ((option.state & QStyle::State_HasFocus) && m_editors->columnOffersList(index.column()))
            paintListArrow(painter, option);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* w = opt.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    const Qt::CheckState state = opt.checkState;
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
    QStyleOptionViewItem box = opt;
    const int iw = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, w);
    const int ih = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, w);
    box.rect = QRect(opt.rect.center().x() - iw / 2, opt.rect.center().y() - ih / 2, iw, ih);
    box.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange | QStyle::State_HasFocus);
    box.state |= state == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, w);
}

QRect GridDelegate::listArrowRect(const QRect& cell)
{
    const int side = qMin(cell.height(), 16);
    return {cell.right() - side + 1, cell.top() + (cell.height() - side) / 2, side, side};
}

void GridDelegate::paintListArrow(QPainter* painter, const QStyleOptionViewItem& option) const
{
    // The current cell of a list column shows the arrow that F4 or Alt+Down opens.
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    QStyleOption arrow;
    arrow.initFrom(w);
    arrow.rect = listArrowRect(option.rect).adjusted(3, 3, -3, -3);
    arrow.palette.setColor(QPalette::ButtonText, option.palette.color(QPalette::Text));
    painter->save();
    painter->fillRect(listArrowRect(option.rect), option.palette.button());
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, w);
    painter->restore();
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // Several lines in a one-line cell: show where the lines break.
    if (option->text.contains(u'\n') || option->text.contains(u'\r')) {
        option->text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        option->text.replace(u'\r', u'\n');
        option->text.replace(u'\n', QStringLiteral(" ↵ "));
    }
}

bool GridDelegate::eventFilter(QObject* watched, QEvent* e)
{
    // The grid decides about committing and moving, not the view's default editor keys.
    if (auto* w = qobject_cast<QWidget*>(watched))
        return m_editors->editorEvent(w, e);
    return false;
}
