#pragma once
// How the search reaches the lines: the statement a criteria makes, with its values bound.
#include "search/SearchStore.h"
#include "store/Db.h"

namespace search {

// The matching lines as a FROM and WHERE over the line table named l, with the values of its
// placeholders in order.
struct LineSource {
    QString sql; // "FROM … WHERE …"
    QVariantList values;
    QString plan; // how it reads: "scan", "index", "walk" (for the tests and the benchmark)
};

enum class Want {
    First, // the first lines in the result order (a screen)
    All,   // every matching line, in no particular order
};

// The lines of c, after `after` (null: from the start). Reading a screen of lines, a keyword
// that occurs in many lines is best served by walking the lines in order and stopping at the
// screen; a rare one by taking the index's few lines and sorting them. Which is decided by
// counting the index's matches up to a cap.
store::Error linesOf(const QSqlDatabase& main, const Criteria& c, const Hit* after, Want want,
                     LineSource* out);

// How many index matches make a keyword common (4000; the tests lower it to walk).
void setCommonCount(int n);

// The result order over l.
QString orderKey(bool server);

// The columns hitOf reads, over l.
QString hitColumns();
Hit hitOf(const store::Statement& s, int first = 0);

// Column i of the current row as a date (store::toDate's rule, the stored form read fast).
QDate dateOf(const store::Statement& s, int i);

// Runs sql (its placeholders: the values, then extra) and calls row for every row.
store::Error readRows(const QSqlDatabase& main, const QString& sql, const QVariantList& values,
                      const std::function<void(const store::Statement&)>& row);

// The totals of c taken from the local index alone, when it can give them (keywords of one or
// two characters, perhaps a name, no period): done tells whether it did.
store::Error countFromIndex(const QSqlDatabase& main, const Criteria& c, Totals* out, bool* done);

// The first day of the week (from Monday) or month holding d.
QDate periodStart(const QDate& d, Period p);

} // namespace search
