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
    QList<QTextLayout::FormatRange> marks;
    for (const Span& s : foldedMatches(text, m_keywords)) {
        QTextLayout::FormatRange f;
        f.start = s.start;
        f.length = s.length;
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
