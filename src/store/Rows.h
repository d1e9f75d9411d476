#pragma once
// Whole-table work on the work tables behind the grids: rewriting a table from rows, and the
// tick-box helpers every grid with a チェック field shares.
#include "store/Db.h"

#include <QList>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace store {

using Row = QVariantList;

// Empties table and inserts rows, each holding the values of fields in that order. Opens no
// transaction: use it inside inTransaction, or call rewriteTable.
Error replaceRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                  const QList<Row>& rows);

// replaceRows with the rows given one at a time: bindRow binds the values of row n (from 0) in
// field order, so that rows built only to be written need not be built.
Error replaceRows(const QSqlDatabase& db, const QString& table, const QStringList& fields, qsizetype count,
                  const std::function<void(Statement&, qsizetype)>& bindRow);

// replaceRows in one transaction: the table holds the new rows, or stays as it was.
Error rewriteTable(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                   const QList<Row>& rows);

// rewriteTable, except that a table already holding exactly rows (same values, same order)
// is left alone: no write, no commit, nothing to sync. For the blank states start-up and the
// clear buttons set, which the tables usually hold already.
Error rewriteTableIfChanged(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                            const QList<Row>& rows);

// same: table holds exactly rows (values of fields, in rowid order).
Error holdsRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                const QList<Row>& rows, bool& same);

// Whether two stored values are the same: both Null, or equal as text.
bool sameValue(const QVariant& a, const QVariant& b);

// Reads the rows of a select statement with bound values, every field of each row.
Error readRows(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QList<Row>& out);

// Sets チェック of every row of table (narrowed by an optional where condition) to flag.
Error setTicks(const QSqlDatabase& db, const QString& table, bool flag, const QString& where = {});

// Deletes the ticked rows of table; the others keep their order and values.
Error deleteTicked(const QSqlDatabase& db, const QString& table);

// The values of fields of every ticked row, in the order orderBy gives (a field list).
Error tickedRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                 const QString& orderBy, QList<Row>& out);

} // namespace store
