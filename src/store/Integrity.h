#pragma once
// SQLite's full check of a database file (PRAGMA integrity_check: pages, keys in order,
// indexes matching their tables), run off the user-interface thread. A required check holds
// every write to its file until it has passed; a background one holds none. A check that
// fails refuses every later write, so a damaged file is never written to.
#include "store/Error.h"
#include "store/PageChecks.h"

#include <QFuture>

#include <optional>

namespace store {

// Runs the full check on the file at path through a read-only connection of its own. Success,
// or a reason that names what the check found.
Error checkPages(const QString& path);

// Starts checkPages(path) on a thread of its own for the file behind connection; a background
// check runs at the lowest priority. The future tells the user-interface thread when the
// result is in; a check stopped by forgetPageCheck reports success and proves nothing.
QFuture<Error> startPageCheck(const QString& connection, const QString& path,
                              CheckNeed need = CheckNeed::Required);

} // namespace store
