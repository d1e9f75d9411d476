#pragma once
// A team server's engine: libpq directly, statements prepared once per session (PQprepare) and
// run with their values bound (PQexecPrepared, text format), never written into the SQL.
// The rule for a lost connection lives in PgSession::call and nowhere else.
#include "store/Engine.h"

#include <QByteArray>
#include <QHash>

#include <functional>
#include <utility>

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

    std::unique_ptr<EngineStatement> prepare(const QString& sql, Error& error) override;
    Error begin() override;
    Error commit() override;
    void rollback() override;
    Error execute(const QString& sql) override;

    // Sends one command through the rule for a lost connection; the result (owned by the
    // caller) or nullptr, with the reason in error.
    pg_result* call(const std::function<pg_result*(pg_conn*)>& send, Error& error);
    // The name of sql prepared on the current session, preparing it first when needed; the
    // failed preparation's result otherwise.
    pg_result* prepared(const QByteArray& sql, QByteArray& name);
    pg_conn* connection() const { return m_conn; }

  private:
    Error ensureConnection();
    pg_result* prepareNow(const QByteArray& sql);
    Error errorOf(pg_result* r) const;

    QString m_conninfo;
    pg_conn* m_conn = nullptr;
    bool m_inTransaction = false;
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
