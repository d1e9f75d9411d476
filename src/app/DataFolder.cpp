#include "app/DataFolder.h"

#include "store/DataInit.h"
#include "store/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace app {

QString markerFile()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\tqxdevelop.txt");
#else
    return QStringLiteral("/tqxdevelop.txt");
#endif
}

QString fixedFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\develop4\\Tesvan\\data\\");
#else
    return QStringLiteral("/develop4/Tesvan/data/");
#endif
}

QString userDataFolder(const QString& xdgDataHome, const QString& home)
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
    const QString base =
        QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome : home + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/tesvan")) + QLatin1Char('/');
}

QString userDataFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tesvan/");
#else
    return userDataFolder(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
#endif
}

DataPaths chooseDataFolder(const QString& marker, const QString& fixed, const QString& exeFolder,
                           const QString& userFolder)
{
    const QFileInfo m(marker);
    if (m.isFile() && !m.isHidden())
        return dataPathsIn(fixed);
#ifdef Q_OS_WIN
    const QString beside = exeFolder + QStringLiteral("\\data\\");
#else
    const QString beside = exeFolder + QStringLiteral("/data/");
#endif
    // Anything of that name, even a file or a broken link, means a copy that keeps its data beside
    // it: opening then fails with the usual message rather than silently using another folder.
    const QFileInfo b(QDir::cleanPath(beside));
    if (b.exists() || b.isSymLink())
        return dataPathsIn(beside);
    DataPaths p = dataPathsIn(userFolder);
    p.perUser = true;
    return p;
}

DataPaths dataPathsIn(const QString& folder)
{
    DataPaths p;
    p.dataFolder = folder;
    p.mainDbPath = p.dataFolder + store::kMainFileName;
    p.workDbPath = p.dataFolder + store::kWorkFileName;
    return p;
}

DataPaths givenDataFolder(const QString& folder)
{
    return dataPathsIn(QDir::cleanPath(QDir(folder).absolutePath()) + QLatin1Char('/'));
}

DataPaths chooseDataFolder(const QString& exeFolder)
{
    return chooseDataFolder(markerFile(), fixedFolder(), exeFolder, userDataFolder());
}

bool isFirstStart(const DataPaths& paths)
{
    const QFileInfo f(QDir::cleanPath(paths.dataFolder));
    return paths.perUser && !f.exists() && !f.isSymLink();
}

store::Error makeUserDataFolder(const DataPaths& paths)
{
    const QString folder = QDir::cleanPath(paths.dataFolder);
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return store::Error(
            QStringLiteral("フォルダ %1 を作成できません。").arg(QDir::toNativeSeparators(parent)));
    // Built under another name beside it and renamed when complete: a start that fails halfway
    // leaves no folder that the next start would refuse as lacking a file.
    QTemporaryDir building(folder + QStringLiteral(".new-XXXXXX"));
    if (!building.isValid())
        return store::Error(QStringLiteral("フォルダ %1 を作成できません: %2")
                                .arg(QDir::toNativeSeparators(parent), building.errorString()));
    if (const store::Error e = store::createInitialFiles(building.path()); e.failed())
        return e;
    if (QFileInfo::exists(folder) || !QDir().rename(building.path(), folder))
        return store::Error(
            QStringLiteral("フォルダ %1 を作成できません。").arg(QDir::toNativeSeparators(folder)));
    building.setAutoRemove(false);
    return {};
}

} // namespace app
