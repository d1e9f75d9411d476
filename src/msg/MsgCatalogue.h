#pragma once
// The fixed catalogue of every confirmation, warning and notice box of the application.
#include <QList>
#include <QString>

// Every box of the catalogue, by its operation and kind.
enum class MsgId {
    登録_確認,
    登録_データ確認,
    登録_コード指定,
    登録_完了,
    登録_完了2,
    登録_チェック,
    登録_商品未登録,
    登録_データなし,
    登録_未登録,
    登録_他者変更,
    登録_他者の日報,
    登録_承認済,

    転記_確認,

    削除_確認,
    削除_確認2,
    削除_伝票確認2,
    削除_データ確認,
    削除_指定確認,
    削除_伝票完了,
    削除_削除不可能,
    削除_伝票完了2,
    削除_完了,
    削除_削除不可,
    削除_他者の日報,
    削除_他者変更,

    入力_上行空白,
    入力_区分なし,
    入力_必須入力なし,
    入力_重複,
    入力_範囲外,
    入力_数字のみ,
    入力_値不正,

    行指定_無効行,
    行指定_指定なし,
    行指定_重複,
    行指定_余白なし,

    クリア_確認,

    印刷_確認,

    その他_コピー完了,
    その他_読込み完了,
    その他_メッセージ,
    その他_注意,
    その他_ファイルなし,
    その他_行数超過,
    その他_確認,
    その他_日報なし,
    その他_変更あり,
    その他_お知らせ,
    その他_文字コード,
    その他_検索日報なし,
    その他_保存先なし,
    その他_保存先権限なし,
    その他_容量不足,
    その他_前回なし,
    その他_復元,
    その他_索引作成中,
};
inline constexpr int kMsgIdCount = int(MsgId::その他_索引作成中) + 1;

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
    // The box id shows with subject.
    static MsgSpec describe(MsgId id, const QString& subject);
};
