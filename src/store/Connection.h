#pragma once
// Opening and closing the two database files' connections; what runs on an open connection is
// Db.h.
#include "store/Db.h"
#include "store/Error.h"

#include <QString>

namespace store {

// Opens an existing database file read-write and checks that it holds our tables.
// Never creates a file.
Error openDatabase(const QString& connection, const QString& path, DbKind kind);
void closeDatabase(const QString& connection);

} // namespace store
