#pragma once
// The engine behind a connection, the transaction guard, bound statements and the one shape
// every database operation takes. Opening and closing the connections is Connection.h.
#include "store/Engine.h"
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <concepts>
#include <memory>

namespace store {

class Engine;
class EngineStatement;

// The engine behind an open connection (SQLite for a file, libpq for a server), or nullptr.
std::shared_ptr<Engine> engineOf(const QSqlDatabase& db);

// True when db is a connection to the team's server rather than a local file.
bool isServer(const QSqlDatabase& db);

enum class DbKind { Main, Work };

inline constexpr const char* kMainConnection = "MainDb";
inline constexpr const char* kWorkConnection = "WorkDb";

// Begins a transaction on construction; rolls back unless commit() succeeded. A file whose
// page check failed (or has not finished) refuses the transaction before anything is written.
class Transaction {
  public:
    explicit Transaction(const QSqlDatabase& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return m_error.ok(); }
    const Error& error() const { return m_error; }
    bool commit();

  private:
    std::shared_ptr<Engine> m_engine;
    QString m_connection;
    bool m_open = false;
    Error m_error;
};

// A step every Transaction on a local file takes just before it commits, given the connection's
// name (the search index brings itself up to the lines written). It may write within the
// transaction and never fails it.
void setBeforeCommit(void (*step)(const QString& connection));

// A prepared statement with positional bound values, on the connection's own engine (Engine.h);
// the first failure is kept, including a read that stops on an error part-way (next() then
// returns false and ok() turns false). A text holding U+0000 is refused on every engine: a
// server cannot store it, and what one engine keeps the other must keep too.
class Statement {
  public:
    Statement(const QSqlDatabase& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // The values of one run, in placeholder order; a run without new values repeats the last.
    Statement& bind(const QVariant& v);
    // The same for a text and a whole number, without a QVariant on the way (a null text binds
    // Null); a bool goes as a QVariant, as every engine has always taken it.
    Statement& bind(const QString& text);
    template <std::integral T>
    requires(!std::same_as<T, bool> &&
             (std::signed_integral<T> || sizeof(T) < sizeof(qint64))) Statement& bind(T n)
    {
        return bindInteger(qint64(n));
    }
    Statement& bindInteger(qint64 n);
    // The current row's value of column of from: between two local files copied as it is stored,
    // without a conversion on the way; otherwise bound as from.value(column).
    Statement& bindColumn(const Statement& from, int column);
    bool exec();
    bool next();
    // The current row's value: Null, a whole number, a real, a text or bytes. A date comes out
    // in its stored text form.
    QVariant value(int i) const;
    // The value as a text or as a whole number (EngineStatement::text/integer): for reads of many
    // rows, where a QVariant per value shows.
    QString text(int i) const;
    qint64 integer(int i) const;
    int columnCount() const;
    QString columnName(int i) const;
    // Rows written by the last exec.
    int rowsAffected() const;
    bool ok() const { return m_error.ok(); }
    const Error& error() const { return m_error; }
    // Ends the read, so that it holds no lock; the bound values stay.
    void finish();

  private:
    std::shared_ptr<Engine> m_engine; // keeps a server session alive as long as its statement
    std::unique_ptr<EngineStatement> m_impl;
    // The next value's position, or 0 when there is nothing to bind to.
    int nextPosition();
    void keepImplError();
    int m_bound = 0; // values bound since the last exec
    Error m_error;
};

// Where db's data stands (Engine::changeMark); none for a server or a closed connection.
std::optional<ChangeMark> changeMark(const QSqlDatabase& db);

// "?, ?, ?": n placeholders, for a statement that takes a run of values at once.
QString placeholders(int n);

// How many of count items the next statement takes when a run is sent in few statements of few
// sizes: the largest power of two not above count nor limit. A server then keeps a handful of
// texts prepared per kind of statement, and 100 rows go in three statements.
qsizetype nextRun(qsizetype count, qsizetype limit);

// Runs one statement with the given values.
Error run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Executes s and calls row(s) for every row it returns; row may return false to stop early.
// A read that stops on a database error is a failure, never the end of the data.
template <class RowFn> Error forEachRow(Statement& s, RowFn&& row)
{
    if (!s.exec())
        return s.error();
    while (s.next()) {
        if constexpr (std::is_same_v<decltype(row(s)), bool>) {
            if (!row(s))
                break;
        } else {
            row(s);
        }
    }
    const Error e = s.error();
    s.finish();
    return e;
}

// Runs work() inside one transaction on db: committed when it returns success, otherwise
// rolled back so that nothing of it remains. Every operation that writes takes this shape.
template <class Work> Error inTransaction(const QSqlDatabase& db, Work&& work)
{
    Transaction tx(db);
    if (!tx.ok())
        return tx.error();
    const Error e = work();
    if (e.failed())
        return e;
    if (!tx.commit())
        return tx.error();
    return {};
}

// A text as it may be stored: a lone UTF-16 surrogate (half of a broken character) becomes
// U+FFFD, so what is stored is exactly what the user sees.
QString cleanText(const QString& s);

// The notice for a text holding U+0000, which no engine is given.
QString nulRefused();

} // namespace store
