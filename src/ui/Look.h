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
QIcon hintIcon();

} // namespace app
