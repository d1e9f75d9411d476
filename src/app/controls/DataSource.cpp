#include "app/controls/DataSource.h"

#include "app/controls/CellFormat.h"
#include "store/Db.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QString quoted(const QString& identifier)
{
    QString s = identifier;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}
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

QString DataSource::recordSource() const
{
    return m_table;
}

QString DataSource::refresh()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen())
        return QStringLiteral("データベース「%1」に接続していません。").arg(m_connection);
    if (m_table.isEmpty())
        return QStringLiteral("表が指定されていません。");

    // Rows of equal keys keep the order they were written in.
    const QString order = m_order.isEmpty() ? QStringLiteral("rowid") : m_order + QStringLiteral(", rowid");

    QStringList fields;
    QList<qint64> ids;
    QList<QVariantList> rows;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("select rowid, * from %1 order by %2").arg(quoted(m_table), order)))
            return store::Error::of(q.lastError()).reason();
        const QSqlRecord rec = q.record();
        for (int i = 1; i < rec.count(); ++i)
            fields << rec.fieldName(i);
        while (q.next()) {
            ids << q.value(0).toLongLong();
            QVariantList row;
            row.reserve(fields.size());
            for (int i = 1; i <= fields.size(); ++i)
                row << q.value(i);
            rows << row;
        }
        if (q.lastError().isValid())
            return store::Error::of(q.lastError()).reason();
        // Never leave a read open: it would block another connection's commit.
        q.finish();
    }

    emit aboutToRefresh();
    m_fields = fields;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i)
        m_fieldIndex.insert(m_fields[i].toLower(), i);
    m_rowIds = ids;
    m_rows = rows;
    emit refreshed();
    return {};
}

int DataSource::rowCount() const
{
    return int(m_rows.size());
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
    const int f = fieldIndex(field);
    if (row < 0 || row >= m_rows.size() || f < 0)
        return QVariant();
    return m_rows[row][f];
}

qint64 DataSource::rowId(int row) const
{
    return (row >= 0 && row < m_rowIds.size()) ? m_rowIds[row] : -1;
}

QString DataSource::setValue(int row, const QString& field, const QVariant& v)
{
    if (row < 0 || row >= m_rows.size())
        return QStringLiteral("行 %1 はありません。").arg(row + 1);
    const int f = fieldIndex(field);
    if (f < 0)
        return QStringLiteral("表「%1」に項目「%2」がありません。").arg(m_table, field);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isValid() || !db.isOpen())
        return QStringLiteral("データベース「%1」に接続していません。").arg(m_connection);

    QVariant stored;
    {
        store::Transaction tx(db);
        if (!tx.ok())
            return tx.error().reason();
        const QString column = quoted(m_fields[f]);
        store::Statement up(
            db, QStringLiteral("update %1 set %2 = ? where rowid = ?").arg(quoted(m_table), column));
        up.bind(controls::storageValue(v)).bind(m_rowIds[row]);
        if (!up.exec())
            return up.error().reason();
        if (up.query().numRowsAffected() != 1)
            return QStringLiteral("行 %1 は表から削除されています。").arg(row + 1);
        up.finish();
        // Keep what the table holds after its own conversions, so the cache equals a re-read.
        store::Statement back(
            db, QStringLiteral("select %1 from %2 where rowid = ?").arg(column, quoted(m_table)));
        back.bind(m_rowIds[row]);
        if (!back.exec())
            return back.error().reason();
        if (!back.next())
            return QStringLiteral("行 %1 を読み直せません。").arg(row + 1);
        stored = back.value(0);
        back.finish();
        if (!tx.commit())
            return tx.error().reason();
    }
    m_rows[row][f] = stored;
    emit valueChanged(row, m_fields[f]);
    return {};
}
