#include "store/Db.h"

#include "store/Schema.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

namespace store {

QString reasonOf(const QSqlError& e)
{
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty())
        t = d;
    else if (!d.isEmpty() && !t.contains(d))
        t += QStringLiteral(" (") + d + QStringLiteral(")");
    return t.isEmpty() ? QStringLiteral("不明なエラー") : t;
}

QString openDatabase(const QString& connection, const QString& path, DbKind kind)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return QStringLiteral("ファイルがありません。");
    if (!fi.isFile())
        return QStringLiteral("通常のファイルではありません。");
    if (!fi.isReadable())
        return QStringLiteral("ファイルを読み込めません（アクセス権がありません）。");
    if (!fi.isWritable())
        return QStringLiteral("ファイルに書き込めません（読み取り専用です）。");

    QString err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        // mode=rw: a missing file must fail instead of being created empty.
        QUrl url = QUrl::fromLocalFile(fi.absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=500"));
        if (!db.open())
            err = reasonOf(db.lastError());
        else
            err = checkSchema(db, kind);
        if (err.isEmpty())
            return {};
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return err;
}

void closeDatabase(const QString& connection)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

Transaction::Transaction(const QSqlDatabase& db) : m_db(db)
{
    m_open = m_db.transaction();
    if (!m_open)
        m_error = reasonOf(m_db.lastError());
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    if (!m_db.commit()) {
        m_error = reasonOf(m_db.lastError());
        return false;
    }
    m_open = false;
    return true;
}

Statement::Statement(const QSqlDatabase& db, const QString& sql) : m_query(db), m_sql(sql)
{
    m_query.setForwardOnly(true);
    if (!m_query.prepare(sql))
        m_error = reasonOf(m_query.lastError());
}

Statement& Statement::bind(const QVariant& v)
{
    m_query.addBindValue(v);
    return *this;
}

bool Statement::exec()
{
    if (!m_error.isEmpty())
        return false;
    if (!m_query.exec()) {
        m_error = reasonOf(m_query.lastError());
        return false;
    }
    return true;
}

QString run(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    Statement s(db, sql);
    for (const QVariant& v : values)
        s.bind(v);
    s.exec();
    return s.error();
}

QVariant dateValue(const QDate& d)
{
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString));
}

QDate toDate(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

} // namespace store
