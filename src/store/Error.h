#pragma once
// The outcome of a database operation: success, or the reason it failed. A lock (another
// program holds the file or the row) is told apart, since the user can simply try again.
#include <QString>

#include <QSqlError>

namespace store {

class Error {
  public:
    Error() = default;
    // An empty reason is success.
    explicit Error(const QString& reason, bool locked = false)
        : m_reason(reason), m_locked(locked && !reason.isEmpty())
    {
    }
    Error(const char*) = delete;

    static Error of(const QSqlError& e);
    // The server cut a wait short (another user holds what the operation needs): nothing of the
    // operation was kept, and trying again shortly will do.
    static Error busy(const QString& reason);

    bool ok() const { return m_reason.isEmpty(); }
    bool failed() const { return !m_reason.isEmpty(); }
    bool isLocked() const { return m_locked; }
    bool isServerBusy() const { return m_busy; }
    const QString& reason() const { return m_reason; }

    friend bool operator==(const Error& a, const QString& reason) { return a.m_reason == reason; }

  private:
    QString m_reason;
    bool m_locked = false;
    bool m_busy = false;
};

// For test output.
char* toString(const Error& e);

} // namespace store
