#pragma once
// Database work of the report entry tab: the line work table, reading and registering a report.
#include "store/Error.h"
#include "store/Team.h"

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
    friend bool operator==(const Header&, const Header&) = default;
};

// w営業日報 becomes exactly kLineRows rows, 行番号 1..kLineRows, チェック 0, every other field
// Null. One work transaction: on failure the table stays as it was. A table that is blank
// already is not written; shownFilled (the caller's grid shows something in it) skips that check.
// withKept (クリア): in the same transaction the kept report (w営業日報ヘッダ) becomes empty with
// nothing unregistered, so that no start after it offers what was cleared.
store::Error resetLines(const QSqlDatabase& work, bool shownFilled = false, bool withKept = false);

// Deletes the ticked rows of w営業日報; the others keep their 行番号. A deleted row that held a
// value marks the kept report's lines changed, in the same transaction.
store::Error deleteTickedLines(const QSqlDatabase& work);

// Sets チェック of every row of w営業日報 that has a 表示日付 to flag; undated rows keep theirs.
store::Error setTickAll(const QSqlDatabase& work, bool flag);

struct ReadResult {
    bool found = false;   // a header is stored under the key
    Header header;        // the stored header when found
    int lines = 0;        // stored lines copied into the work table
    bool tooLong = false; // more lines stored than the grid has rows: the work table is untouched
    store::Stamp stamp;   // who and when, on a team server (store/Team.h); version 0 elsewhere
    store::Error error;
};

// Looks up the header of (date, name), then rewrites w営業日報 in one work transaction as
// kLineRows empty rows with the stored lines, in 行番号 order, copied into rows 1..k (gaps in the
// stored numbering close up), 表示日付 to 備考 as stored, Nulls included. The lines are read
// whether or not a header exists. If reading the main database fails, even part-way, or more
// than kLineRows lines are stored (tooLong), the work table is left as it was.
ReadResult readReport(const QSqlDatabase& main, const QSqlDatabase& work, const QDate& date,
                      const QString& name);

struct CopyResult {
    bool found = false;   // the person has a report before the day
    Header from;          // the header of that report
    int lines = 0;        // lines copied into the work table
    bool tooLong = false; // more lines stored than the grid has rows: the work table is untouched
    store::Error error;
};

// 前回から作成: the latest report of name before day (a new report of the day starts from it).
// When found, w営業日報 is rewritten in one work transaction as kLineRows rows, the report's
// lines that name a 訪問先, 担当 or 備考 first, in 行番号 order: those three as stored, both
// dates the day, 時間 and 内容 empty. Nothing is written to the main database; on a failed or
// refused read the work table stays as it was.
CopyResult copyLatest(const QSqlDatabase& main, const QSqlDatabase& work, const QString& name,
                      const QDate& day);

// The grid row (from 0) that readReport puts the stored line lineNo of (date, name) into: the
// number of the report's lines before it. -1 when no such line is stored.
store::Error rowOfLine(const QSqlDatabase& main, const QDate& date, const QString& name, int lineNo,
                       int* row);

struct Registered {
    int lines = 0;          // lines stored
    QList<int> withoutText; // 行番号 of grid rows with something typed but no 内容, not stored
    // On a team server: the stamp now stored, or, when the write was refused as stale, the
    // newer one that refused it.
    store::Stamp stamp;
    bool stale = false;
};

// Replaces the report (h.作成日, h.氏名) in one main transaction: writes header h over the stored
// one (which keeps what the server records of it), deletes the lines, (an empty 所属 or タイトル is stored as
// '', not Null), then the lines store::readReportLines finds in w営業日報, numbered 1, 2, 3... New 訪問先 /
// 備考 names go into free rows of the code master. On any failure, a read of the work table that stops
// part-way included, nothing of it remains. done, when given, tells what a success stored. readAt, when given
// on a database that keeps stamps, is the version this report was read (or last registered) at, version 0 for
// none: a report stored in another version since is not written, and done tells the newer stamp (stale).
store::Error registerReport(const QSqlDatabase& main, const QSqlDatabase& work, const Header& h,
                            Registered* done = nullptr, const store::Stamp* readAt = nullptr);

// The report on the entry tab as the work file keeps it between runs (w営業日報ヘッダ; its lines
// are w営業日報): the header as typed, and what of the report is not registered since the last
// 登録, 読込 or クリア.
struct KeptReport {
    Header header;              // 作成日 invalid when empty
    bool linesChanged = false;  // a value of a line changed, or a line with a value was deleted
    bool headerChanged = false; // 所属 or タイトル
    bool keyChanged = false;    // 作成日 or 氏名
    bool unregistered() const { return linesChanged || headerChanged || keyChanged; }
    friend bool operator==(const KeptReport&, const KeptReport&) = default;
};

// What the work file keeps. A file whose row went missing gets an empty one.
store::Error readKept(const QSqlDatabase& work, KeptReport* kept);
// The header as typed and whether it changed, in one statement; the lines' mark stays as the
// work table set it (a trigger marks it as a line's value changes).
store::Error keepHeader(const QSqlDatabase& work, const KeptReport& kept);
// Nothing of the report with header h is unregistered: the header kept, every mark cleared.
store::Error settleKept(const QSqlDatabase& work, const Header& h);

} // namespace report
