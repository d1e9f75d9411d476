#pragma once
// The bytes of a database file and of its write-ahead log, read without costing a connection
// its locks. POSIX locks belong to the process and the file: closing any descriptor of a file
// drops every lock the process holds on it, and another program then takes itself for the
// file's last user and deletes the live log. So nothing here opens such a file by path:
// - a file that may be held is read through SQLite's own file layer, which keeps a descriptor
//   open while the process still holds a lock on the file;
// - a file an open connection holds is read through that connection's own descriptors.
#include <QByteArray>
#include <QList>
#include <QString>

struct sqlite3;

namespace store {

// Up to max bytes (all when negative) of the file at path from offset; empty when it cannot be
// read. Safe whether or not a connection of this process holds the file.
QByteArray readFileBytes(const QString& path, qint64 offset = 0, qint64 max = -1);

// The file's mark: bytes 60-63 of its header (SQLite's user_version) as the file itself holds
// them, not as its log may have changed them.
quint32 markIn(const QByteArray& header);
// The mark of the file that connection h holds, read through the connection's own descriptor;
// 0 when it cannot be read.
quint32 markOf(sqlite3* h);
// The generation of the log that connection h writes (its header's salts, which change each
// time SQLite starts the log afresh); 0 when there is no log.
quint64 logGenerationOf(sqlite3* h);

// What a write-ahead log holds as SQLite's recovery reads it: the frames up to the last commit
// whose salts and checksums hold.
struct LogContent {
    int frames = 0;                // frames SQLite would apply
    QList<quint32> firstPageMarks; // the mark in each of those frames that holds page 1, in order
};
LogContent readLog(const QByteArray& bytes);

} // namespace store
