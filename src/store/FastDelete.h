#pragma once
// For one bulk deletion on a connection: pages the deletion frees are not overwritten with
// zeros. SQLite as Debian builds it overwrites and journals every freed page, which makes
// deleting a hundred thousand rows ten times slower. Deleted content in pages still in use is
// overwritten all the same; freed pages keep their old bytes until they are used again.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace store {

class FastDelete {
  public:
    explicit FastDelete(const QSqlDatabase& db) : m_db(db)
    {
        // A server keeps its own pages: nothing to set there.
        if (m_db.driverName() != QLatin1String("QSQLITE"))
            return;
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("PRAGMA secure_delete")) && q.next())
            m_before = q.value(0).toInt();
        q.finish();
        // A driver without the pragma simply keeps its own behaviour.
        if (m_before >= 0)
            q.exec(QStringLiteral("PRAGMA secure_delete = FAST"));
    }
    ~FastDelete()
    {
        if (m_before < 0)
            return;
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("PRAGMA secure_delete = %1").arg(m_before));
    }
    FastDelete(const FastDelete&) = delete;
    FastDelete& operator=(const FastDelete&) = delete;

  private:
    QSqlDatabase m_db;
    int m_before = -1;
};

} // namespace store
