#include "app/FirstStart.h"

#include "msg/Msg.h"

#include <QDir>

namespace app {

FirstStart prepareDataFolder(const DataPaths& paths)
{
    if (!isFirstStart(paths))
        return FirstStart::NotFirst;
    const store::Error e = makeUserDataFolder(paths);
    if (e.ok())
        return FirstStart::Made;
    Msg::ShowMsg(MsgId::その他_注意,
                 QStringLiteral("データフォルダを作成できないため、終了します。\n\n%1\n\n（原因）\n%2")
                     .arg(QDir::toNativeSeparators(paths.dataFolder), e.reason()));
    return FirstStart::Failed;
}

void tellFirstStart(const DataPaths& paths)
{
    Msg::ShowMsg(MsgId::その他_お知らせ,
                 QStringLiteral("初めての起動のため、データフォルダを作成し、初期状態のデータベースファイルを"
                                "置きました。日報とコードマスタはこのフォルダに保存されます。\n\n%1\n\n"
                                "バックアップは、設定・情報の「バックアップ」ボタンで作成できます"
                                "（動いている間でも作成できます）。")
                     .arg(QDir::toNativeSeparators(paths.dataFolder)));
}

} // namespace app
