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
    const char16_t* kind;
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
constexpr Row k登録[] = {
    {u"確認",       u"登録の確認",         u"",       S,   u" を登録します。よろしいですか", YesNo, Q},
    {u"データ確認", u"登録の確認",         u"データ ", S,   u" を登録します。よろしいですか", YesNo, Q},
    {u"コード指定", u"登録注意",           u"コードが指定されていません。コードを指定してください。", NoS, u"", OK, Info},
    {u"完了",       u"登録完了",           u"",       S,   u" を登録しました。", OK, Info},
    {u"完了2",      u"登録完了",           u"データ  ", S,  u" を登録しました。", OK, Info},
    {u"チェック",   u"入力項目のチェック", u"入力必須項目が空白です。", NoS, u"", OK, Info},
    {u"商品未登録", u"入力項目のチェック", u"登録商品データがありません。", NoS, u"", OK, Info},
    {u"データなし", u"入力項目のチェック", u"登録がデータがありません。", NoS, u"", OK, Info},
    {u"未登録",     u"登録の確認",         u"登録されていない入力があります。", S, u"前に登録しますか", RegDiscardCancel, Q},
    {u"他者変更",   u"登録の拒否",         u"", S,
     u"この日報を変更したため、登録しませんでした。入力は画面に残っています。変更後の日報を読込みますか（画面の入力は破棄されます）", YesNoDefNo, Ex},
    {u"他者の日報", u"登録の拒否",         u"", S, u"の日報です。登録と行削除は本人だけが行えます。", OK, Ex},
    {u"承認済",     u"登録の拒否",         u"承認済みの日報は変更も削除もできません。承認の取消は管理者に依頼してください。", NoS, u"", OK, Ex},
};

constexpr Row k転記[] = {
    {u"確認", u"登録の確認", u"", S, u" に転記します。よろしいですか", YesNoDefNo, Q},
};

constexpr Row k削除[] = {
    {u"確認",       u"削除の確認", u"すべてのデータを削除します。よろしいですか", NoS, u"", YesNoDefNo, Q},
    {u"確認2",      u"削除の確認", u"",             S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {u"伝票確認2",  u"削除の確認", u"",             S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {u"データ確認", u"削除の確認", u"データ ",      S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {u"指定確認",   u"削除の確認", u"指定された ",  S, u" を削除します。よろしいですか", YesNoDefNo, Q},
    {u"伝票完了",   u"削除の完了", u"伝票 ",        S, u" を削除しました。", OK, Info},
    {u"削除不可能", u"削除の拒否", u"",             S, u"削除できません。", OK, Info},
    {u"伝票完了2",  u"削除の完了", u"",             S, u" を削除しました。", OK, Info},
    {u"完了",       u"削除の完了", u"データ ",      S, u" を削除しました。", OK, Info},
    {u"削除不可",   u"削除不可",   u"",             S,
     u" にデータがあるため削除できません。メンテナンス機能で削除してください。", OK, Info},
    {u"他者の日報", u"削除の拒否", u"",             S,
     u" は他のメンバーの日報のため削除できません。何も削除していません。", OK, Ex},
    {u"他者変更",   u"削除の拒否", u"",             S,
     u"一覧を読込んだ後に日報を変更したため、何も削除しませんでした。一覧を読込み直してください。", OK, Ex},
};

constexpr Row k入力[] = {
    {u"上行空白",     u"入力注意", u"上の行が空白です。データは連続して指定してください。", NoS, u"", OK, Info},
    {u"区分なし",     u"入力注意", u"区分が指定されていません。区分を指定してください", NoS, u"", OK, Ex},
    {u"必須入力なし", u"入力注意", u"", S, u"指定されていません。確認してください", OK, Ex},
    {u"重複",         u"入力注意", u"", S, u"が重複しています。確認してください", OK, Ex},
    {u"範囲外",       u"入力注意", u"", S, u"が指定範囲外です。確認してください", OK, Ex},
    {u"数字のみ",     u"入力注意", u"", S, u"には数字以外使用できません", OK, Ex},
    {u"値不正",       u"入力注意", u"", S, u"が正しくありません。確認してください", OK, Ex},
};

constexpr Row k行指定[] = {
    {u"無効行",   u"入力注意",   u"無効な行が指定されています。行指定をやり直してください。", NoS, u"", OK, Ex},
    {u"指定なし", u"入力注意",   u"行が指定されていません。行指定してください。", NoS, u"", OK, Ex},
    {u"重複",     u"入力注意",   u"指定行は１回に１行です。行指定をやり直してください。", NoS, u"", OK, Ex},
    {u"余白なし", u"行挿入注意", u"行挿入する余白はありません。", NoS, u"", OK, Ex},
};

constexpr Row kクリア[] = {
    {u"確認", u"画面クリアの確認", u"画面をクリアします。よろしいですか", NoS, u"", YesNoDefNo, Q},
};

constexpr Row k印刷[] = {
    {u"確認", u"印刷の確認", u"", S, u"を印刷します。よろしいですか", YesNoDefNo, Q},
};

constexpr Row kその他[] = {
    {u"コピー完了",   u"コピー完了",   u"", S, u"コピーしました。", OK, Info},
    {u"読込み完了",   u"読込完了",     u"", S, u"読込みしました。", OK, Info},
    {u"メッセージ",   u"キーチェック", u"", S, u"", OK, Info},
    {u"注意",         u"注意",         u"", S, u"", OK, Ex},
    {u"ファイルなし", u"キーチェック", u"", S, u"がありません。確認してください。", OK, Info},
    {u"行数超過",     u"読込注意",     u"", S,
     u" は行数が画面の行数を超えるため読み込めません。この画面で登録すると行が失われます。", OK, Ex},
    {u"確認",         u"確認",         u"", S, u"、よろしいですか", YesNo, Q},
    {u"日報なし",     u"キーチェック", u"", S, u" の日報は登録されていません。一覧から外しました。", OK, Info},
    {u"変更あり",     u"更新注意",     u"区分 ", S,
     u" は読込んだ後に変更されたため、書き込みませんでした。入力した名称を控えてから、読込みし直してください。", OK, Ex},
    {u"お知らせ",     u"お知らせ",     u"", S, u"", OK, Info},
    {u"文字コード",   u"書き出し注意", u"", S,
     u" に Shift_JIS で書けない文字があるため、書き出しませんでした。UTF-8 (BOM付き) で書き出しますか", YesNo, Q},
    {u"検索日報なし", u"キーチェック", u"", S, u" の日報は登録されていません。検索し直しました。", OK, Info},
    {u"保存先なし",   u"書き出し注意", u"保存先のフォルダ ", S,
     u" がありません。保存できませんでした。別のフォルダを指定してください。", OK, Ex},
    {u"保存先権限なし", u"書き出し注意", u"", S,
     u" に書き込む権限がありません。保存できませんでした。別のフォルダを指定してください。", OK, Ex},
    {u"容量不足",     u"書き出し注意", u"ディスクの空きが足りないため、", S,
     u" を保存できませんでした。空きを作るか、別のディスクを指定してください。", OK, Ex},
    {u"前回なし",     u"キーチェック", u"", S, u" の前回の日報は登録されていません。", OK, Info},
    {u"復元",         u"入力の復元",   u"前回、登録されていない入力があります。復元しますか？", NoS, u"", YesNo, Q},
    {u"索引作成中",   u"検索用の索引を作り直しています", u"検索用の索引を作り直しています（", S,
     u"）。終わるまで、キーワードでは検索できません。", OK, Info},
};
// clang-format on

struct Operation {
    const char16_t* op;
    const Row* begin;
    const Row* end;
};

// Operation kinds in the order they are compared.
const Operation kOperations[] = {
    {u"登録", std::begin(k登録), std::end(k登録)},       {u"転記", std::begin(k転記), std::end(k転記)},
    {u"削除", std::begin(k削除), std::end(k削除)},       {u"入力", std::begin(k入力), std::end(k入力)},
    {u"行指定", std::begin(k行指定), std::end(k行指定)}, {u"クリア", std::begin(kクリア), std::end(kクリア)},
    {u"印刷", std::begin(k印刷), std::end(k印刷)},       {u"その他", std::begin(kその他), std::end(kその他)},
};

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

std::optional<MsgSpec> MsgCatalogue::describe(const QString& op, const QString& kind, const QString& subject)
{
    for (const Operation& o : kOperations) {
        if (QStringView(o.op) != op)
            continue;
        for (const Row* r = o.begin; r != o.end; ++r) {
            if (QStringView(r->kind) == kind)
                return specOf(*r, subject);
        }
        return std::nullopt;
    }
    return std::nullopt;
}
