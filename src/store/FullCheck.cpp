#include "store/FullCheck.h"

#include "store/TextIndex.h"

#include <QFile>
#include <QMutex>
#include <QStringList>
#include <sqlite3.h>

namespace store {

// `deep`: the search index's structure is read as well, which FTS5 does through a write (rolled
// back): only for a check that holds the file's writes anyway.
CheckOutcome runFullCheck(const QString& path, PageCheck* check, bool deep)
{
    sqlite3* h = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc =
        sqlite3_open_v2(name.constData(), &h, deep ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const Error e(QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc)), Error::kindOfSqlite(rc));
        sqlite3_close(h);
        return {e};
    }
    // A reader only: its close must never fold a log into the file.
    sqlite3_db_config(h, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(h, 2000);
    if (check) {
        QMutexLocker guard(&check->liveLock);
        if (check->stopped) {
            guard.unlock();
            sqlite3_close(h);
            return {{}, true};
        }
        check->live = h;
    }
    QStringList found;
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(h, "PRAGMA integrity_check(5)", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            found << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    CheckOutcome out;
    if (rc != SQLITE_DONE && rc != SQLITE_OK) {
        out.interrupted = rc == SQLITE_INTERRUPT;
        if (!out.interrupted)
            out.error = Error(QString::fromUtf8(sqlite3_errmsg(h)), Error::kindOfSqlite(rc));
    } else if (found != QStringList{QStringLiteral("ok")}) {
        out.error =
            Error(QStringLiteral("ファイルの検査で異常が見つかりました: ") + found.join(QStringLiteral("; ")),
                  ErrorKind::Damaged);
    }
    sqlite3_finalize(st);
    // Pages whole: the search index is checked too. A damaged one is made again from the lines
    // (the file is not damaged for that).
    if (out.error.ok() && !out.interrupted && checkTextIndex(h, deep).failed())
        noteTextIndexDamaged(path);
    if (check) {
        QMutexLocker guard(&check->liveLock);
        check->live = nullptr;
        out.interrupted = out.interrupted || check->stopped;
    }
    sqlite3_close(h);
    return out;
}

} // namespace store
