#pragma once
#include <QString>

namespace app {

// One program on one data folder, whatever path or user reaches it: an exclusive lock (flock)
// on a file of its own in the folder, Tesvan.lock, held for the whole session and removed when
// let go. The kernel lets the lock go however the process ends, so a file left by a killed
// program is never a stale lock. Never a lock on a database file: SQLite's locks there are
// POSIX locks, which a second descriptor of the file would drop.
class FolderLock {
  public:
    enum class State {
        Held,      // this process holds the folder
        Taken,     // another program holds it
        Refused,   // the lock file is there and this user may not open it (error() says why)
        Unlockable // no lock can be had there (a missing or read-only folder, a file system
                   // without locks): opening the files says what is wrong, if anything
    };

    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Tries once, without waiting.
    State take();
    // Lets it go (the destructor does too).
    void release();
    // Who holds the folder, as the holder wrote it in the lock file ("user@host, pid n"); empty
    // when it is not known.
    QString holder() const;

    QString error() const { return m_error; }
    QString path() const { return m_path; }

    static QString fileIn(const QString& folder);

  private:
    State tryOnce();

    QString m_path;
    QString m_error;
    int m_fd = -1;
};

} // namespace app
