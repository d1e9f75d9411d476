#include "store/Db.h"

#include "store/Integrity.h"
#include "store/Schema.h"
#include "store/Dates.h"
#include "store/Server.h"
#include "store/StatementCache.h"

#include <QMutex>
#include <QSet>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

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
    const QFileInfo fi(path);
    if (!fi.exists())
        return Error(QStringLiteral("ファイルがありません。"));
    if (!fi.isFile())
        return Error(QStringLiteral("通常のファイルではありません。"));
    if (!fi.isReadable())
        return Error(QStringLiteral("ファイルを読み込めません（アクセス権がありません）。"));
    if (!fi.isWritable())
        return Error(QStringLiteral("ファイルに書き込めません（読み取り専用です）。"));

    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        // mode=rw: a missing file must fail instead of being created empty.
        QUrl url = QUrl::fromLocalFile(fi.absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=500"));
        if (!db.open())
            err = Error::of(db.lastError());
        else
            err = checkSchema(db, kind);
        if (err.ok())
            err = applyFileSettings(db, kind);
        if (err.ok())
            return {};
        db.close();
    }
    StatementCache::forget(connection);
    QSqlDatabase::removeDatabase(connection);
    return err;
}

void closeDatabase(const QString& connection)
{
    forgetPageCheck(connection);
    StatementCache::forget(connection);
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

Transaction::Transaction(const QSqlDatabase& db) : m_db(db)
{
    m_error = writeAllowed(m_db.connectionName());
    if (m_error.failed())
        return;
    m_open = m_db.transaction();
    // The server went away since the last operation: this one starts on a new session.
    if (!m_open && reconnectIfLost(m_db))
        m_open = m_db.transaction();
    if (!m_open)
        m_error = Error::of(m_db.lastError());
    else
        markTransaction(m_db, true);
}

Transaction::~Transaction()
{
    if (m_open) {
        m_db.rollback();
        markTransaction(m_db, false);
    }
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    if (!m_db.commit()) {
        m_error = Error::of(m_db.lastError());
        return false;
    }
    m_open = false;
    markTransaction(m_db, false);
    return true;
}

Statement::Statement(const QSqlDatabase& db, const QString& sql)
{
    // A server's session can be replaced by a reconnection, which its prepared statements do
    // not survive: only a local file's statements are kept between operations.
    const bool server = isServer(db);
    if (!server) {
        m_query = StatementCache::take(db, sql);
        if (m_query) {
            m_cached = true;
            return;
        }
    }
    auto* q = new QSqlQuery(db);
    q->setForwardOnly(true);
    bool prepared = q->prepare(sql);
    // A read between operations after the server went away: once more on a new session.
    if (!prepared && server && !underTransaction(db) && reconnectIfLost(db)) {
        delete q;
        q = new QSqlQuery(db);
        q->setForwardOnly(true);
        prepared = q->prepare(sql);
    }
    m_query = q;
    if (!prepared) {
        m_error = Error::of(q->lastError());
        return;
    }
    if (!server)
        m_cached = StatementCache::keep(db, sql, q);
}

Statement::~Statement()
{
    if (m_cached)
        StatementCache::giveBack(m_query);
    else
        delete m_query;
}

QVariant Statement::value(int i) const
{
    const QVariant v = m_query->value(i);
    return v.metaType().id() == QMetaType::QDate ? dateValue(v.toDate()) : v;
}

Statement& Statement::bind(const QVariant& v)
{
    // By position: a cached statement starts from the first placeholder whatever its last
    // user left.
    if (v.metaType().id() == QMetaType::QString && !v.isNull())
        m_query->bindValue(m_bound++, cleanText(v.toString()));
    else
        m_query->bindValue(m_bound++, v);
    return *this;
}

bool Statement::exec()
{
    m_bound = 0;
    if (m_error.failed())
        return false;
    if (!m_query->exec()) {
        m_error = Error::of(m_query->lastError());
        return false;
    }
    return true;
}

bool Statement::next()
{
    if (m_error.failed())
        return false;
    if (m_query->next())
        return true;
    // next() is false both at the end and on an error part-way: tell them apart.
    if (m_query->lastError().isValid())
        m_error = Error::of(m_query->lastError());
    return false;
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
