#pragma once
// The search index of a local main file: every line's 内容, 訪問先, 担当 and 備考, folded
// (TextFold.h), as the single characters and the pairs of neighbouring characters they hold,
// and two orders of the lines (by date and time, and by name then date and time) that a search
// can walk.
//
// The file needs none of this program's code to be read or written: the FTS5 table uses the
// built-in "ascii" tokenizer over words this program writes (each character or pair as the hex
// of its code points), and the triggers on 営業日報 only note the keys of the lines that changed
// in a queue table. The program brings the index up to the queue inside its own write
// transactions and before a search; an index found damaged is made again from the lines, a
// part at a time, while the program works.
#include "store/Db.h"

#include <QStringList>

#include <functional>

struct sqlite3;

namespace store {

inline const QString kTextIndex = QStringLiteral("営業日報検索");

// Makes the SQL function tesvan_holds(word, text...) known to every SQLite connection this
// process opens from now on (1 when one of the texts, folded, holds word, folded already), and
// the aggregate tesvan_runs(x) (the runs of equal values in the order given: the distinct
// values of a sorted input; NULL when it was not sorted), and
// has every write transaction on a file with the index bring the index up to its queue before it
// commits. Called before any file is opened.
void registerTextFunctions();

// The statements that make the index on a local main file, empty, in order.
QStringList textIndexStatements();

// The statements that make the index on a server (its schema tool runs them): a function giving
// the folded characters and pairs of a line's four texts, a GIN index over it, and the same
// two line orders. One per statement; the function's body holds no semicolon to split on.
QStringList serverTextIndexStatements();

// The server's expression the GIN index is made over, for the line table named l.
QString serverGramsOf(const QString& row);

// Whether the main database db has the index (a file made before it existed has not; a server
// database made by an older schema tool has not). A file whose index is being made again has it.
bool hasTextIndex(const QSqlDatabase& db);

// At open, on a local main file (one transaction, only when something is to be done): a file
// without the index, or with the index of an earlier version (whose tokenizer lived in the
// program), gets this version's, to be filled from the lines; an index missing a part of its own
// (a trigger dropped by another tool) gets it back and is made again.
Error addTextIndex(const QSqlDatabase& db);

// Within the caller's transaction: takes the index away (before every line is deleted: taking
// a million lines out of it one by one would take minutes), and makes it over the lines there
// are, at once.
Error dropTextIndex(const QSqlDatabase& db);
Error makeTextIndex(const QSqlDatabase& db);
// The statements that take a local file's index away (this version's and the earlier one's).
QStringList textIndexDropStatements();

// Brings the index up to the lines written since (by this program or another one) in a
// transaction of its own, when there is anything to bring. Never fails: an index that cannot
// take them is marked to be made again and the keys stay queued.
void catchUpTextIndex(const QSqlDatabase& db);

// Whether a search can use the index of db now (after catching up): a server's or a file's that
// is whole. False while it is being made again.
bool textIndexReady(const QSqlDatabase& db);

// Whether the index of the local file db is being made again (or is marked to be).
bool textIndexRebuilding(const QSqlDatabase& db);

// The index of the local file db is damaged: it is made again from the lines. Marked in the file
// (so that the next start goes on with it) when the file can be written, else for the session.
void markTextIndexDamaged(const QSqlDatabase& db);
// The same, told by the check of the file at path (another thread); the session marks it in
// the file when it next asks textIndexRebuilding.
void noteTextIndexDamaged(const QString& path);

// Called (on the writing thread) when a write or a search finds the index of connection to be
// made again: the window then starts doing it. Empty: nothing is called.
void onTextIndexMarked(std::function<void(const QString& connection)> notice);

// One step of making the index again, in one transaction: at most `lines` lines more. done and
// total (the lines) say how far it is; finished when nothing is left to do.
struct RebuildStep {
    Error error;
    qint64 done = 0;
    qint64 total = 0;
    bool finished = false;
};
RebuildStep rebuildTextIndexStep(const QSqlDatabase& db, int lines);
// How far the rebuild of db has come in this session, in percent.
int textIndexPercent(const QSqlDatabase& db);
// All the steps at once.
Error rebuildTextIndex(const QSqlDatabase& db);

// The index's own check, on the check's own connection h: its structure
// (FTS5's integrity-check, when `deep`: it holds the file's write lock while it runs), the queue
// and the parts that keep it. Success, or what is wrong.
Error checkTextIndex(sqlite3* h, bool deep);

// The index's tokens of a keyword already folded: itself when it is one character, otherwise its
// pairs of neighbouring characters. A line whose folded text holds the keyword has them all.
QStringList textIndexTokens(const QString& foldedWord);

// The words the index of a file holds for a text already folded: each character and each pair
// of neighbouring characters (blanks and control characters end a run), once each, as ASCII
// words of hex digits ("3042", "3042x3044").
QString textIndexWords(const QString& folded);

// The FTS5 query for all of words (folded).
QString textIndexQuery(const QStringList& foldedWords);

} // namespace store
