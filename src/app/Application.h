#pragma once
#include "app/Version.h"

#include <QString>

#include <memory>

class QApplication;
class QCoreApplication;
class QWidget;

namespace app {

struct DataPaths;
class FolderLock;

// The application's start-up: single instance, load, show, event loop. Returns the exit code.
// Without paths, the data folder follows the usual rule.
int runTesvan(QApplication& qapp);
int runTesvan(QApplication& qapp, const DataPaths& paths);

// Takes the data folder's lock for the session; when another program holds it (or this user may
// not open it) says so and returns false.
bool holdFolder(FolderLock& lock, const DataPaths& paths);

// Installs Qt's Japanese translation of its own texts; false when it is not installed.
bool loadQtTranslation(QCoreApplication& qapp);

// House look: a Japanese font and the Fusion style, same on every machine.
void applyLook(QApplication& qapp);

} // namespace app
