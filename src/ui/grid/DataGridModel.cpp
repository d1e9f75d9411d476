#include "ui/grid/DataGridModel.h"

#include <QColor>

#include "ui/grid/CellFormat.h"
#include "ui/grid/DataSource.h"

DataGridModel::DataGridModel(QObject* parent) : QAbstractTableModel(parent)
{
}

void DataGridModel::setDataSource(DataSource* src)
{
    if (src == m_source)
        return;
    beginResetModel();
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = src;
    m_sourceFieldsOf = nullptr;
    if (m_source) {
        connect(m_source, &DataSource::aboutToRefresh, this, [this] {
            if (m_source->keepsShape())
                return;
            m_resetting = true;
            beginResetModel();
        });
        connect(m_source, &DataSource::refreshed, this, [this] {
            if (!m_resetting) {
                // A view reset costs more than the read itself; the rows are still the rows.
                if (rowCount() > 0 && columnCount() > 0)
                    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
                emit rereadInPlace();
                return;
            }
            m_resetting = false;
            endResetModel();
        });
        connect(m_source, &DataSource::valueChanged, this, &DataGridModel::onValueChanged);
        connect(m_source, &QObject::destroyed, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }
    endResetModel();
}

void DataGridModel::setFields(const QStringList& fields)
{
    beginResetModel();
    m_fields = fields;
    m_sourceFieldsOf = nullptr;
    endResetModel();
}

QString DataGridModel::field(int col) const
{
    return (col >= 0 && col < m_fields.size()) ? m_fields[col] : QString();
}

int DataGridModel::sourceField(int col) const
{
    if (!m_source || col < 0 || col >= m_fields.size())
        return -1;
    // A paint asks for every cell several times: the names are looked up once per set of fields.
    if (m_sourceFieldsOf != m_source.data() || m_sourceFieldsVersion != m_source->fieldsVersion()) {
        m_sourceFields.resize(m_fields.size());
        for (qsizetype i = 0; i < m_fields.size(); ++i)
            m_sourceFields[i] = m_fields[i].isEmpty() ? -1 : m_source->fieldIndex(m_fields[i]);
        m_sourceFieldsOf = m_source.data();
        m_sourceFieldsVersion = m_source->fieldsVersion();
    }
    return m_sourceFields[col];
}

bool DataGridModel::isBound(int col) const
{
    return sourceField(col) >= 0;
}

DataGridModel::Column& DataGridModel::column(int col)
{
    if (col >= m_columns.size())
        m_columns.resize(col + 1);
    return m_columns[col];
}

const DataGridModel::Column* DataGridModel::columnAt(int col) const
{
    return (col >= 0 && col < m_columns.size()) ? &m_columns[col] : nullptr;
}

void DataGridModel::setCaption(int col, const QString& caption)
{
    if (col < 0)
        return;
    column(col).caption = caption;
    column(col).hasCaption = true;
    if (col < columnCount())
        emit headerDataChanged(Qt::Horizontal, col, col);
}

QString DataGridModel::caption(int col) const
{
    const Column* c = columnAt(col);
    // A column without a caption of its own is titled by its field, as a bound grid shows it.
    return (c && c->hasCaption) ? c->caption : field(col);
}

void DataGridModel::setAlignment(int col, Qt::Alignment a)
{
    if (col < 0)
        return;
    column(col).alignment = a & Qt::AlignHorizontal_Mask;
    if (col < columnCount() && rowCount() > 0)
        emit dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::TextAlignmentRole});
}

Qt::Alignment DataGridModel::alignment(int col) const
{
    const Column* c = columnAt(col);
    if (!c || !c->alignment)
        return Qt::AlignLeft;
    if (c->alignment & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    return c->alignment & Qt::AlignRight ? Qt::AlignRight : Qt::AlignLeft;
}

void DataGridModel::setFormat(int col, const QString& fmt)
{
    if (col < 0)
        return;
    column(col).format = fmt;
    if (col < columnCount() && rowCount() > 0)
        emit dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::DisplayRole});
}

QString DataGridModel::format(int col) const
{
    const Column* c = columnAt(col);
    return c ? c->format : QString();
}

void DataGridModel::setLocked(int col, bool locked)
{
    if (col >= 0)
        column(col).locked = locked;
}

bool DataGridModel::isLocked(int col) const
{
    const Column* c = columnAt(col);
    return (c && c->locked) || !isBound(col);
}

void DataGridModel::setCheckBox(int col, bool on)
{
    if (col < 0)
        return;
    column(col).checkBox = on;
    if (col < columnCount() && rowCount() > 0)
        emit dataChanged(index(0, col), index(rowCount() - 1, col));
}

bool DataGridModel::isCheckBox(int col) const
{
    const Column* c = columnAt(col);
    return c && c->checkBox;
}

QVariant DataGridModel::rawValue(int row, int col) const
{
    if (!m_source || m_resetting)
        return QVariant();
    return m_source->valueAt(row, sourceField(col));
}

QString DataGridModel::text(int row, int col) const
{
    return controls::formatCell(rawValue(row, col), format(col));
}

bool DataGridModel::isTicked(int row, int col) const
{
    const QVariant v = rawValue(row, col);
    if (v.isNull())
        return false;
    const QString t = v.toString().trimmed().toLower();
    return !(t.isEmpty() || t == u"0" || t == u"false");
}

int DataGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_source || m_resetting)
        return 0;
    return m_source->rowCount();
}

int DataGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

void DataGridModel::setRowMark(std::function<QString(int row)> mark)
{
    m_mark = std::move(mark);
    markChanged();
}

void DataGridModel::markChanged()
{
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int r = index.row();
    const int c = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return isCheckBox(c) ? QVariant() : QVariant(text(r, c));
    case Qt::EditRole:
        return rawValue(r, c);
    case Qt::CheckStateRole:
        if (!isCheckBox(c))
            return QVariant();
        return int(isTicked(r, c) ? Qt::Checked : Qt::Unchecked);
    case Qt::TextAlignmentRole:
        return int(alignment(c) | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        if (const QString mark = m_mark ? m_mark(r) : QString(); !mark.isEmpty())
            return mark;
        // Long contents are cut off in a one-line cell: show them whole on hover.
        const QString t = isCheckBox(c) ? QString() : text(r, c);
        return (t.size() > 20 || t.contains(u'\n')) ? QVariant(t) : QVariant();
    }
    case Qt::BackgroundRole:
        if (m_mark && !m_mark(r).isEmpty())
            return QColor(255, 226, 226);
        return QVariant();
    default:
        return QVariant();
    }
}

bool DataGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const int c = index.column();
    if (isLocked(c))
        return false;
    QVariant v;
    if (role == Qt::CheckStateRole) {
        if (!isCheckBox(c))
            return false;
        v = (value.toInt() == int(Qt::Checked)) ? 1 : 0;
    } else if (role == Qt::EditRole) {
        v = value;
    } else {
        return false;
    }
    return m_source->setValue(index.row(), field(c), v).ok();
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) // the root: asked by views and testers alike
        return Qt::NoItemFlags;
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const int c = index.column();
    if (!isLocked(c))
        f |= isCheckBox(c) ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return QVariant();
        if (role == Qt::DisplayRole)
            return caption(section);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return QVariant();
    }
    // The row selector carries no text: the grid marks the current row itself.
    return QVariant();
}

void DataGridModel::onValueChanged(int row, const QString& changed)
{
    for (int c = 0; c < m_fields.size(); ++c)
        if (m_fields[c].compare(changed, Qt::CaseInsensitive) == 0)
            emit dataChanged(index(row, c), index(row, c));
}
