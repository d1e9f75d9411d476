#pragma once
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

namespace app {

// One running instance per user: the first start holds a lock file and listens on a local
// socket; a later start asks it to come forward and leaves.
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
    static QString keyFor(const QString& installation);

signals:
    void activationRequested();

private:
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace app
