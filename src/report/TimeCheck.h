#pragma once
// The rule applied to a time cell of the report grid after an edit.
#include <QString>
#include <QVariant>
#include <optional>

namespace report {

// No value for an empty text: the cell is left as it is. Otherwise the value the cell keeps:
// the four ASCII digits hhmm (full-width digits of an input method taken as ASCII first) when
// hh is 0..24 and mm 0..60 inclusive, else a Null text. "hh:mm", the way the cell shows a
// time, is taken as hhmm first.
std::optional<QVariant> checkTime(const QString& text);

} // namespace report
