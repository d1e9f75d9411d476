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
    static bool ShowMsg(const QString& op, const QString& kind, const QString& subject);
    // The same for a box whose answer is more than Yes: the button chosen (Yes or No of a Yes/No
    // box, one of a box's choices, Ok of a notice). Cancel when no box could be shown or it was
    // closed without an answer (dismissAll).
    static MsgButton ShowChoice(const QString& op, const QString& kind, const QString& subject);

    // The session is ending without questions: every box still open closes unanswered, and no
    // box is shown for the rest of the process (each answers as closed: No, Cancel).
    static void dismissAll();
    static bool dismissed();

    // One per operation kind, each showing the rows of its own table.
    static bool Msg登録(const QString& kind, const QString& subject);
    static bool Msg転記(const QString& kind, const QString& subject);
    static bool Msg削除(const QString& kind, const QString& subject);
    static bool Msg入力(const QString& kind, const QString& subject);
    static bool Msg行指定(const QString& kind, const QString& subject);
    static bool Msgクリア(const QString& kind, const QString& subject);
    static bool Msg印刷(const QString& kind, const QString& subject);
    static bool Msgその他(const QString& kind, const QString& subject);

    // Shows an entry and answers the button chosen (true for Yes). Replaceable for tests; an
    // empty function restores the default (a real QMessageBox).
    using Presenter = std::function<MsgReply(const MsgSpec&)>;
    static void setPresenter(Presenter p);

  private:
    static bool show(const QString& op, const QString& kind, const QString& subject);
    static MsgButton present(const MsgSpec& entry);
};
