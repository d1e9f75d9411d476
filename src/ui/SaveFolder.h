#pragma once
// Where the program's files are saved (CSV, PDF, backups): the folder a save dialog opens in,
// and what to tell when a file could not be written there.
#include "store/Error.h"

#include <QString>

namespace app {

// The folder a file was last saved into, while it exists; else the documents folder when it
// exists; else the home folder. Always a folder that exists when it is asked for.
QString suggestedSaveFolder();
// A file was chosen at path: its folder is the next suggestion (of every kind of file).
void rememberSaveFolder(const QString& path);

enum class SaveProblem {
    None,     // nothing the file system tells: the operation's own reason stands
    NoFolder, // the folder of the file is not there (or is not a folder)
    NoRights, // the folder, or the file that is there, cannot be written by this user
    DiskFull, // too little room left where the file goes
};
// Why writing a file at path may have failed, as the file system tells now.
SaveProblem saveProblemAt(const QString& path);

// what (e.g. "CSV ファイルを書き出し") could not be done for the file at path: the catalogue's
// notice names the folder, the rights or the disk when one of those is why, else tellFailure.
void tellSaveFailure(const QString& what, const QString& path, const store::Error& e);

} // namespace app
