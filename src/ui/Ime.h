#pragma once
// Opening and closing the input method of a window.
class QWidget;

// Opens (open = true) or closes the input method for window and for the editors it creates
// from now on; an editor inside window that has the focus right now follows at once.
void SetImeStatus(QWidget* window, bool open);

// Gives editor the input-method state of owner (used for cell editors).
void copyImeStatus(const QWidget* owner, QWidget* editor);
