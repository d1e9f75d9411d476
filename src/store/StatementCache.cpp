#include "store/StatementCache.h"

#include <QPointer>
#include <QSqlDriver>
#include <memory>
#include <unordered_map>

namespace store {
namespace {

// Enough for every statement of every operation; dynamic SQL beyond it is simply not kept.
constexpr qsizetype kMaxStatements = 128;

struct Entry {
    std::unique_ptr<QSqlQuery> query;
    QPointer<QSqlDriver> driver; // a connection closed and opened again under its name differs
    QString connection;
    bool inUse = false;
};

// Connections are used by one thread each (the page check has its own): one cache per thread.
std::unordered_map<QString, Entry>& entries()
{
    thread_local std::unordered_map<QString, Entry> all;
    return all;
}

QString keyOf(const QSqlDatabase& db, const QString& sql)
{
    return db.connectionName() + QChar(u'\n') + sql;
}

} // namespace

QSqlQuery* StatementCache::take(const QSqlDatabase& db, const QString& sql)
{
    auto it = entries().find(keyOf(db, sql));
    if (it == entries().end() || it->second.inUse)
        return nullptr;
    Entry& e = it->second;
    if (e.driver.isNull() || e.driver != db.driver()) {
        entries().erase(it);
        return nullptr;
    }
    e.inUse = true;
    return e.query.get();
}

bool StatementCache::keep(const QSqlDatabase& db, const QString& sql, QSqlQuery* query)
{
    const QString key = keyOf(db, sql);
    // Statements of connections removed without forget() (a file made and closed) go first.
    if (entries().size() >= kMaxStatements)
        std::erase_if(entries(),
                      [](const auto& kv) { return !kv.second.inUse && kv.second.driver.isNull(); });
    if (entries().size() >= kMaxStatements || entries().contains(key))
        return false;
    Entry& e = entries()[key];
    e.query.reset(query);
    e.driver = db.driver();
    e.connection = db.connectionName();
    e.inUse = true;
    return true;
}

void StatementCache::giveBack(QSqlQuery* query)
{
    query->finish();
    for (auto& [key, e] : entries())
        if (e.query.get() == query) {
            e.inUse = false;
            return;
        }
    // Its connection was forgotten while it was in use: it is the taker's to end.
    delete query;
}

void StatementCache::forget(const QString& connection)
{
    for (auto it = entries().begin(); it != entries().end();) {
        if (it->second.connection != connection) {
            ++it;
            continue;
        }
        if (it->second.inUse)
            (void)it->second.query.release(); // giveBack() deletes it
        it = entries().erase(it);
    }
}

} // namespace store
