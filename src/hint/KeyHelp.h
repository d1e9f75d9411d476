#pragma once
// What a hint button shows while no hint is written behind it: the keys of its tab and what
// the tab's buttons do.
#include <QString>

namespace hint {

// The help of the tab the hint button ctlName stands on (cmdHint, cmdHint2, cmdHint3); empty
// for a button without one.
QString keyHelp(const QString& ctlName);

} // namespace hint
