#pragma once
// How a text is shown in a box of the printed form: on one line at the form's size when it
// fits; else wrapped at that size, the box growing downwards as far as it may; then smaller,
// wrapped, down to a size still readable; what still does not fit ends in "…", so nothing is
// ever cut without a mark.
#include <QFont>
#include <QSizeF>
#include <QStringList>

namespace print {

// Smallest size of a text, in points.
inline constexpr double kMinPoints = 8;
// The distance between wrapped lines, in sizes of their font.
inline constexpr double kLineSpacing = 1.15;
inline constexpr QChar kEllipsis = QChar(0x2026);

struct FittedText {
    QFont font;          // the font to paint with (the box's font, perhaps smaller)
    QStringList lines;   // the lines, each within the box's width
    bool marked = false; // the last line ends in "…" for what did not fit
    double pitch = 0;    // from one line to the next, in twips
    // The height the lines take in a box whose one line is lineBox high: that box, and a pitch
    // for each line after the first.
    double height(double lineBox) const { return lineBox + (lines.size() - 1) * pitch; }
};

// text in a box of size (twips; its height one line's) whose own font is font (pixel size in
// twips). The box may grow to maxHeight (never less than its own height) to hold wrapped lines.
FittedText fitText(const QString& text, const QFont& font, QSizeF box, double maxHeight = 0);

} // namespace print
