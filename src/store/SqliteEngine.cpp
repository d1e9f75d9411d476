#include "store/SqliteEngine.h"

#include "store/StatementCache.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringEncoder>
#include <sqlite3.h>

#include <vector>

namespace store {
namespace {

// In the driver's words, so that a reason reads the same whichever way it came.
Error sqliteError(sqlite3* handle, const char* what, int code)
{
    return Error::of(QSqlError(QString::fromLatin1(what), QString::fromUtf8(sqlite3_errmsg(handle)),
                               QSqlError::StatementError, QString::number(code & 0xff)));
}

// Encoded into buf, the statement's own buffer for position i, which SQLite reads in place
// (SQLITE_STATIC) until the position is bound again or the bindings are cleared: a text then
// costs neither an allocation of ours nor a copy of SQLite's.
int bindUtf8(sqlite3_stmt* stmt, int i, QStringView text, QByteArray& buf)
{
    QStringEncoder utf8(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    buf.resize(utf8.requiredSpace(text.size()));
    const char* end = utf8.appendToBuffer(buf.data(), text);
    return sqlite3_bind_text(stmt, i, buf.constData(), int(end - buf.constData()), SQLITE_STATIC);
}

int bindValue(sqlite3_stmt* stmt, int i, const QVariant& v, QByteArray& buf)
{
    switch (v.metaType().id()) {
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(stmt, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(stmt, i, v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, i, v.toDouble());
    case QMetaType::QDateTime:
        return bindUtf8(stmt, i, v.toDateTime().toString(Qt::ISODateWithMs), buf);
    case QMetaType::QTime:
        return bindUtf8(stmt, i, v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")), buf);
    case QMetaType::QString:
        return bindUtf8(stmt, i, *static_cast<const QString*>(v.constData()), buf);
    default:
        return bindUtf8(stmt, i, v.toString(), buf);
    }
}

class SqliteStatement final : public EngineStatement {
  public:
    SqliteStatement(sqlite3* handle, sqlite3_stmt* stmt, bool cached)
        : m_handle(handle), m_stmt(stmt), m_cached(cached)
    {
    }
    ~SqliteStatement() override
    {
        if (m_cached)
            StatementCache::giveBack(m_stmt);
        else
            sqlite3_finalize(m_stmt);
    }

    void bind(int position, const QVariant& v) override
    {
        startValue(position);
        // Every value of a new run starts as Null: a Null needs no call.
        if (!isNullValue(v))
            bound(bindValue(m_stmt, position, v, bufferOf(position)));
    }

    void bindText(int position, const QString& text) override
    {
        startValue(position);
        if (!text.isNull())
            bound(bindUtf8(m_stmt, position, text, bufferOf(position)));
    }

    void bindInteger(int position, qint64 n) override
    {
        startValue(position);
        bound(sqlite3_bind_int64(m_stmt, position, n));
    }

    bool bindColumn(int position, const EngineStatement& from, int column) override
    {
        const auto* source = dynamic_cast<const SqliteStatement*>(&from);
        if (!source || !source->m_onRow)
            return false;
        startValue(position);
        bound(sqlite3_bind_value(m_stmt, position, sqlite3_column_value(source->m_stmt, column)));
        return true;
    }

    bool exec(int values) override
    {
        if (values > 0)
            m_runValues = values;
        else if (m_stepped) // the same values again
            sqlite3_reset(m_stmt);
        if (m_runValues != sqlite3_bind_parameter_count(m_stmt)) {
            error = Error(QStringLiteral("Parameter count mismatch"));
            return false;
        }
        m_changes = 0;
        m_onRow = false;
        m_rowWaiting = step("Unable to execute statement");
        return error.ok();
    }

    bool next() override
    {
        if (m_rowWaiting) {
            m_rowWaiting = false;
            m_onRow = true;
            return true;
        }
        if (!m_onRow)
            return false;
        m_onRow = step("Unable to fetch row");
        return m_onRow;
    }

    QVariant value(int i) const override
    {
        if (!m_onRow)
            return {};
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(m_stmt, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_stmt, i);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, i)),
                              sqlite3_column_bytes(m_stmt, i));
        case SQLITE_NULL:
            return QVariant(QMetaType::fromType<QString>());
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
            return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i));
        }
        }
    }

    QString text(int i) const override
    {
        if (!m_onRow || sqlite3_column_type(m_stmt, i) == SQLITE_NULL)
            return {};
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i));
    }

    qint64 integer(int i) const override { return m_onRow ? sqlite3_column_int64(m_stmt, i) : 0; }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const override { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }
    int rowsAffected() const override { return m_changes; }

    void finish() override
    {
        sqlite3_reset(m_stmt);
        m_rowWaiting = m_onRow = false;
    }

  private:
    void startValue(int position)
    {
        if (position == 1) {
            // The values of a new run: the last run's read ends first.
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
            m_stepped = m_rowWaiting = m_onRow = false;
        }
        m_runValues = position;
    }

    QByteArray& bufferOf(int position)
    {
        if (size_t(position) > m_bufs.size())
            m_bufs.resize(size_t(position));
        return m_bufs[size_t(position - 1)];
    }

    void bound(int rc)
    {
        if (rc != SQLITE_OK && error.ok())
            error = sqliteError(m_handle, "Unable to bind parameters", rc);
    }

    bool step(const char* what)
    {
        const int rc = sqlite3_step(m_stmt);
        m_stepped = true;
        if (rc == SQLITE_ROW)
            return true;
        m_onRow = m_rowWaiting = false;
        if (rc == SQLITE_DONE) {
            m_changes = sqlite3_changes(m_handle);
            sqlite3_reset(m_stmt);
            return false;
        }
        // The step's code may be the generic one; the reset gives the specific reason.
        const int code = sqlite3_reset(m_stmt);
        error = sqliteError(m_handle, what, code != SQLITE_OK ? code : rc);
        return false;
    }

    sqlite3* m_handle;
    sqlite3_stmt* m_stmt;
    bool m_cached;
    bool m_stepped = false;    // run since the values were bound
    bool m_rowWaiting = false; // exec() stepped onto the first row, next() has not shown it yet
    bool m_onRow = false;
    int m_runValues = 0;
    int m_changes = 0;
    // The UTF-8 of the text bound at each position, read by SQLite in place; the cache's
    // giveBack and finalize clear the bindings before these go.
    std::vector<QByteArray> m_bufs;
};

} // namespace

sqlite3* SqliteEngine::handleOf(const QSqlDatabase& db)
{
    if (!db.driver() || !db.isOpen())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

std::unique_ptr<SqliteEngine> SqliteEngine::of(const QSqlDatabase& db)
{
    sqlite3* handle = handleOf(db);
    return handle ? std::make_unique<SqliteEngine>(handle, db.connectionName()) : nullptr;
}

std::optional<ChangeMark> SqliteEngine::changeMark()
{
    // data_version moves when another connection (or program) commits to the file, and
    // schema_version with any change of a table's definition; the connection's own row changes
    // are counted by total_changes, whether or not they were committed.
    Error e;
    const std::unique_ptr<EngineStatement> s =
        prepare(QStringLiteral("SELECT * FROM pragma_data_version, pragma_schema_version"), e);
    if (!s || !s->exec(0) || !s->next())
        return std::nullopt;
    ChangeMark mark;
    mark.others = (s->value(0).toLongLong() << 32) ^ s->value(1).toLongLong();
    mark.own = sqlite3_total_changes64(m_handle);
    s->finish();
    return mark;
}

std::unique_ptr<EngineStatement> SqliteEngine::prepare(const QString& sql, Error& error)
{
    if (sqlite3_stmt* kept = StatementCache::take(m_connection, m_handle, sql))
        return std::make_unique<SqliteStatement>(m_handle, kept, true);
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(m_handle, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                                      &stmt, &tail);
    if (rc != SQLITE_OK) {
        error = sqliteError(m_handle, "Unable to execute statement", rc);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (tail && !QByteArray(tail).trimmed().isEmpty()) {
        error = Error(QStringLiteral("Unable to execute multiple statements at a time"));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (!stmt) { // only a comment or blanks
        error = Error(QStringLiteral("Unable to execute statement: no SQL"));
        return nullptr;
    }
    const bool cached = StatementCache::keep(m_connection, m_handle, sql, stmt);
    return std::make_unique<SqliteStatement>(m_handle, stmt, cached);
}

// BEGIN, COMMIT and ROLLBACK are kept prepared like any other statement.
Error SqliteEngine::step(const QString& sql)
{
    Error e;
    std::unique_ptr<EngineStatement> s = prepare(sql, e);
    if (s)
        s->exec(0);
    return s ? s->error : e;
}

Error SqliteEngine::begin()
{
    return step(QStringLiteral("BEGIN"));
}

Error SqliteEngine::commit()
{
    return step(QStringLiteral("COMMIT"));
}

void SqliteEngine::rollback()
{
    step(QStringLiteral("ROLLBACK"));
}

Error SqliteEngine::execute(const QString& sql)
{
    return step(sql);
}

std::optional<qint64> SqliteEngine::setting(const char* name)
{
    sqlite3_stmt* s = nullptr;
    std::optional<qint64> value;
    if (sqlite3_prepare_v2(m_handle, QByteArray("PRAGMA ").append(name).constData(), -1, &s, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return value;
}

bool SqliteEngine::setSetting(const char* name, const QByteArray& value)
{
    const QByteArray sql = QByteArray("PRAGMA ").append(name).append(" = ").append(value);
    return sqlite3_exec(m_handle, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace store
