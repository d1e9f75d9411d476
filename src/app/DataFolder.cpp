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
    DataPaths p;
    if (m.isFile() && !m.isHidden()) {
        p.dataFolder = fixed;
    } else {
#ifdef Q_OS_WIN
        p.dataFolder = exeFolder + QStringLiteral("\\data\\");
#else
        p.dataFolder = exeFolder + QStringLiteral("/data/");
#endif
    }
    p.mainDbPath = p.dataFolder + store::kMainFileName;
    p.workDbPath = p.dataFolder + store::kWorkFileName;
    return p;
}

DataPaths chooseDataFolder(const QString& exeFolder)
{
    return chooseDataFolder(markerFile(), fixedFolder(), exeFolder);
}

} // namespace app
