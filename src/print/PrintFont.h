#pragma once
// Fonts whose PDF text layer reads back as the characters that were printed.
//
// A PDF names each embedded glyph by one code point, and Qt takes the lowest one the font maps
// to it. The Japanese fonts draw the Kangxi radicals (U+2F00…) with the ideographs' own glyphs,
// so 日 would read back as ⽇ and a saved report could not be searched or copied. The print
// therefore uses a copy of the font, registered under its own family, whose character map
// leaves out every code point that shares its glyph with a higher unified ideograph.
#include <QFont>
#include <QHash>
#include <QList>

namespace print {

// Character map: code point -> glyph.
using CharMap = QHash<char32_t, quint32>;

// The code points to leave out of map: those below a unified ideograph that maps to the same
// glyph (the radicals and strokes that would otherwise name it in the text layer).
QList<char32_t> shadowingCodePoints(const CharMap& map);

// font with its families replaced by the cleaned copy of the face it resolves to; font as it
// was when no copy can be made (the radicals then read back, nothing else changes).
QFont withSearchableText(const QFont& font);

} // namespace print
