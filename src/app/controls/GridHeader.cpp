#include "app/controls/GridHeader.h"

#include <QStyle>
#include <QStyleOptionHeader>

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
