#pragma once
// A message box presenter for tests that show the window: records boxes, answers from a script.
#include "msg/Msg.h"

#include <QList>

namespace testing {

// Records every box shown and answers from a script (true = Yes, or the button chosen); an
// empty script answers by the box's default button.
struct ScriptedBoxes {
    QList<MsgSpec> shown;
    QList<MsgReply> answers;
    QString skip; // boxes of this caption are answered by default and not recorded
    ScriptedBoxes()
    {
        Msg::setPresenter([this](const MsgSpec& s) {
            if (!skip.isEmpty() && s.title == skip)
                return MsgReply(s.yesNo && !s.defaultNo);
            shown << s;
            if (!answers.isEmpty())
                return answers.takeFirst();
            if (!s.choices.isEmpty())
                return MsgReply(s.choices.last().button);
            return MsgReply(s.yesNo && !s.defaultNo);
        });
    }
    ~ScriptedBoxes() { Msg::setPresenter({}); }
};

} // namespace testing
