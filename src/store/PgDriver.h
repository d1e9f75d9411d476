#pragma once
// Gives a server session a connection name like the local files have, so that every layer
// holds either kind of connection the same way (a QSqlDatabase by name). Nothing runs through
// Qt here: QSqlQuery on such a connection is refused, every statement goes through the store's
// PgSession.
#include "store/PgEngine.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTimer>

namespace store {

class PgDriver final : public QSqlDriver {
  public:
    explicit PgDriver(const QString& conninfo);
    ~PgDriver() override;

    bool hasFeature(DriverFeature f) const override;
    bool open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    QSqlResult* createResult() const override;

    const std::shared_ptr<PgSession>& session() const { return m_session; }
    // Why the last open failed, of its kind (QSqlError has no room for it).
    const Error& openFailure() const { return m_openFailure; }
    // The session behind db, or nullptr when db is not a server connection.
    static std::shared_ptr<PgSession> sessionOf(const QSqlDatabase& db);

  private:
    std::shared_ptr<PgSession> m_session;
    Error m_openFailure;
    QTimer m_idle; // closes the session once it sits unused (serverIdleMs)
};

} // namespace store
