// The 営業日報 tab's widgets: built step by step, the header placed from a table.
#include "report/ReportTab.h"

#include "report/RegisteredNote.h"
#include "report/ReviewPanel.h"

#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/Look.h"
#include "ui/PlacedLayout.h"
#include "ui/TabContext.h"
#include "ui/Twips.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
// Design places of the header, in pixels at the screen's usual density; the creation date's
// left edge and width are its twips. The lists and the title narrow in a small window.
struct HeaderPlace {
    QWidget* widget;
    QRect design;
    int minWidth;
};
} // namespace

ReportTab::ReportTab(QWidget* parent) : QWidget(parent)
{
    QWidget* header = buildHeader();
    buildGrid();
    QHBoxLayout* buttons = buildButtons();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(header);
    layout->addWidget(Grid日報, 1);
    pnl確認 = new ReviewPanel(this);
    layout->addWidget(pnl確認);
    layout->addWidget(lbl登録結果);
    layout->addLayout(buttons);
    buildPopup();
    m_panelBlocks = {header,          Grid日報, cmd行削除, cmd全選択, cmd全解除, cmdクリア,
                     cmd前回から作成, cmd読込,  cmd印刷,   cmd登録,   cmd閉じる};
    setKeys();
    connectCommands();
}

QWidget* ReportTab::buildHeader()
{
    using app::makeLabelFor;
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("headerPanel"));
    header->setFixedHeight(70);
    Dt日付 = new DateInput(header);
    Dt日付->setObjectName(QStringLiteral("Dt日付"));
    cmb氏名 = app::makeNameCombo(QStringLiteral("cmb氏名"), header);
    cmb所属 = app::makeNameCombo(QStringLiteral("cmb所属"), header);
    txtタイトル = new QLineEdit(header);
    txtタイトル->setObjectName(QStringLiteral("txtタイトル"));
    cmdHint = app::makeHintButton(QStringLiteral("cmdHint"), header);
    connect(cmdHint, &QPushButton::clicked, this, [this] { m_context->showHint(cmdHint->objectName()); });
    const int dateLeft = twipsToPx(1080, this), dateWidth = twipsToPx(2010, this);
    const HeaderPlace places[] = {
        {makeLabelFor(QStringLiteral("作成日"), Dt日付, header), {8, 8, 60, 24}, -1},
        {Dt日付, {dateLeft, 8, dateWidth, 24}, -1},
        {makeLabelFor(QStringLiteral("氏　名"), cmb氏名, header), {228, 8, 44, 24}, -1},
        {cmb氏名, {274, 8, 190, 24}, 120},
        {makeLabelFor(QStringLiteral("所　属"), cmb所属, header), {484, 8, 44, 24}, -1},
        {cmb所属, {530, 8, 190, 24}, 120},
        {cmdHint, {740, 8, 36, 32}, -1},
        {makeLabelFor(QStringLiteral("タイトル"), txtタイトル, header), {8, 40, 60, 24}, -1},
        {txtタイトル, {dateLeft, 40, 720 - dateLeft, 24}, 300},
    };
    m_headerPlaces = new PlacedLayout(header);
    for (const HeaderPlace& p : places)
        m_headerPlaces->place(p.widget, p.design, p.minWidth);
    return header;
}

void ReportTab::buildGrid()
{
    // The grid and the controls it uses as cell editors.
    dat日報 = new DataSource(this);
    dat日報->setObjectName(QStringLiteral("dat日報"));
    dat備考 = new DataSource(this);
    dat備考->setObjectName(QStringLiteral("dat備考"));
    dat訪問先 = new DataSource(this);
    dat訪問先->setObjectName(QStringLiteral("dat訪問先"));
    Grid日報 = new DataGrid(this);
    Grid日報->setObjectName(QStringLiteral("Grid日報"));
    app::nameInput(Grid日報, QStringLiteral("日報の行"));
    Dt日付入力 = new DateInput(this);
    Dt日付入力->setObjectName(QStringLiteral("Dt日付入力"));
    app::nameInput(Dt日付入力, QStringLiteral("日付"));
    Dt日付入力->hide();
    DD訪問先 = new DropDown(this);
    DD訪問先->setObjectName(QStringLiteral("DD訪問先"));
    app::nameInput(DD訪問先, QStringLiteral("訪問先"));
    DD訪問先->hide();
    DD備考 = new DropDown(this);
    DD備考->setObjectName(QStringLiteral("DD備考"));
    app::nameInput(DD備考, QStringLiteral("備考"));
    DD備考->hide();
}

QHBoxLayout* ReportTab::buildButtons()
{
    using app::makeButton;
    // Line commands on the left, report commands on the right.
    cmd行削除 = makeButton(QStringLiteral("cmd行削除"), QStringLiteral("行削除"), this);
    cmd全選択 = makeButton(QStringLiteral("cmd全選択"), QStringLiteral("全選択"), this);
    cmd全解除 = makeButton(QStringLiteral("cmd全解除"), QStringLiteral("全解除"), this);
    cmdクリア = makeButton(QStringLiteral("cmdクリア"), QStringLiteral("クリア"), this);
    cmd前回から作成 = makeButton(QStringLiteral("cmd前回から作成"), QStringLiteral("前回から作成"), this);
    cmd読込 = makeButton(QStringLiteral("cmd読込"), QStringLiteral("読込"), this);
    cmd印刷 = makeButton(QStringLiteral("cmd印刷"), QStringLiteral("印刷"), this);
    cmd登録 = makeButton(QStringLiteral("cmd登録"), QStringLiteral("登録"), this);
    cmd閉じる = makeButton(QStringLiteral("cmd閉じる"), QStringLiteral("閉じる"), this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(cmd行削除);
    buttons->addWidget(cmd全選択);
    buttons->addWidget(cmd全解除);
    // The note of 登録 has a line of its own above the buttons, where it is read whole.
    lbl登録結果 = new RegisteredNote(Grid日報, dat日報, this);
    buttons->addStretch(1);
    lbl最終更新 = new QLabel(this);
    lbl最終更新->setObjectName(QStringLiteral("lbl最終更新"));
    // In a small window it gives up its room before any button does; its tooltip says it whole.
    lbl最終更新->setMinimumWidth(1);
    buttons->addWidget(lbl最終更新);
    buttons->addWidget(cmdクリア);
    buttons->addWidget(cmd前回から作成);
    buttons->addWidget(cmd読込);
    buttons->addWidget(cmd印刷);
    buttons->addWidget(cmd登録);
    buttons->addSpacing(16);
    buttons->addWidget(cmd閉じる);
    return buttons;
}

void ReportTab::buildPopup()
{
    using app::makeButton;
    // The pop-up editor for long contents floats over the grid.
    Cnテキスト入力 = new QFrame(this);
    Cnテキスト入力->setObjectName(QStringLiteral("Cnテキスト入力"));
    Cnテキスト入力->setFrameShape(QFrame::Box);
    Cnテキスト入力->setAutoFillBackground(true);
    Cnテキスト入力->setStyleSheet(
        QStringLiteral("#Cnテキスト入力 { background: #eef2f7; border: 2px solid #5b7ba6; }"));
    txt内容 = new QPlainTextEdit(Cnテキスト入力);
    auto* popupTitle = app::makeLabelFor(QStringLiteral("内　　容"), txt内容, Cnテキスト入力);
    txt内容->setObjectName(QStringLiteral("txt内容"));
    txt内容->installEventFilter(this);
    // Tab goes on to 決定, as in any dialog; a new line is plain Enter.
    txt内容->setTabChangesFocus(true);
    cmd入力書込 = makeButton(QStringLiteral("cmd入力書込"), QStringLiteral("決定"), Cnテキスト入力,
                             QStringLiteral("入力した内容を行に書き込みます (Ctrl+Enter)"));
    cmd入力閉じる = makeButton(QStringLiteral("cmd入力閉じる"), QStringLiteral("閉じる"), Cnテキスト入力,
                               QStringLiteral("書き込まずに閉じます (Esc)"));
    cmd入力書込->installEventFilter(this);
    cmd入力閉じる->installEventFilter(this);
    auto* popupButtons = new QHBoxLayout;
    popupButtons->addStretch(1);
    popupButtons->addWidget(cmd入力書込);
    popupButtons->addWidget(cmd入力閉じる);
    auto* popupLayout = new QVBoxLayout(Cnテキスト入力);
    popupLayout->setContentsMargins(10, 8, 10, 10);
    popupLayout->addWidget(popupTitle);
    popupLayout->addWidget(txt内容, 1);
    popupLayout->addLayout(popupButtons);
    Cnテキスト入力->hide();
}

void ReportTab::setKeys()
{
    setTabOrder(Dt日付, cmb氏名);
    setTabOrder(cmb氏名, cmb所属);
    setTabOrder(cmb所属, txtタイトル);
    setTabOrder(txtタイトル, Grid日報);
    setTabOrder(Grid日報, cmd行削除);
    setTabOrder(cmd行削除, cmd全選択);
    setTabOrder(cmd全選択, cmd全解除);
    setTabOrder(cmd全解除, cmdクリア);
    // With the commands that start another report, though it stands beside the title.
    setTabOrder(cmdクリア, cmd前回から作成);
    setTabOrder(cmd前回から作成, cmd読込);
    setTabOrder(cmd読込, cmd印刷);
    setTabOrder(cmd印刷, cmd登録);
    setTabOrder(cmd登録, cmd閉じる);

    // Enter in a header field moves on to the next one, and from the title to the first line.
    for (QWidget* w : {static_cast<QWidget*>(Dt日付), static_cast<QWidget*>(cmb氏名),
                       static_cast<QWidget*>(cmb所属), static_cast<QWidget*>(txtタイトル)})
        w->installEventFilter(this);
    Dt日付->setArrowsStepDays(true);
    // A line's date typed without its year belongs near the report's creation date.
    Dt日付入力->setReferenceDate([this] { return Dt日付->date(); });

    // Every command has its key, shown in its tooltip.
    const struct {
        CommandButton* button;
        QKeySequence key;
        QString tip;
    } keys[] = {
        {cmd登録, QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("日報を登録します")},
        {cmd読込, QKeySequence(Qt::Key_F5), QStringLiteral("作成日と氏名の日報を読み込みます")},
        {cmd印刷, QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("日報を印刷します")},
        {cmdクリア, QKeySequence(Qt::CTRL | Qt::Key_N), QStringLiteral("画面をクリアして新しい日報にします")},
        {cmd前回から作成, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
         QStringLiteral("氏名の前回の日報から、今日の日報を作成します（内容は空欄）")},
        {cmd行削除, QKeySequence(Qt::CTRL | Qt::Key_Delete), QStringLiteral("チェックした行を削除します")},
        {cmd全選択, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
         QStringLiteral("日付のある行をすべてチェックします")},
        {cmd全解除, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U),
         QStringLiteral("行のチェックをすべて外します")},
        {cmd閉じる, QKeySequence(Qt::CTRL | Qt::Key_Q), QStringLiteral("終了します")},
    };
    for (const auto& k : keys) {
        // Ctrl+Q belongs to the window, so that it closes from every tab; it clicks 閉じる.
        if (k.button != cmd閉じる)
            k.button->setShortcut(k.key);
        QString tip = k.tip + QStringLiteral(" (") + k.key.toString(QKeySequence::NativeText);
        if (k.button == cmd読込)
            tip += QStringLiteral(", Ctrl+O");
        k.button->setToolTip(tip + u')');
        // Given back when a report of one's own follows another's (showOwnership).
        k.button->setProperty("keyTip", k.button->toolTip());
    }
    auto* readKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(readKey, &QShortcut::activated, cmd読込, &QPushButton::animateClick);
}
