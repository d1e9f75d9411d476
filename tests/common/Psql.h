#pragma once
// A connection of QtSql's own PostgreSQL driver to the throwaway cluster as one login: statements
// as psql would send them, past every check of the program.
#include "ServerCluster.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace testing {

class Psql {
  public:
    explicit Psql(const QString& login)
        : m_name(QStringLiteral("psql-") + QUuid::createUuid().toString(QUuid::Id128))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setConnectOptions(ServerCluster::shared().conninfoAs(login));
        if (!db.open())
            m_failure = db.lastError().text();
    }
    ~Psql()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Psql(const Psql&) = delete;
    Psql& operator=(const Psql&) = delete;
    const QString& failure() const { return m_failure; }

    // "" when the statement ran, else the server's reason.
    QString exec(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        return q.exec(sql) ? QString() : q.lastError().databaseText();
    }
    // "" when the statement ran, else the server's SQLSTATE.
    QString code(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        return q.exec(sql) ? QString() : q.lastError().nativeErrorCode();
    }
    // Rows the statement changed, or -1 when it failed.
    int changed(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        return q.exec(sql) ? q.numRowsAffected() : -1;
    }
    QVariant one(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

  private:
    QString m_name;
    QString m_failure;
};

} // namespace testing
