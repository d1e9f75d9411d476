#pragma once
// Kept apart from start-up (Application), which includes the main window: the window ends its
// run through this without including start-up back.
#include <QCoreApplication>
#include <QWidget>

namespace app {

// Ends the run that owns window with exit code 0, whatever else is still open; null does nothing.
inline void TerminateWindowProcess(QWidget* window)
{
    if (window)
        QCoreApplication::exit(0);
}

} // namespace app
