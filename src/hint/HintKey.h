#pragma once
// The three values a hint button hands to the hint window: which window and which button the
// hint belongs to, and the window's caption at the click. Written by the button, read when the
// hint window loads; they live as long as the process.
#include <QString>

namespace hint {

struct HintKey {
    QString HintFormName;
    QString HintCtlName;
    QString HintFormTitle;
    // What the user knows the button by: the caption of the tab it stands on.
    QString tabCaption;
};

// The one set of values of the process.
HintKey& sharedKey();

} // namespace hint
