#pragma once
// Widgets at their design places, given in pixels from the container's top left, so that the
// window keeps its described positions at its default size. In a narrower container the
// widgets that have a minimum width give up width in proportion, and the widgets right of them
// on the same row move left, so that nothing is cut off.
#include <QLayout>
#include <QList>
#include <QRect>

class PlacedLayout : public QLayout {
  public:
    explicit PlacedLayout(QWidget* parent = nullptr);
    ~PlacedLayout() override;

    // w at design; minWidth below the design width lets it narrow down to that.
    void place(QWidget* w, const QRect& design, int minWidth = -1);
    // The design place of w (after a described move or resize).
    void setDesign(QWidget* w, const QRect& design);

    // The places within a container width, in the order the widgets were placed.
    QList<QRect> placesFor(int width) const;

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& r) override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_slots.size()); }

  private:
    struct Slot {
        QLayoutItem* item;
        QRect design;
        int minWidth;
    };
    int slack(const Slot& s) const { return s.minWidth >= 0 ? qMax(0, s.design.width() - s.minWidth) : 0; }

    QList<Slot> m_slots;
};
