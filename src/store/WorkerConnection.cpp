#include "store/WorkerConnection.h"

#include "store/PgDriver.h"
#include "store/Server.h"
#include "store/SqliteEngine.h"
#include "store/StatementCache.h"

#include <QAtomicInteger>
#include <QUrl>
#include <sqlite3.h>

namespace store {
namespace {
QString freshName()
{
    static QAtomicInteger<quint64> next = 0;
    return QStringLiteral("worker-%1").arg(++next);
}
} // namespace

ConnectionRecipe recipeOf(const QSqlDatabase& db)
{
    if (const std::shared_ptr<PgSession> s = PgDriver::sessionOf(db))
        return {{}, s->conninfo()};
    return {db.databaseName(), {}};
}

WorkerConnection::WorkerConnection(const ConnectionRecipe& recipe) : m_name(freshName())
{
    if (!recipe.conninfo.isEmpty()) {
        m_error = openServer(m_name, recipe.conninfo);
        if (m_error.ok()) {
            std::lock_guard guard(m_lock);
            m_server = PgDriver::sessionOf(QSqlDatabase::database(m_name, false));
        }
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // A reader: it never writes the file, never makes one, and never folds the log into it.
        QUrl url(recipe.fileUrl);
        url.setQuery(QStringLiteral("mode=ro"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=500"));
        if (!db.open()) {
            m_error = Error::of(db.lastError());
        } else {
            std::lock_guard guard(m_lock);
            m_sqlite = SqliteEngine::handleOf(db);
            sqlite3_db_config(m_sqlite, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            // A job's connection starts with an empty page cache: reading the file through a
            // mapping of it takes its pages from the system's cache without a copy per page (a
            // count over the index read most of its time in page misses).
            sqlite3_exec(m_sqlite, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
            StatementCache::manage(m_name);
        }
    }
}

WorkerConnection::~WorkerConnection()
{
    {
        std::lock_guard guard(m_lock);
        m_sqlite = nullptr;
        m_server.reset();
    }
    StatementCache::forget(m_name);
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase WorkerConnection::db() const
{
    return QSqlDatabase::database(m_name, false);
}

void WorkerConnection::interrupt()
{
    std::lock_guard guard(m_lock);
    m_interrupted = true;
    if (m_sqlite)
        sqlite3_interrupt(m_sqlite);
    if (m_server)
        m_server->interrupt();
}

bool WorkerConnection::interrupted() const
{
    std::lock_guard guard(m_lock);
    return m_interrupted;
}

} // namespace store
