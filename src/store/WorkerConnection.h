#pragma once
// A connection of a worker thread to the database another connection holds, so that long reads
// run off the user-interface thread under SQLite's and libpq's rules (one connection, one
// thread): the same local file opened read-only, or a session of its own on the same server.
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <mutex>

struct sqlite3;

namespace store {

class PgSession;

// What opening another connection like db takes; read on db's thread.
struct ConnectionRecipe {
    QString fileUrl;  // a local file's address, or empty
    QString conninfo; // a server's setting, or empty
};
ConnectionRecipe recipeOf(const QSqlDatabase& db);

// Opened on the thread that constructs it, used and destroyed there; interrupt() alone may be
// called from any thread.
class WorkerConnection {
  public:
    explicit WorkerConnection(const ConnectionRecipe& recipe);
    ~WorkerConnection();
    WorkerConnection(const WorkerConnection&) = delete;
    WorkerConnection& operator=(const WorkerConnection&) = delete;

    const Error& error() const { return m_error; }
    QSqlDatabase db() const;

    // Stops the statement running on the connection now (it fails as interrupted); a job asks
    // interrupted() between its statements. From any thread.
    void interrupt();
    bool interrupted() const;

  private:
    QString m_name;
    Error m_error;
    mutable std::mutex m_lock; // guards the handles below against interrupt()
    sqlite3* m_sqlite = nullptr;
    std::shared_ptr<PgSession> m_server;
    bool m_interrupted = false;
};

} // namespace store
