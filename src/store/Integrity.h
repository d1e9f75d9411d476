#pragma once
// SQLite's page check of a database file, run off the user-interface thread after start-up.
// Until a file's check has passed, a transaction on its connection waits for it; after a
// failed check every write to that file is refused, so a damaged file is never written to.
#include "store/Error.h"

#include <QFuture>

namespace store {

// Runs PRAGMA quick_check on the file at path through a connection of its own. Success, or
// a reason that names what the check found.
Error checkPages(const QString& path);

// Starts checkPages(path) on a thread of its own for the file behind connection. The future
// tells the user-interface thread when the result is in.
QFuture<Error> startPageCheck(const QString& connection, const QString& path);

// Success when nothing may stop a write through connection: no check was started, or it
// passed (waiting for it while it runs). Otherwise the check's failure.
Error writeAllowed(const QString& connection);

// Waits for a running check of connection and forgets it; the connection is being closed.
void forgetPageCheck(const QString& connection);

} // namespace store
