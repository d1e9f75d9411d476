#include "ui/grid/ColumnTable.h"

#include "ui/grid/DataGrid.h"

void applyColumns(DataGrid* grid, DataSource* source, const QList<GridColumn>& columns)
{
    grid->setDataSource(source);
    QStringList fields;
    for (const GridColumn& c : columns)
        fields << c.field;
    grid->setFields(fields);
    for (int i = 0; i < columns.size(); ++i) {
        const GridColumn& c = columns[i];
        grid->setColumnVisible(i, !c.hidden);
        grid->setColumnCaption(i, c.caption);
        if (c.widthTwips >= 0)
            grid->setColumnWidthTwips(i, c.widthTwips);
        if (c.alignment)
            grid->setColumnAlignment(i, c.alignment);
        if (!c.format.isEmpty())
            grid->setColumnFormat(i, c.format);
        grid->setColumnLocked(i, c.locked);
        grid->setColumnTakesCursor(i, !c.noCursor);
        grid->setColumnCheckBox(i, c.checkBox);
        grid->setColumnActionOnly(i, c.actionOnly);
        if (c.editor)
            grid->setColumnEditor(i, c.editor);
        if (!c.fitText.isEmpty())
            grid->setColumnFitText(i, c.fitText);
        if (c.stretch)
            grid->addStretchColumn(i);
        if (c.rule)
            grid->setColumnValueRule(i, c.rule);
    }
}
