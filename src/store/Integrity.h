#pragma once
// SQLite's full check of a database file (PRAGMA integrity_check: pages, keys in order,
// indexes matching their tables), run off the user-interface thread. A required check holds
// every write to its file until it has passed; a background one holds none. A check that
// fails refuses every later write, so a damaged file is never written to.
#include "store/Error.h"

#include <QFuture>

namespace store {

enum class CheckNeed { None, Background, Required };

// Runs the full check on the file at path through a read-only connection of its own. Success,
// or a reason that names what the check found.
Error checkPages(const QString& path);

// Starts checkPages(path) on a thread of its own for the file behind connection; a background
// check runs at the lowest priority. The future tells the user-interface thread when the
// result is in; a check stopped by forgetPageCheck reports success and proves nothing.
QFuture<Error> startPageCheck(const QString& connection, const QString& path,
                              CheckNeed need = CheckNeed::Required);

// The file behind connection is known to be damaged: every write is refused.
void refuseWrites(const QString& connection, const Error& reason);

// Success when nothing may stop a write through connection: no check was started, a
// background one is still running, or it passed (waiting for a required one while it runs).
// Otherwise the check's failure.
Error writeAllowed(const QString& connection);

// Stops a running check of connection at once and forgets it; the connection is being closed.
// Returns the damage a finished check found, if any.
Error forgetPageCheck(const QString& connection);

} // namespace store
