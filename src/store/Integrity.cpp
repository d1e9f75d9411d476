#include "store/Integrity.h"

#include "store/LocalFile.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPromise>
#include <QStringList>
#include <memory>
#include <sqlite3.h>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace store {
namespace {

struct Check {
    QFuture<Error> future;
    std::thread thread;
    CheckNeed need = CheckNeed::Required;
    QMutex liveLock;         // guards live and stopped
    sqlite3* live = nullptr; // the check's connection while it runs
    bool stopped = false;
    ~Check()
    {
        if (thread.joinable())
            thread.join();
    }
};

QMutex& lock()
{
    static QMutex m;
    return m;
}

QHash<QString, std::shared_ptr<Check>>& checks()
{
    static QHash<QString, std::shared_ptr<Check>> h;
    return h;
}

// The check of a file that is in no hurry yields the processor and the disk to everything else.
void lowestPriority()
{
#ifdef Q_OS_LINUX
    const auto tid = pid_t(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, id_t(tid), 19);
    constexpr int whoProcess = 1, classIdle = 3, classShift = 13;
    ::syscall(SYS_ioprio_set, whoProcess, tid, classIdle << classShift);
#endif
}

struct Outcome {
    Error error;
    bool interrupted = false;
};

Outcome runCheck(const QString& path, Check* check)
{
    sqlite3* h = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const Error e(QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc)));
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
    Outcome out;
    if (rc != SQLITE_DONE && rc != SQLITE_OK) {
        out.interrupted = rc == SQLITE_INTERRUPT;
        if (!out.interrupted)
            out.error = Error(QString::fromUtf8(sqlite3_errmsg(h)));
    } else if (found != QStringList{QStringLiteral("ok")}) {
        out.error = Error(QStringLiteral("ファイルの検査で異常が見つかりました: ") +
                          found.join(QStringLiteral("; ")));
    }
    sqlite3_finalize(st);
    if (check) {
        QMutexLocker guard(&check->liveLock);
        check->live = nullptr;
        out.interrupted = out.interrupted || check->stopped;
    }
    sqlite3_close(h);
    return out;
}

} // namespace

Error checkPages(const QString& path)
{
    const Outcome o = runCheck(path, nullptr);
    if (o.error.ok())
        notePagesChecked(path);
    return o.error;
}

QFuture<Error> startPageCheck(const QString& connection, const QString& path, CheckNeed need)
{
    forgetPageCheck(connection);
    auto promise = std::make_shared<QPromise<Error>>();
    auto check = std::make_shared<Check>();
    check->future = promise->future();
    check->need = need;
    promise->start();
    check->thread = std::thread([promise, path, need, raw = check.get()] {
        if (need == CheckNeed::Background)
            lowestPriority();
        const Outcome o = runCheck(path, raw);
        if (o.error.ok() && !o.interrupted)
            notePagesChecked(path);
        promise->addResult(o.error);
        promise->finish();
    });
    QMutexLocker guard(&lock());
    checks().insert(connection, check);
    return check->future;
}

void refuseWrites(const QString& connection, const Error& reason)
{
    forgetPageCheck(connection);
    QPromise<Error> promise;
    auto check = std::make_shared<Check>();
    check->future = promise.future();
    promise.start();
    promise.addResult(reason);
    promise.finish();
    QMutexLocker guard(&lock());
    checks().insert(connection, check);
}

Error writeAllowed(const QString& connection)
{
    QFuture<Error> f;
    {
        QMutexLocker guard(&lock());
        const auto it = checks().constFind(connection);
        if (it == checks().constEnd())
            return {};
        f = it.value()->future;
        if (it.value()->need == CheckNeed::Background && !f.isFinished())
            return {};
    }
    f.waitForFinished();
    return f.resultCount() > 0 ? f.result() : Error(QStringLiteral("ファイルの検査が終わりませんでした。"));
}

Error forgetPageCheck(const QString& connection)
{
    std::shared_ptr<Check> c;
    {
        QMutexLocker guard(&lock());
        c = checks().take(connection);
    }
    if (!c)
        return {};
    {
        QMutexLocker guard(&c->liveLock);
        c->stopped = true;
        if (c->live)
            sqlite3_interrupt(c->live);
    }
    if (c->thread.joinable())
        c->thread.join();
    return c->future.isFinished() && c->future.resultCount() > 0 ? c->future.result() : Error();
}

} // namespace store
