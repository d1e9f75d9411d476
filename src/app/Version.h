#pragma once
#include <QString>

namespace app {

// The version has one home, the project's version in CMakeLists.txt; the caption and the
// package carry it from there.
inline const QString kVersion = QStringLiteral(TESVAN_VERSION);
inline const QString kCaption = QStringLiteral("営業日報 Tesvan Ver ") + kVersion;

} // namespace app
