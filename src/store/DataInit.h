#pragma once
// The initial state of the data: writing the initial files, and wiping the registered data back to it.
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>

namespace store {

// Writes the initial main and work files into folder (made when missing); a file already there is
// kept as it is. On failure, failedPath (when given) names the file or folder that could not be made.
Error createInitialFiles(const QString& folder, QString* failedPath = nullptr);

} // namespace store

namespace app {

// In one main transaction: every report line and header deleted, every code-master name set to
// Null with all its rows kept. On failure nothing of it remains. The work file is not touched.
store::Error initialiseData(const QSqlDatabase& main);

} // namespace app
