#pragma once
// The local files' engine: statements straight on SQLite's C API, kept prepared per connection
// in the StatementCache. The file itself is opened through Qt's SQLite driver (openDatabase),
// whose handle this takes.
#include "store/Engine.h"

#include <QSqlDatabase>

struct sqlite3;

namespace store {

class SqliteEngine final : public Engine {
  public:
    SqliteEngine(sqlite3* handle, const QString& connection) : m_handle(handle), m_connection(connection) {}
    // The engine of db when it is an open SQLite connection, else nullptr.
    static std::unique_ptr<SqliteEngine> of(const QSqlDatabase& db);
    // The SQLite connection behind db when it is an open SQLite connection, else nullptr.
    static sqlite3* handleOf(const QSqlDatabase& db);

    std::unique_ptr<EngineStatement> prepare(const QString& sql, Error& error) override;
    Error begin() override;
    Error commit() override;
    void rollback() override;
    Error execute(const QString& sql) override;
    std::optional<ChangeMark> changeMark() override;
    std::optional<qint64> setting(const char* name) override;
    bool setSetting(const char* name, const QByteArray& value) override;

  private:
    Error step(const QString& sql);

    sqlite3* m_handle;
    QString m_connection;
};

} // namespace store
