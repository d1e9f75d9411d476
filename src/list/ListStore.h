#pragma once
// Database work of the report list tab: the list work table w一覧 and deleting listed reports.
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

namespace list {

struct ReadResult {
    int rows = 0; // rows now in w一覧
    store::Error error;
};

// How the headers travel into w一覧: inside the database engine when both connections are
// SQLite files (the main file attached read-only to the work connection for one statement),
// or row by row through both connections, which works whatever the main database is.
enum class Copy { Auto, RowByRow };

// Rewrites w一覧 in one work transaction with one unticked row per stored header (作成日, 氏名,
// 所属, タイトル as stored), in ascending 作成日 and, within a date, ascending 氏名 (the report
// key's order). A non-empty filter keeps only the headers whose 氏名 equals it exactly. On any
// failure, a read of the headers that stops part-way included, w一覧 stays as it was.
ReadResult readList(const QSqlDatabase& main, const QSqlDatabase& work, const QString& filter,
                    Copy how = Copy::Auto);

// Empties w一覧; the stored reports are not touched.
store::Error clearList(const QSqlDatabase& work);

// How many rows of w一覧 are ticked.
store::Error tickedCount(const QSqlDatabase& work, int& count);

struct DeleteResult {
    int deleted = 0;     // ticked rows whose reports were deleted
    bool stored = false; // the main file's deletions were committed
    store::Error error;
};

// Deletes the report (header and every line) of every ticked w一覧 row in one main transaction,
// and after it committed, the ticked rows from w一覧; unticked rows keep their order and ticks.
// When the main file fails, nothing is deleted anywhere.
DeleteResult deleteTickedReports(const QSqlDatabase& main, const QSqlDatabase& work);

// A report's header as registered, for the list to show without a new read.
struct Listed {
    QDate 作成日;
    QString 氏名;
    QString 所属;
    QString タイトル;
};

// In one work transaction: the w一覧 rows of the report show its 所属 and タイトル (an empty one
// as ''), ticks kept. When none lists it and add is true, an unticked row is put where a read
// would have put it (ascending 作成日, then 氏名), the rows after it moving down by one.
store::Error showRegistered(const QSqlDatabase& work, const Listed& report, bool add);

// Removes the w一覧 rows of the report (date, name); the others keep their order and ticks.
store::Error dropListed(const QSqlDatabase& work, const QDate& date, const QString& name);

struct StoredResult {
    bool stored = false;
    store::Error error;
};

// Whether the main database still holds the report (date, name): its header or any of its lines.
StoredResult isStored(const QSqlDatabase& main, const QDate& date, const QString& name);

} // namespace list
