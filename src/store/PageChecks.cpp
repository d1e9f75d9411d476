#include "store/PageChecks.h"

#include <QHash>
#include <QMutex>
#include <QPromise>
#include <sqlite3.h>

namespace store {
namespace {

QMutex& lock()
{
    static QMutex m;
    return m;
}

QHash<QString, std::shared_ptr<PageCheck>>& checks()
{
    static QHash<QString, std::shared_ptr<PageCheck>> h;
    return h;
}

} // namespace

void keepPageCheck(const QString& connection, std::shared_ptr<PageCheck> check)
{
    QMutexLocker guard(&lock());
    checks().insert(connection, std::move(check));
}

void refuseWrites(const QString& connection, const Error& reason)
{
    forgetPageCheck(connection);
    QPromise<Error> promise;
    auto check = std::make_shared<PageCheck>();
    check->future = promise.future();
    promise.start();
    promise.addResult(reason);
    promise.finish();
    keepPageCheck(connection, check);
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

std::optional<QFuture<Error>> runningRequiredCheck(const QString& connection)
{
    QMutexLocker guard(&lock());
    const auto it = checks().constFind(connection);
    if (it == checks().constEnd() || it.value()->need != CheckNeed::Required ||
        it.value()->future.isFinished())
        return std::nullopt;
    return it.value()->future;
}

Error forgetPageCheck(const QString& connection)
{
    std::shared_ptr<PageCheck> c;
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
