#pragma once
// A message box presenter for tests that show the window: records boxes, answers from a script.
#include "msg/Msg.h"

#include <QList>

namespace testing {

// Records every box shown and answers from a script (true = Yes); an empty script answers
// by the box's default button.
struct ScriptedBoxes {
    QList<MsgSpec> shown;
    QList<bool> answers;
    ScriptedBoxes()
    {
        Msg::setPresenter([this](const MsgSpec& s) {
            shown << s;
            if (!answers.isEmpty())
                return answers.takeFirst();
            return s.yesNo && !s.defaultNo;
        });
    }
    ~ScriptedBoxes() { Msg::setPresenter({}); }
};

} // namespace testing
