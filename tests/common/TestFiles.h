#pragma once
// Test helpers of the database work: fresh copies of the initial database files.
#include "store/Schema.h"

#include "store/Db.h"
#include "store/Server.h"
#include "ServerCluster.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

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

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf(marker.toUtf8());
    if (at < 0 || bytes.size() < 100)
        return false;
    int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    if (pageSize == 1)
        pageSize = 65536;
    const qsizetype page = at / pageSize;
    if (page == 0)
        return false; // the first page holds the file header and the schema
    bytes.replace(page * pageSize, pageSize, QByteArray(pageSize, char(0xA5)));
    quint32 counter =
        (uchar(bytes[24]) << 24) | (uchar(bytes[25]) << 16) | (uchar(bytes[26]) << 8) | uchar(bytes[27]);
    ++counter;
    for (int i = 0; i < 4; ++i)
        bytes[24 + i] = char((counter >> (24 - 8 * i)) & 0xFF);
    f.seek(0);
    return f.write(bytes) == bytes.size() && f.flush();
}

} // namespace testing
