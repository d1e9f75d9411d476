#pragma once
// Small controls: a combo box with key and focus notifications, a button with a colour.
#include <QColor>
#include <QComboBox>
#include <QPushButton>

// Editable as QComboBox::setEditable(true) makes it, without building up front what a combo here
// never uses or needs only once its list opens: QComboBox's default completer (these combos
// complete nothing) and the drop-down list, made when it first opens. For the window's five
// combos the two were 8 % of the work before the window showed.
void makeEditable(QComboBox* combo);
// Whether combo's items are items, in order. Lists are given again mostly unchanged (at every
// クリア, at each cell edit); leaving such a combo alone keeps its typed text and popup as they are.
bool holdsItems(const QComboBox* combo, const QStringList& items);

class Combo : public QComboBox {
    Q_OBJECT
  public:
    explicit Combo(QWidget* parent = nullptr);

    void clearAll();           // removes every item and the text
    QString firstItem() const; // "" when there is none
    // The items become items; a combo known to hold them already is left alone.
    void setItems(const QStringList& items);

  signals:
    // Return / Enter come as Qt::Key_Return, other keys as their Qt::Key; set *key to 0 to cancel it.
    void keyDown(int* key, Qt::KeyboardModifiers shift);
    // The character typed (13 for Enter, 8 for Backspace); set to 0 to cancel it, or to
    // another character to type that one instead.
    void keyPress(int* ascii);
    void focusLost();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    QStringList m_items;       // what setItems put in last
    bool m_itemsKnown = false; // and nothing changed the items since
};

class CommandButton : public QPushButton {
    Q_OBJECT
  public:
    explicit CommandButton(QWidget* parent = nullptr);
    explicit CommandButton(const QString& text, QWidget* parent = nullptr);

    QColor backColor() const;
    void setBackColor(const QColor& c);

  private:
    QColor m_backColor;
};
