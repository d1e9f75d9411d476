#include "report/ReviewPanel.h"

#include "ui/Controls.h"
#include "ui/Look.h"
#include "ui/Notices.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QString when(const QDateTime& t)
{
    return t.toLocalTime().toString(QStringLiteral("MM/dd HH:mm"));
}

} // namespace

ReviewPanel::ReviewPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pnl確認"));
    setFrameShape(QFrame::StyledPanel);
    // Small beside the lines, which stay the tab's main part even in a small window.
    setMaximumHeight(136);
    lbl審査状態 = app::makeLabel(QString(), this, QStringLiteral("lbl審査状態"));
    lst審査履歴 = new QListWidget(this);
    lst審査履歴->setObjectName(QStringLiteral("lst審査履歴"));
    app::nameInput(lst審査履歴, QStringLiteral("履歴と既読"));
    lstコメント = new QListWidget(this);
    lstコメント->setObjectName(QStringLiteral("lstコメント"));
    lstコメント->setWordWrap(true);
    app::nameInput(lstコメント, QStringLiteral("コメント"));
    txtコメント = new QPlainTextEdit(this);
    txtコメント->setObjectName(QStringLiteral("txtコメント"));
    txtコメント->setPlaceholderText(QStringLiteral("コメント（Ctrl+Enter で送信）"));
    txtコメント->setTabChangesFocus(true);
    app::nameInput(txtコメント, QStringLiteral("コメント入力"));
    txtコメント->installEventFilter(this);
    cmdコメント送信 = app::makeButton(QStringLiteral("cmdコメント送信"), QStringLiteral("送信"), this,
                                      QStringLiteral("コメントを送信します (Ctrl+Enter)"));
    cmd承認 = app::makeButton(QStringLiteral("cmd承認"), QStringLiteral("承認"), this,
                              QStringLiteral("日報を承認します (F9)"));
    cmd差戻し = app::makeButton(QStringLiteral("cmd差戻し"), QStringLiteral("差戻し"), this,
                                QStringLiteral("コメント欄の理由を付けて差し戻します (Shift+F9)"));
    cmd承認取消 = app::makeButton(QStringLiteral("cmd承認取消"), QStringLiteral("承認取消"), this,
                                  QStringLiteral("承認を取り消し、本人が変更できるようにします"));
    cmd承認->setShortcut(QKeySequence(Qt::Key_F9));
    cmd差戻し->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F9));

    auto* state = new QVBoxLayout;
    state->setSpacing(2);
    state->addWidget(lbl審査状態);
    state->addWidget(lst審査履歴, 1);
    auto* input = new QVBoxLayout;
    input->setSpacing(4);
    input->addWidget(txtコメント, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    for (CommandButton* b : {cmd承認, cmd差戻し, cmd承認取消, cmdコメント送信})
        buttons->addWidget(b);
    input->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);
    layout->addLayout(state, 2);
    layout->addWidget(lstコメント, 3);
    layout->addLayout(input, 3);

    connect(cmdコメント送信, &QPushButton::clicked, this, &ReviewPanel::sendComment);
    connect(cmd承認, &QPushButton::clicked, this, &ReviewPanel::approve);
    connect(cmd差戻し, &QPushButton::clicked, this, &ReviewPanel::returnReport);
    connect(cmd承認取消, &QPushButton::clicked, this, &ReviewPanel::withdraw);
    hide();
}

void ReviewPanel::setMember(const std::function<QSqlDatabase()>& mainDb, const store::Member& me)
{
    m_mainDb = mainDb;
    m_me = me;
    showReport({}, {}, 0);
}

void ReviewPanel::forgetMember()
{
    m_me.reset();
    m_shown = false;
    m_review = {};
    hide();
}

void ReviewPanel::showReport(const QDate& day, const QString& name, int version)
{
    if (!m_me)
        return;
    const bool changed = day != m_day || name != m_name;
    const bool wasApproved = approved();
    m_day = day;
    m_name = name;
    m_version = version;
    m_shown = version > 0 && store::hasReview(m_mainDb());
    if (changed)
        txtコメント->clear();
    setVisible(true);
    setEnabled(m_shown);
    if (m_shown && name != m_me->氏名) {
        // Opening another's report is reading it; a mark that fails is no reason to stop reading.
        store::markRead(m_mainDb(), day, name);
    }
    refresh();
    if (approved() != wasApproved)
        emit approvalChanged();
}

void ReviewPanel::refresh()
{
    m_review = {};
    if (m_shown) {
        if (const store::Error e = store::readReview(m_mainDb(), m_day, m_name, &m_review); e.failed())
            app::tellFailure(QStringLiteral("日報の確認を読込"), e);
    }
    showReview();
}

void ReviewPanel::showReview()
{
    lbl審査状態->setText(m_shown ? QStringLiteral("状態: ") + store::stateText(m_review.state)
                                 : QStringLiteral("状態: 未登録"));
    lst審査履歴->clear();
    for (const store::ReviewEvent& e : m_review.history)
        lst審査履歴->addItem(QStringLiteral("%1 %2 %3").arg(when(e.at), e.what, e.by));
    for (const store::Reader& r : m_review.readers)
        lst審査履歴->addItem(QStringLiteral("%1 既読 %2").arg(when(r.at), r.by));
    if (m_review.readers.isEmpty() && m_shown)
        lst審査履歴->addItem(QStringLiteral("未読"));
    lstコメント->clear();
    for (const store::Comment& c : m_review.comments)
        lstコメント->addItem(QStringLiteral("%1 %2\n%3").arg(c.by, when(c.at), c.text));
    lstコメント->scrollToBottom();
    // A manager decides on another's report; nobody decides on their own.
    const bool decides = m_shown && m_me && m_me->maintains() && m_name != m_me->氏名;
    m_decides = decides;
    cmd承認->setVisible(decides);
    cmd差戻し->setVisible(decides);
    cmd承認取消->setVisible(decides);
    cmd承認->setEnabled(decides && !m_review.approved());
    cmd承認取消->setEnabled(decides && m_review.approved());
}

bool ReviewPanel::decided(const QString& what, const store::Error& e)
{
    const bool wasApproved = approved();
    if (e.failed())
        app::tellFailure(what, e);
    refresh();
    if (approved() != wasApproved)
        emit approvalChanged();
    return e.ok();
}

void ReviewPanel::sendComment()
{
    if (!m_shown)
        return;
    if (!app::requireField(!txtコメント->toPlainText().trimmed().isEmpty(),
                           QStringLiteral("コメントを入力してください。"), txtコメント))
        return;
    if (decided(QStringLiteral("コメントを送信"),
                store::addComment(m_mainDb(), m_day, m_name, txtコメント->toPlainText())))
        txtコメント->clear();
}

void ReviewPanel::approve()
{
    if (m_decides && !m_review.approved())
        decided(QStringLiteral("日報を承認"), store::approveReport(m_mainDb(), m_day, m_name, m_version));
}

void ReviewPanel::returnReport()
{
    if (!m_decides)
        return;
    if (!app::requireField(!txtコメント->toPlainText().trimmed().isEmpty(),
                           QStringLiteral("差戻しの理由をコメント欄に入力してください。"), txtコメント))
        return;
    if (decided(QStringLiteral("日報を差戻し"),
                store::returnReport(m_mainDb(), m_day, m_name, m_version, txtコメント->toPlainText())))
        txtコメント->clear();
}

void ReviewPanel::withdraw()
{
    if (m_decides && m_review.approved())
        decided(QStringLiteral("承認を取消"), store::withdrawApproval(m_mainDb(), m_day, m_name));
}

bool ReviewPanel::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == txtコメント && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            (k->modifiers() & Qt::ControlModifier)) {
            sendComment();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            emit leave();
            return true;
        }
    }
    return QFrame::eventFilter(watched, e);
}
