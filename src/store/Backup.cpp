#include "store/Backup.h"

#include "store/Db.h"
#include "store/FileBytes.h"
#include "store/Schema.h"
#include "store/SqliteEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <QUuid>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace store {
namespace {

// About a megabyte of pages a step: a few milliseconds, so a window stays painted.
constexpr int kPagesPerStep = 256;
// A busy source (a log being recovered by another program) is tried again for this long.
constexpr int kBusyTries = 200;

Error errnoError(const QString& what, const QString& path)
{
    const int err = errno;
    return Error(QStringLiteral("%1: %2（%3）")
                     .arg(what, QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(err))),
                 Error::kindOfErrno(err));
}

// Every name SQLite may have made beside the copy while it was written.
void removeCopy(const QString& temp)
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(temp + QLatin1String(suffix));
}

// The copy's own mark, written into its header, then the copy synced to the disk.
Error markAndSync(const QString& temp)
{
    const int fd = ::open(QFile::encodeName(temp).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return errnoError(QStringLiteral("バックアップを書き終えられません"), temp);
    quint32 mark = 0;
    while (mark == 0)
        mark = QRandomGenerator::global()->generate();
    const unsigned char b[4] = {uchar(mark >> 24), uchar(mark >> 16), uchar(mark >> 8), uchar(mark)};
    const bool ok = ::pwrite(fd, b, sizeof b, 60) == ssize_t(sizeof b) && ::fsync(fd) == 0;
    Error e = ok ? Error() : errnoError(QStringLiteral("バックアップを書き終えられません"), temp);
    ::close(fd);
    return e;
}

// The folder's entry of the renamed file reaches the disk too.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

Error sqliteError(sqlite3* h, int rc)
{
    return Error(QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc)), Error::kindOfSqlite(rc));
}

// The file the target names is the source itself, the work file of its data folder (which the
// program holds as well: a copy renamed over it would replace it under its connection), or one of
// the files SQLite keeps beside either.
bool isSourceOrItsOwn(const QString& source, const QString& target)
{
    const QString s = QFileInfo(source).canonicalFilePath();
    if (s.isEmpty())
        return false;
    QFileInfo t(target);
    const QString real =
        t.exists() ? t.canonicalFilePath()
                   : QFileInfo(t.absolutePath()).canonicalFilePath() + QLatin1Char('/') + t.fileName();
    const QString work = QFileInfo(s).dir().filePath(kWorkFileName);
    for (const QString& held : {s, work})
        for (const char* suffix : {"", "-wal", "-shm", "-journal", ".state"})
            if (real == held + QLatin1String(suffix))
                return true;
    return false;
}

Error copySnapshot(sqlite3* source, const QString& target, const BackupProgress& progress, bool* cancelled)
{
    const QFileInfo t(target);
    const QString temp =
        QDir(t.absolutePath())
            .filePath(QStringLiteral(".%1.%2.part")
                          .arg(t.fileName(), QUuid::createUuid().toString(QUuid::Id128).left(12)));
    sqlite3* dest = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &dest,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE, nullptr);
    // The copy is synced once, whole, before it is renamed: no journal of its own.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(dest, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr,
                          nullptr);
    Error err;
    bool stopped = false;
    if (rc != SQLITE_OK) {
        err = sqliteError(dest, rc);
    } else if (sqlite3_backup* b = sqlite3_backup_init(dest, "main", source, "main"); !b) {
        err = sqliteError(dest, sqlite3_errcode(dest));
    } else {
        int busy = 0;
        while (true) {
            rc = sqlite3_backup_step(b, kPagesPerStep);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++busy > kBusyTries)
                    break;
                QThread::msleep(10);
                continue;
            }
            busy = 0;
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                break;
            const qint64 total = sqlite3_backup_pagecount(b);
            if (progress && !progress(total - sqlite3_backup_remaining(b), total)) {
                stopped = true;
                break;
            }
            if (rc == SQLITE_DONE)
                break;
        }
        const int stepRc = rc;
        rc = sqlite3_backup_finish(b);
        if (!stopped && stepRc != SQLITE_DONE)
            err = Error(QString::fromUtf8(sqlite3_errstr(stepRc)), Error::kindOfSqlite(stepRc));
        else if (!stopped && rc != SQLITE_OK)
            err = sqliteError(dest, rc);
    }
    if (sqlite3_close(dest) != SQLITE_OK && err.ok() && !stopped)
        err = Error(QStringLiteral("バックアップのファイルを閉じられません。"));
    if (err.ok() && !stopped)
        err = markAndSync(temp);
    if (err.ok() && !stopped &&
        ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0)
        err = errnoError(QStringLiteral("バックアップを保存できません"), target);
    if (err.failed() || stopped) {
        removeCopy(temp);
        if (cancelled)
            *cancelled = stopped;
        return err;
    }
    syncFolder(t.absolutePath());
    return {};
}

Error copyFrom(const QString& sourcePath, const QString& target, const BackupProgress& progress,
               bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    const QFileInfo t(target);
    if (t.isDir())
        return Error(QStringLiteral("保存先がフォルダです: %1").arg(QDir::toNativeSeparators(target)));
    if (!QFileInfo(t.absolutePath()).isDir())
        return Error(QStringLiteral("保存先のフォルダがありません: %1")
                         .arg(QDir::toNativeSeparators(t.absolutePath())),
                     ErrorKind::Missing);
    if (isSourceOrItsOwn(sourcePath, target))
        return Error(
            QStringLiteral("データファイルそのものには保存できません。別の名前か別のフォルダを指定して"
                           "ください: %1")
                .arg(QDir::toNativeSeparators(target)));
    // A connection of its own (SQLite shares a file's locks among the connections of a process),
    // reading one snapshot from the first page to the last: another connection's commits
    // meanwhile neither restart the copy nor wait for it.
    // A log that is there already (the program's, or one a crash left) stays as it is: the copy
    // reads it, and its close folds nothing into the file behind the program's back.
    const bool logThere = QFileInfo(sourcePath + QStringLiteral("-wal")).size() > 0;
    sqlite3* source = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(sourcePath).constData(), &source,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc == SQLITE_OK) {
        if (logThere)
            sqlite3_db_config(source, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_busy_timeout(source, 2000);
        rc = sqlite3_exec(source, "BEGIN; SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const Error e = sqliteError(source, rc);
        sqlite3_close(source);
        return e;
    }
    const Error e = copySnapshot(source, target, progress, cancelled);
    sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(source);
    return e;
}

} // namespace

bool canBackUp(const QSqlDatabase& db)
{
    return SqliteEngine::handleOf(db) != nullptr;
}

Error backupDatabase(const QSqlDatabase& source, const QString& target, const BackupProgress& progress,
                     bool* cancelled)
{
    sqlite3* h = SqliteEngine::handleOf(source);
    const char* file = h ? sqlite3_db_filename(h, "main") : nullptr;
    if (!file || !*file)
        return Error(QStringLiteral("バックアップできるのはこのコンピューターのデータファイルだけです。"));
    return copyFrom(QString::fromUtf8(file), target, progress, cancelled);
}

Error backupFile(const QString& path, const QString& target, const BackupProgress& progress)
{
    const QString conn = QStringLiteral("backup-") + QUuid::createUuid().toString(QUuid::Id128);
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        // mode=rw: a missing file is refused, never made.
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!QFileInfo(path).isFile())
            err = Error(QStringLiteral("ファイルがありません: %1").arg(QDir::toNativeSeparators(path)),
                        ErrorKind::Missing);
        else if (!readFileBytes(path, 0, 16).startsWith("SQLite format 3"))
            err = Error(QStringLiteral("このプログラムのデータベースファイルではありません: %1")
                            .arg(QDir::toNativeSeparators(path)),
                        ErrorKind::NotOurs);
        else if (!db.open())
            err = Error::of(db.lastError());
        if (err.ok())
            err = checkSchema(db, DbKind::Main);
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return err.ok() ? copyFrom(QFileInfo(path).absoluteFilePath(), target, progress, nullptr) : err;
}

QString backupName(const QDate& day)
{
    return QStringLiteral("Tesvan-%1.mdb").arg(day.toString(Qt::ISODate));
}

QString backupTarget(const QString& asked, const QDate& day)
{
    return QFileInfo(asked).isDir() ? QDir(asked).filePath(backupName(day)) : asked;
}

} // namespace store
