#include "store/Integrity.h"

#include <QHash>
#include <QMutex>
#include <QPromise>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <memory>
#include <thread>

namespace store {
namespace {

struct Check {
    QFuture<Error> future;
    std::thread thread;
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

} // namespace

Error checkPages(const QString& path)
{
    const QString conn = QStringLiteral("pagecheck-") + QUuid::createUuid().toString(QUuid::Id128);
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        QUrl url = QUrl::fromLocalFile(path);
        url.setQuery(QStringLiteral("mode=ro"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            err = Error::of(db.lastError());
        } else {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            QStringList found;
            if (!q.exec(QStringLiteral("PRAGMA quick_check(5)"))) {
                err = Error::of(q.lastError());
            } else {
                while (q.next())
                    found << q.value(0).toString();
                if (q.lastError().isValid())
                    err = Error::of(q.lastError());
                else if (found != QStringList{QStringLiteral("ok")})
                    err = Error(QStringLiteral("ファイルの検査で異常が見つかりました: ") +
                                found.join(QStringLiteral("; ")));
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return err;
}

QFuture<Error> startPageCheck(const QString& connection, const QString& path)
{
    forgetPageCheck(connection);
    auto promise = std::make_shared<QPromise<Error>>();
    auto check = std::make_shared<Check>();
    check->future = promise->future();
    promise->start();
    check->thread = std::thread([promise, path] {
        promise->addResult(checkPages(path));
        promise->finish();
    });
    QMutexLocker guard(&lock());
    checks().insert(connection, check);
    return check->future;
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
    }
    f.waitForFinished();
    return f.resultCount() > 0 ? f.result() : Error(QStringLiteral("ファイルの検査が終わりませんでした。"));
}

void forgetPageCheck(const QString& connection)
{
    std::shared_ptr<Check> c;
    {
        QMutexLocker guard(&lock());
        c = checks().take(connection);
    }
    if (c && c->thread.joinable())
        c->thread.join();
}

} // namespace store
