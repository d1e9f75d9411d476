#pragma once
// Wiping the registered data back to the initial state.
#include "store/Error.h"

#include <QSqlDatabase>

namespace app {

// In one main transaction: every report line and header deleted, every code-master name set to
// Null with all its rows kept. On failure nothing of it remains. The work file is not touched.
store::Error initialiseData(const QSqlDatabase& main);

} // namespace app
