#include "store/Error.h"

#include <QSqlError>
#include <cstring>

namespace store {
namespace {

// SQLite's SQLITE_BUSY and SQLITE_LOCKED, also as an extended code (SQLITE_BUSY_SNAPSHOT is
// 517); PostgreSQL's lock_not_available, deadlock_detected and serialization_failure.
bool isLockCode(const QString& code)
{
    bool numeric = false;
    const int n = code.toInt(&numeric);
    if (numeric)
        return (n & 0xff) == 5 || (n & 0xff) == 6;
    return code == QLatin1String("55P03") || code == QLatin1String("40P01") || code == QLatin1String("40001");
}

} // namespace

Error Error::of(const QSqlError& e)
{
    if (!e.isValid())
        return {};
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty())
        t = d;
    else if (!d.isEmpty() && !t.contains(d))
        t += QStringLiteral(" (") + d + QStringLiteral(")");
    if (t.isEmpty())
        t = QStringLiteral("不明なエラー");
    return Error(t, isLockCode(e.nativeErrorCode()));
}

Error Error::busy(const QString& reason)
{
    Error e(reason.isEmpty() ? QStringLiteral("待ち時間を超えました") : reason, true);
    e.m_busy = true;
    return e;
}

char* toString(const Error& e)
{
    const QByteArray text = (e.ok() ? QStringLiteral("<ok>") : e.reason()).toUtf8();
    char* out = new char[text.size() + 1];
    std::memcpy(out, text.constData(), size_t(text.size()) + 1);
    return out;
}

} // namespace store
