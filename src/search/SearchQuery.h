#pragma once
// How the search reaches the lines: the statement a criteria makes, with its values bound.
#include "search/SearchStore.h"

#include <functional>

namespace search {

// Calls row for every matching line in the order 日付, 時間, 氏名, 作成日, 行番号, starting
// after `after` (null: from the start), until row returns false. want is how many lines the
// caller means to take (-1: all of them); it only chooses the way of reading.
store::Error walkLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int want,
                       const std::function<bool(const Hit&)>& row);

// Whether the line's four text fields, folded, hold every one of words (already folded).
bool holdsAll(const Hit& h, const QStringList& words);

// The first day of the week (from Monday) or month holding d.
QDate periodStart(const QDate& d, Period p);

} // namespace search
