#pragma once
// Prepared statements kept per connection and thread, so that an operation run again does not
// parse and plan its SQL again. A cached statement serves one Statement at a time.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace store {

class StatementCache {
  public:
    // A prepared query for sql on db that nobody else uses until it is given back; nullptr
    // when none is cached yet (the caller prepares its own and may offer it with keep()).
    static QSqlQuery* take(const QSqlDatabase& db, const QString& sql);
    // Keeps a freshly prepared query for later takes; false when the cache is full (the
    // caller then keeps ownership). On true the cache owns it and it counts as taken.
    static bool keep(const QSqlDatabase& db, const QString& sql, QSqlQuery* query);
    // Gives a taken query back, finished so that it holds no read lock (or deletes it when its
    // connection was forgotten meanwhile).
    static void giveBack(QSqlQuery* query);
    // Forgets every statement of the connection (before it closes).
    static void forget(const QString& connection);
};

} // namespace store
