#pragma once
// Shows the catalogue's message boxes; the only place that builds one.
#include "msg/MsgCatalogue.h"

#include <QString>
#include <functional>

// What a presenter answers: Yes or No as a bool, or the button chosen.
struct MsgReply {
    MsgReply(bool yes) : button(yes ? MsgButton::Yes : MsgButton::No) {}
    MsgReply(MsgButton chosen) : button(chosen) {}
    MsgButton button;
};

class Msg {
  public:
    // The single way to show a message box. True only when a Yes/No box was answered Yes.
    static bool ShowMsg(MsgId id, const QString& subject);
    // The same for a box whose answer is more than Yes: the button chosen (Yes or No of a Yes/No
    // box, one of a box's choices, Ok of a notice). Cancel when the box was closed without an
    // answer (dismissAll).
    static MsgButton ShowChoice(MsgId id, const QString& subject);

    // The session is ending without questions: every box still open closes unanswered, and no
    // box is shown for the rest of the process (each answers as closed: No, Cancel).
    static void dismissAll();
    static bool dismissed();

    // Shows an entry and answers the button chosen (true for Yes). Replaceable for tests; an
    // empty function restores the default (a real QMessageBox).
    using Presenter = std::function<MsgReply(const MsgSpec&)>;
    static void setPresenter(Presenter p);

  private:
    static MsgButton present(const MsgSpec& entry);
};
