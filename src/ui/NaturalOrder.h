#pragma once
// Rows ordered as people expect of names with numbers in them (社員2 before 社員10), as a
// spreadsheet sorts a column.
#include <QList>
#include <QVariant>
#include <Qt>

namespace app {

// The indexes of values in order: Japanese collation with numbers compared by their value,
// empty values last in either order, equal values in the order given.
QList<qsizetype> naturalOrder(const QList<QVariant>& values, Qt::SortOrder order);

} // namespace app
