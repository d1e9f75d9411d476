#pragma once
// The one form searched text is compared in, shared by the local files' index and the search.
#include <QString>

namespace store {

// NFKC, then case folded: full-width letters and digits, half-width kana and case all meet.
QString foldText(const QString& text);

} // namespace store
