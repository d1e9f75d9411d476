#include "store/StatementCache.h"

#include <QCoreApplication>
#include <QSet>
#include <sqlite3.h>
#include <unordered_map>

namespace store {
namespace {

// Enough for every statement of every operation; dynamic SQL beyond it is simply not kept.
constexpr size_t kMaxStatements = 128;

struct Entry {
    sqlite3_stmt* stmt = nullptr;
    sqlite3* handle = nullptr; // a connection opened again under its name differs
    QString connection;
    bool inUse = false;
};

struct Cache {
    std::unordered_map<QString, Entry> entries;
    QSet<QString> managed;
    ~Cache()
    {
        for (auto& [key, e] : entries)
            if (!e.inUse)
                sqlite3_finalize(e.stmt);
    }
};

Cache& cache()
{
    thread_local Cache c;
    return c;
}

QString keyOf(const QString& connection, const QString& sql)
{
    return connection + QChar(u'\n') + sql;
}

} // namespace

void StatementCache::manage(const QString& connection)
{
    cache().managed.insert(connection);
    // Qt closes every connection left open when the application object goes; SQLite refuses
    // to close one that still has statements, and the file would stay open past the end.
    // Registered after the first connection opened, this runs before Qt's own clean-up.
    static const bool once = [] {
        qAddPostRoutine([] {
            Cache& c = cache();
            for (const QString& connection : QSet<QString>(c.managed))
                forget(connection);
        });
        return true;
    }();
    (void)once;
}

sqlite3_stmt* StatementCache::take(const QString& connection, sqlite3* handle, const QString& sql)
{
    Cache& c = cache();
    auto it = c.entries.find(keyOf(connection, sql));
    if (it == c.entries.end() || it->second.inUse)
        return nullptr;
    Entry& e = it->second;
    if (e.handle != handle) {
        sqlite3_finalize(e.stmt);
        c.entries.erase(it);
        return nullptr;
    }
    e.inUse = true;
    return e.stmt;
}

bool StatementCache::keep(const QString& connection, sqlite3* handle, const QString& sql, sqlite3_stmt* stmt)
{
    Cache& c = cache();
    const QString key = keyOf(connection, sql);
    if (!c.managed.contains(connection) || c.entries.size() >= kMaxStatements || c.entries.contains(key))
        return false;
    Entry& e = c.entries[key];
    e.stmt = stmt;
    e.handle = handle;
    e.connection = connection;
    e.inUse = true;
    return true;
}

void StatementCache::giveBack(sqlite3_stmt* stmt)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (auto& [key, e] : cache().entries)
        if (e.stmt == stmt) {
            e.inUse = false;
            return;
        }
    // Its connection was forgotten while it was in use: it is the taker's to end.
    sqlite3_finalize(stmt);
}

void StatementCache::forget(const QString& connection)
{
    Cache& c = cache();
    c.managed.remove(connection);
    for (auto it = c.entries.begin(); it != c.entries.end();) {
        if (it->second.connection != connection) {
            ++it;
            continue;
        }
        // One in use is finalized by giveBack().
        if (!it->second.inUse)
            sqlite3_finalize(it->second.stmt);
        it = c.entries.erase(it);
    }
}

} // namespace store
