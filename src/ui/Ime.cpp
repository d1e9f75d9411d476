#include "ui/Ime.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethod>
#include <QLineEdit>
#include <QWidget>

namespace {
// Hints that keep a closed input method from offering conversions.
constexpr Qt::InputMethodHints kClosedHints = Qt::ImhPreferLatin | Qt::ImhNoPredictiveText;

void apply(QWidget* w, bool open)
{
    w->setAttribute(Qt::WA_InputMethodEnabled, open);
    Qt::InputMethodHints h = w->inputMethodHints();
    w->setInputMethodHints(open ? (h & ~kClosedHints) : (h | kClosedHints));
    // An editable combo box types into its line edit.
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
        apply(combo->lineEdit(), open);
}
} // namespace

void SetImeStatus(QWidget* window, bool open)
{
    if (!window)
        return;
    apply(window, open);
    QWidget* f = QApplication::focusWidget();
    if (f && f != window && window->isAncestorOf(f))
        apply(f, open);
    QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

void copyImeStatus(const QWidget* owner, QWidget* editor)
{
    if (owner && editor)
        apply(editor, owner->testAttribute(Qt::WA_InputMethodEnabled));
}
