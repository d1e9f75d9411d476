#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace app {
namespace {
const QByteArray kRaise = "raise\n";

// The socket's address: a path in the user's private runtime folder, named by the key.
bool addressOf(const QString& path, sockaddr_un& a)
{
    const QByteArray p = QFile::encodeName(path);
    if (p.size() >= qsizetype(sizeof(a.sun_path)))
        return false;
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
    return true;
}

// Reads what a client sent, waiting briefly for it: a client writes its one line at once.
QByteArray readMessage(int fd)
{
    QByteArray got;
    char buf[64];
    for (int tries = 0; tries < 10 && !got.contains('\n'); ++tries) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

// A folder only this user can enter: owned by the user, a real folder (not a link), and
// closed to everyone else.
bool isPrivateFolder(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || !QDir::isAbsolutePath(path) ||
        ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// A file in the private folder that this user did not make (only an administrator could put
// it there) is not a lock or a socket of ours: it goes.
void removeIfNotOurs(const QString& path)
{
    struct stat st;
    const QByteArray p = QFile::encodeName(path);
    if (::lstat(p.constData(), &st) == 0 && st.st_uid != ::geteuid())
        ::unlink(p.constData());
}

} // namespace

QString SingleInstance::privateFolder()
{
    // The session's runtime folder, when it is what it should be: 0700 and the user's own.
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (isPrivateFolder(runtime))
        return runtime;
    // Otherwise a folder of the user's own under the home folder, never the shared /tmp, where
    // anyone can make the names another user will look for.
    QString home = QString::fromLocal8Bit(qgetenv("HOME"));
    if (home.isEmpty())
        home = QDir::homePath();
    const QString folder = home + QStringLiteral("/.cache/PrjTesvan-run");
    const QByteArray f = QFile::encodeName(folder);
    QDir().mkpath(home + QStringLiteral("/.cache"));
    if (::mkdir(f.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st;
    if (::lstat(f.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(f.constData(), 0700);
    return isPrivateFolder(folder) ? folder : QString();
}

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), m_key(key), m_folder(privateFolder())
{
    if (!m_folder.isEmpty())
        m_socketPath = QDir(m_folder).filePath(key);
}

SingleInstance::~SingleInstance()
{
    if (m_listener >= 0) {
        ::close(m_listener);
        QFile::remove(m_socketPath);
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::defaultKey()
{
    return keyFor(QCoreApplication::applicationDirPath());
}

QString SingleInstance::realFolder(const QString& path)
{
    // The nearest folder that exists, with its links resolved, and the rest as written: a
    // folder the first start is about to make keeps its key once it is made.
    QString known = QDir::cleanPath(QDir(path).absolutePath());
    QString rest;
    while (true) {
        const QString real = QFileInfo(known).canonicalFilePath();
        if (!real.isEmpty())
            return real == QLatin1String("/") && !rest.isEmpty() ? rest : real + rest;
        const qsizetype slash = known.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QDir::cleanPath(QDir(path).absolutePath());
        rest = known.mid(slash) + rest;
        known = slash == 0 ? QStringLiteral("/") : known.left(slash);
    }
}

QString SingleInstance::keyFor(const QString& folder)
{
    // Per user, so two accounts on one machine do not see each other (the data folder's own
    // lock keeps them apart), and per data folder by its real path, so a link to it or another
    // spelling of it is the same folder.
    const QByteArray user = qgetenv("USER").isEmpty() ? qgetenv("USERNAME") : qgetenv("USER");
    const QByteArray real = realFolder(folder).toUtf8();
    const QByteArray h =
        QCryptographicHash::hash("PrjTesvan/" + user + '/' + real, QCryptographicHash::Sha1).toHex();
    return QStringLiteral("PrjTesvan-") + QString::fromLatin1(h.left(12));
}

bool SingleInstance::claim()
{
    // Without a private folder there is nowhere safe to meet: this start runs on its own.
    if (m_folder.isEmpty())
        return true;
    const QString lockPath = QDir(m_folder).filePath(m_key + QStringLiteral(".lock"));
    removeIfNotOurs(lockPath);
    removeIfNotOurs(m_socketPath);
    const int lock =
        ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0)
        return true; // as without a private folder
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        // Held: another instance runs. Any other failure: as without a private folder.
        const bool held = errno == EWOULDBLOCK;
        ::close(lock);
        return !held;
    }
    m_lockFd = lock;
    QFile::remove(m_socketPath); // a socket left by a crashed run
    sockaddr_un a;
    if (!addressOf(m_socketPath, a))
        return true; // the lock alone still keeps a second instance out
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;
    // Only this user may ask the window to come forward.
    const mode_t old = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return true;
    }
    m_listener = fd;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        for (;;) {
            const int c = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                break;
            const bool raise = readMessage(c).contains("raise");
            ::close(c);
            if (raise)
                emit activationRequested();
        }
    });
    return true;
}

bool SingleInstance::signalRunning(int timeoutMs)
{
    // The first instance may still be starting: retry until it listens.
    QDeadlineTimer deadline(timeoutMs);
    sockaddr_un a;
    if (m_socketPath.isEmpty() || !addressOf(m_socketPath, a))
        return false;
    while (!deadline.hasExpired()) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
            const bool ok = ::write(fd, kRaise.constData(), size_t(kRaise.size())) == kRaise.size();
            ::close(fd);
            return ok;
        }
        ::close(fd);
        QThread::msleep(50);
    }
    return false;
}

} // namespace app
