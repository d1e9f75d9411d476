#pragma once
// How the search reaches the lines: the statement a criteria makes, with its values bound.
#include "search/Criteria.h"
#include "store/Db.h"

namespace search {

// How the lines are read: every line, the index's matches sorted, or the lines in order with the
// keywords as a test.
enum class Plan { Scan, Index, Walk };
// Its name, for the tests and the benchmark.
QString planName(Plan p);

// The matching lines as a FROM and WHERE over the line table named l, with the values of its
// placeholders in order.
struct LineSource {
    QString sql; // "FROM … WHERE …"
    QVariantList values;
    Plan plan = Plan::Scan;
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

// The index's matches of a local file's keywords (the name's only when c has one), read up to
// c.commonCount: every one when not truncated; when truncated, the first c.commonCount and there
// are more (the keywords are common).
struct IndexMatches {
    QList<qint64> ids;
    bool truncated = false;
};
store::Error readIndexMatches(const QSqlDatabase& main, const Criteria& c, IndexMatches* out);

// The lines of c, after `after` (null: from the start). Reading a screen of lines, a keyword
// that occurs in many lines is best served by walking the lines in order and stopping at the
// screen; a rare one by taking the index's few lines and sorting them. Which is decided by
// whether the index has more than c.commonCount matches; matches, on a local file: those read
// already, which decide and, when whole, are the lines.
store::Error linesOf(const QSqlDatabase& main, const Criteria& c, const Hit* after, Want want,
                     LineSource* out, const IndexMatches* matches = nullptr);

// The first screen of c after `after` (null: from the start), up to limit lines, on a local
// file with the index and keywords (done tells whether it did; otherwise out is left as it
// was). It walks the lines in order for as long as the keywords keep proving common on the
// way, and otherwise reads the index's matches once (readIndexMatches) to decide as linesOf
// does and, when they are whole, to take those lines.
store::Error firstScreen(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                         QList<Hit>* out, bool* done);

// The date order's key over l, ascending (日付, 時間, 氏名, 作成日, 行番号): one line's place among
// the lines, whichever column sorts first.
QString orderKey(bool server);

// The ORDER BY terms of c's order over l: its column first (none for the date), then the key, all
// descending or all ascending with the date, newest first after a name or place. Either way an
// index in the key's order serves a date order read forwards or backwards.
QString orderBy(const Criteria& c, bool server);
// Whether c's result is read in the key's order (a walk in that order can stop at a screen).
bool byDate(const Criteria& c);

// The columns hitOf reads, over l.
QString hitColumns();
Hit hitOf(const store::Statement& s, int first = 0);

// Column i of the current row as a date (store::toDate's rule, the stored form read fast).
QDate dateOf(const store::Statement& s, int i);

// Runs sql (its placeholders: the values, then extra) and calls row for every row.
store::Error readRows(const QSqlDatabase& main, const QString& sql, const QVariantList& values,
                      const std::function<void(const store::Statement&)>& row);

// The totals of c taken from the local index, when it can give them (keywords, on a file whose
// index is whole): longer keywords checked against the folded text kept with the index, the
// lines read only for a period. done tells whether it did.
store::Error countFromIndex(const QSqlDatabase& main, const Criteria& c, Totals* out, bool* done);

// The first day of the week (from Monday) or month holding d.
QDate periodStart(const QDate& d, Period p);

} // namespace search
