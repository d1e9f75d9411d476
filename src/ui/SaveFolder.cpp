#include "ui/SaveFolder.h"

#include "msg/Msg.h"
#include "ui/Notices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <unistd.h>

namespace app {
namespace {

QString& lastFolder()
{
    static QString folder;
    return folder;
}

bool isFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool writable(const QString& path)
{
    // access() asks the kernel, which knows a read-only mount and every kind of rights.
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// Less room than this where a file went is taken for the reason it could not be written.
constexpr qint64 kLowRoom = 1024 * 1024;

} // namespace

QString suggestedSaveFolder()
{
    if (isFolder(lastFolder()))
        return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (isFolder(documents))
        return documents;
    return QDir::homePath();
}

void rememberSaveFolder(const QString& path)
{
    lastFolder() = QFileInfo(path).absolutePath();
}

SaveProblem saveProblemAt(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!isFolder(folder))
        return SaveProblem::NoFolder;
    if (!writable(folder) || (file.exists() && !writable(path)))
        return SaveProblem::NoRights;
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < kLowRoom)
        return SaveProblem::DiskFull;
    return SaveProblem::None;
}

void tellSaveFailure(const QString& what, const QString& path, const store::Error& e)
{
    const QFileInfo file(path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    switch (saveProblemAt(path)) {
    case SaveProblem::NoFolder:
        Msg::ShowMsg(MsgId::その他_保存先なし, folder);
        return;
    case SaveProblem::NoRights:
        Msg::ShowMsg(MsgId::その他_保存先権限なし,
                     file.exists() && isFolder(file.absolutePath()) && writable(file.absolutePath())
                         ? QDir::toNativeSeparators(file.absoluteFilePath())
                         : folder);
        return;
    case SaveProblem::DiskFull:
        Msg::ShowMsg(MsgId::その他_容量不足, QDir::toNativeSeparators(path));
        return;
    case SaveProblem::None:
        tellFailure(what, e);
        return;
    }
}

} // namespace app
