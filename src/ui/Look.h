#pragma once
// Small builders shared by the tabs, so every button and label looks alike.
#include <QString>
#include <QStringList>

class QWidget;
class QLabel;
class QIcon;
class CommandButton;
class Combo;

namespace app {

CommandButton* makeButton(const QString& name, const QString& caption, QWidget* parent,
                          const QString& tooltip = {});
// A picture button without caption that opens the tab's hint.
CommandButton* makeHintButton(const QString& name, QWidget* parent);
// An editable pick list whose typed text is taken as it stands.
Combo* makeNameCombo(const QString& name, QWidget* parent);
// Shows a window in front and active, restored from a minimised state.
void bringForward(QWidget* window);
// Once a window of ours closes, the keyboard goes back to the window it was opened from, also
// where no window manager hands the focus back by itself.
void returnFocusOnClose(QWidget* window);
// Replaces a pick list's items; nothing is preselected, so an empty field stays empty.
void fillPickList(Combo* combo, const QStringList& items);
QLabel* makeLabel(const QString& text, QWidget* parent, const QString& name = {});
// The name a screen reader and UI automation give an input: its label's text without the
// blanks that space it out on screen ("氏　名" is read as 氏名).
void nameInput(QWidget* input, const QString& label);
// A label placed beside its input, the input named by it.
QLabel* makeLabelFor(const QString& text, QWidget* input, QWidget* parent);
QIcon hintIcon();

} // namespace app
