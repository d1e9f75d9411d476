#include "hint/Hint.h"

#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/Controls.h"
#include "hint/HintKey.h"
#include "hint/HintStore.h"
#include "hint/KeyHelp.h"
#include "msg/Msg.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QVBoxLayout>

const QColor Hint::kReadOnlyColor(209, 209, 205);
const QColor Hint::kEditColor(255, 128, 128);

namespace {

QLabel* makeKeyLabel(const QString& name, QWidget* parent)
{
    auto* l = app::makeLabel(QString(), parent, name);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Hint::kReadOnlyColor);
    l->setPalette(p);
    l->setMargin(4);
    l->setMinimumHeight(24);
    // A long caption is cut at the window's edge rather than widening the window.
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QFrame* makeFrame(const QString& name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

} // namespace

Hint::Hint(const QString& workConnection, QWidget* parent) : QWidget(parent), m_workConnection(workConnection)
{
    // A window of its own even when the main window is its parent, so it closes with it.
    setWindowFlag(Qt::Window);
    app::returnFocusOnClose(this);
    setObjectName(QStringLiteral("Hint"));
    setWindowTitle(QStringLiteral("ヒント        "));

    ImFrame3D1 = makeFrame(QStringLiteral("ImFrame3D1"), this);
    lblFormName = makeKeyLabel(QStringLiteral("lblFormName"), ImFrame3D1);
    lblCtlName = makeKeyLabel(QStringLiteral("lblCtlName"), ImFrame3D1);
    lblFormTitle = makeKeyLabel(QStringLiteral("lblFormTitle"), ImFrame3D1);
    lblFormName->setToolTip(QStringLiteral("ヒントを持つ画面の名前"));
    lblCtlName->setToolTip(QStringLiteral("ヒントボタンの名前"));
    lblFormTitle->setToolTip(QStringLiteral("ヒントボタンを押したときの画面の見出し"));
    lblAbout = app::makeLabel(QString(), ImFrame3D1, QStringLiteral("lblAbout"));
    lblAbout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QFont aboutFont = lblAbout->font();
    aboutFont.setBold(true);
    lblAbout->setFont(aboutFont);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(lblFormName, 2);
    keyRow->addWidget(lblCtlName, 2);
    keyRow->addWidget(lblFormTitle, 5);
    auto* keys = new QVBoxLayout(ImFrame3D1);
    keys->setContentsMargins(6, 6, 6, 6);
    keys->addWidget(lblAbout);
    keys->addLayout(keyRow);

    ImFrame3D2 = makeFrame(QStringLiteral("ImFrame3D2"), this);
    txtContents = new QPlainTextEdit(ImFrame3D2);
    txtContents->setObjectName(QStringLiteral("txtContents"));
    app::nameInput(txtContents, QStringLiteral("ヒント"));
    txtContents->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtContents->setTabChangesFocus(true);
    txtContents->installEventFilter(this);
    lblState = app::makeLabel(QString(), ImFrame3D2, QStringLiteral("lblState"));
    lblState->setWordWrap(true);
    auto* text = new QVBoxLayout(ImFrame3D2);
    text->setContentsMargins(6, 6, 6, 6);
    text->addWidget(txtContents);
    text->addWidget(lblState);

    ImFrame3D6 = makeFrame(QStringLiteral("ImFrame3D6"), this);
    cmd編集 = app::makeButton(QStringLiteral("cmd編集"), QStringLiteral("編集"), ImFrame3D6);
    cmd登録 = app::makeButton(QStringLiteral("cmd登録"), QStringLiteral("登録"), ImFrame3D6);
    cmd削除 = app::makeButton(QStringLiteral("cmd削除"), QStringLiteral("削除"), ImFrame3D6);
    cmdクリア = app::makeButton(QStringLiteral("cmdクリア"), QStringLiteral("クリア"), ImFrame3D6);
    cmd閉じる = app::makeButton(QStringLiteral("cmd閉じる"), QStringLiteral("閉じる"), ImFrame3D6);
    auto* buttons = new QHBoxLayout(ImFrame3D6);
    buttons->setContentsMargins(6, 6, 6, 6);
    buttons->addWidget(cmd編集);
    buttons->addStretch(1);
    buttons->addWidget(cmd登録);
    buttons->addWidget(cmd削除);
    buttons->addWidget(cmdクリア);
    buttons->addSpacing(16);
    buttons->addWidget(cmd閉じる);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(ImFrame3D1);
    layout->addWidget(ImFrame3D2, 1);
    layout->addWidget(ImFrame3D6);

    setTabOrder(txtContents, cmd編集);
    setTabOrder(cmd編集, cmd登録);
    setTabOrder(cmd登録, cmd削除);
    setTabOrder(cmd削除, cmdクリア);
    setTabOrder(cmdクリア, cmd閉じる);

    setEditing(false);
    setMinimumSize(420, 240);
    resize(560, 380);

    connect(cmd編集, &QPushButton::clicked, this, [this] { toggleEdit(); });
    connect(cmd登録, &QPushButton::clicked, this, [this] { confirmRegister(); });
    connect(cmd削除, &QPushButton::clicked, this, [this] { confirmDelete(); });
    connect(cmdクリア, &QPushButton::clicked, this, [this] { clearText(); });
    connect(cmd閉じる, &QPushButton::clicked, this, [this] { close(); });
}

void Hint::load()
{
    const hint::HintKey& key = hint::sharedKey();
    lblFormName->setText(key.HintFormName);
    lblFormTitle->setText(key.HintFormTitle);
    lblCtlName->setText(key.HintCtlName);
    lblAbout->setText(key.tabCaption.isEmpty()
                          ? QStringLiteral("ヒントボタンのメモ")
                          : QStringLiteral("「%1」タブのヒントボタンのメモ").arg(key.tabCaption));
    // What the previous load showed or typed is gone with it.
    clearText();
    setEditing(false);
    ReadHint();
    bringForward();
    txtContents->setFocus();
}

void Hint::bringForward()
{
    app::bringForward(this);
}

void Hint::showForButton()
{
    const hint::HintKey& key = hint::sharedKey();
    if (isLoaded() && lblFormName->text() == key.HintFormName && lblCtlName->text() == key.HintCtlName)
        bringForward();
    else
        load();
}

void Hint::ReadHint()
{
    const hint::HintRead r = hint::readHint(QSqlDatabase::database(m_workConnection, false),
                                            lblFormName->text(), lblCtlName->text());
    if (r.error.failed()) {
        app::tellFailure(QStringLiteral("ヒントを読込"), r.error);
        return;
    }
    // A hint stored as Null leaves the text as it is; an empty one is no hint to show.
    if (r.found && !r.contents.isNull() && !r.contents.trimmed().isEmpty())
        txtContents->setPlainText(r.contents);
    else
        showKeyHelp();
}

void Hint::clearText()
{
    txtContents->clear();
    m_showingHelp = false;
}

void Hint::showKeyHelp()
{
    // Until a hint is written, the button tells what the tab's keys and buttons do.
    const QString help = hint::keyHelp(lblCtlName->text());
    if (help.isEmpty() || !txtContents->toPlainText().isEmpty())
        return;
    txtContents->setPlainText(help);
    m_showingHelp = true;
}

bool Hint::EntryHint()
{
    // The key help shown in place of a hint is not the user's hint.
    const store::Error e = hint::storeHint(QSqlDatabase::database(m_workConnection, false),
                                           lblFormName->text(), lblCtlName->text(), lblFormTitle->text(),
                                           m_showingHelp ? QString() : txtContents->toPlainText());
    if (e.failed()) {
        app::tellFailure(QStringLiteral("ヒントを登録"), e);
        return false;
    }
    return true;
}

bool Hint::Deleteヒント()
{
    const store::Error e = hint::deleteHint(QSqlDatabase::database(m_workConnection, false),
                                            lblFormName->text(), lblCtlName->text());
    if (e.failed()) {
        // The stored hint is still there, so the text that shows it stays too.
        app::tellFailure(QStringLiteral("ヒントを削除"), e);
        return false;
    }
    clearText();
    showKeyHelp();
    return true;
}

void Hint::confirmRegister()
{
    if (!Msg::ShowMsg(MsgId::登録_確認, QStringLiteral("ヒント")))
        return;
    if (EntryHint())
        Msg::ShowMsg(MsgId::登録_完了, QStringLiteral("ヒント"));
}

void Hint::confirmDelete()
{
    if (!Msg::ShowMsg(MsgId::削除_確認, QStringLiteral("ヒント")))
        return;
    if (Deleteヒント())
        Msg::ShowMsg(MsgId::削除_完了, QStringLiteral("ヒント"));
}

void Hint::toggleEdit()
{
    // Grey is the read-only state; any other colour counts as editing. A hint is written from
    // nothing, not over the key help.
    const bool editing = cmd編集->backColor() == kReadOnlyColor;
    if (editing && m_showingHelp)
        clearText();
    setEditing(editing);
    txtContents->setFocus();
}

bool Hint::isEditing() const
{
    return cmd編集->backColor() != kReadOnlyColor;
}

void Hint::setEditing(bool on)
{
    txtContents->setReadOnly(!on);
    // Read-only text can still be selected and copied from the keyboard.
    if (!on)
        txtContents->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    cmd編集->setBackColor(on ? kEditColor : kReadOnlyColor);
    showState(false);
}

void Hint::showState(bool typedWhileReadOnly)
{
    if (isEditing()) {
        lblState->setText(QStringLiteral("編集中です。「登録」で保存します。"));
        lblState->setStyleSheet(QString());
        return;
    }
    lblState->setText(QStringLiteral("表示のみです。書き換えるには「編集」を押してください。"));
    // Typing into the read-only text says so where the eye is.
    lblState->setStyleSheet(typedWhileReadOnly ? QStringLiteral("color: #b00020; font-weight: bold;")
                                               : QString());
}

bool Hint::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == txtContents && e->type() == QEvent::KeyPress && !isEditing()) {
        const QString typed = static_cast<QKeyEvent*>(e)->text();
        if (!typed.isEmpty() && typed.at(0).isPrint())
            showState(true);
    }
    return QWidget::eventFilter(watched, e);
}
