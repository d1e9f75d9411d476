#pragma once
// Connections to the two database files, the transaction guard, bound statements and the
// one shape every database operation takes.
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

enum class DbKind { Main, Work };

inline constexpr const char* kMainConnection = "MainDb";
inline constexpr const char* kWorkConnection = "WorkDb";

// Opens an existing database file read-write and checks that it holds our tables.
// Never creates a file.
Error openDatabase(const QString& connection, const QString& path, DbKind kind);
void closeDatabase(const QString& connection);

// The journal and sync settings of an open file of the kind (openDatabase applies them).
Error applyFileSettings(const QSqlDatabase& db, DbKind kind);

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
    QSqlDatabase m_db;
    bool m_open = false;
    Error m_error;
};

// A prepared statement with positional bound values; the first failure is kept, including
// a read that stops on an error part-way (next() then returns false and ok() turns false).
// On a local file it runs straight on SQLite, taken from the connection's statement cache when
// that holds it; on a server it is a QSqlQuery of the connection.
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // The values of one run, in placeholder order; a run without new values repeats the last.
    Statement& bind(const QVariant& v);
    bool exec();
    bool next();
    // The current row's value: Null, a whole number, a real, a text or bytes. A date the server
    // hands back as a date comes out in its stored text form, as from the file.
    QVariant value(int i) const;
    int columnCount() const;
    QString columnName(int i) const;
    // Rows written by the last exec.
    int rowsAffected() const;
    bool ok() const { return m_error.ok(); }
    const Error& error() const { return m_error; }
    // Ends the read, so that it holds no lock; the bound values stay.
    void finish();

private:
    bool stepLocal(const char* what);

    QSqlQuery* m_query = nullptr;    // on a server
    sqlite3_stmt* m_stmt = nullptr;  // on a local file
    sqlite3* m_handle = nullptr;
    bool m_cached = false;
    bool m_stepped = false;   // run since the values were bound
    bool m_rowWaiting = false; // exec() stepped onto the first row, next() has not shown it yet
    bool m_onRow = false;
    int m_bound = 0;          // values bound since the last exec
    int m_runValues = 0;      // values of the run
    int m_changes = 0;
    Error m_error;
};

// Runs one statement with the given values.
Error run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Executes s and calls row(s) for every row it returns; row may return false to stop early.
// A read that stops on a database error is a failure, never the end of the data.
template <class RowFn>
Error forEachRow(Statement& s, RowFn&& row)
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
template <class Work>
Error inTransaction(const QSqlDatabase& db, Work&& work)
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

} // namespace store
