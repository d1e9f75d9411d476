#pragma once
#include "store/Error.h"

#include <QString>

namespace app {

// Where both database files live. A developer's machine carries a marker file that points
// every build at one fixed folder; a build folder or a portable copy keeps its data beside the
// executable; an installed program keeps each user's data in the user's own data folder.
struct DataPaths {
    QString dataFolder; // always ends in the separator
    QString mainDbPath;
    QString workDbPath;
    bool perUser = false; // the user's own data folder, which the very first start may create
};

QString markerFile();  // "c:\tqxdevelop.txt" on Windows, "/tqxdevelop.txt" elsewhere
QString fixedFolder(); // "c:\develop4\Tesvan\data\" on Windows, "/develop4/Tesvan/data/" elsewhere

// $XDG_DATA_HOME/tesvan/, or ~/.local/share/tesvan/ when that is unset or not absolute.
QString userDataFolder(const QString& xdgDataHome, const QString& home);
QString userDataFolder(); // from the environment

// The marker counts only as an ordinary, non-hidden file. Without it: the data/ folder beside
// the executable when there is anything of that name, else the user's folder.
DataPaths chooseDataFolder(const QString& marker, const QString& fixed, const QString& exeFolder,
                           const QString& userFolder);
DataPaths chooseDataFolder(const QString& exeFolder);

// The two files in a folder given outright, without the marker rule (tests, tools).
DataPaths dataPathsIn(const QString& folder);
// A folder named on the command line: made absolute, with the separator added.
DataPaths givenDataFolder(const QString& folder);

// True when paths is the user's own folder and nothing of that name exists yet.
bool isFirstStart(const DataPaths& paths);
// Makes the user's folder with both initial files, all at once: on failure nothing of it is left,
// so the next start tries again. Never touches a folder that exists.
store::Error makeUserDataFolder(const DataPaths& paths);

} // namespace app
