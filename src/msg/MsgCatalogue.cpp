#include "msg/MsgCatalogue.h"

#include <QStringView>
#include <iterator>

namespace {

using Icon = MsgSpec::Icon;

// Windows message-box style bits; callers and logs still speak in these values.
constexpr int kYesNoCancel = 0x3;
constexpr int kYesNo = 0x4;
constexpr int kIconQuestion = 0x20;
constexpr int kIconExclamation = 0x30;
constexpr int kIconInformation = 0x40;
constexpr int kDefaultSecond = 0x100;

enum class Buttons { Ok, YesNoDefaultYes, YesNoDefaultNo, RegisterDiscardCancel };

// The text of a row is `before`, then the subject when `withSubject`, then `after`.
struct Row {
    MsgId id;
    const char16_t* title;
    const char16_t* before;
    bool withSubject;
    const char16_t* after;
    Buttons buttons;
    Icon icon;
};

constexpr bool S = true;    // the subject is part of the text
constexpr bool NoS = false; // the subject is ignored

constexpr Buttons OK = Buttons::Ok;
constexpr Buttons YesNo = Buttons::YesNoDefaultYes;
constexpr Buttons YesNoDefNo = Buttons::YesNoDefaultNo;
constexpr Buttons RegDiscardCancel = Buttons::RegisterDiscardCancel;

constexpr Icon Q = Icon::Question;
constexpr Icon Ex = Icon::Exclamation;
constexpr Icon Info = Icon::Information;

// clang-format off
constexpr Row kRows[] = {
    // 登録
    {MsgId::登録_確認, u"登録の確認",         u"",       S,   u" を登録します。よろしいですか", YesNo, Q},
    {MsgId::登録_データ確認, u"登録の確認",         u"データ ", S,   u" を登録します。よろしいですか", YesNo, Q},
    {MsgId::登録_コード指定, u"登録注意",           u"コードが指定されていません。コードを指定してください。", NoS, u"", OK, Info},
    {MsgId::登録_完了, u"登録完了",           u"",       S,   u" を登録しました。", OK, Info},
    {MsgId::登録_完了2, u"登録完了",           u"データ  ", S,  u" を登録しました。", OK, Info},
    {MsgId::登録_チェック, u"入力項目のチェック", u"入力必須項目が空白です。", NoS, u"", OK, Info},
    {MsgId::登録_商品未登録, u"入力項目のチェック", u"登録商品データがありません。", NoS, u"", OK, Info},
    {MsgId::登録_データなし, u"入力項目のチェック", u"登録がデータがありません。", NoS, u"", OK, Info},
    {MsgId::登録_未登録, u"登録の確認",         u"登録されていない入力があります。", S, u"前に登録しますか", RegDiscardCancel, Q},
    {MsgId::登録_他者変更, u"登録の拒否",         u"", S,
     u"この日報を変更したため、登録しませんでした。入力は画面に残っています。変更後の日報を読込みますか（画面の入力は破棄されます）", YesNoDefNo, Ex},
    {MsgId::登録_他者の日報, u"登録の拒否",         u"", S, u"の日報です。登録と行削除は本人だけが行えます。", OK, Ex},
    {MsgId::登録_承認済, u"登録の拒否",         u"承認済みの日報は変更も削除もできません。承認の取消は管理者に依頼してください。", NoS, u"", OK, Ex},
    // 転記
    {MsgId::転記_確認, u"登録の確認", u"", S, u" に転記します。よろしいですか", YesNoDefNo, Q},
    // 削除
    {MsgId::削除_確認, u"削除の確認", u"すべてのデータを削除します。よろしいですか", NoS, u"", YesNoDefNo, Q},
    {MsgId::削除_確認2, u"削除の確認", u"",             S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {MsgId::削除_伝票確認2, u"削除の確認", u"",             S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {MsgId::削除_データ確認, u"削除の確認", u"データ ",      S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {MsgId::削除_指定確認, u"削除の確認", u"指定された ",  S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {MsgId::削除_伝票完了, u"削除の完了", u"伝票 ",        S, u" を削除しました。", OK, Info},
    {MsgId::削除_削除不可能, u"削除の拒否", u"",             S, u"削除できません。", OK, Info},
    {MsgId::削除_伝票完了2, u"削除の完了", u"",             S, u" を削除しました。", OK, Info},
    {MsgId::削除_完了, u"削除の完了", u"データ ",      S, u" を削除しました。", OK, Info},
    {MsgId::削除_削除不可, u"削除不可",   u"",             S,
     u" にデータがあるため削除できません。メンテナンス機能で削除してください。", OK, Info},
    {MsgId::削除_他者の日報, u"削除の拒否", u"",             S,
     u" は他のメンバーの日報のため削除できません。何も削除していません。", OK, Ex},
    {MsgId::削除_他者変更, u"削除の拒否", u"",             S,
     u"一覧を読込んだ後に日報を変更したため、何も削除しませんでした。一覧を読込み直してください。", OK, Ex},
    // 入力
    {MsgId::入力_上行空白, u"入力注意", u"上の行が空白です。データは連続して指定してください。", NoS, u"", OK, Info},
    {MsgId::入力_区分なし, u"入力注意", u"区分が指定されていません。区分を指定してください", NoS, u"", OK, Ex},
    {MsgId::入力_必須入力なし, u"入力注意", u"", S, u"指定されていません。確認してください", OK, Ex},
    {MsgId::入力_重複, u"入力注意", u"", S, u"が重複しています。確認してください", OK, Ex},
    {MsgId::入力_範囲外, u"入力注意", u"", S, u"が指定範囲外です。確認してください", OK, Ex},
    {MsgId::入力_数字のみ, u"入力注意", u"", S, u"には数字以外使用できません", OK, Ex},
    {MsgId::入力_値不正, u"入力注意", u"", S, u"が正しくありません。確認してください", OK, Ex},
    // 行指定
    {MsgId::行指定_無効行, u"入力注意",   u"無効な行が指定されています。行指定をやり直してください。", NoS, u"", OK, Ex},
    {MsgId::行指定_指定なし, u"入力注意",   u"行が指定されていません。行指定してください。", NoS, u"", OK, Ex},
    {MsgId::行指定_重複, u"入力注意",   u"指定行は１回に１行です。行指定をやり直してください。", NoS, u"", OK, Ex},
    {MsgId::行指定_余白なし, u"行挿入注意", u"行挿入する余白はありません。", NoS, u"", OK, Ex},
    // クリア
    {MsgId::クリア_確認, u"画面クリアの確認", u"画面をクリアします。よろしいですか", NoS, u"", YesNoDefNo, Q},
    // 印刷
    {MsgId::印刷_確認, u"印刷の確認", u"", S, u"を印刷します。よろしいですか", YesNoDefNo, Q},
    // その他
    {MsgId::その他_コピー完了, u"コピー完了",   u"", S, u"コピーしました。", OK, Info},
    {MsgId::その他_読込み完了, u"読込完了",     u"", S, u"読込みしました。", OK, Info},
    {MsgId::その他_メッセージ, u"キーチェック", u"", S, u"", OK, Info},
    {MsgId::その他_注意, u"注意",         u"", S, u"", OK, Ex},
    {MsgId::その他_ファイルなし, u"キーチェック", u"", S, u"がありません。確認してください。", OK, Info},
    {MsgId::その他_行数超過, u"読込注意",     u"", S,
     u" は行数が画面の行数を超えるため読み込めません。この画面で登録すると行が失われます。", OK, Ex},
    {MsgId::その他_確認, u"確認",         u"", S, u"、よろしいですか", YesNo, Q},
    {MsgId::その他_日報なし, u"キーチェック", u"", S, u" の日報は登録されていません。一覧から外しました。", OK, Info},
    {MsgId::その他_変更あり, u"更新注意",     u"区分 ", S,
     u" は読込んだ後に変更されたため、書き込みませんでした。入力した名称を控えてから、読込みし直してください。", OK, Ex},
    {MsgId::その他_お知らせ, u"お知らせ",     u"", S, u"", OK, Info},
    {MsgId::その他_文字コード, u"書き出し注意", u"", S,
     u" に Shift_JIS で書けない文字があるため、書き出しませんでした。UTF-8 (BOM付き) で書き出しますか", YesNo, Q},
    {MsgId::その他_検索日報なし, u"キーチェック", u"", S, u" の日報は登録されていません。検索し直しました。", OK, Info},
    {MsgId::その他_保存先なし, u"書き出し注意", u"保存先のフォルダ ", S,
     u" がありません。保存できませんでした。別のフォルダを指定してください。", OK, Ex},
    {MsgId::その他_保存先権限なし, u"書き出し注意", u"", S,
     u" に書き込む権限がありません。保存できませんでした。別のフォルダを指定してください。", OK, Ex},
    {MsgId::その他_容量不足, u"書き出し注意", u"ディスクの空きが足りないため、", S,
     u" を保存できませんでした。空きを作るか、別のディスクを指定してください。", OK, Ex},
    {MsgId::その他_前回なし, u"キーチェック", u"", S, u" の前回の日報は登録されていません。", OK, Info},
    {MsgId::その他_復元, u"入力の復元",   u"前回、登録されていない入力があります。復元しますか？", NoS, u"", YesNo, Q},
    {MsgId::その他_索引作成中, u"検索用の索引を作り直しています", u"検索用の索引を作り直しています（", S,
     u"）。終わるまで、キーワードでは検索できません。", OK, Info},
};
// clang-format on

// One row a box, in the order of MsgId, so that a box is its row.
constexpr bool rowsInOrder()
{
    for (int i = 0; i < int(std::size(kRows)); ++i)
        if (int(kRows[i].id) != i)
            return false;
    return std::size(kRows) == kMsgIdCount;
}
static_assert(rowsInOrder(), "every MsgId has its row, in order");

int iconStyle(Icon icon)
{
    switch (icon) {
    case Icon::Question:
        return kIconQuestion;
    case Icon::Exclamation:
        return kIconExclamation;
    case Icon::Information:
        return kIconInformation;
    }
    return 0;
}

MsgSpec specOf(const Row& row, const QString& subject)
{
    MsgSpec entry;
    entry.title = QStringView(row.title).toString();
    entry.text = QStringView(row.before).toString();
    if (row.withSubject)
        entry.text += subject;
    entry.text += QStringView(row.after);
    entry.yesNo = row.buttons == Buttons::YesNoDefaultYes || row.buttons == Buttons::YesNoDefaultNo;
    entry.icon = row.icon;
    entry.defaultNo = row.buttons == Buttons::YesNoDefaultNo;
    if (row.buttons == Buttons::RegisterDiscardCancel)
        entry.choices = {{MsgButton::Register, QStringLiteral("登録する")},
                         {MsgButton::Discard, QStringLiteral("破棄する")},
                         {MsgButton::Cancel, QStringLiteral("キャンセル")}};
    const int buttons = entry.yesNo ? kYesNo : entry.choices.isEmpty() ? 0 : kYesNoCancel;
    entry.style = buttons | iconStyle(row.icon) | (entry.defaultNo ? kDefaultSecond : 0);
    return entry;
}

} // namespace

MsgSpec MsgCatalogue::describe(MsgId id, const QString& subject)
{
    return specOf(kRows[int(id)], subject);
}
