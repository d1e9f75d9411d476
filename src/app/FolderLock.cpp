#include "app/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {
namespace {

QString userName()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::geteuid());
}

// The holder's name goes with the holder; nothing depends on it.
void forget(int fd)
{
    if (::ftruncate(fd, 0) != 0)
        return;
}

} // namespace

QString FolderLock::fileIn(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("Tesvan.lock"));
}

FolderLock::FolderLock(const QString& folder) : m_path(fileIn(folder))
{
}

FolderLock::~FolderLock()
{
    release();
}

FolderLock::State FolderLock::take()
{
    if (m_fd >= 0)
        return State::Held;
    // The file goes with its holder; one made again by another start meanwhile is another lock,
    // so the lock counts only on the file the name still names.
    for (int tries = 0; tries < 5; ++tries) {
        const State s = tryOnce();
        if (s != State::Held)
            return s;
        struct stat held, named;
        if (::fstat(m_fd, &held) == 0 && ::stat(QFile::encodeName(m_path).constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return State::Held;
        ::close(m_fd);
        m_fd = -1;
    }
    return State::Unlockable;
}

FolderLock::State FolderLock::tryOnce()
{
    m_error.clear();
    const QByteArray p = QFile::encodeName(m_path);
    bool writable = true;
    int fd = ::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        writable = false;
        fd = ::open(p.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        const int err = errno;
        // A missing or read-only folder holds no lock file: the files' open tells the user.
        const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
        if (err == ENOENT || err == ENOTDIR || err == EROFS || ::access(folder.constData(), W_OK) != 0)
            return State::Unlockable;
        m_error = QString::fromLocal8Bit(std::strerror(err));
        return State::Refused;
    }
    // Every user who works in the folder must be able to open the lock, whoever made it.
    struct stat st;
    if (writable && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0666) != 0666)
        ::fchmod(fd, 0666);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return taken ? State::Taken : State::Unlockable;
    }
    m_fd = fd;
    if (writable) {
        // For the message another start shows; the lock itself is the flock.
        const QByteArray who =
            (QStringLiteral("%1@%2, pid %3\n").arg(userName(), QSysInfo::machineHostName()).arg(::getpid()))
                .toUtf8();
        if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, who.constData(), size_t(who.size()), 0) < 0)
            forget(fd);
    }
    return State::Held;
}

void FolderLock::release()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that the folder is left as it was found.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

QString FolderLock::holder() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(200)).trimmed();
}

} // namespace app
