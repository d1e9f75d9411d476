#pragma once
#include <QString>

namespace app {

// Where both database files live. A developer's machine carries a marker file that points
// every build at one fixed folder; otherwise the data sits beside the executable.
struct DataPaths {
    QString dataFolder; // always ends in the separator
    QString mainDbPath;
    QString workDbPath;
};

QString markerFile();  // "c:\tqxdevelop.txt" on Windows, "/tqxdevelop.txt" elsewhere
QString fixedFolder(); // "c:\develop4\Tesvan\data\" on Windows, "/develop4/Tesvan/data/" elsewhere

// The marker counts only as an ordinary, non-hidden file.
DataPaths chooseDataFolder(const QString& marker, const QString& fixed, const QString& exeFolder);
DataPaths chooseDataFolder(const QString& exeFolder);

// The two files in a folder given outright, without the marker rule (tests, tools).
DataPaths dataPathsIn(const QString& folder);

} // namespace app
