#include "store/Db.h"

#include "store/Integrity.h"
#include "store/LocalFile.h"
#include "store/Schema.h"
#include "store/Dates.h"
#include "store/Server.h"
#include "store/StatementCache.h"

#include <QMutex>
#include <QSet>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QUrl>
#include <sqlite3.h>

namespace store {
namespace {

// Connections with an open transaction: a lost server connection is opened afresh only between
// operations, never under one, so nothing of an operation can land on a new session.
QMutex& txLock()
{
    static QMutex m;
    return m;
}

QSet<QString>& inTransactionSet()
{
    static QSet<QString> s;
    return s;
}

bool underTransaction(const QSqlDatabase& db)
{
    QMutexLocker guard(&txLock());
    return inTransactionSet().contains(db.connectionName());
}

void markTransaction(const QSqlDatabase& db, bool open)
{
    QMutexLocker guard(&txLock());
    if (open)
        inTransactionSet().insert(db.connectionName());
    else
        inTransactionSet().remove(db.connectionName());
}

} // namespace

Error applyFileSettings(const QSqlDatabase& db, DbKind kind)
{
    // Write-ahead log: a commit appends to one file instead of journalling and rewriting pages.
    // The main file syncs the log on every commit, so a registration reported done survives a
    // power cut; the work file (what is being typed) may lose its last commits then, never its
    // consistency. Another driver simply keeps its own behaviour.
    if (db.driverName() != QLatin1String("QSQLITE"))
        return {};
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        return Error::of(q.lastError());
    q.finish();
    const QString sync = kind == DbKind::Main ? QStringLiteral("FULL") : QStringLiteral("NORMAL");
    if (!q.exec(QStringLiteral("PRAGMA synchronous = ") + sync))
        return Error::of(q.lastError());
    return {};
}

Error openDatabase(const QString& connection, const QString& path, DbKind kind)
{
    return openLocalFile(connection, path, kind).error;
}

void closeDatabase(const QString& connection)
{
    const bool damaged = forgetPageCheck(connection).failed();
    StatementCache::forget(connection);
    sealLocalFile(connection, damaged);
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    recordLocalClose(connection);
}

namespace {

enum class TxStep { Begin, Commit, Rollback };

// A local file's BEGIN, COMMIT and ROLLBACK are kept prepared like any other statement; the
// driver would prepare them afresh for every operation. A server takes the driver's own calls.
Error txStep(QSqlDatabase db, TxStep step)
{
    if (db.driverName() == QLatin1String("QSQLITE")) {
        Statement s(db, step == TxStep::Begin    ? QStringLiteral("BEGIN")
                        : step == TxStep::Commit ? QStringLiteral("COMMIT")
                                                 : QStringLiteral("ROLLBACK"));
        s.exec();
        return s.error();
    }
    const bool ok = step == TxStep::Begin    ? db.transaction()
                    : step == TxStep::Commit ? db.commit()
                                             : db.rollback();
    return ok ? Error() : Error::of(db.lastError());
}

} // namespace

Transaction::Transaction(const QSqlDatabase& db) : m_db(db)
{
    m_error = writeAllowed(m_db.connectionName());
    if (m_error.failed())
        return;
    m_error = txStep(m_db, TxStep::Begin);
    // The server went away since the last operation: this one starts on a new session.
    if (m_error.failed() && isServer(m_db) && reconnectIfLost(m_db))
        m_error = txStep(m_db, TxStep::Begin);
    m_open = m_error.ok();
    if (m_open)
        markTransaction(m_db, true);
}

Transaction::~Transaction()
{
    if (m_open) {
        txStep(m_db, TxStep::Rollback);
        markTransaction(m_db, false);
    }
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    m_error = txStep(m_db, TxStep::Commit);
    if (m_error.failed())
        return false;
    m_open = false;
    markTransaction(m_db, false);
    return true;
}

namespace {

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    if (!db.driver() || !db.isOpen())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

// In the driver's words, so that a reason reads the same whichever way it came.
Error sqliteError(sqlite3* handle, const char* what, int code)
{
    return Error::of(QSqlError(QString::fromLatin1(what), QString::fromUtf8(sqlite3_errmsg(handle)),
                               QSqlError::StatementError, QString::number(code & 0xff)));
}

// A Null of any kind binds Null, as through the driver: a null text is not an empty one.
bool isNullValue(const QVariant& v)
{
    if (v.isNull())
        return true;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(v.constData())->isNull();
    case QMetaType::QDate:
        return v.toDate().isNull();
    case QMetaType::QDateTime:
        return v.toDateTime().isNull();
    case QMetaType::QTime:
        return v.toTime().isNull();
    default:
        return false;
    }
}

int bindText(sqlite3_stmt* stmt, int i, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// A value that is not Null.
int bindValue(sqlite3_stmt* stmt, int i, const QVariant& v)
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
        return bindText(stmt, i, v.toDateTime().toString(Qt::ISODateWithMs));
    case QMetaType::QTime:
        return bindText(stmt, i, v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
    case QMetaType::QString:
        return bindText(stmt, i, *static_cast<const QString*>(v.constData()));
    default:
        return bindText(stmt, i, v.toString());
    }
}

} // namespace

Statement::Statement(const QSqlDatabase& db, const QString& sql)
{
    if (sqlite3* handle = sqliteHandle(db)) {
        m_handle = handle;
        const QString connection = db.connectionName();
        m_stmt = StatementCache::take(connection, handle, sql);
        if (m_stmt) {
            m_cached = true;
            return;
        }
        const QByteArray utf8 = sql.toUtf8();
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v3(handle, utf8.constData(), int(utf8.size()),
                                          SQLITE_PREPARE_PERSISTENT, &m_stmt, &tail);
        if (rc != SQLITE_OK) {
            m_error = sqliteError(handle, "Unable to execute statement", rc);
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
        if (tail && !QByteArray(tail).trimmed().isEmpty()) {
            m_error = Error(QStringLiteral("Unable to execute multiple statements at a time"));
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
        if (!m_stmt) { // only a comment or blanks
            m_error = Error(QStringLiteral("Unable to execute statement: no SQL"));
            return;
        }
        m_cached = StatementCache::keep(connection, handle, sql, m_stmt);
        return;
    }
    if (!isServer(db)) {
        m_error = Error(QStringLiteral("データベース「%1」に接続していません。").arg(db.connectionName()));
        return;
    }
    // A server's session can be replaced by a reconnection, which its prepared statements do
    // not survive: none is kept between operations.
    auto* q = new QSqlQuery(db);
    q->setForwardOnly(true);
    bool prepared = q->prepare(sql);
    // A read between operations after the server went away: once more on a new session.
    if (!prepared && !underTransaction(db) && reconnectIfLost(db)) {
        delete q;
        q = new QSqlQuery(db);
        q->setForwardOnly(true);
        prepared = q->prepare(sql);
    }
    m_query = q;
    if (!prepared)
        m_error = Error::of(q->lastError());
}

Statement::~Statement()
{
    if (m_stmt) {
        if (m_cached)
            StatementCache::giveBack(m_stmt);
        else
            sqlite3_finalize(m_stmt);
    }
    delete m_query;
}

QVariant Statement::value(int i) const
{
    if (m_query) {
        const QVariant v = m_query->value(i);
        return v.metaType().id() == QMetaType::QDate ? dateValue(v.toDate()) : v;
    }
    if (!m_stmt || !m_onRow)
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

int Statement::columnCount() const
{
    if (m_query)
        return m_query->record().count();
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Statement::columnName(int i) const
{
    if (m_query)
        return m_query->record().fieldName(i);
    return m_stmt ? QString::fromUtf8(sqlite3_column_name(m_stmt, i)) : QString();
}

int Statement::rowsAffected() const
{
    return m_query ? m_query->numRowsAffected() : m_changes;
}

Statement& Statement::bind(const QVariant& v)
{
    // By position: a cached statement starts from the first placeholder whatever its last
    // user left.
    const bool text = v.metaType().id() == QMetaType::QString;
    if (m_query) {
        m_query->bindValue(m_bound++, text && !v.isNull() ? QVariant(cleanText(v.toString())) : v);
        return *this;
    }
    if (!m_stmt)
        return *this;
    if (m_bound == 0) {
        // The values of a new run: the last run's read ends first.
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        m_stepped = m_rowWaiting = m_onRow = false;
        m_runValues = 0;
    }
    const int i = ++m_bound;
    int rc = SQLITE_OK;
    // Every value of a new run starts as Null: a Null needs no call.
    if (text) {
        const QString& s = *static_cast<const QString*>(v.constData());
        if (!s.isNull())
            rc = bindText(m_stmt, i, cleanText(s));
    } else if (!isNullValue(v)) {
        rc = bindValue(m_stmt, i, v);
    }
    m_runValues = m_bound;
    if (rc != SQLITE_OK && m_error.ok())
        m_error = sqliteError(m_handle, "Unable to bind parameters", rc);
    return *this;
}

bool Statement::stepLocal(const char* what)
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
    m_error = sqliteError(m_handle, what, code != SQLITE_OK ? code : rc);
    return false;
}

bool Statement::exec()
{
    const int bound = m_bound;
    m_bound = 0;
    if (m_error.failed())
        return false;
    if (m_query) {
        if (!m_query->exec()) {
            m_error = Error::of(m_query->lastError());
            return false;
        }
        return true;
    }
    if (bound == 0 && m_stepped) // the same values again
        sqlite3_reset(m_stmt);
    if (m_runValues != sqlite3_bind_parameter_count(m_stmt)) {
        m_error = Error(QStringLiteral("Parameter count mismatch"));
        return false;
    }
    m_changes = 0;
    m_onRow = false;
    m_rowWaiting = stepLocal("Unable to execute statement");
    return m_error.ok();
}

bool Statement::next()
{
    if (m_error.failed())
        return false;
    if (m_query) {
        if (m_query->next())
            return true;
        // next() is false both at the end and on an error part-way: tell them apart.
        if (m_query->lastError().isValid())
            m_error = Error::of(m_query->lastError());
        return false;
    }
    if (!m_stmt)
        return false;
    if (m_rowWaiting) {
        m_rowWaiting = false;
        m_onRow = true;
        return true;
    }
    if (!m_onRow)
        return false;
    m_onRow = stepLocal("Unable to fetch row");
    return m_onRow;
}

void Statement::finish()
{
    if (m_query)
        m_query->finish();
    else if (m_stmt)
        sqlite3_reset(m_stmt);
    m_rowWaiting = m_onRow = false;
}

Error run(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    // The server prepares only queries; a statement without values (a table's definition) is
    // sent as it stands.
    if (values.isEmpty() && isServer(db)) {
        QSqlQuery q(db);
        if (q.exec(sql))
            return {};
        if (!underTransaction(db) && reconnectIfLost(db)) {
            QSqlQuery again(db);
            if (again.exec(sql))
                return {};
            return Error::of(again.lastError());
        }
        return Error::of(q.lastError());
    }
    Statement s(db, sql);
    for (const QVariant& v : values)
        s.bind(v);
    s.exec();
    return s.error();
}

QString cleanText(const QString& s)
{
    const auto lone = [&s](qsizetype i) {
        const QChar c = s[i];
        if (c.isHighSurrogate())
            return !(i + 1 < s.size() && s[i + 1].isLowSurrogate());
        if (c.isLowSurrogate())
            return !(i > 0 && s[i - 1].isHighSurrogate());
        return false;
    };
    qsizetype first = 0;
    while (first < s.size() && !lone(first))
        ++first;
    if (first == s.size())
        return s;
    QString out = s;
    for (qsizetype i = first; i < s.size(); ++i)
        if (lone(i))
            out[i] = QChar(QChar::ReplacementCharacter);
    return out;
}

} // namespace store
