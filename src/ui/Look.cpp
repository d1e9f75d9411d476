#include "ui/Look.h"

#include "ui/Controls.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QPixmap>
#include <QWidget>

namespace app {

CommandButton* makeButton(const QString& name, const QString& caption, QWidget* parent,
                          const QString& tooltip)
{
    auto* b = new CommandButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    if (!tooltip.isEmpty())
        b->setToolTip(tooltip);
    b->setMinimumSize(72, 28);
    b->setAutoDefault(false);
    return b;
}

QIcon hintIcon()
{
    // A light bulb drawn at run time, so no picture file has to travel with the program; once,
    // for the three tabs' buttons.
    const QString key = QStringLiteral("tesvan-hint-bulb");
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return QIcon(pm);
    pm = QPixmap(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(13, 11), 14);
    g.setColorAt(0, QColor(255, 252, 200));
    g.setColorAt(1, QColor(247, 200, 40));
    p.setPen(QPen(QColor(150, 110, 0), 1.4));
    p.setBrush(g);
    p.drawEllipse(QRectF(6, 2, 20, 20));
    p.setBrush(QColor(150, 150, 150));
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawRoundedRect(QRectF(11, 21, 10, 8), 2, 2);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(QPointF(11.5, 24), QPointF(20.5, 24));
    p.drawLine(QPointF(11.5, 26.5), QPointF(20.5, 26.5));
    // The question mark is drawn, not typed: a bold "?" in the window's font opened the bold
    // face of the CJK font, about a tenth of the start, for one character.
    p.setPen(QPen(QColor(120, 80, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath mark;
    const QRectF curl(12.5, 6.3, 7, 6.4);
    mark.arcMoveTo(curl, 165);
    mark.arcTo(curl, 165, -235);
    mark.lineTo(16, 14.6);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 80, 0));
    p.drawEllipse(QPointF(16, 17.6), 1.3, 1.3);
    p.end();
    QPixmapCache::insert(key, pm);
    return QIcon(pm);
}

CommandButton* makeHintButton(const QString& name, QWidget* parent)
{
    auto* b = new CommandButton(parent);
    b->setObjectName(name);
    b->setIcon(hintIcon());
    b->setIconSize(QSize(24, 24));
    b->setFixedSize(36, 32);
    b->setToolTip(QStringLiteral("ヒント"));
    b->setAccessibleName(QStringLiteral("ヒント"));
    b->setAutoDefault(false);
    return b;
}

Combo* makeNameCombo(const QString& name, QWidget* parent)
{
    auto* c = new Combo(parent);
    c->setObjectName(name);
    makeEditable(c);
    c->setInsertPolicy(QComboBox::NoInsert);
    // No completer: an editable combo's own one completes 山田 into 山田太郎 as it is typed (and
    // as an input method commits it), and the longer name would then be read, stored and listed.
    // The list offers the names; only a pick from it (a click, or the arrows) takes one.
    c->setCompleter(nullptr);
    // Sized by its place, not by its names: measuring each of a few hundred names for the size
    // hint was 8 % of the work before the window showed. The open list still fits the longest.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(10);
    return c;
}

QLabel* makeLabel(const QString& text, QWidget* parent, const QString& name)
{
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

void nameInput(QWidget* input, const QString& label)
{
    QString name = label;
    name.remove(u'\u3000').remove(u' ');
    input->setAccessibleName(name);
}

QLabel* makeLabelFor(const QString& text, QWidget* input, QWidget* parent)
{
    QLabel* l = makeLabel(text, parent);
    l->setBuddy(input);
    nameInput(input, text);
    return l;
}

void bringForward(QWidget* window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void returnFocusOnClose(QWidget* window)
{
    // Filtered rather than overridden: the preview closes through its dialog's own paths.
    struct Filter : QObject {
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* e) override
        {
            if (e->type() == QEvent::Hide || e->type() == QEvent::Close) {
                auto* w = static_cast<QWidget*>(watched);
                QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
                if (owner && owner->isVisible() && !owner->isMinimized() && !w->isVisible())
                    owner->activateWindow();
            }
            return false;
        }
    };
    window->installEventFilter(new Filter(window));
}

void fillPickList(Combo* combo, const QStringList& items)
{
    combo->setItems(items);
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

} // namespace app
