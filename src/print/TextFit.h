#pragma once
// How a text is shown in a box of the printed form when it does not fit at the form's size:
// first smaller, down to a size still readable; then in two lines within the box; what still
// does not fit ends in "…", so nothing is ever cut without a mark.
#include <QFont>
#include <QSizeF>
#include <QStringList>

namespace print {

// Smallest size of one line of text, in points.
inline constexpr double kMinOneLinePoints = 8;
// Smallest size of two lines; a line then takes its size's height (no extra leading).
inline constexpr double kMinTwoLinePoints = 6.5;
inline constexpr QChar kEllipsis = QChar(0x2026);

struct FittedText {
    QFont font;          // the font to paint with (the box's font, perhaps smaller)
    QStringList lines;   // one or two lines, each within the box's width
    bool marked = false; // the last line ends in "…" for what did not fit
};

// text in a box of size (twips) whose own font is font (pixel size in twips).
FittedText fitText(const QString& text, const QFont& font, QSizeF box);

} // namespace print
