#include "ui/grid/RowSelector.h"

#include <QPainter>

RowSelector::RowSelector(std::function<int()> markedRow, QWidget* parent)
    : GridHeader(Qt::Vertical, parent), m_markedRow(std::move(markedRow))
{
}

void RowSelector::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const
{
    p->save();
    QHeaderView::paintSection(p, rect, logicalIndex);
    p->restore();
    if (logicalIndex != m_markedRow())
        return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const int s = qMax(3, qMin(rect.width(), rect.height()) / 3);
    const QPointF c = QRectF(rect).center();
    const QPointF tri[3] = {
        {c.x() - s / 2.0, c.y() - s}, {c.x() + s / 2.0 + 1, c.y()}, {c.x() - s / 2.0, c.y() + s}};
    p->setPen(Qt::NoPen);
    p->setBrush(palette().color(QPalette::WindowText));
    p->drawPolygon(tri, 3);
    p->restore();
}
