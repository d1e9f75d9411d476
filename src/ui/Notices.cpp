#include "ui/Notices.h"

#include "msg/Msg.h"

#include <QWidget>

namespace app {

QString failureText(const QString& what, const store::Error& e)
{
    QString text = what + QStringLiteral("できませんでした。\n");
    if (e.isServerBusy())
        text += QStringLiteral("他のユーザーが作業中です。しばらく待ってから、もう一度実行してください。\n");
    else if (e.isLocked())
        text += QStringLiteral("他のプログラムがデータベースファイルを使用中です。しばらく待ってから、もう一"
                               "度実行してください。\n");
    else
        text += QStringLiteral("下の原因を確かめてから、もう一度実行してください。\n");
    return text + QStringLiteral("\n（データベースの応答）\n") + e.reason();
}

void tellFailure(const QString& what, const store::Error& e)
{
    Msg::ShowMsg(MsgId::その他_注意, failureText(what, e));
}

bool requireField(bool given, const QString& notice, QWidget* focus)
{
    if (given)
        return true;
    Msg::ShowMsg(MsgId::その他_メッセージ, notice);
    if (focus)
        focus->setFocus();
    return false;
}

} // namespace app
