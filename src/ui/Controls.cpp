#include "ui/Controls.h"

#include <QFocusEvent>
#include <QKeyEvent>

Combo::Combo(QWidget* parent) : QComboBox(parent)
{
}

void Combo::clearAll()
{
    clear();
    if (isEditable())
        clearEditText();
    setCurrentIndex(-1);
}

QString Combo::firstItem() const
{
    return count() > 0 ? itemText(0) : QString();
}

void Combo::keyPressEvent(QKeyEvent* e)
{
    int key = (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) ? int(Qt::Key_Return) : e->key();
    emit keyDown(&key, e->modifiers());
    if (key == 0) {
        e->accept();
        return;
    }
    const QString text = e->text();
    if (text.isEmpty()) {
        QComboBox::keyPressEvent(e);
        return;
    }
    const char32_t typed = text.toUcs4().value(0);
    int ascii = int(typed);
    emit keyPress(&ascii);
    if (ascii == 0) {
        e->accept();
        return;
    }
    if (ascii == int(typed)) {
        QComboBox::keyPressEvent(e);
        return;
    }
    // The handler asked for another character.
    const char32_t replaced[] = {char32_t(ascii)};
    QKeyEvent other(e->type(), Qt::Key_unknown, e->modifiers(), QString::fromUcs4(replaced, 1));
    QComboBox::keyPressEvent(&other);
    e->setAccepted(other.isAccepted());
}

void Combo::focusOutEvent(QFocusEvent* e)
{
    QComboBox::focusOutEvent(e);
    // Opening its own list is no loss of focus.
    if (e->reason() != Qt::PopupFocusReason)
        emit focusLost();
}

CommandButton::CommandButton(QWidget* parent) : QPushButton(parent)
{
}

CommandButton::CommandButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
}

QColor CommandButton::backColor() const
{
    return m_backColor.isValid() ? m_backColor : palette().color(QPalette::Button);
}

void CommandButton::setBackColor(const QColor& c)
{
    m_backColor = c;
    QPalette p = palette();
    p.setColor(QPalette::Button, c);
    setPalette(p);
    update();
}
