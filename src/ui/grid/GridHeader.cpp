#include "ui/grid/GridHeader.h"

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
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.section = logicalIndex;
    opt.fontMetrics = fontMetrics();
    if (model())
        opt.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    return style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), this);
}
