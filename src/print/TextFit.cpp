#include "print/TextFit.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <cmath>

namespace print {
namespace {

QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ').replace(u'\r', u' ').replace(u'\t', u' ');
    return text.trimmed();
}

QFont sized(QFont font, double twips)
{
    font.setPixelSize(qMax(1, int(std::floor(twips))));
    return font;
}

// The starts of the lines of text broken at width, line breaks kept.
QList<int> lineStarts(const QString& text, const QFont& font, double width)
{
    QString laid = text;
    laid.replace(QStringLiteral("\r\n"), QStringLiteral(" \u2028")); // same length, one break
    laid.replace(u'\n', QChar::LineSeparator).replace(u'\r', QChar::LineSeparator);
    laid.replace(u'\t', u' ');
    QTextLayout layout(laid, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<int> starts;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        starts << line.textStart();
    }
    layout.endLayout();
    return starts;
}

struct Line {
    int start; // where it begins in the text
    QString text;
};

// The lines of text broken at width, typed breaks kept; lines left blank by them are not printed.
QList<Line> wrapped(const QString& text, const QFont& font, double width)
{
    const QList<int> starts = lineStarts(text, font, width);
    QList<Line> lines;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1] : int(text.size());
        if (const QString line = oneLine(text.mid(starts[i], end - starts[i])); !line.isEmpty())
            lines.append({starts[i], line});
    }
    return lines;
}

// The longest start of text that leaves room for the mark within width; a surrogate pair
// stays whole.
QString cutWithMark(const QString& text, const QFontMetricsF& fm, double width)
{
    int lo = 0, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(text.left(mid) + kEllipsis) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && text.at(lo - 1).isHighSurrogate())
        --lo;
    return text.left(lo) + kEllipsis;
}

} // namespace

FittedText fitText(const QString& text, const QFont& font, QSizeF box, double maxHeight)
{
    const double room = qMax(maxHeight, box.height());
    const double smallest = kMinPoints * 20;
    const QString single = oneLine(text);
    const bool typedBreaks = text.contains(u'\n') || text.contains(u'\r');
    // At the form's size first, then half a point smaller at a time: one line when the text
    // is one and fits, else as many wrapped lines as the room holds.
    for (double px = font.pixelSize();; px -= 10) {
        px = qMax(px, smallest);
        const QFont f = sized(font, px);
        const double pitch = std::floor(px) * kLineSpacing;
        if (single.isEmpty() || (!typedBreaks && QFontMetricsF(f).horizontalAdvance(single) <= box.width()))
            return {f, {single}, false, pitch};
        const qsizetype fits = 1 + qsizetype(std::floor((room - box.height()) / pitch + 1e-9));
        const QList<Line> lines = wrapped(text, f, box.width());
        if (lines.size() <= fits || px <= smallest) {
            FittedText shown{f, {}, lines.size() > fits, pitch};
            for (qsizetype i = 0; i < qMin(fits, lines.size()); ++i)
                shown.lines << lines[i].text;
            // Still too long at the smallest size: the last line that fits ends in the mark.
            if (shown.marked)
                shown.lines.last() =
                    cutWithMark(oneLine(text.mid(lines[fits - 1].start)), QFontMetricsF(f), box.width());
            return shown;
        }
    }
}

} // namespace print
