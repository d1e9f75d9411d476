#pragma once
// Database work of the report entry tab: the line work table, reading and registering a report.
#include "store/Error.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace report {

// Number of lines of the entry grid after every reset.
inline constexpr int kLineRows = 100;

struct Header {
    QDate 作成日;
    QString 氏名;
    QString 所属;     // a Null text when stored as Null
    QString タイトル; // a Null text when stored as Null
};

// w営業日報 becomes exactly kLineRows rows, 行番号 1..kLineRows, チェック 0, every other field
// Null. One work transaction: on failure the table stays as it was. A table that is blank
// already is not written; shownFilled (the caller's grid shows something in it) skips that check.
store::Error resetLines(const QSqlDatabase& work, bool shownFilled = false);

// Deletes the ticked rows of w営業日報; the others keep their 行番号.
store::Error deleteTickedLines(const QSqlDatabase& work);

// Sets チェック of every row of w営業日報 that has a 表示日付 to flag; undated rows keep theirs.
store::Error setTickAll(const QSqlDatabase& work, bool flag);

struct ReadResult {
    bool found = false;   // a header is stored under the key
    Header header;        // the stored header when found
    int lines = 0;        // stored lines copied into the work table
    bool tooLong = false; // more lines stored than the grid has rows: the work table is untouched
    store::Error error;
};

// Looks up the header of (date, name), then rewrites w営業日報 in one work transaction as
// kLineRows empty rows with the stored lines, in 行番号 order, copied into rows 1..k (gaps in the
// stored numbering close up), 表示日付 to 備考 as stored, Nulls included. The lines are read
// whether or not a header exists. If reading the main database fails, even part-way, or more
// than kLineRows lines are stored (tooLong), the work table is left as it was.
ReadResult readReport(const QSqlDatabase& main, const QSqlDatabase& work, const QDate& date,
                      const QString& name);

// The grid row (from 0) that readReport puts the stored line lineNo of (date, name) into: the
// number of the report's lines before it. -1 when no such line is stored.
store::Error rowOfLine(const QSqlDatabase& main, const QDate& date, const QString& name, int lineNo,
                       int* row);

struct Registered {
    int lines = 0;          // lines stored
    QList<int> withoutText; // 行番号 of grid rows with something typed but no 内容, not stored
};

// Replaces the report (h.作成日, h.氏名) in one main transaction: deletes its header and lines,
// writes h (an empty 所属 or タイトル is stored as '', not Null), then the lines
// store::readReportLines finds in w営業日報, numbered 1, 2, 3... New 訪問先 / 備考 names go into
// free rows of the code master. On any failure, a read of the work table that stops part-way
// included, nothing of it remains. done, when given, tells what a success stored.
store::Error registerReport(const QSqlDatabase& main, const QSqlDatabase& work, const Header& h,
                            Registered* done = nullptr);

} // namespace report
