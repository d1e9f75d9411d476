#pragma once
// Writers on a server wait for each other by key (a report, a code-master category); the local
// file serialises all writers by itself.
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace store {

// Makes the transaction open on db wait for every other transaction that named any of keys,
// until it ends. Keys are taken in one fixed order, so two operations never wait on each other.
// The local file serialises all writers by itself: nothing to do there.
Error serialise(const QSqlDatabase& db, QStringList keys);

// The key that serialises writes of one report, and of one code-master category.
QString reportKey(const QVariant& date, const QString& name);
QString categoryKey(const QString& category);

} // namespace store
