#include "ui/Controls.h"

#include <QCompleter>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

void makeEditable(QComboBox* combo)
{
    if (combo->isEditable())
        return;
    // QComboBox gives a line edit without a completer one of its own, which costs more than the
    // rest of the combo. One completer, lent to each line edit in turn, keeps it from doing so;
    // it is taken back at once, leaving the combo without completion as before.
    static QPointer<QCompleter> lent;
    if (!lent)
        lent = new QCompleter(QCoreApplication::instance());
    auto* edit = new QLineEdit(combo);
    edit->setCompleter(lent);
    combo->setLineEdit(edit);
    combo->setCompleter(nullptr);
}

Combo::Combo(QWidget* parent) : QComboBox(parent)
{
    // Whatever changes the items (an entry the combo inserts when typed, clear) makes them unknown
    // again.
    const auto touched = [this] { m_itemsKnown = false; };
    connect(model(), &QAbstractItemModel::rowsInserted, this, touched);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, touched);
    connect(model(), &QAbstractItemModel::rowsMoved, this, touched);
    connect(model(), &QAbstractItemModel::dataChanged, this, touched);
    connect(model(), &QAbstractItemModel::modelReset, this, touched);
    connect(model(), &QAbstractItemModel::layoutChanged, this, touched);
}

bool holdsItems(const QComboBox* combo, const QStringList& items)
{
    if (combo->count() != items.size())
        return false;
    for (int i = 0; i < items.size(); ++i)
        if (combo->itemText(i) != items[i])
            return false;
    return true;
}

void Combo::setItems(const QStringList& items)
{
    // Pick lists are set again at every クリア, and mostly hold these names already. A list
    // given out again unchanged shares its data, so the first test is mostly one comparison.
    if (m_itemsKnown && m_items == items)
        return;
    if (!holdsItems(this, items)) {
        clear();
        addItems(items);
    }
    m_items = items;
    m_itemsKnown = true;
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
