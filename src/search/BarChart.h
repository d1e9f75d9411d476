#pragma once
// A bar chart painted by hand: the counts page needs plain bars that can be clicked, and a
// chart library loaded with the program would cost every start its libraries' memory and time.
#include <QList>
#include <QStringList>
#include <QWidget>

namespace search {

class BarChart : public QWidget {
    Q_OBJECT
  public:
    explicit BarChart(QWidget* parent = nullptr);

    // One part of every bar: a person in a stacked bar, or the only series.
    struct Series {
        QString name;
        QList<qreal> values; // one per category
    };

    // Horizontal: one bar per category from top to bottom, growing to the right. Vertical: one
    // column per category from left to right, the series stacked bottom up, with a legend when
    // there is more than one.
    void setData(const QString& title, Qt::Orientation o, const QStringList& categories,
                 const QList<Series>& series);
    void clear() { setData({}, m_orientation, {}, {}); }

    QString title() const { return m_title; }
    const QStringList& categories() const { return m_categories; }
    const QList<Series>& series() const { return m_series; }

    // Where a part is drawn (empty when it has no height), and which part is at a point:
    // {series, category}, or {-1, -1}.
    QRectF partRect(int series, int category) const;
    std::pair<int, int> partAt(const QPointF& p) const;

    QSize sizeHint() const override { return {420, 320}; }
    QSize minimumSizeHint() const override { return {220, 160}; }

  signals:
    void partClicked(int series, int category);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

  private:
    struct Frame {
        QRectF title, plot, legend;
        qreal axisTop = 1; // the value at the end of the value axis
        qreal step = 1;    // between two grid lines
        qreal labelWidth = 0;
    };
    Frame frame() const;
    qreal largest() const;
    static QColor colourOf(int series);

    QString m_title;
    Qt::Orientation m_orientation = Qt::Horizontal;
    QStringList m_categories;
    QList<Series> m_series;
};

} // namespace search
