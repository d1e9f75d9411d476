#pragma once
// SQLite statements kept prepared between operations, so that an operation run again does not
// parse and plan its SQL again. Only connections opened by openDatabase keep them: closeDatabase
// finalizes them before the file closes, which SQLite refuses while a statement is alive.
// One cache per thread; a cached statement serves one Statement at a time.
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class StatementCache {
  public:
    // The connection's statements may be kept from now on, in this thread.
    static void manage(const QString& connection);
    // A prepared statement for sql that nobody else uses until it is given back; nullptr when
    // none is kept (the caller prepares its own and may offer it with keep()).
    static sqlite3_stmt* take(const QString& connection, sqlite3* handle, const QString& sql);
    // Keeps a freshly prepared statement for later takes; false when the connection keeps none
    // or the cache is full (the caller then finalizes it). On true it counts as taken.
    static bool keep(const QString& connection, sqlite3* handle, const QString& sql, sqlite3_stmt* stmt);
    // Gives a taken statement back reset, with no bound values and no read open.
    static void giveBack(sqlite3_stmt* stmt);
    // Finalizes every statement of the connection and keeps none from now on (before it closes).
    static void forget(const QString& connection);
};

} // namespace store
