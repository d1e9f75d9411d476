#pragma once
// One table of a database connection for the grids: read whole and kept in memory, or, for a
// table of many thousand rows, counted at refresh and fetched a page at a time as rows are asked for.
#include "store/Error.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace store {
class Statement;
}

class DataSource : public QObject {
    Q_OBJECT
  public:
    explicit DataSource(QObject* parent = nullptr);

    void setDatabase(const QString& connectionName); // a QSqlDatabase connection name
    QString database() const;
    // A bare table name, e.g. "w営業日報", and the order its rows are shown in (a field list;
    // the order the rows were written when empty).
    void setRecordSource(const QString& table, const QString& orderBy = {});
    // Fetch rows as they are asked for instead of reading the whole table at each refresh.
    void setFetchOnDemand(bool on);

    // Re-reads all rows, in the source's own order. On failure the rows read before stay.
    store::Error refresh();
    // Shows the rows in the order arrange gives for the values of field (the indexes of the
    // rows, read in the source's own order, as they are to be shown): the whole table is read,
    // also by a source that fetches on demand, and kept until the next refresh. On failure
    // nothing changes.
    using Arrange = std::function<QList<qsizetype>(const QList<QVariant>& values)>;
    store::Error sortRows(const QString& field, const Arrange& arrange);
    // The rows are shown in an order of sortRows, not the source's own.
    bool isSorted() const { return m_sorted; }
    // During aboutToRefresh and refreshed: the refresh gives the same fields and number of rows,
    // so views may keep their rows and only show the new values.
    bool keepsShape() const { return m_keepsShape; }

    int rowCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString& field) const; // -1 when the table has no such field
    QVariant value(int row, const QString& field) const;
    // The same by the field's index: for views asking for every cell at each paint.
    QVariant valueAt(int row, int field) const;
    // Changes whenever the fields (and so their indexes) may have changed.
    int fieldsVersion() const { return m_fieldsVersion; }
    qint64 rowId(int row) const; // -1 outside the rows

    // Writes one field of one row into the table at once (bound UPDATE by rowid); on failure
    // the cached value is unchanged and the error returned.
    store::Error setValue(int row, const QString& field, const QVariant& v);

    // Why the last page fetched on demand could not be read (its rows show empty).
    store::Error fetchError() const { return m_fetchError; }

  signals:
    void aboutToRefresh();
    void refreshed();
    void valueChanged(int row, const QString& field);

  private:
    void adoptFields(const QStringList& fields);
    bool m_keepsShape = false;
    // Rows read together: their rowids, and their values one row after another in one list (a
    // list per row would cost an allocation per row at every refresh).
    struct Rows {
        QList<qint64> ids;
        QList<QVariant> cells;
        void clear()
        {
            ids.clear();
            cells.clear();
        }
    };
    using Page = Rows;
    QString orderClause() const;
    // Reads the rows of q (rowid first, then the fields) into into, cleared first.
    static store::Error readInto(store::Statement& q, int width, Rows& into);
    // The page holding row, fetched when not cached; nullptr when it cannot be read.
    Page* pageOf(int row) const;
    // The first of row's values (m_fields.size() of them), or nullptr.
    QVariant* cachedRow(int row, qint64* id) const;

    QString m_connection;
    QString m_table;
    QString m_order;
    QStringList m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name → index
    int m_fieldsVersion = 0;
    Rows m_rows;
    Rows m_spare; // the rows before the last refresh, kept for their lists' room
    bool m_onDemand = false;
    bool m_sorted = false; // sortRows' order, whole in m_rows, also when fetched on demand
    int m_count = 0;
    mutable QHash<int, Page> m_pages;
    mutable store::Error m_fetchError;
};
