#pragma once
// Answering a modal dialog once it is on screen. A test polls for it, as a user waits for a
// window to appear: on a loaded machine a dialog opens late, and one answered by a single timer
// would wait for an answer that never comes. An answer that did not close the dialog (a key
// taken by a completion list that opened meanwhile) is given again, as a user would.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace testing {

// Calls answer with the visible modal dialog of type Dialog (and objectName, when given) once it
// is the active modal widget, and again every half second while it stays open, for at most
// timeoutMs in all; a dialog still open then is rejected.
template <typename Dialog>
void whenShown(std::function<void(Dialog*)> answer, const QString& objectName = {}, int timeoutMs = 60000)
{
    // Owned by the application: a dialog that never came leaves its poll to end with the program,
    // not as a leak.
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(20);
    auto waited = std::make_shared<QElapsedTimer>();
    auto sinceAnswer = std::make_shared<QElapsedTimer>();
    auto answered = std::make_shared<QPointer<Dialog>>();
    waited->start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        const bool found = d && d->isVisible() && (objectName.isEmpty() || d->objectName() == objectName);
        const bool closed = !answered->isNull() && (!found || d != answered->data());
        if (closed || (answered->isNull() && !found && sinceAnswer->isValid()) ||
            waited->elapsed() >= timeoutMs) {
            // A dialog that no answer closed is closed unanswered: the test fails instead of
            // waiting in it until the suite's limit.
            if (!closed && found)
                if (auto* dialog = qobject_cast<QDialog*>(d))
                    dialog->reject();
            poll->stop();
            poll->deleteLater();
            return;
        }
        if (!found || (sinceAnswer->isValid() && sinceAnswer->elapsed() < 500))
            return;
        *answered = d;
        sinceAnswer->start();
        // A completion list left open over the dialog takes the keys meant for it.
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        answer(d);
    });
    poll->start();
}

} // namespace testing
