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
Q_DECLARE_METATYPE(MsgId)

void TstMsg::catalogue_data()
{
    QTest::addColumn<MsgId>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<bool>("defaultNo");
    QTest::addColumn<int>("style");
    QSet<MsgId> listed;
    auto row = [&listed](MsgId id, const char* name, const char* title, const char* text, bool yesNo,
                         Icon icon, bool defaultNo, int style) {
        listed.insert(id);
        QTest::newRow(name) << id << QString::fromUtf8(title) << QString::fromUtf8(text) << yesNo << icon
                            << defaultNo << style;
    };
    const Icon Q = Icon::Question, E = Icon::Exclamation, I = Icon::Information;
    row(MsgId::登録_確認, "登録/確認", "登録の確認", "%S を登録します。よろしいですか", true, Q, false, 0x24);
    row(MsgId::登録_データ確認, "登録/データ確認", "登録の確認", "データ %S を登録します。よろしいですか",
        true, Q, false, 0x24);
    row(MsgId::登録_コード指定, "登録/コード指定", "登録注意",
        "コードが指定されていません。コードを指定してください。", false, I, false, 0x40);
    row(MsgId::登録_完了, "登録/完了", "登録完了", "%S を登録しました。", false, I, false, 0x40);
    row(MsgId::登録_完了2, "登録/完了2", "登録完了", "データ  %S を登録しました。", false, I, false, 0x40);
    row(MsgId::登録_チェック, "登録/チェック", "入力項目のチェック", "入力必須項目が空白です。", false, I,
        false, 0x40);
    row(MsgId::登録_商品未登録, "登録/商品未登録", "入力項目のチェック", "登録商品データがありません。",
        false, I, false, 0x40);
    row(MsgId::登録_データなし, "登録/データなし", "入力項目のチェック", "登録がデータがありません。", false,
        I, false, 0x40);
    row(MsgId::登録_未登録, "登録/未登録", "登録の確認", "登録されていない入力があります。%S前に登録しますか",
        false, Q, false, 0x23);
    row(MsgId::登録_他者変更, "登録/他者変更", "登録の拒否",
        "%Sこの日報を変更したため、登録しませんでした。入力は画面に残っています。変更後の日報を読込みますか（"
        "画面の入力は破棄されます）",
        true, E, true, 0x134);
    row(MsgId::登録_他者の日報, "登録/他者の日報", "登録の拒否",
        "%Sの日報です。登録と行削除は本人だけが行えます。", false, E, false, 0x30);
    row(MsgId::登録_承認済, "登録/承認済", "登録の拒否",
        "承認済みの日報は変更も削除もできません。承認の取消は管理者に依頼してください。", false, E, false,
        0x30);
    row(MsgId::転記_確認, "転記/確認", "登録の確認", "%S に転記します。よろしいですか", true, Q, true, 0x124);
    row(MsgId::削除_確認, "削除/確認", "削除の確認", "すべてのデータを削除します。よろしいですか", true, Q,
        true, 0x124);
    row(MsgId::削除_確認2, "削除/確認2", "削除の確認", "%S を削除します。よろしいですか", true, Q, true,
        0x124);
    row(MsgId::削除_伝票確認2, "削除/伝票確認2", "削除の確認", "%S を削除します。よろしいですか", true, Q,
        true, 0x124);
    row(MsgId::削除_データ確認, "削除/データ確認", "削除の確認", "データ %S を削除します。よろしいですか",
        true, Q, true, 0x124);
    row(MsgId::削除_指定確認, "削除/指定確認", "削除の確認", "指定された %S を削除します。よろしいですか",
        true, Q, true, 0x124);
    row(MsgId::削除_伝票完了, "削除/伝票完了", "削除の完了", "伝票 %S を削除しました。", false, I, false,
        0x40);
    row(MsgId::削除_削除不可能, "削除/削除不可能", "削除の拒否", "%S削除できません。", false, I, false, 0x40);
    row(MsgId::削除_伝票完了2, "削除/伝票完了2", "削除の完了", "%S を削除しました。", false, I, false, 0x40);
    row(MsgId::削除_完了, "削除/完了", "削除の完了", "データ %S を削除しました。", false, I, false, 0x40);
    row(MsgId::削除_削除不可, "削除/削除不可", "削除不可",
        "%S にデータがあるため削除できません。メンテナンス機能で削除してください。", false, I, false, 0x40);
    row(MsgId::削除_他者の日報, "削除/他者の日報", "削除の拒否",
        "%S は他のメンバーの日報のため削除できません。何も削除していません。", false, E, false, 0x30);
    row(MsgId::削除_他者変更, "削除/他者変更", "削除の拒否",
        "%S一覧を読込んだ後に日報を変更したため、何も削除しませんでした。一覧を読込み直してください。", false,
        E, false, 0x30);
    row(MsgId::入力_上行空白, "入力/上行空白", "入力注意",
        "上の行が空白です。データは連続して指定してください。", false, I, false, 0x40);
    row(MsgId::入力_区分なし, "入力/区分なし", "入力注意", "区分が指定されていません。区分を指定してください",
        false, E, false, 0x30);
    row(MsgId::入力_必須入力なし, "入力/必須入力なし", "入力注意", "%S指定されていません。確認してください",
        false, E, false, 0x30);
    row(MsgId::入力_重複, "入力/重複", "入力注意", "%Sが重複しています。確認してください", false, E, false,
        0x30);
    row(MsgId::入力_範囲外, "入力/範囲外", "入力注意", "%Sが指定範囲外です。確認してください", false, E,
        false, 0x30);
    row(MsgId::入力_数字のみ, "入力/数字のみ", "入力注意", "%Sには数字以外使用できません", false, E, false,
        0x30);
    row(MsgId::入力_値不正, "入力/値不正", "入力注意", "%Sが正しくありません。確認してください", false, E,
        false, 0x30);
    row(MsgId::行指定_無効行, "行指定/無効行", "入力注意",
        "無効な行が指定されています。行指定をやり直してください。", false, E, false, 0x30);
    row(MsgId::行指定_指定なし, "行指定/指定なし", "入力注意", "行が指定されていません。行指定してください。",
        false, E, false, 0x30);
    row(MsgId::行指定_重複, "行指定/重複", "入力注意", "指定行は１回に１行です。行指定をやり直してください。",
        false, E, false, 0x30);
    row(MsgId::行指定_余白なし, "行指定/余白なし", "行挿入注意", "行挿入する余白はありません。", false, E,
        false, 0x30);
    row(MsgId::クリア_確認, "クリア/確認", "画面クリアの確認", "画面をクリアします。よろしいですか", true, Q,
        true, 0x124);
    row(MsgId::印刷_確認, "印刷/確認", "印刷の確認", "%Sを印刷します。よろしいですか", true, Q, true, 0x124);
    row(MsgId::その他_コピー完了, "その他/コピー完了", "コピー完了", "%Sコピーしました。", false, I, false,
        0x40);
    row(MsgId::その他_読込み完了, "その他/読込み完了", "読込完了", "%S読込みしました。", false, I, false,
        0x40);
    row(MsgId::その他_メッセージ, "その他/メッセージ", "キーチェック", "%S", false, I, false, 0x40);
    row(MsgId::その他_注意, "その他/注意", "注意", "%S", false, E, false, 0x30);
    row(MsgId::その他_ファイルなし, "その他/ファイルなし", "キーチェック",
        "%Sがありません。確認してください。", false, I, false, 0x40);
    row(MsgId::その他_行数超過, "その他/行数超過", "読込注意",
        "%S は行数が画面の行数を超えるため読み込めません。この画面で登録すると行が失われます。", false, E,
        false, 0x30);
    row(MsgId::その他_確認, "その他/確認", "確認", "%S、よろしいですか", true, Q, false, 0x24);
    row(MsgId::その他_日報なし, "その他/日報なし", "キーチェック",
        "%S の日報は登録されていません。一覧から外しました。", false, I, false, 0x40);
    row(MsgId::その他_変更あり, "その他/変更あり", "更新注意",
        "区分 %S "
        "は読込んだ後に変更されたため、書き込みませんでした。入力した名称を控えてから、読込みし直してください"
        "。",
        false, E, false, 0x30);
    row(MsgId::その他_お知らせ, "その他/お知らせ", "お知らせ", "%S", false, I, false, 0x40);
    row(MsgId::その他_文字コード, "その他/文字コード", "書き出し注意",
        "%S に Shift_JIS で書けない文字があるため、書き出しませんでした。UTF-8 (BOM付き) で書き出しますか",
        true, Q, false, 0x24);
    row(MsgId::その他_検索日報なし, "その他/検索日報なし", "キーチェック",
        "%S の日報は登録されていません。検索し直しました。", false, I, false, 0x40);
    row(MsgId::その他_保存先なし, "その他/保存先なし", "書き出し注意",
        "保存先のフォルダ %S がありません。保存できませんでした。別のフォルダを指定してください。", false, E,
        false, 0x30);
    row(MsgId::その他_保存先権限なし, "その他/保存先権限なし", "書き出し注意",
        "%S に書き込む権限がありません。保存できませんでした。別のフォルダを指定してください。", false, E,
        false, 0x30);
    row(MsgId::その他_容量不足, "その他/容量不足", "書き出し注意",
        "ディスクの空きが足りないため、%S "
        "を保存できませんでした。空きを作るか、別のディスクを指定してください。",
        false, E, false, 0x30);
    row(MsgId::その他_前回なし, "その他/前回なし", "キーチェック", "%S の前回の日報は登録されていません。",
        false, I, false, 0x40);
    row(MsgId::その他_復元, "その他/復元", "入力の復元",
        "前回、登録されていない入力があります。復元しますか？", true, Q, false, 0x24);
    row(MsgId::その他_索引作成中, "その他/索引作成中", "検索用の索引を作り直しています",
        "検索用の索引を作り直しています（%S）。終わるまで、キーワードでは検索できません。", false, I, false,
        0x40);
    // Every box of the catalogue is listed here.
    QCOMPARE(listed.size(), kMsgIdCount);
}

// Every row, for several subjects, both as the catalogue builds it and as handed to the presenter.
void TstMsg::catalogue()
{
    QFETCH(MsgId, id);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, yesNo);
    QFETCH(Icon, icon);
    QFETCH(bool, defaultNo);
    QFETCH(int, style);

    for (const QString& subject : kSubjects) {
        const QString expected = QString(text).replace(kS, subject);
        const MsgSpec entry = MsgCatalogue::describe(id, subject);
        QCOMPARE(entry.title, title);
        QCOMPARE(entry.text, expected);
        QCOMPARE(entry.yesNo, yesNo);
        QCOMPARE(entry.icon, icon);
        QCOMPARE(entry.defaultNo, defaultNo);
        QCOMPARE(entry.style, style);

        QList<MsgSpec> shown;
        Msg::setPresenter([&shown](const MsgSpec& s) {
            shown << s;
            return false;
        });
        QCOMPARE(Msg::ShowMsg(id, subject), false);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, title);
        QCOMPARE(shown.first().text, expected);
        QCOMPARE(shown.first().style, style);
    }
}

void TstMsg::answers_data()
{
    QTest::addColumn<MsgId>("id");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("registration Yes") << MsgId::登録_確認 << true << true;
    QTest::newRow("registration No") << MsgId::登録_確認 << false << false;
    QTest::newRow("deletion Yes") << MsgId::削除_伝票確認2 << true << true;
    QTest::newRow("deletion No") << MsgId::削除_確認 << false << false;
    QTest::newRow("general Yes") << MsgId::その他_確認 << true << true;
    QTest::newRow("OK notice never confirms") << MsgId::その他_メッセージ << true << false;
    QTest::newRow("OK warning never confirms") << MsgId::入力_重複 << true << false;
    QTest::newRow("completion never confirms") << MsgId::登録_完了 << true << false;
}

void TstMsg::answers()
{
    QFETCH(MsgId, id);
    QFETCH(bool, answer);
    QFETCH(bool, result);
    Msg::setPresenter([answer](const MsgSpec&) { return answer; });
    QCOMPARE(Msg::ShowMsg(id, QStringLiteral("ヒント")), result);
}

// A box that could not be shown must read as No to the caller, never escape as an exception.
void TstMsg::failingPresenter()
{
    Msg::setPresenter([](const MsgSpec&) -> bool { throw std::runtime_error("no display"); });
    bool result = true;
    try {
        result = Msg::ShowMsg(MsgId::登録_確認, QStringLiteral("日報"));
    } catch (...) {
        QFAIL("the failure reached the caller");
    }
    QCOMPARE(result, false);
}

void TstMsg::realBox_data()
{
    QTest::addColumn<MsgId>("id");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    const int Yes = QMessageBox::Yes, No = QMessageBox::No, Ok = QMessageBox::Ok;
    const int Q = QMessageBox::Question, W = QMessageBox::Warning, I = QMessageBox::Information;
    QTest::newRow("Enter on registration answers Yes")
        << MsgId::登録_確認 << int(Qt::Key_Return) << true << Q << Yes;
    QTest::newRow("Enter on general confirmation answers Yes")
        << MsgId::その他_確認 << int(Qt::Key_Return) << true << Q << Yes;
    QTest::newRow("Enter on deletion answers No")
        << MsgId::削除_確認 << int(Qt::Key_Return) << false << Q << No;
    QTest::newRow("Enter on print answers No") << MsgId::印刷_確認 << int(Qt::Key_Return) << false << Q << No;
    QTest::newRow("Escape on registration answers No")
        << MsgId::登録_確認 << int(Qt::Key_Escape) << false << Q << Yes;
    QTest::newRow("Enter on a notice") << MsgId::その他_メッセージ << int(Qt::Key_Return) << false << I << Ok;
    QTest::newRow("Escape on a warning") << MsgId::その他_注意 << int(Qt::Key_Escape) << false << W << Ok;
}

// The default presenter: a real modal box, answered from the keyboard.
void TstMsg::realBox()
{
    QFETCH(MsgId, id);
    QFETCH(int, key);
    QFETCH(bool, result);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);
    const QString subject = QStringLiteral("<i>日報</i>");
    const MsgSpec entry = MsgCatalogue::describe(id, subject);

    BoxProbe probe;
    probe.answerWith(Qt::Key(key));
    QCOMPARE(Msg::ShowMsg(id, subject), result);
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
    QCOMPARE(Msg::ShowMsg(MsgId::登録_確認, QStringLiteral("設定")), true);
    QVERIFY(probe.seen);
    QCOMPARE(probe.parent, &window);
}

void TstMsg::choices_data()
{
    QTest::addColumn<MsgId>("id");
    QTest::addColumn<int>("reply"); // a button, or kYes / kNo as a presenter of Yes and No answers
    QTest::addColumn<MsgButton>("choice");
    QTest::addColumn<bool>("yes"); // what ShowMsg answers for the same box
    const MsgId unreg = MsgId::登録_未登録, restore = MsgId::その他_復元;
    QTest::newRow("登録する") << unreg << int(MsgButton::Register) << MsgButton::Register << false;
    QTest::newRow("破棄する") << unreg << int(MsgButton::Discard) << MsgButton::Discard << false;
    QTest::newRow("キャンセル") << unreg << int(MsgButton::Cancel) << MsgButton::Cancel << false;
    // A presenter that only knows Yes and No has not answered a box of choices.
    QTest::newRow("choices answered Yes") << unreg << kYes << MsgButton::Cancel << false;
    QTest::newRow("choices answered No") << unreg << kNo << MsgButton::Cancel << false;
    QTest::newRow("Yes/No answered Yes") << restore << kYes << MsgButton::Yes << true;
    QTest::newRow("Yes/No answered No") << restore << kNo << MsgButton::No << false;
    QTest::newRow("Yes/No answered with a choice")
        << restore << int(MsgButton::Register) << MsgButton::No << false;
    QTest::newRow("a notice") << MsgId::その他_メッセージ << kYes << MsgButton::Ok << false;
}

void TstMsg::choices()
{
    QFETCH(MsgId, id);
    QFETCH(int, reply);
    QFETCH(MsgButton, choice);
    QFETCH(bool, yes);
    QList<MsgSpec> shown;
    Msg::setPresenter([&](const MsgSpec& s) {
        shown << s;
        return reply == kYes ? MsgReply(true) : reply == kNo ? MsgReply(false) : MsgReply(MsgButton(reply));
    });
    QCOMPARE(Msg::ShowChoice(id, QStringLiteral("読み込む")), choice);
    QCOMPARE(Msg::ShowMsg(id, QStringLiteral("読み込む")), yes);
    QCOMPARE(shown.size(), 2);
    const QList<MsgChoice> choices = shown[0].choices;
    if (id == MsgId::登録_未登録) {
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
    QCOMPARE(Msg::ShowChoice(id, QString()), id == MsgId::登録_未登録   ? MsgButton::Cancel
                                             : id == MsgId::その他_復元 ? MsgButton::No
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
    QCOMPARE(Msg::ShowChoice(MsgId::登録_未登録, QStringLiteral("終了する")), choice);
    QVERIFY(probe.seen);
    QCOMPARE(probe.buttonTexts, (QStringList{QStringLiteral("キャンセル"), QStringLiteral("登録する"),
                                             QStringLiteral("破棄する")}));
    QCOMPARE(probe.defaultText, QStringLiteral("キャンセル"));
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TstMsg)
#include "tst_msg.moc"
