#pragma once
#include <QString>

class QApplication;

namespace app {

inline const QString kVersion = QStringLiteral("1.20");
inline const QString kCaption = QStringLiteral("営業日報 Tesvan Ver ") + kVersion;

// The application's start-up: single instance, load, show, event loop. Returns the exit code.
int runTesvan(QApplication& qapp);

// House look: a Japanese font and the Fusion style, same on every machine.
void applyLook(QApplication& qapp);

} // namespace app
