#pragma once
// What the program knows of a local database file between runs, kept in a small text file
// beside it (Tesvan.mdb.state). A restored copy is never the file this record describes, so
// the record tells a write-ahead log that belongs to the file from one left by another copy,
// and an end that was not clean (or a file changed from outside) from a clean close.
#include "store/Error.h"

#include <QString>

namespace store {

struct FileIdentity {
    qint64 size = -1;
    qint64 mtimeNs = -1;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileRecord {
    bool present = false;
    // The mark in the file's header (bytes 60-63) as it stands on the disk, and the one before:
    // a new mark is written before every checkpoint that may change the file, so a copy taken
    // before that checkpoint never carries the mark of the log that follows it.
    quint32 mark = 0;
    quint32 previousMark = 0;
    // The file on the disk as last written by this program (after a checkpoint or a close).
    FileIdentity identity;
    bool checkpointing = false; // a checkpoint was under way: the file may have changed since
    bool clean = false;         // closed by the program with its log folded back and removed
    qint64 checkedAt = 0;       // seconds since the epoch of the last full check that passed
};

// The record's file beside path.
QString recordPathOf(const QString& path);

FileRecord readRecord(const QString& path);
// Written whole and synced, so that a crash leaves the old record or the new one.
Error writeRecord(const QString& path, const FileRecord& r);

FileIdentity identityOf(const QString& path);

// The mark in the header of the file at path as the file holds it (FileBytes.h: never costs a
// connection of the process its locks); 0 when there is none.
quint32 markOnDisk(const QString& path);

} // namespace store
