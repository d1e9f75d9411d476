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

// A modal QMessageBox over the active window. Anything that keeps the box from being
// shown and answered counts as "not Yes".
bool presentInBox(const MsgSpec& entry)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return false;

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

    QPushButton* yes = nullptr;
    if (entry.yesNo) {
        yes = box->addButton(QMessageBox::Yes);
        QPushButton* no = box->addButton(QMessageBox::No);
        box->setDefaultButton(entry.defaultNo ? no : yes);
        box->setEscapeButton(no);
    } else {
        QPushButton* ok = box->addButton(QMessageBox::Ok);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }

    box->exec();
    // The keyboard goes back to the window the box came from, also where no window manager
    // hands the focus back by itself.
    if (owner && owner->isVisible())
        owner->activateWindow();
    if (!box)
        return false;
    const bool answeredYes = yes && box->clickedButton() == yes;
    delete box;
    return answeredYes;
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

bool Msg::show(const QString& op, const QString& kind, const QString& subject)
{
    try {
        const std::optional<MsgSpec> entry = MsgCatalogue::describe(op, kind, subject);
        if (!entry)
            return false;
        // A copy, so a presenter that replaces itself while showing stays alive.
        const Presenter p = presenter();
        const bool answer = p ? p(*entry) : presentInBox(*entry);
        // An OK notice is never a confirmation, whatever the presenter says.
        return entry->yesNo && answer;
    } catch (...) {
        // The caller must not act on a box that failed: same as No.
        return false;
    }
}

bool Msg::ShowMsg(const QString& op, const QString& kind, const QString& subject)
{
    if (op == u"登録")
        return Msg登録(kind, subject);
    if (op == u"転記")
        return Msg転記(kind, subject);
    if (op == u"削除")
        return Msg削除(kind, subject);
    if (op == u"入力")
        return Msg入力(kind, subject);
    if (op == u"行指定")
        return Msg行指定(kind, subject);
    if (op == u"クリア")
        return Msgクリア(kind, subject);
    if (op == u"印刷")
        return Msg印刷(kind, subject);
    if (op == u"その他")
        return Msgその他(kind, subject);
    return false;
}

bool Msg::Msg登録(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("登録"), kind, subject);
}

bool Msg::Msg転記(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("転記"), kind, subject);
}

bool Msg::Msg削除(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("削除"), kind, subject);
}

bool Msg::Msg入力(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("入力"), kind, subject);
}

bool Msg::Msg行指定(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("行指定"), kind, subject);
}

bool Msg::Msgクリア(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("クリア"), kind, subject);
}

bool Msg::Msg印刷(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("印刷"), kind, subject);
}

bool Msg::Msgその他(const QString& kind, const QString& subject)
{
    return show(QStringLiteral("その他"), kind, subject);
}
