#include "search/HighlightDelegate.h"

#include "search/SearchStore.h"

#include <QApplication>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

namespace search {

QList<Span> foldedMatches(const QString& text, const QStringList& foldedKeywords)
{
    QList<Span> found;
    if (text.isEmpty() || foldedKeywords.isEmpty())
        return found;
    // The folded text, and for each of its code units the grapheme of text it came from.
    QString folded;
    QList<int> fromStart, fromEnd;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int start = 0;
    while (start < text.size()) {
        int end = int(graphemes.toNextBoundary());
        if (end <= start)
            end = int(text.size());
        const QString part = fold(text.mid(start, end - start));
        for (int i = 0; i < part.size(); ++i) {
            fromStart << start;
            fromEnd << end;
        }
        folded += part;
        start = end;
    }
    for (const QString& k : foldedKeywords) {
        if (k.isEmpty())
            continue;
        for (qsizetype at = folded.indexOf(k); at >= 0; at = folded.indexOf(k, at + 1)) {
            const int s = fromStart[at];
            const int e = fromEnd[at + k.size() - 1];
            found << Span{s, e - s};
        }
    }
    std::sort(found.begin(), found.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    QList<Span> merged;
    for (const Span& s : found) {
        if (!merged.isEmpty() && s.start <= merged.last().start + merged.last().length) {
            Span& last = merged.last();
            last.length = qMax(last.start + last.length, s.start + s.length) - last.start;
        } else {
            merged << s;
        }
    }
    return merged;
}

int shownFrom(const QString& text, const QList<Span>& marks, const QFontMetricsF& metrics, qreal width)
{
    if (marks.isEmpty())
        return 0;
    const Span& m = marks.first();
    const int end = m.start + m.length;
    if (metrics.horizontalAdvance(text.left(end)) <= width)
        return 0;
    const QString dots = QStringLiteral("…");
    // Back from the match a grapheme at a time while the context stays short and the match in view.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    graphemes.setPosition(m.start);
    int from = m.start;
    while (from > 0) {
        const int before = int(graphemes.toPreviousBoundary());
        if (before < 0)
            break;
        if (metrics.horizontalAdvance(text.mid(before, m.start - before)) > width / 3 ||
            metrics.horizontalAdvance(dots + text.mid(before, end - before)) > width)
            break;
        from = before;
    }
    return from;
}

HighlightDelegate::HighlightDelegate(int column, QObject* parent)
    : QStyledItemDelegate(parent), m_column(column)
{
}

QColor HighlightDelegate::markColor()
{
    return QColor(255, 226, 110);
}

void HighlightDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != m_column || m_keywords.isEmpty()) {
        QStyledItemDelegate::paint(p, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // A line break in 内容 shows as a blank in the one-line cell; offsets stay those of the text.
    QString text = opt.text;
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    opt.text.clear();
    const QWidget* w = opt.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);

    const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, w).adjusted(3, 0, -3, 0);
    const QList<Span> found = foldedMatches(text, m_keywords);
    // A match past the cell's width is brought into view, with "…" for the part left out (the
    // tooltip holds the whole text).
    const int from = shownFrom(text, found, QFontMetricsF(opt.font), r.width());
    const int shift = from > 0 ? 1 - from : 0;
    if (from > 0)
        text = QStringLiteral("…") + text.mid(from);
    QList<QTextLayout::FormatRange> marks;
    for (const Span& s : found) {
        if (s.start + s.length <= from)
            continue;
        QTextLayout::FormatRange f;
        f.start = qMax(s.start + shift, from > 0 ? 1 : 0);
        f.length = s.start + s.length + shift - f.start;
        f.format.setBackground(markColor());
        f.format.setForeground(QColor(Qt::black));
        marks << f;
    }
    QTextLayout layout(text, opt.font);
    QTextOption to;
    to.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(to);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    if (!line.isValid())
        return;
    p->save();
    p->setClipRect(r);
    const bool selected = opt.state & QStyle::State_Selected;
    p->setPen(opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal y = r.top() + (r.height() - line.height()) / 2;
    layout.draw(p, QPointF(r.left(), y), marks);
    p->restore();
}

} // namespace search
