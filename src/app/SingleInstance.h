#pragma once
#include <QObject>

namespace app {

// One running instance per user and data folder: the first start holds a lock file and
// listens on a Unix socket, both in the user's private runtime folder; a later start asks it
// to come forward and leaves. Plain sockets, not QtNetwork, keep ten libraries out of every start.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance (and now listens).
    bool claim();
    // Asks the running instance to bring its window forward; waits at most timeoutMs.
    bool signalRunning(int timeoutMs = 1000);

    // The key of this installation (the executable's folder) for the current user.
    static QString defaultKey();
    // The key of a data folder for the current user: the same for every path that reaches it.
    static QString keyFor(const QString& folder);
    // The folder's path with every link resolved, as far as it exists.
    static QString realFolder(const QString& path);
    // Where the lock and the socket live: XDG_RUNTIME_DIR when it is the user's own and closed
    // to others (0700), otherwise a 0700 folder in the user's home; empty when neither is safe.
    static QString privateFolder();
    // The socket a running instance of key listens on.
    QString socketPath() const { return m_socketPath; }

  signals:
    void activationRequested();

  private:
    QString m_key;
    QString m_folder;
    // The lock file, held with flock for as long as this process lives: the kernel lets it go
    // however the process ends, so nothing is written in it and it is never stale.
    int m_lockFd = -1;
    int m_listener = -1; // the listening Unix socket of the first instance
    QString m_socketPath;
};

} // namespace app
