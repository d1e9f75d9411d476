#pragma once
// The rule applied to a time cell of the report grid after an edit.
#include <QString>
#include <QVariant>
#include <optional>

namespace report {

// No value for an empty text: the cell is left as it is. Otherwise the value the cell keeps:
// the four ASCII digits hhmm when hh is 0..24 and mm 0..60 inclusive, typed as hhmm, hmm, hh:mm
// or h:mm (full-width digits and colon of an input method taken as ASCII first, blanks around
// the entry ignored); else a Null text, meaning the text is no time.
std::optional<QVariant> checkTime(const QString& text);

} // namespace report
