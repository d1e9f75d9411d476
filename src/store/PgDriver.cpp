#include "store/PgDriver.h"

#include <QAbstractEventDispatcher>
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

PgDriver::PgDriver(const QString& conninfo) : m_session(std::make_shared<PgSession>(conninfo))
{
    connect(&m_idle, &QTimer::timeout, this, [this] { m_session->closeIfIdle(serverIdleMs()); });
}

PgDriver::~PgDriver() = default;

bool PgDriver::hasFeature(DriverFeature f) const
{
    return f == Transactions || f == Unicode;
}

bool PgDriver::open(const QString&, const QString&, const QString&, const QString&, int, const QString&)
{
    const Error e = m_session->connect();
    m_openFailure = e;
    // Checked from the thread's event loop; a session is never closed inside a transaction, and
    // closed between two statements the next one opens it again. A thread without an event loop
    // (a short job of its own) keeps its session until it closes it.
    const int idle = serverIdleMs();
    if (e.ok() && idle > 0 && QAbstractEventDispatcher::instance() && !m_idle.isActive())
        m_idle.start(qBound(20, idle / 4, 15000));
    setOpen(e.ok());
    setOpenError(e.failed());
    setLastError(e.ok() ? QSqlError() : QSqlError(e.reason(), QString(), QSqlError::ConnectionError));
    return e.ok();
}

void PgDriver::close()
{
    m_idle.stop();
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
