#pragma once
// The installed program's very first start: the user's data folder is made with the initial
// files, and the user is told once where it is.
#include "app/DataFolder.h"

namespace app {

enum class FirstStart { NotFirst, Made, Failed };

// Makes the user's data folder when this is the very first start; a failure is shown (naming the
// folder and the reason) and nothing of it is left. Any other folder is left to the usual checks.
FirstStart prepareDataFolder(const DataPaths& paths);

// Tells the user where the data now lives.
void tellFirstStart(const DataPaths& paths);

} // namespace app
