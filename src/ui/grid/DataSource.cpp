#include "ui/grid/DataSource.h"

#include "ui/grid/CellFormat.h"
#include "store/Db.h"

#include <QSqlDatabase>

#include <algorithm>
#include <cstdlib>

namespace {
QString quoted(const QString& identifier)
{
    QString s = identifier;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

store::Error notConnected(const QString& connection)
{
    return store::Error(QStringLiteral("データベース「%1」に接続していません。").arg(connection));
}

store::Error removedRow(int row)
{
    return store::Error(QStringLiteral("行 %1 は表から削除されています。").arg(row + 1));
}

// Rows fetched at a time on demand, and pages kept: a screenful or two either way.
constexpr int kPageRows = 128;
constexpr int kMaxPages = 32;
} // namespace

DataSource::DataSource(QObject* parent) : QObject(parent)
{
}

void DataSource::setDatabase(const QString& connectionName)
{
    m_connection = connectionName;
}

QString DataSource::database() const
{
    return m_connection;
}

void DataSource::setRecordSource(const QString& table, const QString& orderBy)
{
    m_table = table;
    m_order = orderBy;
}

void DataSource::setFetchOnDemand(bool on)
{
    m_onDemand = on;
}

QString DataSource::orderClause() const
{
    // Rows of equal keys keep the order they were written in.
    return m_order.isEmpty() ? QStringLiteral("rowid") : m_order + QStringLiteral(", rowid");
}

store::Error DataSource::refresh()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen())
        return notConnected(m_connection);
    if (m_table.isEmpty())
        return store::Error(QStringLiteral("表が指定されていません。"));

    const QString order = orderClause();
    m_sorted = false;

    if (m_onDemand) {
        QStringList fields;
        int count = 0;
        {
            store::Statement q(db, QStringLiteral("select * from %1 limit 0").arg(quoted(m_table)));
            if (!q.exec())
                return q.error();
            for (int i = 0; i < q.columnCount(); ++i)
                fields << q.columnName(i);
            store::Statement n(db, QStringLiteral("select count(*) from %1").arg(quoted(m_table)));
            if (!n.exec() || !n.next())
                return n.ok() ? store::Error(QStringLiteral("表「%1」を数えられません。").arg(m_table))
                              : n.error();
            count = n.value(0).toInt();
        }
        emit aboutToRefresh();
        adoptFields(fields);
        m_rows.clear();
        m_pages.clear();
        m_fetchError = {};
        m_count = count;
        emit refreshed();
        return {};
    }

    QStringList fields;
    {
        store::Statement q(db,
                           QStringLiteral("select rowid, * from %1 order by %2").arg(quoted(m_table), order));
        // A read that stops on an error part-way fails as a whole; finished, it holds no lock.
        // Read into the room of the rows before the last refresh.
        const store::Error e = readInto(q, -1, m_spare);
        if (e.failed()) {
            m_spare.clear();
            return e;
        }
        // The columns as run: a kept statement is prepared again, with the table's new columns,
        // only when it runs after the table changed.
        for (int i = 1; i < q.columnCount(); ++i)
            fields << q.columnName(i);
    }

    m_keepsShape = fields == m_fields && m_spare.ids.size() == m_rows.ids.size();
    emit aboutToRefresh();
    if (!m_keepsShape)
        adoptFields(fields);
    std::swap(m_rows, m_spare);
    m_spare.clear();
    emit refreshed();
    m_keepsShape = false;
    return {};
}

store::Error DataSource::readInto(store::Statement& q, int width, Rows& into)
{
    into.clear();
    return store::forEachRow(q, [&](store::Statement& r) {
        if (width < 0)
            width = r.columnCount() - 1;
        into.ids << r.integer(0);
        for (int i = 1; i <= width; ++i)
            into.cells << r.value(i);
    });
}

void DataSource::adoptFields(const QStringList& fields)
{
    m_fields = fields;
    ++m_fieldsVersion;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i)
        m_fieldIndex.insert(m_fields[i].toLower(), i);
}

int DataSource::rowCount() const
{
    return m_onDemand && !m_sorted ? m_count : int(m_rows.ids.size());
}

store::Error DataSource::sortRows(const QString& field, const Arrange& arrange)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen())
        return notConnected(m_connection);
    const int f = fieldIndex(field);
    if (f < 0)
        return store::Error(QStringLiteral("表「%1」に項目「%2」がありません。").arg(m_table, field));
    const qsizetype width = m_fields.size();
    Rows read;
    {
        store::Statement q(
            db, QStringLiteral("select rowid, * from %1 order by %2").arg(quoted(m_table), orderClause()));
        if (const store::Error e = readInto(q, int(width), read); e.failed())
            return e;
    }
    QList<QVariant> values;
    values.reserve(read.ids.size());
    for (qsizetype r = 0; r < read.ids.size(); ++r)
        values << read.cells[r * width + f];
    const QList<qsizetype> order = arrange(values);
    Rows sorted;
    sorted.ids.reserve(order.size());
    sorted.cells.reserve(order.size() * width);
    for (const qsizetype r : order) {
        if (r < 0 || r >= read.ids.size())
            continue;
        sorted.ids << read.ids[r];
        for (qsizetype i = 0; i < width; ++i)
            sorted.cells << read.cells[r * width + i];
    }
    m_keepsShape = sorted.ids.size() == rowCount();
    emit aboutToRefresh();
    m_rows = std::move(sorted);
    m_pages.clear();
    m_fetchError = {};
    m_sorted = true;
    emit refreshed();
    m_keepsShape = false;
    return {};
}

DataSource::Page* DataSource::pageOf(int row) const
{
    const int p = row / kPageRows;
    if (auto it = m_pages.find(p); it != m_pages.end())
        return &*it;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen()) {
        m_fetchError = notConnected(m_connection);
        return nullptr;
    }
    // In the written order a neighbouring page gives the start by key, so scrolling through a
    // long table costs the same at its end as at its start; otherwise skip to the page.
    QString sql;
    QVariantList args;
    bool backwards = false;
    const auto before = m_pages.constFind(p - 1);
    const auto after = m_pages.constFind(p + 1);
    const QString head = QStringLiteral("select rowid, * from %1 ").arg(quoted(m_table));
    if (m_order.isEmpty() && before != m_pages.cend() && before->ids.size() == kPageRows) {
        sql = head + QStringLiteral("where rowid > ? order by rowid limit ?");
        args = {before->ids.last(), kPageRows};
    } else if (m_order.isEmpty() && after != m_pages.cend() && !after->ids.isEmpty()) {
        sql = head + QStringLiteral("where rowid < ? order by rowid desc limit ?");
        args = {after->ids.first(), kPageRows};
        backwards = true;
    } else {
        sql = head + QStringLiteral("order by %1 limit ? offset ?").arg(orderClause());
        args = {kPageRows, qint64(p) * kPageRows};
    }
    Page page;
    {
        store::Statement q(db, sql);
        for (const QVariant& a : args)
            q.bind(a);
        if (const store::Error e = readInto(q, int(m_fields.size()), page); e.failed()) {
            m_fetchError = e;
            return nullptr;
        }
    }
    if (backwards) {
        std::reverse(page.ids.begin(), page.ids.end());
        // Row by row: the values of a row keep their order.
        const qsizetype width = m_fields.size();
        std::reverse(page.cells.begin(), page.cells.end());
        for (qsizetype r = 0; r < page.ids.size(); ++r)
            std::reverse(page.cells.begin() + r * width, page.cells.begin() + (r + 1) * width);
    }
    m_fetchError = {};
    // Keep the pages nearest to this one.
    while (m_pages.size() >= kMaxPages) {
        auto far = m_pages.begin();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
            if (std::abs(it.key() - p) > std::abs(far.key() - p))
                far = it;
        m_pages.erase(far);
    }
    return &*m_pages.insert(p, page);
}

QVariant* DataSource::cachedRow(int row, qint64* id) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    const qsizetype width = m_fields.size();
    Rows* rows = &const_cast<Rows&>(m_rows);
    qsizetype i = row;
    if (m_onDemand && !m_sorted) {
        rows = pageOf(row);
        i = row % kPageRows;
    }
    if (!rows || i >= rows->ids.size() || (i + 1) * width > rows->cells.size())
        return nullptr;
    if (id)
        *id = rows->ids[i];
    return rows->cells.data() + i * width;
}

QStringList DataSource::fieldNames() const
{
    return m_fields;
}

int DataSource::fieldIndex(const QString& field) const
{
    // SQL names are not case-sensitive.
    return m_fieldIndex.value(field.toLower(), -1);
}

QVariant DataSource::value(int row, const QString& field) const
{
    return valueAt(row, fieldIndex(field));
}

QVariant DataSource::valueAt(int row, int f) const
{
    if (f < 0)
        return QVariant();
    const QVariant* r = f < m_fields.size() ? cachedRow(row, nullptr) : nullptr;
    return r ? r[f] : QVariant();
}

qint64 DataSource::rowId(int row) const
{
    qint64 id = -1;
    return cachedRow(row, &id) ? id : -1;
}

store::Error DataSource::setValue(int row, const QString& field, const QVariant& v)
{
    qint64 id = -1;
    QVariant* cached = cachedRow(row, &id);
    if (!cached) {
        if (row < 0 || row >= rowCount())
            return store::Error(QStringLiteral("行 %1 はありません。").arg(row + 1));
        return m_fetchError.ok() ? removedRow(row) : m_fetchError;
    }
    const int f = fieldIndex(field);
    if (f < 0)
        return store::Error(QStringLiteral("表「%1」に項目「%2」がありません。").arg(m_table, field));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen())
        return notConnected(m_connection);

    QVariant stored;
    {
        store::Transaction tx(db);
        if (!tx.ok())
            return tx.error();
        const QString column = quoted(m_fields[f]);
        store::Statement up(
            db, QStringLiteral("update %1 set %2 = ? where rowid = ?").arg(quoted(m_table), column));
        up.bind(controls::storageValue(v)).bind(id);
        if (!up.exec())
            return up.error();
        if (up.rowsAffected() != 1)
            return removedRow(row);
        up.finish();
        // Keep what the table holds after its own conversions, so the cache equals a re-read.
        store::Statement back(
            db, QStringLiteral("select %1 from %2 where rowid = ?").arg(column, quoted(m_table)));
        back.bind(id);
        if (!back.exec())
            return back.error();
        if (!back.next())
            return store::Error(QStringLiteral("行 %1 を読み直せません。").arg(row + 1));
        stored = back.value(0);
        back.finish();
        if (!tx.commit())
            return tx.error();
    }
    cached[f] = stored;
    emit valueChanged(row, m_fields[f]);
    return {};
}
