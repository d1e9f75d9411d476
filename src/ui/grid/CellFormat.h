#pragma once
// Display formats of cells and date inputs, and the stored form of values.
//
// Date formats are written with the tokens yyyy, yy, mm, m, dd, d (for example "yyyy年mm月dd日",
// "yy/mm/dd", "mm/dd"); digit formats with 0 placeholders (for example "00:00").
#include <QDate>
#include <QString>
#include <QVariant>

namespace controls {

bool isDateFormat(const QString& fmt);
bool isDigitFormat(const QString& fmt);

// The order of the date fields in fmt, as letters: "ymd" for "yy/mm/dd", "md" for "mm/dd".
// "ymd" when fmt names none of them.
QString dateFieldOrder(const QString& fmt);

// "" for an invalid date.
QString formatDate(const QDate& d, const QString& fmt);

// A stored value as text in fmt. Values that do not fit the format (a text that is no date,
// a time that is not all digits) are shown as they are, so nothing is hidden from the user.
QString formatCell(const QVariant& raw, const QString& fmt);

// A date from a stored value: a QDate or an ISO text "YYYY-MM-DD"; invalid otherwise.
QDate dateFromValue(const QVariant& v);

// The form a value is stored in: dates as ISO text, booleans as 0/1, Null stays Null.
QVariant storageValue(const QVariant& v);

// Whether two stored values are the same for the user (Null equals only Null).
bool sameValue(const QVariant& a, const QVariant& b);

} // namespace controls
