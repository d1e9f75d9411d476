#include "msg/Msg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>

namespace {

QMessageBox::Icon boxIcon(MsgSpec::Icon icon)
{
    switch (icon) {
    case MsgSpec::Icon::Question:
        return QMessageBox::Question;
    case MsgSpec::Icon::Exclamation:
        return QMessageBox::Warning;
    case MsgSpec::Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The real boxes still waiting for an answer, so that an ending session can close them.
QList<QPointer<QMessageBox>>& openBoxes()
{
    static QList<QPointer<QMessageBox>> boxes;
    return boxes;
}

bool& dismissing()
{
    static bool on = false;
    return on;
}

// What a box closed without an answer stands for.
MsgButton closedAnswer(const MsgSpec& entry)
{
    if (!entry.choices.isEmpty())
        return entry.choices.last().button;
    return entry.yesNo ? MsgButton::No : MsgButton::Ok;
}

// A modal QMessageBox over the active window. Anything that keeps the box from being
// shown and answered counts as closed without an answer.
MsgButton presentInBox(const MsgSpec& entry)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return closedAnswer(entry);

    // Held through a QPointer: closing the parent window while the box is open deletes it.
    const QPointer<QWidget> owner = QApplication::activeWindow();
    QPointer<QMessageBox> box = new QMessageBox(owner);
    box->setObjectName(QStringLiteral("Msg"));
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(entry.title);
    // Subjects are user text: never let Qt take them for markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(entry.text);
    box->setIcon(boxIcon(entry.icon));

    QList<std::pair<QAbstractButton*, MsgButton>> buttons;
    if (!entry.choices.isEmpty()) {
        for (const MsgChoice& c : entry.choices) {
            const QMessageBox::ButtonRole role = c.button == MsgButton::Cancel ? QMessageBox::RejectRole
                                                 : c.button == MsgButton::Discard
                                                     ? QMessageBox::DestructiveRole
                                                     : QMessageBox::AcceptRole;
            QPushButton* b = box->addButton(c.text, role);
            b->setObjectName(QStringLiteral("Msg") + c.text);
            buttons.append({b, c.button});
        }
        box->setDefaultButton(static_cast<QPushButton*>(buttons.last().first));
        box->setEscapeButton(buttons.last().first);
    } else if (entry.yesNo) {
        QPushButton* yes = box->addButton(QMessageBox::Yes);
        QPushButton* no = box->addButton(QMessageBox::No);
        buttons = {{yes, MsgButton::Yes}, {no, MsgButton::No}};
        box->setDefaultButton(entry.defaultNo ? no : yes);
        box->setEscapeButton(no);
    } else {
        QPushButton* ok = box->addButton(QMessageBox::Ok);
        buttons = {{ok, MsgButton::Ok}};
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }

    openBoxes().append(box);
    box->exec();
    openBoxes().removeAll(box);
    openBoxes().removeAll(nullptr);
    // The keyboard goes back to the window the box came from, also where no window manager
    // hands the focus back by itself.
    if (owner && owner->isVisible() && !dismissing())
        owner->activateWindow();
    if (!box)
        return closedAnswer(entry);
    MsgButton answer = closedAnswer(entry);
    for (const auto& [button, meaning] : buttons)
        if (box->clickedButton() == button && !dismissing())
            answer = meaning;
    delete box;
    return answer;
}

Msg::Presenter& presenter()
{
    static Msg::Presenter p;
    return p;
}

} // namespace

void Msg::setPresenter(Presenter p)
{
    presenter() = std::move(p);
}

void Msg::dismissAll()
{
    dismissing() = true;
    const QList<QPointer<QMessageBox>> boxes = openBoxes();
    for (const QPointer<QMessageBox>& box : boxes)
        if (box)
            box->done(QMessageBox::Cancel);
}

bool Msg::dismissed()
{
    return dismissing();
}

MsgButton Msg::present(const MsgSpec& entry)
{
    if (dismissing())
        return closedAnswer(entry);
    try {
        // A copy, so a presenter that replaces itself while showing stays alive.
        const Presenter p = presenter();
        const MsgButton answer = p ? p(entry).button : presentInBox(entry);
        // Only a button the box has is an answer: an OK notice is never a confirmation, and a
        // box of choices answered Yes or No by a presenter was not answered.
        if (!entry.choices.isEmpty()) {
            for (const MsgChoice& c : entry.choices)
                if (c.button == answer)
                    return answer;
            return closedAnswer(entry);
        }
        if (entry.yesNo)
            return answer == MsgButton::Yes ? MsgButton::Yes : MsgButton::No;
        return MsgButton::Ok;
    } catch (...) {
        // The caller must not act on a box that failed: as if it was closed.
        return closedAnswer(entry);
    }
}

bool Msg::ShowMsg(MsgId id, const QString& subject)
{
    const MsgSpec entry = MsgCatalogue::describe(id, subject);
    // Every box is shown; only Yes on a Yes/No box confirms.
    const MsgButton answer = present(entry);
    return entry.yesNo && answer == MsgButton::Yes;
}

MsgButton Msg::ShowChoice(MsgId id, const QString& subject)
{
    const MsgButton answer = present(MsgCatalogue::describe(id, subject));
    // Closed without an answer reads as Cancel, whatever kind of box it was.
    if (dismissing())
        return MsgButton::Cancel;
    return answer;
}
