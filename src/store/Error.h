#pragma once
// The outcome of a database operation: success, or the reason it failed and its kind. The kind
// comes from the engine's code (SQLite's result code, the server's SQLSTATE, an errno) and is
// what the program decides on; the reason is the text shown, never read for a decision.
#include <QString>

#include <QSqlError>

namespace store {

enum class ErrorKind {
    None,         // success
    Locked,       // another program or session holds the file or the row: trying again will do
    Busy,         // the server cut a wait short; nothing of the operation was kept
    TimedOut,     // the server did not answer in time; nothing of the operation was kept
    ServerGone,   // the server's session was lost (stopped, restarted, network)
    Full,         // no room left on the disk
    Damaged,      // the file's pages are not consistent
    NotOurs,      // not a database file of this program
    ForeignLog,   // a write-ahead log beside the file was written on another file
    UncertainLog, // a write-ahead log beside the file the program cannot place
    Missing,      // the file or its folder is not there
    Access,       // a right is missing, or the place is read-only
    Refused,      // the server refused the operation to this member (rights)
    Other
};

class Error {
  public:
    Error() = default;
    // An empty reason is success; any other is a failure of the kind (Other unless told).
    explicit Error(const QString& reason, ErrorKind kind = ErrorKind::Other)
        : m_reason(reason), m_kind(reason.isEmpty() ? ErrorKind::None : kind)
    {
    }
    Error(const char*) = delete;

    // The error the Qt driver reports, of the kind its native code names.
    static Error of(const QSqlError& e);
    // A SQLite result code (primary or extended), or a server's SQLSTATE, as a kind.
    static ErrorKind kindOfSqlite(int code);
    static ErrorKind kindOfState(const char* sqlstate);
    // An errno from the file system.
    static ErrorKind kindOfErrno(int err);

    bool ok() const { return m_kind == ErrorKind::None; }
    bool failed() const { return m_kind != ErrorKind::None; }
    ErrorKind kind() const { return m_kind; }
    // Another holds what the operation needs (a lock, or a wait the server cut short).
    bool isLocked() const
    {
        return m_kind == ErrorKind::Locked || m_kind == ErrorKind::Busy || m_kind == ErrorKind::TimedOut;
    }
    bool isServerBusy() const { return m_kind == ErrorKind::Busy || m_kind == ErrorKind::TimedOut; }
    const QString& reason() const { return m_reason; }

    friend bool operator==(const Error& a, const QString& reason) { return a.m_reason == reason; }

  private:
    QString m_reason;
    ErrorKind m_kind = ErrorKind::None;
};

// For test output.
char* toString(const Error& e);
char* toString(ErrorKind k);

} // namespace store
