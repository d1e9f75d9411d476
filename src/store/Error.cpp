#include "store/Error.h"

#include <QSqlError>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>

namespace store {

ErrorKind Error::kindOfSqlite(int code)
{
    // The primary code is the low byte of an extended one (SQLITE_BUSY_SNAPSHOT is 517).
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ErrorKind::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrorKind::Locked;
    case SQLITE_FULL:
        return ErrorKind::Full;
    case SQLITE_CORRUPT:
        return ErrorKind::Damaged;
    case SQLITE_NOTADB:
        return ErrorKind::NotOurs;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return ErrorKind::Access;
    default:
        return ErrorKind::Other;
    }
}

ErrorKind Error::kindOfState(const char* state)
{
    if (!state || !*state)
        return ErrorKind::Other;
    const auto is = [state](const char* s) { return std::strcmp(state, s) == 0; };
    // lock_not_available (lock_timeout), query_canceled (statement_timeout), deadlock_detected,
    // serialization_failure: a wait cut short or lost to another session.
    if (is("55P03") || is("57014") || is("40P01") || is("40001"))
        return ErrorKind::Busy;
    // connection_exception (class 08), admin_shutdown, crash_shutdown, cannot_connect_now.
    if (std::strncmp(state, "08", 2) == 0 || is("57P01") || is("57P02") || is("57P03"))
        return ErrorKind::ServerGone;
    if (is("42501"))
        return ErrorKind::Refused;
    if (is("53100"))
        return ErrorKind::Full;
    return ErrorKind::Other;
}

ErrorKind Error::kindOfErrno(int err)
{
    switch (err) {
    case 0:
        return ErrorKind::Other;
    case ENOSPC:
    case EDQUOT:
        return ErrorKind::Full;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::Access;
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::Missing;
    default:
        return ErrorKind::Other;
    }
}

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
    // SQLite's driver gives the result code as a number (four digits at most), a server its
    // SQLSTATE (five characters, often digits only).
    const QString code = e.nativeErrorCode();
    bool numeric = false;
    const int n = code.toInt(&numeric);
    const ErrorKind kind =
        numeric && code.size() < 5 ? kindOfSqlite(n) : kindOfState(code.toLatin1().constData());
    return Error(t, kind == ErrorKind::None ? ErrorKind::Other : kind);
}

namespace {

char* copied(const QString& s)
{
    const QByteArray text = s.toUtf8();
    char* out = new char[text.size() + 1];
    std::memcpy(out, text.constData(), size_t(text.size()) + 1);
    return out;
}

const char* nameOf(ErrorKind k)
{
    switch (k) {
    case ErrorKind::None:
        return "None";
    case ErrorKind::Locked:
        return "Locked";
    case ErrorKind::Busy:
        return "Busy";
    case ErrorKind::TimedOut:
        return "TimedOut";
    case ErrorKind::ServerGone:
        return "ServerGone";
    case ErrorKind::Full:
        return "Full";
    case ErrorKind::Damaged:
        return "Damaged";
    case ErrorKind::NotOurs:
        return "NotOurs";
    case ErrorKind::ForeignLog:
        return "ForeignLog";
    case ErrorKind::UncertainLog:
        return "UncertainLog";
    case ErrorKind::Missing:
        return "Missing";
    case ErrorKind::Access:
        return "Access";
    case ErrorKind::Refused:
        return "Refused";
    case ErrorKind::Other:
        return "Other";
    }
    return "?";
}

} // namespace

char* toString(const Error& e)
{
    return copied(e.ok() ? QStringLiteral("<ok>") : e.reason());
}

char* toString(ErrorKind k)
{
    return copied(QString::fromLatin1(nameOf(k)));
}

} // namespace store
