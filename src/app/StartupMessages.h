#pragma once
// What the user reads when a data file cannot be used: each kind of problem with its own
// advice, so that an access problem or a full disk never invites replacing a good file.
#include "store/LocalFile.h"

#include <QString>

namespace app {

// The whole text of the box shown when the file at path stops the start.
QString openFailureText(const QString& path, const store::FileOpen& why, const QString& dataFolder);

// The text shown when the full check finds the open file at path damaged.
QString damageText(const QString& path, const store::Error& found, const QString& dataFolder);

// What to do with a damaged file: put back a backup (with the old log files moved aside, never
// deleted), or make the initial files.
QString restoreAdvice(const QString& path, const QString& dataFolder);

// The data folder is in use by another program (holder: who, as its lock file says, or empty).
QString folderInUseText(const QString& dataFolder, const QString& holder);
// The data folder's lock file cannot be opened by this user.
QString folderLockRefusedText(const QString& lockFile, const QString& reason);

} // namespace app
