#pragma once
// The search index of a local main file: every line's 内容, 訪問先, 担当 and 備考, folded
// (TextFold.h), as the single characters and the pairs of neighbouring characters they hold,
// in an FTS5 table kept by triggers on 営業日報, and two orders of the lines (by date and time,
// and by name then date and time) that a search can walk.
#include "store/Db.h"

#include <QStringList>

#include <functional>

namespace store {

inline const QString kTextIndex = QStringLiteral("営業日報検索");

// Makes the tokenizer of the index known to every SQLite connection this process opens from
// now on (the index's triggers need it to write 営業日報), and the function
// tesvan_holds(word, text...): 1 when one of the texts, folded, holds word (folded already).
// Called before any file is opened.
void registerTextTokenizer();

// The statements that make the index on a local main file, in order.
QStringList textIndexStatements();

// The statements that make the index on a server (its schema tool runs them): a function giving
// the folded characters and pairs of a line's four texts, a GIN index over it, and the same
// two line orders. One per statement; the function's body holds no semicolon to split on.
QStringList serverTextIndexStatements();

// The server's expression the GIN index is made over, for the line table named l.
QString serverGramsOf(const QString& row);

// Whether the main database db has the index (a file made before it existed has not; a server
// database made by an older schema tool has not).
bool hasTextIndex(const QSqlDatabase& db);

// Gives a local main file without the index the index, in one transaction that changes nothing
// else. A file that has it is left alone.
Error addTextIndex(const QSqlDatabase& db);

// Called (on the calling thread) just before addTextIndex starts making an index: on a file of
// a million lines that takes half a minute, which the program then tells the user about. Empty:
// nothing is called.
void onTextIndexBuild(std::function<void()> before);

// Within the caller's transaction: takes the index away (before every line is deleted: taking
// a million lines out of it one by one would take minutes), and makes it again over the lines
// there are.
Error dropTextIndex(const QSqlDatabase& db);
Error makeTextIndex(const QSqlDatabase& db);

// The index's tokens of a keyword already folded: itself when it is one character, otherwise its
// pairs of neighbouring characters. A line whose folded text holds the keyword has them all.
QStringList textIndexTokens(const QString& foldedWord);

// The FTS5 query for all of words (folded), each token a quoted string.
QString textIndexQuery(const QStringList& foldedWords);

} // namespace store
