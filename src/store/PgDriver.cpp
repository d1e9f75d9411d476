#include "store/PgDriver.h"

#include <QSqlError>
#include <QSqlResult>

namespace store {
namespace {

class RefusedResult final : public QSqlResult {
  public:
    explicit RefusedResult(const QSqlDriver* d) : QSqlResult(d) {}

  protected:
    QVariant data(int) override { return {}; }
    bool isNull(int) override { return true; }
    bool reset(const QString&) override
    {
        setLastError(QSqlError(QStringLiteral("サーバーの文は store::Statement で実行します。"), QString(),
                               QSqlError::StatementError));
        return false;
    }
    bool fetch(int) override { return false; }
    bool fetchFirst() override { return false; }
    bool fetchLast() override { return false; }
    int size() override { return -1; }
    int numRowsAffected() override { return -1; }
};

} // namespace

PgDriver::~PgDriver() = default;

bool PgDriver::hasFeature(DriverFeature f) const
{
    return f == Transactions || f == Unicode;
}

bool PgDriver::open(const QString&, const QString&, const QString&, const QString&, int, const QString&)
{
    const Error e = m_session->connect();
    setOpen(e.ok());
    setOpenError(e.failed());
    setLastError(e.ok() ? QSqlError() : QSqlError(e.reason(), QString(), QSqlError::ConnectionError));
    return e.ok();
}

void PgDriver::close()
{
    m_session->disconnect();
    setOpen(false);
    setOpenError(false);
}

QSqlResult* PgDriver::createResult() const
{
    return new RefusedResult(this);
}

std::shared_ptr<PgSession> PgDriver::sessionOf(const QSqlDatabase& db)
{
    const auto* d = dynamic_cast<const PgDriver*>(db.driver());
    return d ? d->session() : nullptr;
}

} // namespace store
