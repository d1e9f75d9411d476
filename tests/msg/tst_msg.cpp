#include "BoxProbe.h"
#include "msg/Msg.h"
#include "msg/MsgCatalogue.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

using Icon = MsgSpec::Icon;
using testing::BoxProbe;
Q_DECLARE_METATYPE(MsgSpec::Icon)

namespace {
// Marks where the subject goes in an expected text.
const QString kS = QStringLiteral("%S");

// A presenter's plain Yes and No, beside the buttons' own values.
constexpr int kYes = -1, kNo = -2;

// Subjects that must come through untouched: padded, empty, and markup-looking.
const QStringList kSubjects = {QStringLiteral("日報"), QString(), QStringLiteral("  設定 <b>&amp;</b> ")};

} // namespace

class TstMsg : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { Msg::setPresenter({}); }
    void catalogue_data();
    void catalogue();
    void unknownKinds_data();
    void unknownKinds();
    void perOperation_data();
    void perOperation();
    void answers_data();
    void answers();
    void failingPresenter();
    void realBox_data();
    void realBox();
    void realBoxOverActiveWindow();
    void choices_data();
    void choices();
    void realChoiceBox_data();
    void realChoiceBox();
};

Q_DECLARE_METATYPE(MsgButton)

void TstMsg::catalogue_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<bool>("defaultNo");
    QTest::addColumn<int>("style");
    auto row = [](const char* op, const char* kind, const char* title, const char* text, bool yesNo,
                  Icon icon, bool defaultNo, int style) {
        QTest::addRow("%s/%s", op, kind)
            << QString::fromUtf8(op) << QString::fromUtf8(kind) << QString::fromUtf8(title)
            << QString::fromUtf8(text) << yesNo << icon << defaultNo << style;
    };
    const Icon Q = Icon::Question, E = Icon::Exclamation, I = Icon::Information;
    row("登録", "確認", "登録の確認", "%S を登録します。よろしいですか", true, Q, false, 0x24);
    row("登録", "データ確認", "登録の確認", "データ %S を登録します。よろしいですか", true, Q, false, 0x24);
    row("登録", "コード指定", "登録注意", "コードが指定されていません。コードを指定してください。", false, I,
        false, 0x40);
    row("登録", "完了", "登録完了", "%S を登録しました。", false, I, false, 0x40);
    row("登録", "完了2", "登録完了", "データ  %S を登録しました。", false, I, false, 0x40);
    row("登録", "チェック", "入力項目のチェック", "入力必須項目が空白です。", false, I, false, 0x40);
    row("登録", "商品未登録", "入力項目のチェック", "登録商品データがありません。", false, I, false, 0x40);
    row("登録", "データなし", "入力項目のチェック", "登録がデータがありません。", false, I, false, 0x40);
    row("登録", "未登録", "登録の確認", "登録されていない入力があります。%S前に登録しますか", false, Q, false,
        0x23);
    row("登録", "他者変更", "登録の拒否",
        "%Sこの日報を変更したため、登録しませんでした。入力は画面に残っています。変更後の日報を読込みますか（"
        "画面の入力は破棄されます）",
        true, E, true, 0x134);
    row("登録", "他者の日報", "登録の拒否", "%Sの日報です。登録と行削除は本人だけが行えます。", false, E,
        false, 0x30);
    row("転記", "確認", "登録の確認", "%S に転記します。よろしいですか", true, Q, true, 0x124);
    row("削除", "確認", "削除の確認", "すべてのデータを削除します。よろしいですか", true, Q, true, 0x124);
    row("削除", "確認2", "削除の確認", "%S を削除します。よろしいですか", true, Q, true, 0x124);
    row("削除", "伝票確認2", "削除の確認", "%S を削除します。よろしいですか", true, Q, true, 0x124);
    row("削除", "データ確認", "削除の確認", "データ %S を削除します。よろしいですか", true, Q, true, 0x124);
    row("削除", "指定確認", "削除の確認", "指定された %S を削除します。よろしいですか", true, Q, true, 0x124);
    row("削除", "伝票完了", "削除の完了", "伝票 %S を削除しました。", false, I, false, 0x40);
    row("削除", "削除不可能", "削除の拒否", "%S削除できません。", false, I, false, 0x40);
    row("削除", "伝票完了2", "削除の完了", "%S を削除しました。", false, I, false, 0x40);
    row("削除", "完了", "削除の完了", "データ %S を削除しました。", false, I, false, 0x40);
    row("削除", "削除不可", "削除不可",
        "%S にデータがあるため削除できません。メンテナンス機能で削除してください。", false, I, false, 0x40);
    row("削除", "他者の日報", "削除の拒否",
        "%S は他のメンバーの日報のため削除できません。何も削除していません。", false, E, false, 0x30);
    row("削除", "他者変更", "削除の拒否",
        "%S一覧を読込んだ後に日報を変更したため、何も削除しませんでした。一覧を読込み直してください。", false,
        E, false, 0x30);
    row("入力", "上行空白", "入力注意", "上の行が空白です。データは連続して指定してください。", false, I,
        false, 0x40);
    row("入力", "区分なし", "入力注意", "区分が指定されていません。区分を指定してください", false, E, false,
        0x30);
    row("入力", "必須入力なし", "入力注意", "%S指定されていません。確認してください", false, E, false, 0x30);
    row("入力", "重複", "入力注意", "%Sが重複しています。確認してください", false, E, false, 0x30);
    row("入力", "範囲外", "入力注意", "%Sが指定範囲外です。確認してください", false, E, false, 0x30);
    row("入力", "数字のみ", "入力注意", "%Sには数字以外使用できません", false, E, false, 0x30);
    row("入力", "値不正", "入力注意", "%Sが正しくありません。確認してください", false, E, false, 0x30);
    row("行指定", "無効行", "入力注意", "無効な行が指定されています。行指定をやり直してください。", false, E,
        false, 0x30);
    row("行指定", "指定なし", "入力注意", "行が指定されていません。行指定してください。", false, E, false,
        0x30);
    row("行指定", "重複", "入力注意", "指定行は１回に１行です。行指定をやり直してください。", false, E, false,
        0x30);
    row("行指定", "余白なし", "行挿入注意", "行挿入する余白はありません。", false, E, false, 0x30);
    row("クリア", "確認", "画面クリアの確認", "画面をクリアします。よろしいですか", true, Q, true, 0x124);
    row("印刷", "確認", "印刷の確認", "%Sを印刷します。よろしいですか", true, Q, true, 0x124);
    row("その他", "コピー完了", "コピー完了", "%Sコピーしました。", false, I, false, 0x40);
    row("その他", "読込み完了", "読込完了", "%S読込みしました。", false, I, false, 0x40);
    row("その他", "メッセージ", "キーチェック", "%S", false, I, false, 0x40);
    row("その他", "注意", "注意", "%S", false, E, false, 0x30);
    row("その他", "ファイルなし", "キーチェック", "%Sがありません。確認してください。", false, I, false,
        0x40);
    row("その他", "行数超過", "読込注意",
        "%S は行数が画面の行数を超えるため読み込めません。この画面で登録すると行が失われます。", false, E,
        false, 0x30);
    row("その他", "確認", "確認", "%S、よろしいですか", true, Q, false, 0x24);
    row("その他", "日報なし", "キーチェック", "%S の日報は登録されていません。一覧から外しました。", false, I,
        false, 0x40);
    row("その他", "変更あり", "更新注意",
        "区分 %S "
        "は読込んだ後に変更されたため、書き込みませんでした。入力した名称を控えてから、読込みし直してください"
        "。",
        false, E, false, 0x30);
    row("その他", "お知らせ", "お知らせ", "%S", false, I, false, 0x40);
    row("その他", "文字コード", "書き出し注意",
        "%S に Shift_JIS で書けない文字があるため、書き出しませんでした。UTF-8 (BOM付き) で書き出しますか",
        true, Q, false, 0x24);
    row("その他", "検索日報なし", "キーチェック", "%S の日報は登録されていません。検索し直しました。", false,
        I, false, 0x40);
    row("その他", "保存先なし", "書き出し注意",
        "保存先のフォルダ %S がありません。保存できませんでした。別のフォルダを指定してください。", false, E,
        false, 0x30);
    row("その他", "保存先権限なし", "書き出し注意",
        "%S に書き込む権限がありません。保存できませんでした。別のフォルダを指定してください。", false, E,
        false, 0x30);
    row("その他", "容量不足", "書き出し注意",
        "ディスクの空きが足りないため、%S "
        "を保存できませんでした。空きを作るか、別のディスクを指定してください。",
        false, E, false, 0x30);
    row("その他", "前回なし", "キーチェック", "%S の前回の日報は登録されていません。", false, I, false, 0x40);
    row("その他", "復元", "入力の復元", "前回、登録されていない入力があります。復元しますか？", true, Q,
        false, 0x24);
    row("その他", "索引作成中", "検索用の索引を作り直しています",
        "検索用の索引を作り直しています（%S）。終わるまで、キーワードでは検索できません。", false, I, false,
        0x40);
}

// Every row, for several subjects, both as the catalogue builds it and as handed to the presenter.
void TstMsg::catalogue()
{
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, yesNo);
    QFETCH(Icon, icon);
    QFETCH(bool, defaultNo);
    QFETCH(int, style);

    for (const QString& subject : kSubjects) {
        const QString expected = QString(text).replace(kS, subject);
        const std::optional<MsgSpec> entry = MsgCatalogue::describe(op, kind, subject);
        QVERIFY2(entry.has_value(), qPrintable(subject));
        QCOMPARE(entry->title, title);
        QCOMPARE(entry->text, expected);
        QCOMPARE(entry->yesNo, yesNo);
        QCOMPARE(entry->icon, icon);
        QCOMPARE(entry->defaultNo, defaultNo);
        QCOMPARE(entry->style, style);

        QList<MsgSpec> shown;
        Msg::setPresenter([&shown](const MsgSpec& s) {
            shown << s;
            return false;
        });
        QCOMPARE(Msg::ShowMsg(op, kind, subject), false);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, title);
        QCOMPARE(shown.first().text, expected);
        QCOMPARE(shown.first().style, style);
    }
}

void TstMsg::unknownKinds_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty operation") << QString() << QStringLiteral("確認");
    QTest::newRow("unknown operation") << QStringLiteral("更新") << QStringLiteral("確認");
    QTest::newRow("operation with trailing space") << QStringLiteral("登録 ") << QStringLiteral("確認");
    QTest::newRow("half-width operation") << QStringLiteral("ｸﾘｱ") << QStringLiteral("確認");
    QTest::newRow("kind of another table") << QStringLiteral("登録") << QStringLiteral("確認2");
    QTest::newRow("kind with trailing space") << QStringLiteral("削除") << QStringLiteral("確認 ");
    QTest::newRow("full-width digit in kind") << QStringLiteral("削除") << QStringLiteral("確認２");
    QTest::newRow("empty kind") << QStringLiteral("その他") << QString();
    QTest::newRow("confirmation under 入力") << QStringLiteral("入力") << QStringLiteral("確認");
    QTest::newRow("title instead of kind") << QStringLiteral("その他") << QStringLiteral("読込完了");
    QTest::newRow("operation and kind swapped") << QStringLiteral("確認") << QStringLiteral("登録");
}

void TstMsg::unknownKinds()
{
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QVERIFY(!MsgCatalogue::describe(op, kind, QStringLiteral("日報")).has_value());
    int shown = 0;
    Msg::setPresenter([&shown](const MsgSpec&) {
        ++shown;
        return true;
    });
    QCOMPARE(Msg::ShowMsg(op, kind, QStringLiteral("日報")), false);
    QCOMPARE(shown, 0);
}

// Each per-operation entry answers its own table only.
void TstMsg::perOperation_data()
{
    using Fn = bool (*)(const QString&, const QString&);
    QTest::addColumn<void*>("fn");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text"); // empty: nothing may be shown
    auto row = [](const char* name, Fn fn, const char* kind, const char* text) {
        QTest::newRow(name) << reinterpret_cast<void*>(fn) << QString::fromUtf8(kind)
                            << QString::fromUtf8(text);
    };
    row("登録 確認", &Msg::Msg登録, "確認", "X を登録します。よろしいですか");
    row("転記 確認", &Msg::Msg転記, "確認", "X に転記します。よろしいですか");
    row("削除 確認", &Msg::Msg削除, "確認", "すべてのデータを削除します。よろしいですか");
    row("入力 重複", &Msg::Msg入力, "重複", "Xが重複しています。確認してください");
    row("行指定 重複", &Msg::Msg行指定, "重複", "指定行は１回に１行です。行指定をやり直してください。");
    row("クリア 確認", &Msg::Msgクリア, "確認", "画面をクリアします。よろしいですか");
    row("印刷 確認", &Msg::Msg印刷, "確認", "Xを印刷します。よろしいですか");
    row("その他 確認", &Msg::Msgその他, "確認", "X、よろしいですか");
    row("登録 lacks 伝票確認2", &Msg::Msg登録, "伝票確認2", "");
    row("行指定 lacks 範囲外", &Msg::Msg行指定, "範囲外", "");
    row("その他 lacks 完了2", &Msg::Msgその他, "完了2", "");
}

void TstMsg::perOperation()
{
    using Fn = bool (*)(const QString&, const QString&);
    QFETCH(void*, fn);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QStringList shown;
    Msg::setPresenter([&shown](const MsgSpec& s) {
        shown << s.text;
        return false;
    });
    reinterpret_cast<Fn>(fn)(kind, QStringLiteral("X"));
    QCOMPARE(shown, text.isEmpty() ? QStringList() : QStringList{text});
}

void TstMsg::answers_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("registration Yes") << QStringLiteral("登録") << QStringLiteral("確認") << true << true;
    QTest::newRow("registration No") << QStringLiteral("登録") << QStringLiteral("確認") << false << false;
    QTest::newRow("deletion Yes") << QStringLiteral("削除") << QStringLiteral("伝票確認2") << true << true;
    QTest::newRow("deletion No") << QStringLiteral("削除") << QStringLiteral("確認") << false << false;
    QTest::newRow("general Yes") << QStringLiteral("その他") << QStringLiteral("確認") << true << true;
    QTest::newRow("OK notice never confirms")
        << QStringLiteral("その他") << QStringLiteral("メッセージ") << true << false;
    QTest::newRow("OK warning never confirms")
        << QStringLiteral("入力") << QStringLiteral("重複") << true << false;
    QTest::newRow("completion never confirms")
        << QStringLiteral("登録") << QStringLiteral("完了") << true << false;
}

void TstMsg::answers()
{
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(bool, answer);
    QFETCH(bool, result);
    Msg::setPresenter([answer](const MsgSpec&) { return answer; });
    QCOMPARE(Msg::ShowMsg(op, kind, QStringLiteral("ヒント")), result);
}

// A box that could not be shown must read as No to the caller, never escape as an exception.
void TstMsg::failingPresenter()
{
    Msg::setPresenter([](const MsgSpec&) -> bool { throw std::runtime_error("no display"); });
    bool result = true;
    try {
        result = Msg::ShowMsg(QStringLiteral("登録"), QStringLiteral("確認"), QStringLiteral("日報"));
    } catch (...) {
        QFAIL("the failure reached the caller");
    }
    QCOMPARE(result, false);
}

void TstMsg::realBox_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    const int Yes = QMessageBox::Yes, No = QMessageBox::No, Ok = QMessageBox::Ok;
    const int Q = QMessageBox::Question, W = QMessageBox::Warning, I = QMessageBox::Information;
    QTest::newRow("Enter on registration answers Yes")
        << QStringLiteral("登録") << QStringLiteral("確認") << int(Qt::Key_Return) << true << Q << Yes;
    QTest::newRow("Enter on general confirmation answers Yes")
        << QStringLiteral("その他") << QStringLiteral("確認") << int(Qt::Key_Return) << true << Q << Yes;
    QTest::newRow("Enter on deletion answers No")
        << QStringLiteral("削除") << QStringLiteral("確認") << int(Qt::Key_Return) << false << Q << No;
    QTest::newRow("Enter on print answers No")
        << QStringLiteral("印刷") << QStringLiteral("確認") << int(Qt::Key_Return) << false << Q << No;
    QTest::newRow("Escape on registration answers No")
        << QStringLiteral("登録") << QStringLiteral("確認") << int(Qt::Key_Escape) << false << Q << Yes;
    QTest::newRow("Enter on a notice") << QStringLiteral("その他") << QStringLiteral("メッセージ")
                                       << int(Qt::Key_Return) << false << I << Ok;
    QTest::newRow("Escape on a warning")
        << QStringLiteral("その他") << QStringLiteral("注意") << int(Qt::Key_Escape) << false << W << Ok;
}

// The default presenter: a real modal box, answered from the keyboard.
void TstMsg::realBox()
{
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(int, key);
    QFETCH(bool, result);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);
    const QString subject = QStringLiteral("<i>日報</i>");
    const MsgSpec entry = *MsgCatalogue::describe(op, kind, subject);

    BoxProbe probe;
    probe.answerWith(Qt::Key(key));
    QCOMPARE(Msg::ShowMsg(op, kind, subject), result);
    QVERIFY(probe.seen);
    QCOMPARE(probe.objectName, QStringLiteral("Msg"));
    QCOMPARE(probe.title, entry.title);
    QCOMPARE(probe.text, entry.text);
    QCOMPARE(probe.format, Qt::PlainText);
    QCOMPARE(int(probe.icon), icon);
    QCOMPARE(probe.buttons, entry.yesNo ? QMessageBox::Yes | QMessageBox::No
                                        : QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(int(probe.defaultButton), defaultButton);
    QVERIFY(!QApplication::activeModalWidget());
}

void TstMsg::realBoxOverActiveWindow()
{
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    BoxProbe probe;
    probe.answerWith(Qt::Key_Return);
    QCOMPARE(Msg::ShowMsg(QStringLiteral("登録"), QStringLiteral("確認"), QStringLiteral("設定")), true);
    QVERIFY(probe.seen);
    QCOMPARE(probe.parent, &window);
}

void TstMsg::choices_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("reply"); // a button, or kYes / kNo as a presenter of Yes and No answers
    QTest::addColumn<MsgButton>("choice");
    QTest::addColumn<bool>("yes"); // what ShowMsg answers for the same box
    const QString reg = QStringLiteral("登録"), other = QStringLiteral("その他");
    const QString unreg = QStringLiteral("未登録"), restore = QStringLiteral("復元");
    QTest::newRow("登録する") << reg << unreg << int(MsgButton::Register) << MsgButton::Register << false;
    QTest::newRow("破棄する") << reg << unreg << int(MsgButton::Discard) << MsgButton::Discard << false;
    QTest::newRow("キャンセル") << reg << unreg << int(MsgButton::Cancel) << MsgButton::Cancel << false;
    // A presenter that only knows Yes and No has not answered a box of choices.
    QTest::newRow("choices answered Yes") << reg << unreg << kYes << MsgButton::Cancel << false;
    QTest::newRow("choices answered No") << reg << unreg << kNo << MsgButton::Cancel << false;
    QTest::newRow("Yes/No answered Yes") << other << restore << kYes << MsgButton::Yes << true;
    QTest::newRow("Yes/No answered No") << other << restore << kNo << MsgButton::No << false;
    QTest::newRow("Yes/No answered with a choice")
        << other << restore << int(MsgButton::Register) << MsgButton::No << false;
    QTest::newRow("a notice") << other << QStringLiteral("メッセージ") << kYes << MsgButton::Ok << false;
    QTest::newRow("no such box") << reg << QStringLiteral("未登録 ") << int(MsgButton::Register)
                                 << MsgButton::Cancel << false;
}

void TstMsg::choices()
{
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(int, reply);
    QFETCH(MsgButton, choice);
    QFETCH(bool, yes);
    QList<MsgSpec> shown;
    Msg::setPresenter([&](const MsgSpec& s) {
        shown << s;
        return reply == kYes ? MsgReply(true) : reply == kNo ? MsgReply(false) : MsgReply(MsgButton(reply));
    });
    QCOMPARE(Msg::ShowChoice(op, kind, QStringLiteral("読み込む")), choice);
    QCOMPARE(Msg::ShowMsg(op, kind, QStringLiteral("読み込む")), yes);
    if (shown.isEmpty())
        return;
    const QList<MsgChoice> choices = shown[0].choices;
    if (kind == QStringLiteral("未登録")) {
        QCOMPARE(choices.size(), 3);
        QCOMPARE(choices[0].button, MsgButton::Register);
        QCOMPARE(choices[0].text, QStringLiteral("登録する"));
        QCOMPARE(choices[1].button, MsgButton::Discard);
        QCOMPARE(choices[1].text, QStringLiteral("破棄する"));
        QCOMPARE(choices[2].button, MsgButton::Cancel);
        QCOMPARE(choices[2].text, QStringLiteral("キャンセル"));
    } else {
        QVERIFY(choices.isEmpty());
    }
    // A box that could not be shown is as if it was closed.
    Msg::setPresenter([](const MsgSpec&) -> MsgReply { throw std::runtime_error("no display"); });
    QCOMPARE(Msg::ShowChoice(op, kind, QString()), kind == QStringLiteral("未登録") ? MsgButton::Cancel
                                                   : kind == QStringLiteral("復元") ? MsgButton::No
                                                                                    : choice);
}

void TstMsg::realChoiceBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button"); // clicked instead of the key, when given
    QTest::addColumn<MsgButton>("choice");
    QTest::newRow("Enter cancels") << int(Qt::Key_Return) << QString() << MsgButton::Cancel;
    QTest::newRow("登録する clicked") << 0 << QStringLiteral("登録する") << MsgButton::Register;
    QTest::newRow("破棄する clicked") << 0 << QStringLiteral("破棄する") << MsgButton::Discard;
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << QString() << MsgButton::Cancel;
}

// The box of choices as shown: its own buttons, キャンセル the default and Escape.
void TstMsg::realChoiceBox()
{
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(MsgButton, choice);
    BoxProbe probe;
    probe.answerWith(Qt::Key(key), button);
    QCOMPARE(Msg::ShowChoice(QStringLiteral("登録"), QStringLiteral("未登録"), QStringLiteral("終了する")),
             choice);
    QVERIFY(probe.seen);
    QCOMPARE(probe.buttonTexts, (QStringList{QStringLiteral("キャンセル"), QStringLiteral("登録する"),
                                             QStringLiteral("破棄する")}));
    QCOMPARE(probe.defaultText, QStringLiteral("キャンセル"));
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TstMsg)
#include "tst_msg.moc"
