#pragma once
// One table of a database connection, read whole and kept in memory for the grids.
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

class DataSource : public QObject {
    Q_OBJECT
  public:
    explicit DataSource(QObject* parent = nullptr);

    void setDatabase(const QString& connectionName); // a QSqlDatabase connection name
    QString database() const;
    // A bare table name, e.g. "w営業日報", and the order its rows are shown in (a field list;
    // the order the rows were written when empty).
    void setRecordSource(const QString& table, const QString& orderBy = {});
    QString recordSource() const;

    // Re-reads all rows; "" or the database's reason. On failure the rows read before stay.
    QString refresh();

    int rowCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString& field) const; // -1 when the table has no such field
    QVariant value(int row, const QString& field) const;
    qint64 rowId(int row) const; // -1 outside the rows

    // Writes one field of one row into the table at once (bound UPDATE by rowid); on failure
    // the cached value is unchanged and the reason returned.
    QString setValue(int row, const QString& field, const QVariant& v);

  signals:
    void aboutToRefresh();
    void refreshed();
    void valueChanged(int row, const QString& field);

  private:
    QString m_connection;
    QString m_table;
    QString m_order;
    QStringList m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name → index
    QList<qint64> m_rowIds;
    QList<QVariantList> m_rows;
};
