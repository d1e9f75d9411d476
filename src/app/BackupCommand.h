#pragma once
// tesvan --backup FILE: a backup of the main file from the command line, for cron: no display,
// no window, and it may run while the program works on the same folder.
#include "app/CommandLine.h"

namespace app {

// Writes the backup asked for by cmd (with its data folder, or the usual one), prints what was
// done or why not, and returns the exit code: 0 done, 1 not done.
int runBackup(const CommandLine& cmd, Language lang);

} // namespace app
