#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace app {
namespace {
const QByteArray kRaise = "raise\n";
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), m_key(key)
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("raise"))
                    emit activationRequested();
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey()
{
    return keyFor(QCoreApplication::applicationDirPath());
}

QString SingleInstance::keyFor(const QString& installation)
{
    // Per user, so two accounts on one machine do not see each other, and per installation,
    // so another copy of the program with its own data folder is not taken for this one.
    const QByteArray user = qgetenv("USER").isEmpty() ? qgetenv("USERNAME") : qgetenv("USER");
    const QByteArray folder = QDir::cleanPath(QDir(installation).absolutePath()).toUtf8();
    const QByteArray h =
        QCryptographicHash::hash("PrjTesvan/" + user + '/' + folder, QCryptographicHash::Sha1).toHex();
    return QStringLiteral("PrjTesvan-") + QString::fromLatin1(h.left(12));
}

bool SingleInstance::claim()
{
    m_lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(m_key + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0); // stale only when its process is gone
    if (!m_lock->tryLock(0))
        return false;
    QLocalServer::removeServer(m_key); // a socket left by a crashed run
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_key);
    return true;
}

bool SingleInstance::signalRunning(int timeoutMs)
{
    // The first instance may still be starting: retry until it listens.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket s;
        s.connectToServer(m_key);
        if (s.waitForConnected(qMax<qint64>(1, deadline.remainingTime()))) {
            s.write(kRaise);
            const bool ok = s.waitForBytesWritten(qMax<qint64>(1, deadline.remainingTime()));
            s.disconnectFromServer();
            return ok;
        }
        QThread::msleep(50);
    }
    return false;
}

} // namespace app
