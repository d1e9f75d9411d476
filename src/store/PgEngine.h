#pragma once
// A team server's engine: libpq directly, statements prepared once per session (PQprepare) and
// run with their values bound (PQexecPrepared, text format), never written into the SQL.
// The rule for a lost connection lives in PgSession::call and nowhere else.
#include "store/Engine.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

struct pg_cancel;
struct pg_conn;
struct pg_result;

namespace store {

// The bounds on every wait on the server (milliseconds): a lock another user holds, one
// statement, a transaction left open by a client that went away. A wait cut short is reported
// as the server being busy, with nothing of the operation kept.
struct ServerBounds {
    int lockMs = 3000;
    int statementMs = 15000;
    int idleInTransactionMs = 30000;
};

// The program's own deadline on each exchange with the server, kept on the client whatever
// the server does (a server whose processes hang answers nothing, and its statement_timeout
// never acts): statementMs and a little more, or TESVAN_SERVER_DEADLINE_MS (for tests).
int serverDeadlineMs();

// How long a session may sit unused before it is closed (milliseconds; 0: never): a window
// holds a server session only while it works, so a thousand open windows need few of the
// server's connections. The next operation opens a session again by the rule for a lost
// connection. A minute, or TESVAN_SERVER_IDLE_MS.
int serverIdleMs();

// Where a note for the status line goes when a session opens on another server than the one
// before (the setting names a primary and its standbys, and a standby took over). Called on the
// thread that opened the session; an empty sink drops the notes.
void setServerNoteSink(std::function<void(const QString&)> sink);

class PgSession final : public Engine {
  public:
    explicit PgSession(const QString& conninfo) : m_conninfo(conninfo) {}
    ~PgSession() override;
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Opens the session (again); the reason when the server cannot be reached.
    Error connect();
    void disconnect();
    bool isOpen() const { return m_conn != nullptr; }
    const QString& conninfo() const { return m_conninfo; }
    // Asks the server to stop the command running on the session; from any thread.
    void interrupt();
    // Closes the session when no transaction is open and nothing was sent for idleMs; true when
    // it was closed. The next operation opens it again.
    bool closeIfIdle(qint64 idleMs);
    // "host:port" of the server the session opened on last (empty before the first).
    const QString& server() const { return m_server; }

    std::unique_ptr<EngineStatement> prepare(const QString& sql, Error& error) override;
    Error begin() override;
    Error commit() override;
    void rollback() override;
    Error execute(const QString& sql) override;

    // Sends one command through the rule for a lost connection; the result (owned by the
    // caller) or nullptr, with the reason in error.
    pg_result* call(const std::function<pg_result*(pg_conn*)>& send, Error& error);
    // Sends in one round trip what waits to go first (the session's bounds, the transaction's
    // BEGIN), sql's preparation when this session has not prepared it yet (sql may be null), and
    // command (given the prepared name); the command's result, or the first failure's, or
    // nullptr when the connection failed or the deadline passed (timedOut()).
    pg_result* flight(const QByteArray* sql, const std::function<int(pg_conn*, const QByteArray&)>& command);
    pg_conn* connection() const { return m_conn; }
    // The result of a command sent without waiting (sent: what PQsend… returned), waited for
    // until the deadline; past it the command is cancelled, the session dropped (the server
    // rolls back what it held) and nullptr returned, with timedOut() true until the next call.
    pg_result* await(int sent);
    bool timedOut() const { return m_timedOut; }

  private:
    Error ensureConnection();
    // Fills results (one per command of a pipeline, up to its sync) by the deadline; false when
    // the connection failed or the deadline passed.
    bool awaitPipeline(std::vector<pg_result*>& results);
    void giveUp();
    Error errorOf(pg_result* r) const;
    Error noAnswer() const;
    void noteServer(const QString& server);

    QString m_conninfo;
    QString m_server;
    pg_conn* m_conn = nullptr;
    QElapsedTimer m_lastUse;
    std::mutex m_cancelLock; // guards m_cancel, which interrupt() uses from another thread
    pg_cancel* m_cancel = nullptr;
    bool m_inTransaction = false;
    bool m_beginPending = false;    // begun here, BEGIN not yet sent
    bool m_settingsPending = false; // opened, the bounds not yet sent
    bool m_timedOut = false;
    QHash<QByteArray, QByteArray> m_names; // SQL → its prepared statement on this session
    // Each SQL as the server takes it, with its number of values: a long statement run again
    // (many rows to an insert) is not scanned again.
    QHash<QString, std::pair<QByteArray, int>> m_numbered;
    int m_nextName = 0;
};

// sql with its ? placeholders numbered as the server takes them ($1, $2, …); count gets their
// number. A ? inside a quoted text, a quoted name, a comment or a dollar-quoted body stays.
QByteArray numberPlaceholders(const QString& sql, int& count);

} // namespace store
