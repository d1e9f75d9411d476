#pragma once
// Test helpers of the database work: fresh copies of the initial database files.
#include "store/Connection.h"
#include "store/Schema.h"

#include "store/Db.h"
#include "store/FileBytes.h"
#include "store/Server.h"
#include "ServerCluster.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace testing {

// Writes both initial database files into dir/data/ (or dir when flat).
inline QString makeDataFolder(const QString& dir)
{
    const QString data = dir + QStringLiteral("/data/");
    QDir().mkpath(data);
    if (!QFile::exists(data + store::kMainFileName))
        store::createInitialFile(data + store::kMainFileName, store::DbKind::Main);
    if (!QFile::exists(data + store::kWorkFileName))
        store::createInitialFile(data + store::kWorkFileName, store::DbKind::Work);
    return data;
}

// Fresh initial files in dir, opened as connections prefix+"main" and prefix+"work".
inline QString openFreshFiles(const QString& dir, const QString& prefix, QSqlDatabase& main,
                              QSqlDatabase& work)
{
    QDir().mkpath(dir);
    const QString m = dir + QStringLiteral("/Tesvan.mdb"), w = dir + QStringLiteral("/TesvanWork.mdb");
    store::Error err;
    if (onServer()) {
        // The main database on the test server, made afresh; the work file stays local.
        err = store::Error(ServerCluster::shared().freshMain());
        if (err.ok())
            err = store::createInitialFile(w, store::DbKind::Work);
        if (err.ok())
            err = store::openServer(prefix + QStringLiteral("main"), ServerCluster::shared().conninfo());
    } else {
        err = store::createInitialFile(m, store::DbKind::Main);
        if (err.ok())
            err = store::createInitialFile(w, store::DbKind::Work);
        if (err.ok())
            err = store::openDatabase(prefix + QStringLiteral("main"), m, store::DbKind::Main);
    }
    if (err.ok())
        err = store::openDatabase(prefix + QStringLiteral("work"), w, store::DbKind::Work);
    main = QSqlDatabase::database(prefix + QStringLiteral("main"), false);
    work = QSqlDatabase::database(prefix + QStringLiteral("work"), false);
    return err.reason();
}

inline void closeFreshFiles(const QString& prefix, QSqlDatabase& main, QSqlDatabase& work)
{
    main = work = QSqlDatabase();
    store::closeDatabase(prefix + QStringLiteral("main"));
    store::closeDatabase(prefix + QStringLiteral("work"));
}

// The first column of the first row, or the text "<none>" when there is no row.
inline QVariant firstValue(const QSqlDatabase& db, const QString& sql, const QVariantList& args = {})
{
    store::Statement s(db, sql);
    for (const QVariant& a : args)
        s.bind(a);
    if (!s.exec() || !s.next())
        return QVariant(QStringLiteral("<none>"));
    return s.value(0);
}

// A trigger that makes a statement fail with message, in the dialect of db's engine. event is
// INSERT, UPDATE or DELETE; when is a condition on NEW or OLD, or empty for every row.
inline QString failingTrigger(const QSqlDatabase& db, const QString& name, const QString& event,
                              const QString& table, const QString& when, const QString& message)
{
    if (!store::isServer(db))
        return store::run(db, QStringLiteral(
                                  "CREATE TRIGGER %1 BEFORE %2 ON %3 %4 BEGIN SELECT RAISE(ABORT, '%5'); END")
                                  .arg(name, event, table,
                                       when.isEmpty() ? QString() : QStringLiteral("WHEN ") + when, message))
            .reason();
    const QString row = event == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
    const QString fn = QStringLiteral("%1_%2").arg(name, table);
    const QString why =
        store::run(db, QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS "
                                      "$$ BEGIN IF %2 THEN RAISE EXCEPTION '%3'; END IF; RETURN %4; END $$")
                           .arg(fn, when.isEmpty() ? QStringLiteral("true") : when, message, row))
            .reason();
    if (!why.isEmpty())
        return why;
    return store::run(db,
                      QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %4()")
                          .arg(name, event, table, fn))
        .reason();
}

// The bytes of the file at path, read through SQLite's own file layer: reading a database file
// by path while a connection of this process holds it would drop that connection's locks.
inline QByteArray readAll(const QString& path)
{
    return store::readFileBytes(path);
}

// How many POSIX locks process pid holds on the file at path, as the kernel lists them.
inline int locksOn(qint64 pid, const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    QFile f(QStringLiteral("/proc/locks"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int n = 0;
    // "1: POSIX  ADVISORY  READ 1234 08:02:131090 1073741826 1073741826"; a waiter has "->".
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> w = line.simplified().split(' ');
        if (w.size() < 8 || w[1] != "POSIX" || w[4].toLongLong() != pid)
            continue;
        const QList<QByteArray> id = w[5].split(':');
        if (id.size() == 3 && id[0].toUInt(nullptr, 16) == major(st.st_dev) &&
            id[1].toUInt(nullptr, 16) == minor(st.st_dev) && id[2].toULongLong() == st.st_ino)
            ++n;
    }
    return n;
}

// Replaces the file at path with bytes (while no connection holds it).
inline bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

// Writes bytes at offset into the file at path through SQLite's own file layer, which never
// costs a connection of this process its locks on the file (see readAll).
inline bool writeThroughSqlite(const QString& path, qint64 offset, const QByteArray& bytes)
{
    sqlite3* h = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_file* f = nullptr;
        ok = sqlite3_file_control(h, "main", SQLITE_FCNTL_FILE_POINTER, &f) == SQLITE_OK && f &&
             f->pMethods &&
             f->pMethods->xWrite(f, bytes.constData(), int(bytes.size()), offset) == SQLITE_OK &&
             f->pMethods->xSync(f, SQLITE_SYNC_NORMAL) == SQLITE_OK;
    }
    sqlite3_close(h);
    return ok;
}

// Overwrites the page of the database file at path that holds marker (its UTF-8 bytes) with
// bytes that are no page at all, as a failing disk would, and bumps the file's change counter
// so that open connections drop their cached pages. False when the marker is not in the file.
inline bool damagePageHolding(const QString& path, const QString& marker)
{
    // What is committed may still sit in the write-ahead log: move it into the file first.
    {
        const QString conn = QStringLiteral("damage-checkpoint");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(conn);
    }
    QByteArray bytes = readAll(path);
    const qsizetype at = bytes.indexOf(marker.toUtf8());
    if (at < 0 || bytes.size() < 100)
        return false;
    int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    if (pageSize == 1)
        pageSize = 65536;
    const qsizetype page = at / pageSize;
    if (page == 0)
        return false; // the first page holds the file header and the schema
    quint32 counter =
        (uchar(bytes[24]) << 24) | (uchar(bytes[25]) << 16) | (uchar(bytes[26]) << 8) | uchar(bytes[27]);
    ++counter;
    QByteArray bumped(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        bumped[i] = char((counter >> (24 - 8 * i)) & 0xFF);
    return writeThroughSqlite(path, page * pageSize, QByteArray(pageSize, char(0xA5))) &&
           writeThroughSqlite(path, 24, bumped);
}

} // namespace testing
