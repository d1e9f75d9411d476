#include "ui/PlacedLayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>
#include <map>

PlacedLayout::PlacedLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

PlacedLayout::~PlacedLayout()
{
    for (const Slot& s : m_slots)
        delete s.item;
}

void PlacedLayout::place(QWidget* w, const QRect& design, int minWidth)
{
    addChildWidget(w);
    m_slots.append({new QWidgetItem(w), design, minWidth});
    invalidate();
}

void PlacedLayout::setDesign(QWidget* w, const QRect& design)
{
    for (Slot& s : m_slots)
        if (s.item->widget() == w)
            s.design = design;
    invalidate();
}

QList<QRect> PlacedLayout::placesFor(int width) const
{
    // A row is the widgets that share a top edge; each row gives up only what it must.
    std::map<int, QList<int>> rows;
    for (int i = 0; i < m_slots.size(); ++i)
        rows[m_slots[i].design.top()] << i;
    QList<QRect> places(m_slots.size());
    for (auto& [top, members] : rows) {
        std::sort(members.begin(), members.end(),
                  [this](int a, int b) { return m_slots[a].design.left() < m_slots[b].design.left(); });
        int right = 0, capacity = 0;
        for (const int i : members) {
            right = qMax(right, m_slots[i].design.right() + 1);
            capacity += slack(m_slots[i]);
        }
        const int deficit = qBound(0, right + contentsMargins().right() - width, capacity);
        int given = 0, slackSeen = 0;
        for (const int i : members) {
            const Slot& s = m_slots[i];
            // Rounded on the running sum, so the row gives up exactly the deficit.
            slackSeen += slack(s);
            const int upTo = capacity ? deficit * slackSeen / capacity : 0;
            places[i] = QRect(s.design.left() - given, s.design.top(), s.design.width() - (upTo - given),
                              s.design.height());
            given = upTo;
        }
    }
    return places;
}

QSize PlacedLayout::sizeHint() const
{
    QRect all;
    for (const Slot& s : m_slots)
        all |= s.design;
    return {all.right() + 1 + contentsMargins().right(), all.bottom() + 1 + contentsMargins().bottom()};
}

QSize PlacedLayout::minimumSize() const
{
    std::map<int, std::pair<int, int>> rows; // top -> right edge, slack
    int bottom = 0;
    for (const Slot& s : m_slots) {
        auto& [right, give] = rows[s.design.top()];
        right = qMax(right, s.design.right() + 1);
        give += slack(s);
        bottom = qMax(bottom, s.design.bottom() + 1);
    }
    int width = 0;
    for (const auto& [top, row] : rows)
        width = qMax(width, row.first - row.second);
    return {width + contentsMargins().right(), bottom + contentsMargins().bottom()};
}

void PlacedLayout::setGeometry(const QRect& r)
{
    QLayout::setGeometry(r);
    const QList<QRect> places = placesFor(r.width());
    for (int i = 0; i < m_slots.size(); ++i)
        m_slots[i].item->setGeometry(places[i].translated(r.topLeft()));
}

void PlacedLayout::addItem(QLayoutItem* item)
{
    // An item added without a place keeps where it stands.
    const QRect at = item->widget() ? item->widget()->geometry() : item->geometry();
    m_slots.append({item, at, -1});
}

QLayoutItem* PlacedLayout::itemAt(int index) const
{
    return index >= 0 && index < m_slots.size() ? m_slots[index].item : nullptr;
}

QLayoutItem* PlacedLayout::takeAt(int index)
{
    if (index < 0 || index >= m_slots.size())
        return nullptr;
    return m_slots.takeAt(index).item;
}
