#include "app/DataFolder.h"

#include "store/Schema.h"

#include <QFileInfo>

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

DataPaths chooseDataFolder(const QString& marker, const QString& fixed, const QString& exeFolder)
{
    const QFileInfo m(marker);
    if (m.isFile() && !m.isHidden())
        return dataPathsIn(fixed);
#ifdef Q_OS_WIN
    return dataPathsIn(exeFolder + QStringLiteral("\\data\\"));
#else
    return dataPathsIn(exeFolder + QStringLiteral("/data/"));
#endif
}

DataPaths dataPathsIn(const QString& folder)
{
    DataPaths p;
    p.dataFolder = folder;
    p.mainDbPath = p.dataFolder + store::kMainFileName;
    p.workDbPath = p.dataFolder + store::kWorkFileName;
    return p;
}

DataPaths chooseDataFolder(const QString& exeFolder)
{
    return chooseDataFolder(markerFile(), fixedFolder(), exeFolder);
}

} // namespace app
