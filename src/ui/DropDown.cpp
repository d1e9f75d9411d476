#include "ui/DropDown.h"

#include "ui/Controls.h"
#include "ui/grid/DataSource.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QWheelEvent>

DropDown::DropDown(QWidget* parent) : QComboBox(parent)
{
    makeEditable(this);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(15);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(4);
    // What is typed stands, as in the name boxes: ABC is never completed into ABC商事.
    setCompleter(nullptr);
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_stepping) {
            emit picked();
            notifyPicked();
        }
    });
}

void DropDown::setDataSource(DataSource* src)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = src;
    if (m_source)
        connect(m_source, &DataSource::refreshed, this, &DropDown::reload);
    reload();
}

DataSource* DropDown::dataSource() const
{
    return m_source;
}

void DropDown::setListField(const QString& field)
{
    m_field = field;
    reload();
}

void DropDown::reload()
{
    const QString keep = currentText();
    QStringList items;
    const int field = m_source && !m_field.isEmpty() ? m_source->fieldIndex(m_field) : -1;
    if (field >= 0) {
        items.reserve(m_source->rowCount());
        for (int r = 0; r < m_source->rowCount(); ++r) {
            const QString t = m_source->valueAt(r, field).toString();
            if (!t.isEmpty())
                items << t;
        }
    }
    const QSignalBlocker block(this);
    // Read again mostly unchanged (each cell edit reads the list): the items stay.
    if (!holdsItems(this, items)) {
        clear();
        addItems(items);
    }
    setCurrentIndex(findText(keep, Qt::MatchExactly));
    if (currentText() != keep)
        setEditText(keep);
}

QVariant DropDown::cellValue() const
{
    const QString t = currentText();
    return t.isEmpty() ? QVariant() : QVariant(t);
}

void DropDown::setCellValue(const QVariant& v)
{
    hidePopup();
    // The list may have changed in its table since it was last read.
    if (!m_source || m_source->refresh().failed())
        reload();
    const QString t = v.isNull() ? QString() : v.toString();
    const QSignalBlocker block(this);
    setCurrentIndex(findText(t, Qt::MatchExactly));
    if (currentText() != t)
        setEditText(t);
}

void DropDown::keyPressEvent(QKeyEvent* e)
{
    m_stepping = true;
    QComboBox::keyPressEvent(e);
    m_stepping = false;
}

void DropDown::wheelEvent(QWheelEvent* e)
{
    m_stepping = true;
    QComboBox::wheelEvent(e);
    m_stepping = false;
}
