#include "ui/grid/GridHeader.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionHeader>

GridHeader::GridHeader(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent)
{
    setHighlightSections(false);
    if (orientation == Qt::Horizontal) {
        setMinimumSectionSize(4);
        setStretchLastSection(false);
        setSectionsClickable(false);
    } else {
        setSectionResizeMode(QHeaderView::Fixed);
        setMinimumSectionSize(8);
        setSectionsClickable(true);
    }
}

QSize GridHeader::sectionSizeFromContents(int logicalIndex) const
{
    const QString text =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    // A section's size is its caption's: no icon or sort indicator is ever shown.
    const auto known = m_captionSizes.constFind(text);
    if (known != m_captionSizes.cend())
        return *known;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.section = logicalIndex;
    opt.fontMetrics = fontMetrics();
    opt.text = text;
    const QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), this);
    m_captionSizes.insert(text, size);
    return size;
}

void GridHeader::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        m_captionSizes.clear();
    QHeaderView::changeEvent(e);
}
