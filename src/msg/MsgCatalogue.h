#pragma once
// The fixed catalogue of every confirmation, warning and notice box of the application.
#include <QList>
#include <QString>
#include <optional>

// A button a box is answered with.
enum class MsgButton { Ok, Yes, No, Register, Discard, Cancel };

struct MsgChoice {
    MsgButton button;
    QString text;
};

// One box as the user sees it: caption, assembled text, buttons, icon and default button.
struct MsgSpec {
    enum class Icon { Question, Exclamation, Information };
    QString title;
    QString text;       // fully assembled, subject inserted unchanged
    bool yesNo = false; // false: OK alone, or the choices below
    Icon icon = Icon::Information;
    bool defaultNo = false; // default button is No (only for Yes/No boxes)
    int style = 0;          // the Windows message-box style value (0x24, 0x124, 0x40, 0x30 ...)
    // A box of buttons of its own (登録する / 破棄する / キャンセル) instead of OK or Yes/No, in
    // order: the last is the default and what Escape or closing the box answers (the one that
    // changes nothing: registering can replace a stored report, discarding loses what was typed).
    QList<MsgChoice> choices;
};

class MsgCatalogue {
  public:
    // The box that (operation kind, message kind, subject) shows; nullopt when no entry matches.
    // Both kinds compare exactly and case-sensitively; the first matching row wins.
    static std::optional<MsgSpec> describe(const QString& op, const QString& kind, const QString& subject);
};
