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
    return text;
}

QFont sized(QFont font, double twips)
{
    font.setPixelSize(qMax(1, int(std::floor(twips))));
    return font;
}

// The lines of text broken at width, line breaks kept; starts of each line in text.
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

QString trimmedLine(const QString& text)
{
    return oneLine(text).trimmed();
}

} // namespace

FittedText fitText(const QString& text, const QFont& font, QSizeF box)
{
    const double full = font.pixelSize();
    const QString single = oneLine(text);
    // One line, from the box's size down to the smallest readable one, half a point at a time.
    for (double px = full; px >= kMinOneLinePoints * 20 - 0.01; px -= 10) {
        const QFont f = sized(font, px);
        if (QFontMetricsF(f).horizontalAdvance(single) <= box.width())
            return {f, {single}, false};
    }
    // Two lines of the box's half height.
    const QFont two = sized(font, qMax(kMinTwoLinePoints * 20, qMin(full, box.height() / 2)));
    const QList<int> starts = lineStarts(text, two, box.width());
    if (starts.size() <= 1) // a single word longer than the box cannot happen: breaks anywhere
        return {two, {single}, false};
    const QString first = trimmedLine(text.mid(starts[0], starts[1] - starts[0]));
    const QString rest = trimmedLine(text.mid(starts[1]));
    const QFontMetricsF fm(two);
    if (starts.size() == 2 && fm.horizontalAdvance(rest) <= box.width())
        return {two, {first, rest}, false};
    // The longest start of the rest that leaves room for the mark; a surrogate pair stays whole.
    int lo = 0, hi = int(rest.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(rest.left(mid) + kEllipsis) <= box.width())
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && rest.at(lo - 1).isHighSurrogate())
        --lo;
    return {two, {first, rest.left(lo) + kEllipsis}, true};
}

} // namespace print
