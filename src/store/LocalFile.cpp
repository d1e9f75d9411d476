#include "store/LocalFile.h"

#include "store/FileBytes.h"
#include "store/FileRecord.h"
#include "store/FullCheck.h"
#include "store/Schema.h"
#include "store/SqliteEngine.h"
#include "store/StatementCache.h"
#include "store/TextIndex.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <memory>
#include <sqlite3.h>

#include <cerrno>
#include <sys/statvfs.h>
#include <unistd.h>

namespace store {
namespace {

// About once a day: a start on a file closed cleanly within this time checks nothing.
constexpr qint64 kCheckEvery = 20 * 3600;
// Below this much free space a start would fail half-way (the log, its index, the record).
constexpr qint64 kLeastFree = 1 << 20;
// Pages in the log after which the session folds it into the file, as SQLite would by itself.
constexpr int kFoldAfterPages = 1000;

struct Entry {
    QString path;
    FileRecord record;
    CheckNeed need = CheckNeed::None;
    FileRecord before; // the record as the start found it
    bool abandoned = false;
    bool dirty = false; // the log holds something not yet folded into the file
    bool inHook = false;
    bool sessionMarked = false; // the session's first write gave the file a mark of its own
    quint64 generation = 0;     // the log's generation known to hold the file's mark
};

QMutex& registryLock()
{
    static QMutex m;
    return m;
}

QHash<QString, std::shared_ptr<Entry>>& entries()
{
    static QHash<QString, std::shared_ptr<Entry>> h;
    return h;
}

FileOpen fail(ErrorKind k, const QString& reason, const QString& place = {}, const QString& right = {})
{
    return {Error(reason, k), QDir::toNativeSeparators(place), right};
}

// A start the engine refused: a missing right or room is asked for in the file's folder.
FileOpen startFailure(const Error& err, const QFileInfo& fi)
{
    FileOpen out{err};
    if (err.kind() == ErrorKind::Access || err.kind() == ErrorKind::Full)
        out.place = QDir::toNativeSeparators(fi.absolutePath());
    if (err.kind() == ErrorKind::Access)
        out.right = QStringLiteral("書き込み");
    return out;
}

// The rights a session needs: into the folder and creating in it (the log, its index, the
// record), reading and writing the file and the log files already there.
FileOpen checkAccess(const QFileInfo& fi)
{
    const QString folder = fi.absolutePath();
    const QByteArray f = QFile::encodeName(folder);
    if (::access(f.constData(), X_OK) != 0)
        return fail(ErrorKind::Access, QStringLiteral("フォルダを開く権限（実行）がありません。"), folder,
                    QStringLiteral("開く（実行）"));
    if (::access(f.constData(), W_OK) != 0) {
        const bool readOnlyDisk = errno == EROFS;
        return fail(
            ErrorKind::Access,
            readOnlyDisk
                ? QStringLiteral("フォルダのある場所が読み取り専用です。")
                : QStringLiteral("フォルダに書き込む権限がありません（作業用のログファイルを作れません）。"),
            folder, QStringLiteral("書き込み"));
    }
    const QString path = fi.absoluteFilePath();
    for (const QString& p : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        const QByteArray b = QFile::encodeName(p);
        if (p != path && ::access(b.constData(), F_OK) != 0)
            continue;
        if (::access(b.constData(), R_OK) != 0)
            return fail(ErrorKind::Access, QStringLiteral("ファイルを読み込む権限がありません。"), p,
                        QStringLiteral("読み取り"));
        if (::access(b.constData(), W_OK) != 0)
            return fail(ErrorKind::Access,
                        QStringLiteral("ファイルに書き込む権限がありません（読み取り専用です）。"), p,
                        QStringLiteral("書き込み"));
    }
    struct statvfs vfs;
    if (::statvfs(f.constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY))
        return fail(ErrorKind::Access, QStringLiteral("フォルダのある場所が読み取り専用です。"), folder,
                    QStringLiteral("書き込み"));
    if (::statvfs(f.constData(), &vfs) == 0 && qint64(vfs.f_bavail) * qint64(vfs.f_frsize) < kLeastFree)
        return fail(ErrorKind::Full, QStringLiteral("ディスクの空きがありません。"), folder);
    return {};
}

quint32 freshMark(quint32 notThis)
{
    quint32 m = 0;
    while (m == 0 || m == notThis)
        m = QRandomGenerator::global()->generate();
    return m;
}

// Writes the mark into the log as a copy of page 1, whatever it holds already. The stamp is
// not synced on its own: the checkpoint that follows it in a fold syncs the log first, and
// otherwise the next commit of the file syncs it along.
bool stampMark(sqlite3* h, quint32 mark)
{
    int level = -1;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "PRAGMA synchronous", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        level = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    const QByteArray stamp = (level > 1 ? "PRAGMA synchronous = NORMAL; " : "") +
                             QByteArray("PRAGMA user_version = ") + QByteArray::number(qint32(mark));
    const bool ok = sqlite3_exec(h, stamp.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (level > 1)
        sqlite3_exec(h, ("PRAGMA synchronous = " + QByteArray::number(level)).constData(), nullptr, nullptr,
                     nullptr);
    return ok;
}

// Folds the log into the file under a new mark. The record names the new mark before the file
// can carry it, and keeps the old one until the file certainly carries the new.
void foldMarked(Entry& e, sqlite3* h, int mode)
{
    FileRecord r = e.record;
    r.previousMark = markOf(h);
    r.mark = freshMark(r.previousMark);
    r.checkpointing = true;
    if (writeRecord(e.path, r).failed())
        return;
    e.record = r;
    if (!stampMark(h, r.mark))
        return;
    int inLog = -1, folded = -1;
    const int rc = sqlite3_wal_checkpoint_v2(h, "main", mode, &inLog, &folded);
    r.identity = identityOf(e.path);
    r.checkpointing = false;
    if (rc == SQLITE_OK && inLog == folded) {
        r.previousMark = r.mark;
        e.dirty = false;
    }
    if (writeRecord(e.path, r).ok())
        e.record = r;
}

int walHook(void* ctx, sqlite3* h, const char*, int pages)
{
    auto* e = static_cast<Entry*>(ctx);
    e->dirty = true;
    if (e->inHook)
        return SQLITE_OK;
    e->inHook = true;
    QMutexLocker guard(&registryLock());
    // The session's first write gives the file a new mark: a copy of the file taken before this
    // session never carries a mark that this session's log holds.
    if (!e->sessionMarked || pages >= kFoldAfterPages) {
        foldMarked(*e, h, SQLITE_CHECKPOINT_PASSIVE);
        e->sessionMarked = true;
    }
    // Every generation of the log holds the mark of the file it was written on, so that a file
    // and its log copied together are told from a file put beside another one's log.
    if (logGenerationOf(h) != e->generation && stampMark(h, markOf(h)))
        e->generation = logGenerationOf(h);
    e->inHook = false;
    return SQLITE_OK;
}

std::shared_ptr<Entry> entryOf(const QString& connection)
{
    QMutexLocker guard(&registryLock());
    return entries().value(connection);
}

// Whether the log beside a file belongs to it. The program's own log after an end that was not
// clean: the file carries a mark the record knows and was not replaced since the program last
// wrote it. A file and its log copied together (a restore of both): the log holds the file's
// mark, since every generation of a log the program writes holds the mark of the file under it.
// Every session gives the main file a new mark with its first write, so a copy of it taken
// before the session is never taken for the file the session's log was written on.
LogState judgeLog(const QString& file, quint32 mark, const FileRecord& r, const LogContent& log)
{
    if (log.frames == 0)
        return LogState::None;
    if (r.present && (mark == r.mark || mark == r.previousMark) &&
        (r.checkpointing || identityOf(file) == r.identity))
        return LogState::Belongs;
    if (log.firstPageMarks.contains(mark))
        return LogState::Belongs;
    if (!log.firstPageMarks.isEmpty())
        return LogState::Foreign;
    // A log naming no mark (from an older version or another program): in a folder of the
    // program's, where its record lies, it may be one left beside a replaced file; a file and
    // log brought into a folder of their own are taken as a pair.
    return r.present ? LogState::Uncertain : LogState::Belongs;
}

} // namespace

LogState logBesideFile(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    const QString log = file + QStringLiteral("-wal");
    if (QFileInfo(log).size() <= 32)
        return LogState::None;
    return judgeLog(file, markIn(readFileBytes(file, 0, 64)), readRecord(file), readLog(readFileBytes(log)));
}

Error applyFileSettings(const QSqlDatabase& db, DbKind kind)
{
    // Write-ahead log: a commit appends to one file instead of journalling and rewriting pages.
    // The main file syncs the log on every commit, so a registration reported done survives a
    // power cut; the work file (what is being typed) may lose its last commits then, never its
    // consistency. Another driver simply keeps its own behaviour.
    if (db.driverName() != QLatin1String("QSQLITE"))
        return {};
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        return Error::of(q.lastError());
    q.finish();
    const QString sync = kind == DbKind::Main ? QStringLiteral("FULL") : QStringLiteral("NORMAL");
    if (!q.exec(QStringLiteral("PRAGMA synchronous = ") + sync))
        return Error::of(q.lastError());
    return {};
}

FileOpen openLocalFile(const QString& connection, const QString& path, DbKind kind)
{
    // Before any connection: the search function, and the index brought up to its queue at commits.
    registerTextFunctions();
    const QFileInfo fi(path);
    if (!QFileInfo(fi.absolutePath()).isDir())
        return fail(ErrorKind::Missing, QStringLiteral("フォルダがありません。"), fi.absolutePath());
    if (!fi.exists())
        return fail(ErrorKind::Missing, QStringLiteral("ファイルがありません。"));
    if (!fi.isFile())
        return fail(ErrorKind::NotOurs, QStringLiteral("通常のファイルではありません。"));
    if (FileOpen a = checkAccess(fi); a.error.failed())
        return a;
    const QString file = fi.absoluteFilePath();
    const QByteArray header = readFileBytes(file, 0, 100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return fail(
            ErrorKind::NotOurs,
            QStringLiteral(
                "このプログラムのデータベースファイルではありません（SQLite のファイルではありません）。"));

    // A log left beside the file is applied by SQLite at the first read: look at it before.
    const QString log = file + QStringLiteral("-wal");
    const FileRecord record = readRecord(file);
    const quint32 mark = markIn(header);
    const bool hasLog = QFileInfo(log).size() > 32; // more than the log's own header
    switch (hasLog ? judgeLog(file, mark, record, readLog(readFileBytes(log))) : LogState::None) {
    case LogState::Foreign:
        return fail(ErrorKind::ForeignLog,
                    QStringLiteral("ファイルの横に、このファイルのものではない書き込みログがあります。"),
                    log);
    case LogState::Uncertain:
        return fail(
            ErrorKind::UncertainLog,
            QStringLiteral("ファイルの横に、このファイルのものか確かめられない書き込みログがあります。"),
            log);
    case LogState::None:
    case LogState::Belongs:
        break;
    }

    auto entry = std::make_shared<Entry>();
    entry->path = file;
    entry->record = record;
    entry->before = record;
    // The work file is written at every start (the grids' tables): a new mark there would cost
    // each start a checkpoint and two records, to tell apart an older copy of a scratch file
    // that is byte for byte the file its log was written on (nothing of it is mixed then).
    entry->sessionMarked = kind == DbKind::Work;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const bool outsideChange = !record.present || !record.clean || hasLog ||
                               identityOf(file) != record.identity || mark != record.mark;
    entry->need = outsideChange                                                     ? CheckNeed::Required
                  : now - record.checkedAt >= kCheckEvery || record.checkedAt > now ? CheckNeed::Background
                                                                                    : CheckNeed::None;

    // A file still in rollback-journal mode is checked before the switch writes to it.
    const bool rollbackMode = uchar(header[18]) == 1 && uchar(header[19]) == 1;
    Error damage;
    if (rollbackMode) {
        damage = runFullCheck(file, nullptr).error; // the entry keeps the time, below
        if (damage.failed() && damage.kind() != ErrorKind::Damaged)
            return startFailure(damage, fi);
        if (damage.ok()) {
            entry->need = CheckNeed::None;
            entry->record.checkedAt = now;
        }
    }

    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        // mode=rw: a missing file must fail instead of being created empty.
        QUrl url = QUrl::fromLocalFile(file);
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=500"));
        bool wroteRecord = false;
        if (!db.open()) {
            err = Error::of(db.lastError());
        } else {
            err = checkSchema(db, kind);
            // A database without this program's tables.
            if (err.kind() == ErrorKind::Other)
                err = Error(err.reason(), ErrorKind::NotOurs);
        }
        if (err.ok()) {
            // The record says "not closed" before anything can be written to the file.
            FileRecord r = entry->record;
            r.mark = r.previousMark = markOf(SqliteEngine::handleOf(db));
            r.identity = identityOf(file);
            r.checkpointing = false;
            r.clean = false;
            if (Error w = writeRecord(file, r); w.failed()) {
                // Whatever else stops the record, it is the folder's rights that are asked for.
                err = Error(w.reason(), w.kind() == ErrorKind::Full ? ErrorKind::Full : ErrorKind::Access);
            } else {
                entry->record = r;
                wroteRecord = true;
            }
        }
        if (err.ok() && damage.ok())
            err = applyFileSettings(db, kind);
        if (err.ok()) {
            if (sqlite3* h = SqliteEngine::handleOf(db)) {
                entry->generation = logGenerationOf(h);
                sqlite3_wal_hook(h, walHook, entry.get());
            }
            StatementCache::manage(connection);
            {
                QMutexLocker guard(&registryLock());
                entries().insert(connection, entry);
            }
            if (damage.failed())
                refuseWrites(connection, damage);
            else if (kind == DbKind::Main)
                // A file made before the search index, or with an earlier version's, gets this
                // version's now, once, to be filled from the lines while the window is shown.
                // When that cannot be done (a check still due, a full disk) the file works as
                // before and searches read every line; the next start tries again.
                addTextIndex(db);
            return {};
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        // A start that fails leaves the record as it found it.
        if (wroteRecord) {
            if (record.present)
                writeRecord(file, record);
            else
                QFile::remove(recordPathOf(file));
        }
        return startFailure(err, fi);
    }
}

void abandonLocalFile(const QString& connection)
{
    if (const auto e = entryOf(connection))
        e->abandoned = true;
}

CheckNeed checkNeedOf(const QString& connection)
{
    const auto e = entryOf(connection);
    return e ? e->need : CheckNeed::None;
}

void sealLocalFile(const QString& connection, bool damaged)
{
    const auto e = entryOf(connection);
    if (!e)
        return;
    sqlite3* h = SqliteEngine::handleOf(QSqlDatabase::database(connection, false));
    if (!h)
        return;
    sqlite3_wal_hook(h, nullptr, nullptr);
    if (damaged) {
        // What the log holds stays there; a damaged file is not written again. An empty log
        // goes as usual: folding nothing writes nothing.
        if (e->dirty)
            sqlite3_db_config(h, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        return;
    }
    if (e->dirty) {
        QMutexLocker guard(&registryLock());
        foldMarked(*e, h, SQLITE_CHECKPOINT_TRUNCATE);
    }
}

void recordLocalClose(const QString& connection)
{
    std::shared_ptr<Entry> e;
    {
        QMutexLocker guard(&registryLock());
        e = entries().take(connection);
    }
    if (!e)
        return;
    if (e->abandoned) {
        QMutexLocker guard(&registryLock());
        if (e->before.present)
            writeRecord(e->path, e->before);
        else
            QFile::remove(recordPathOf(e->path));
        return;
    }
    // Another connection of this process may still hold the file: then its log stays, and so
    // does the record's "not closed".
    if (QFileInfo(e->path + QStringLiteral("-wal")).size() > 0)
        return;
    QMutexLocker guard(&registryLock());
    FileRecord r = readRecord(e->path);
    r.mark = r.previousMark = markOnDisk(e->path);
    r.identity = identityOf(e->path);
    r.checkpointing = false;
    r.clean = true;
    r.checkedAt = qMax(r.checkedAt, e->record.checkedAt);
    writeRecord(e->path, r);
}

void notePagesChecked(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    QMutexLocker guard(&registryLock());
    for (const auto& e : std::as_const(entries())) {
        if (e->path != file)
            continue;
        e->record.checkedAt = QDateTime::currentSecsSinceEpoch();
        FileRecord r = readRecord(file);
        if (r.present) {
            r.checkedAt = e->record.checkedAt;
            writeRecord(file, r);
        }
        return;
    }
}

} // namespace store
