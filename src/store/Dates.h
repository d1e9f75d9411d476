#pragma once
// The one conversion between dates and their stored form, ISO text "YYYY-MM-DD".
#include <QDate>
#include <QVariant>

namespace store {

// The stored form of a date; an invalid date is Null.
QVariant dateValue(const QDate& d);

// A date from a stored value: a QDate, or a text that starts with an ISO date (a time may
// follow after 'T' or a blank). Null and anything else give an invalid date.
QDate toDate(const QVariant& v);

} // namespace store
