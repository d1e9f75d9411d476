#pragma once
// Answers the next real modal message box once it is up: records what it shows, then presses a
// key in it. A box that never comes stops the wait after five seconds, so that a fault fails the
// test instead of hanging it.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace testing {

struct BoxProbe {
    QString objectName, title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QStringList buttonTexts; // sorted
    QString defaultText;
    QWidget* parent = nullptr;
    bool seen = false;

    // Presses key in the box, or clicks its button captioned button when one is given.
    void answerWith(Qt::Key key, const QString& button = {})
    {
        auto* timer = new QTimer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, key, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            seen = true;
            objectName = box->objectName();
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            format = box->textFormat();
            buttons = box->standardButtons();
            defaultButton = box->standardButton(box->defaultButton());
            for (const QAbstractButton* b : box->buttons())
                buttonTexts << b->text();
            std::sort(buttonTexts.begin(), buttonTexts.end());
            defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
            parent = box->parentWidget();
            for (QAbstractButton* b : box->buttons())
                if (!button.isEmpty() && b->text() == button) {
                    b->click();
                    return;
                }
            QWidget* target = box->focusWidget() ? box->focusWidget() : box;
            QTest::keyClick(target, key);
        });
        QTimer::singleShot(5000, timer, [timer] { timer->deleteLater(); });
        timer->start();
    }
};

} // namespace testing
