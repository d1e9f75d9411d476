#pragma once
// A backup of a database file in one self-contained file, written through SQLite's online
// backup while the program, or another, may be writing to the file: a few pages at a time, so
// that a window can show the progress, stay painted and offer キャンセル. The copy is written
// beside the target under a temporary name, synced, and renamed into place when complete: the
// target is never half a file, and a copy that is cancelled or fails leaves nothing behind.
// The copy carries a mark of its own (FileRecord.h), so that once put back in place it is never
// taken for the file a log left beside it was written on.
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace store {

// Called after each step with the pages copied and the pages of the file; false stops the copy.
using BackupProgress = std::function<bool(qint64 done, qint64 total)>;

// Whether db is a local file that a backup can copy (a team server's database is not).
bool canBackUp(const QSqlDatabase& db);

// Copies the file that source (an open local file) holds into target.
Error backupDatabase(const QSqlDatabase& source, const QString& target, const BackupProgress& progress = {},
                     bool* cancelled = nullptr);

// Copies the main data file at path (which the program may have open) through a connection of
// its own; a file that is not one of ours is refused.
Error backupFile(const QString& path, const QString& target, const BackupProgress& progress = {});

// The name a backup of the main file takes by default: Tesvan-2026-12-09.mdb.
QString backupName(const QDate& day);

// The target a backup writes for what was asked: a folder takes the default name inside it.
QString backupTarget(const QString& asked, const QDate& day);

} // namespace store
