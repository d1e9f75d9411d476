#pragma once
// What a date input takes from the keyboard: the rule alone, without the widget.
#include <QDate>
#include <QString>

#include <optional>

namespace controls {

// What a user of fmt may type: the full format text, "26/04/01", "4/1", "20260401",
// "260401", full-width digits, separators / - . 年 月 日 and spaces. A date without its year
// takes the year that puts it nearest to reference (within half a year either way).
std::optional<QDate> parseDate(const QString& text, const QString& fmt, const QDate& reference);

// The years a date of ours may have: four digits, never 0 or below.
bool inDateRange(const QDate& d);

} // namespace controls
