#pragma once
// The one interface the store runs every statement through, whatever holds the data: SQLite's C
// API for the local files (SqliteEngine), libpq for a team server (PgEngine). Statement,
// Transaction and run() in Db.h are the callers' side of it.
#include "store/Error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

namespace store {

// A Null of any kind binds Null: a null text is not an empty one, nor an invalid date a value.
bool isNullValue(const QVariant& v);

// One prepared statement on one engine. Values are bound by position from 1 for each run; the
// first failure is kept in error.
class EngineStatement {
  public:
    virtual ~EngineStatement() = default;
    // v may be a Null of any kind (isNullValue); a text holds no lone surrogate.
    virtual void bind(int position, const QVariant& v) = 0;
    // The same for a text (a null text binds Null) and a whole number, without a QVariant on the
    // way where the engine can take them as they are.
    virtual void bindText(int position, const QString& text) { bind(position, QVariant(text)); }
    virtual void bindInteger(int position, qint64 n) { bind(position, QVariant(n)); }
    // The current row's value of column of from, bound as from holds it; false when this engine
    // cannot take it so (another engine), and nothing is bound.
    virtual bool bindColumn(int /*position*/, const EngineStatement& /*from*/, int /*column*/)
    {
        return false;
    }
    // A new run with the given number of values bound since the last one (0: the last values
    // again). Steps onto the first row, if any.
    virtual bool exec(int values) = 0;
    // The next row; false at the end and on an error part-way (error then tells).
    virtual bool next() = 0;
    // The current row's value: Null (a null text), a whole number, a real, a text or bytes.
    virtual QVariant value(int i) const = 0;
    // The same value read as the caller needs it, without a QVariant on the way: a text (a null
    // text for Null, a number in its text form) or a whole number (0 for Null).
    virtual QString text(int i) const { return value(i).toString(); }
    virtual qint64 integer(int i) const { return value(i).toLongLong(); }
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    virtual int rowsAffected() const = 0;
    // Ends the read, so that it holds no lock.
    virtual void finish() = 0;

    Error error;
};

// Where a connection's data stands: two marks taken from one connection are equal only when
// nothing was written between them, by this connection (own) or by any other (others).
struct ChangeMark {
    qint64 others = 0;
    qint64 own = 0;
    bool operator==(const ChangeMark&) const = default;
};

// One open connection of an engine.
class Engine {
  public:
    virtual ~Engine() = default;
    // The mark now; none where the engine cannot tell (a server, which other users write at any
    // moment without this connection hearing of it).
    virtual std::optional<ChangeMark> changeMark() { return std::nullopt; }
    // A prepared statement, or nullptr with the reason in error.
    virtual std::unique_ptr<EngineStatement> prepare(const QString& sql, Error& error) = 0;
    virtual Error begin() = 0;
    virtual Error commit() = 0;
    // Ends an open transaction; a connection that is gone has ended it already.
    virtual void rollback() = 0;
    // A statement without values, sent as it stands (a table's definition).
    virtual Error execute(const QString& sql) = 0;
    // A whole-number setting of this connection (a local file's PRAGMA, such as secure_delete),
    // or none where the engine has no such settings: a server keeps its own pages.
    virtual std::optional<qint64> setting(const char* /*name*/) { return std::nullopt; }
    // Sets it to value, a number or a keyword the setting takes (secure_delete's FAST); false
    // where the engine has none or refused the value.
    virtual bool setSetting(const char* /*name*/, const QByteArray& /*value*/) { return false; }
};

} // namespace store
