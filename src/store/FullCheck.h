#pragma once
// SQLite's full check of one file (PRAGMA integrity_check, then the search index), through a
// connection of its own. Integrity.h runs it for a connection and keeps what it found; opening a
// file runs it directly before the file's first write.
#include "store/Error.h"
#include "store/PageChecks.h"

#include <QString>

namespace store {

// What a check found: success, damage, or a failure to read; interrupted when forgetPageCheck
// stopped it (it then proves nothing).
struct CheckOutcome {
    Error error;
    bool interrupted = false;
};

// Runs the check on the file at path; check, when given, is the record that may stop it part-way.
// A damaged search index (the file whole) is noted to be made again, not a failure.
// `deep`: the search index's structure is read as well, which FTS5 does through a write (rolled
// back): only for a check that holds the file's writes anyway.
CheckOutcome runFullCheck(const QString& path, PageCheck* check, bool deep = false);

} // namespace store
