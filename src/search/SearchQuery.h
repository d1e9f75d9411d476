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
    // With Want::Walk: the keywords' test, an expression over l that is 1 when the line holds
    // every keyword, and the values of its placeholders (they come before the ones of sql).
    QString test;
    QVariantList testValues;
};

enum class Want {
    First, // the first lines in the result order (a screen)
    All,   // every matching line, in no particular order
    Walk,  // every line the other bounds allow, in the result order; the keywords as a test
};

// The lines of c, after `after` (null: from the start). Reading a screen of lines, a keyword
// that occurs in many lines is best served by walking the lines in order and stopping at the
// screen; a rare one by taking the index's few lines and sorting them. Which is decided by
// counting the index's matches up to a cap; matches, on a local file: those matches read
// already (up to the cap; the name's only when c has one), which decide and are then the lines.
store::Error linesOf(const QSqlDatabase& main, const Criteria& c, const Hit* after, Want want,
                     LineSource* out, const QList<qint64>* matches = nullptr);

// How many index matches make a keyword common (4000 on a million lines; the tests lower it to
// walk, raise it to a million to take the index's lines always).
void setCommonCount(int n);

// The first screen of c after `after` (null: from the start), up to limit lines, on a local
// file with the index and keywords (done tells whether it did; otherwise out is left as it
// was). It walks the lines in order for as long as the keywords keep proving common on the
// way, and otherwise reads the index's matches once, up to the cap, to decide as linesOf does
// and, under it, to take those lines.
store::Error firstScreen(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                         QList<Hit>* out, bool* done);

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
