#pragma once
// Connections to the two database files, the transaction guard and bound statements.
#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace store {

enum class DbKind { Main, Work };

inline constexpr const char* kMainConnection = "MainDb";
inline constexpr const char* kWorkConnection = "WorkDb";

// Opens an existing database file read-write and checks that it holds our tables.
// Never creates a file. Returns an empty text on success, else the reason.
QString openDatabase(const QString& connection, const QString& path, DbKind kind);
void closeDatabase(const QString& connection);

// A text naming what failed and the database's own reason.
QString reasonOf(const QSqlError& e);

// Begins a transaction on construction; rolls back unless commit() succeeded.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    bool commit();

private:
    QSqlDatabase m_db;
    bool m_open = false;
    QString m_error;
};

// A prepared statement with positional bound values; the first failure is kept.
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& sql);
    Statement& bind(const QVariant& v);
    bool exec();
    bool next() { return m_query.next(); }
    QVariant value(int i) const { return m_query.value(i); }
    QVariant value(const QString& field) const { return m_query.value(field); }
    QSqlQuery& query() { return m_query; }
    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    void finish() { m_query.finish(); }

private:
    QSqlQuery m_query;
    QString m_sql;
    QString m_error;
};

// Runs one statement with the given values; returns the reason on failure.
QString run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Dates are stored as ISO text; an invalid date is Null.
QVariant dateValue(const QDate& d);
QDate toDate(const QVariant& v);

} // namespace store
