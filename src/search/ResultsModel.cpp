#include "search/ResultsModel.h"

namespace search {

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent)
{
}

store::Error ResultsModel::setCriteria(const QSqlDatabase& main, const Criteria& c)
{
    QList<Hit> first;
    const store::Error e = findLines(main, c, nullptr, kFirstPage, &first);
    beginResetModel();
    m_connection = main.connectionName();
    m_criteria = c;
    if (e.failed())
        first.clear();
    m_hits = std::move(first);
    m_atEnd = e.failed() || m_hits.size() < kFirstPage;
    endResetModel();
    return e;
}

void ResultsModel::clear()
{
    beginResetModel();
    m_hits.clear();
    m_criteria = Criteria();
    m_atEnd = true;
    endResetModel();
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QString ResultsModel::timeText(const QString& stored)
{
    if (stored.size() == 4)
        return stored.left(2) + u':' + stored.mid(2);
    return stored;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_hits.size())
        return {};
    const Hit& h = m_hits.at(index.row());
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == ColDate || index.column() == ColTime)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ColDate:
        return h.日付.toString(QStringLiteral("yyyy/MM/dd"));
    case ColTime:
        return timeText(h.時間);
    case ColName:
        return h.氏名;
    case ColPlace:
        return h.訪問先;
    case ColPerson:
        return h.担当;
    case ColText:
        return h.内容;
    case ColNote:
        return h.備考;
    }
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation o, int role) const
{
    // A click on a header not sorted by yet: the latest date first, names and places from the top.
    if (o == Qt::Horizontal && role == Qt::InitialSortOrderRole)
        return int(section == ColDate ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, o, role);
    static const char16_t* captions[ColCount] = {u"日付", u"時間", u"氏名", u"訪問先",
                                                 u"担当", u"内容", u"備考"};
    return section >= 0 && section < ColCount ? QString::fromUtf16(captions[section]) : QVariant();
}

bool ResultsModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void ResultsModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || m_atEnd || m_hits.isEmpty())
        return;
    QList<Hit> next;
    const store::Error e = findLines(QSqlDatabase::database(m_connection, false), m_criteria,
                                     &m_hits.constLast(), kNextPage, &next);
    if (e.failed()) {
        m_atEnd = true;
        emit fetchFailed(e);
        return;
    }
    m_atEnd = next.size() < kNextPage;
    if (next.isEmpty())
        return;
    beginInsertRows({}, int(m_hits.size()), int(m_hits.size() + next.size() - 1));
    m_hits.append(next);
    endInsertRows();
}

} // namespace search
