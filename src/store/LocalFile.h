#pragma once
// Opening and closing a local database file: what stops a start is told apart (missing, not
// ours, no access, disk full, damaged, a log that is not the file's), a write-ahead log left
// by another copy of the file is never applied, and the file's record (FileRecord.h) says when
// its full check is due.
#include "store/Db.h"
#include "store/PageChecks.h"

namespace store {

// A write-ahead log beside a file: none (or nothing in it), the file's own, one written on
// another file (left beside a copy put in the file's place), or one the program cannot place.
enum class LogState { None, Belongs, Foreign, Uncertain };

// A failed start's error, of the kind that stopped it (Missing, NotOurs, Access, Full,
// Damaged, ForeignLog, UncertainLog or another).
struct FileOpen {
    Error error;
    QString place{}; // Access, Full: the folder or file lacking a right or room; the logs: the log
    QString right{}; // Access: the right that is missing, in the user's words
};

// Opens the existing file at path as connection (never creating one). A file in rollback
// journal mode is checked before it is switched to the write-ahead log; when that check fails
// the file stays as it is, opened, and every write to it is refused.
FileOpen openLocalFile(const QString& connection, const QString& path, DbKind kind);

// The journal and sync settings of an open file of the kind (openDatabase applies them).
Error applyFileSettings(const QSqlDatabase& db, DbKind kind);

// The full check the file opened as connection needs, decided when it was opened: required
// after an end that was not clean or a change from outside, otherwise at most about daily.
CheckNeed checkNeedOf(const QString& connection);

// Before the connection closes: what the session wrote is folded into the file under a new
// mark, unless the file was found damaged (then nothing more is written to it).
void sealLocalFile(const QString& connection, bool damaged);
// A start that stops after opening the file: its close leaves the record as the start found it.
void abandonLocalFile(const QString& connection);
// After it closed: the record says clean when the log is gone.
void recordLocalClose(const QString& connection);

// A full check of the file at path passed: the record keeps the time.
void notePagesChecked(const QString& path);

// The log beside the file at path, judged as a start judges it; only while no connection
// holds the file, since a log in use changes under the judgement.
LogState logBesideFile(const QString& path);

} // namespace store
