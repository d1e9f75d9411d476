#pragma once
#include "app/Version.h"

#include <QString>

#include <memory>

class QApplication;
class QCoreApplication;
class QWidget;

namespace app {

struct DataPaths;

// The application's start-up: single instance, load, show, event loop. Returns the exit code.
// Without paths, the data folder follows the usual rule.
int runTesvan(QApplication& qapp);
int runTesvan(QApplication& qapp, const DataPaths& paths);

// Ends the run that owns window with exit code 0, whatever else is still open; null does nothing.
void TerminateWindowProcess(QWidget* window);

// Installs Qt's Japanese translation of its own texts; false when it is not installed.
bool loadQtTranslation(QCoreApplication& qapp);

// The note on screen while a main file from before the search index gets it (at its first
// start with this version): the caller keeps it as long as the work lasts.
std::unique_ptr<QWidget> showIndexBuildNote();

// House look: a Japanese font and the Fusion style, same on every machine.
void applyLook(QApplication& qapp);

} // namespace app
