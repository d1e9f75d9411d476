#include "search/BarChart.h"

#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace search {
namespace {
constexpr qreal kMargin = 6;

QString number(qreal n)
{
    return QLocale(QLocale::Japanese).toString(qint64(std::llround(n)));
}
} // namespace

BarChart::BarChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarChart::setData(const QString& title, Qt::Orientation o, const QStringList& categories,
                       const QList<Series>& series)
{
    m_title = title;
    m_orientation = o;
    m_categories = categories;
    m_series = series;
    update();
}

QColor BarChart::colourOf(int series)
{
    static const QList<QColor> colours{QColor(0x20, 0x9f, 0xdf), QColor(0x99, 0xca, 0x53),
                                       QColor(0xf6, 0xa6, 0x25), QColor(0x6d, 0x5f, 0xd5),
                                       QColor(0xbf, 0x59, 0x3e), QColor(0x3b, 0xb3, 0xa5),
                                       QColor(0xd9, 0x4f, 0x8c), QColor(0x8c, 0x8c, 0x8c)};
    return colours[series % colours.size()];
}

qreal BarChart::largest() const
{
    qreal most = 0;
    for (int c = 0; c < m_categories.size(); ++c) {
        qreal sum = 0;
        for (const Series& s : m_series)
            sum += c < s.values.size() ? qMax<qreal>(0, s.values[c]) : 0;
        most = qMax(most, sum);
    }
    return most;
}

BarChart::Frame BarChart::frame() const
{
    Frame f;
    const QFontMetricsF fm(font());
    const qreal line = fm.height();
    QRectF r = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (!m_title.isEmpty()) {
        f.title = QRectF(r.left(), r.top(), r.width(), line + 4);
        r.setTop(f.title.bottom() + 4);
    }
    if (m_orientation == Qt::Vertical && m_series.size() > 1) {
        // The legend wraps its names into as many lines as the width needs.
        qreal x = 0;
        int lines = 1;
        for (const Series& s : m_series) {
            const qreal w = 16 + fm.horizontalAdvance(s.name) + 12;
            if (x > 0 && x + w > r.width()) {
                ++lines;
                x = 0;
            }
            x += w;
        }
        const qreal h = lines * (line + 2) + 4;
        f.legend = QRectF(r.left(), r.bottom() - h, r.width(), h);
        r.setBottom(f.legend.top() - 4);
    }
    // Grid lines at 1, 2 or 5 times a power of ten, about five of them, whole counts only.
    const qreal most = largest();
    if (most > 0) {
        const qreal raw = most / 5;
        const qreal power = std::pow(10.0, std::floor(std::log10(raw)));
        f.step = 10 * power;
        for (const qreal k : {1.0, 2.0, 5.0})
            if (k * power >= raw) {
                f.step = k * power;
                break;
            }
        f.step = qMax<qreal>(1, std::round(f.step));
        f.axisTop = std::ceil(most / f.step) * f.step;
    }
    const qreal topLabel = fm.horizontalAdvance(number(f.axisTop));
    if (m_orientation == Qt::Horizontal) {
        qreal widest = 0;
        for (const QString& c : m_categories)
            widest = qMax(widest, fm.horizontalAdvance(c));
        f.labelWidth = qMin(widest, r.width() * 0.4);
        f.plot = r.adjusted(f.labelWidth + 8, 0, -topLabel / 2, -(line + 4));
    } else {
        f.labelWidth = topLabel;
        f.plot = r.adjusted(topLabel + 8, line / 2, 0, -(line + 4));
    }
    return f;
}

QRectF BarChart::partRect(int series, int category) const
{
    if (series < 0 || series >= m_series.size() || category < 0 || category >= m_categories.size())
        return {};
    const Frame f = frame();
    const auto valueOf = [this, category](int s) {
        const QList<qreal>& v = m_series[s].values;
        return category < v.size() ? qMax<qreal>(0, v[category]) : 0;
    };
    qreal before = 0;
    for (int s = 0; s < series; ++s)
        before += valueOf(s);
    const qreal value = valueOf(series);
    if (value <= 0)
        return {};
    const qreal n = qreal(m_categories.size());
    if (m_orientation == Qt::Horizontal) {
        const qreal band = f.plot.height() / n, thick = band * 0.7;
        const qreal x = f.plot.left() + before / f.axisTop * f.plot.width();
        return {x, f.plot.top() + category * band + (band - thick) / 2, value / f.axisTop * f.plot.width(),
                thick};
    }
    const qreal band = f.plot.width() / n, thick = band * 0.6;
    const qreal h = value / f.axisTop * f.plot.height();
    const qreal bottom = f.plot.bottom() - before / f.axisTop * f.plot.height();
    return {f.plot.left() + category * band + (band - thick) / 2, bottom - h, thick, h};
}

std::pair<int, int> BarChart::partAt(const QPointF& p) const
{
    for (int s = 0; s < m_series.size(); ++s)
        for (int c = 0; c < m_categories.size(); ++c)
            if (partRect(s, c).contains(p))
                return {s, c};
    return {-1, -1};
}

void BarChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);

    const Frame f = frame();
    const QFontMetricsF fm(font());
    const QColor text = palette().color(QPalette::Text);
    p.setPen(text);
    if (!m_title.isEmpty())
        p.drawText(f.title, Qt::AlignCenter, fm.elidedText(m_title, Qt::ElideRight, f.title.width()));
    if (m_categories.isEmpty() || f.plot.width() <= 0 || f.plot.height() <= 0)
        return;

    // Grid lines and the value axis' labels.
    const QColor grid(0xe0, 0xe0, 0xe0);
    for (qreal v = 0; v <= f.axisTop + f.step / 2; v += f.step) {
        const QString label = number(v);
        if (m_orientation == Qt::Horizontal) {
            const qreal x = f.plot.left() + v / f.axisTop * f.plot.width();
            p.setPen(grid);
            p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
            p.setPen(text);
            const qreal w = fm.horizontalAdvance(label);
            p.drawText(QRectF(x - w / 2 - 2, f.plot.bottom() + 2, w + 4, fm.height()), Qt::AlignCenter,
                       label);
        } else {
            const qreal y = f.plot.bottom() - v / f.axisTop * f.plot.height();
            p.setPen(grid);
            p.drawLine(QPointF(f.plot.left(), y), QPointF(f.plot.right(), y));
            p.setPen(text);
            p.drawText(
                QRectF(f.plot.left() - f.labelWidth - 8, y - fm.height() / 2, f.labelWidth + 4, fm.height()),
                Qt::AlignRight | Qt::AlignVCenter, label);
        }
    }

    // The category labels beside or under their bars.
    const qreal n = qreal(m_categories.size());
    for (int c = 0; c < m_categories.size(); ++c) {
        if (m_orientation == Qt::Horizontal) {
            const qreal band = f.plot.height() / n;
            const QRectF box(f.plot.left() - f.labelWidth - 8, f.plot.top() + c * band, f.labelWidth + 4,
                             band);
            p.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                       fm.elidedText(m_categories[c], Qt::ElideRight, f.labelWidth));
        } else {
            const qreal band = f.plot.width() / n;
            const QRectF box(f.plot.left() + c * band, f.plot.bottom() + 2, band, fm.height());
            p.drawText(box, Qt::AlignCenter, fm.elidedText(m_categories[c], Qt::ElideRight, band));
        }
    }

    for (int s = 0; s < m_series.size(); ++s)
        for (int c = 0; c < m_categories.size(); ++c)
            if (const QRectF bar = partRect(s, c); !bar.isEmpty())
                p.fillRect(bar, colourOf(s));

    p.setPen(QColor(0x90, 0x90, 0x90));
    if (m_orientation == Qt::Horizontal)
        p.drawLine(f.plot.topLeft(), f.plot.bottomLeft());
    else
        p.drawLine(f.plot.bottomLeft(), f.plot.bottomRight());

    if (!f.legend.isEmpty()) {
        p.setPen(text);
        qreal x = f.legend.left(), y = f.legend.top() + 2;
        for (int s = 0; s < m_series.size(); ++s) {
            const qreal w = 16 + fm.horizontalAdvance(m_series[s].name) + 12;
            if (x > f.legend.left() && x + w > f.legend.right()) {
                x = f.legend.left();
                y += fm.height() + 2;
            }
            p.fillRect(QRectF(x, y + (fm.height() - 10) / 2, 10, 10), colourOf(s));
            p.drawText(QRectF(x + 14, y, w - 14, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       m_series[s].name);
            x += w;
        }
    }
}

void BarChart::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(e);
    const auto [series, category] = partAt(e->position());
    if (series >= 0)
        emit partClicked(series, category);
}

bool BarChart::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const auto [series, category] = partAt(help->pos());
        if (series < 0) {
            QToolTip::showText(help->globalPos(), toolTip(), this);
        } else {
            const Series& s = m_series[series];
            const QString who = m_series.size() > 1 ? s.name + QStringLiteral("　") : QString();
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("%1%2：%3").arg(who, m_categories[category], number(s.values[category])),
                this);
        }
        return true;
    }
    return QWidget::event(e);
}

} // namespace search
