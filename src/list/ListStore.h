#pragma once
// Database work of the report list tab: the list work table w一覧 and deleting listed reports.
#include "store/Error.h"
#include "store/Team.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace list {

struct ReadResult {
    int rows = 0; // rows now in w一覧
    store::Error error;
};

// How the headers travel into w一覧: inside the database engine when both connections are
// SQLite files (the main file attached read-only to the work connection for one statement),
// or row by row through both connections, which works whatever the main database is.
enum class Copy { Auto, RowByRow };

// On a team server the list shows each report's last change beside it: w一覧's columns 更新者
// (the member's 氏名, else the login) and 更新日時 ("yyyy/MM/dd HH:mm", local time), which a local
// file's list never has.
extern const char* const kChangedBy;
extern const char* const kChangedAt;
// Adds the two columns to w一覧 when it lacks them (the rows keep theirs empty until a read).
store::Error addChangeColumns(const QSqlDatabase& work);
// Whether w一覧 has them.
bool hasChangeColumns(const QSqlDatabase& work);
// A stamp's time as the column shows it.
QString changeTimeText(const QDateTime& at);

// Rewrites w一覧 in one work transaction with one unticked row per stored header (作成日, 氏名,
// 所属, タイトル as stored), in ascending 作成日 and, within a date, ascending 氏名 (the report
// key's order). A non-empty filter keeps only the headers whose 氏名 equals it exactly. On any
// failure, a read of the headers that stops part-way included, w一覧 stays as it was.
// versions, when given on a database that keeps stamps (a team server), gets each listed report's
// version (listKey → 版), for deleteTickedReports to tell a report changed since; and when w一覧
// has the change columns, they are filled from the same read.
// unreadOnly, on a server that keeps the review (store::hasReview) and with the change columns,
// keeps only others' reports the member signed in has not read.
ReadResult readList(const QSqlDatabase& main, const QSqlDatabase& work, const QString& filter,
                    Copy how = Copy::Auto, QHash<QString, int>* versions = nullptr, bool unreadOnly = false);

// The key of a listed report in the versions readList gives.
QString listKey(const QVariant& date, const QString& name);

// Empties w一覧; the stored reports are not touched.
store::Error clearList(const QSqlDatabase& work);

// How many rows of w一覧 are ticked.
store::Error tickedCount(const QSqlDatabase& work, int& count);

struct DeleteResult {
    int deleted = 0;     // ticked rows whose reports were deleted
    bool stored = false; // the main file's deletions were committed
    bool stale = false;  // a ticked report was changed since the list was read: nothing deleted
    store::Stamp newer;  // then its stored stamp
    store::Error error;
};

// Deletes the report (header and every line) of every ticked w一覧 row in one main transaction,
// and after it committed, the ticked rows from w一覧; unticked rows keep their order and ticks.
// When the main file fails, nothing is deleted anywhere.
// versions, when given, are those readList gave: a ticked report whose stored version differs
// from its listed one stops the whole deletion (stale), inside the deleting transaction.
DeleteResult deleteTickedReports(const QSqlDatabase& main, const QSqlDatabase& work,
                                 const QHash<QString, int>* versions = nullptr);

// The ticked rows of w一覧 whose 氏名 is not name, as "氏名 さんの yyyy/MM/dd", in the list's order:
// on a team server a member deletes only their own reports.
store::Error tickedOfOthers(const QSqlDatabase& work, const QString& name, QStringList* shown);

// A report's header as registered, for the list to show without a new read.
struct Listed {
    QDate 作成日;
    QString 氏名;
    QString 所属;
    QString タイトル;
};

// In one work transaction: the w一覧 rows of the report show its 所属 and タイトル (an empty one
// as '') and, with the change columns, the last change of stamp (none: empty); ticks kept. When none lists it
// and add is true, an unticked row is put where a read would have put it (ascending 作成日, then 氏名), the
// rows after it moving down by one.
store::Error showRegistered(const QSqlDatabase& work, const Listed& report, bool add,
                            const store::Stamp& stamp = {});

// Removes the w一覧 rows of the report (date, name); the others keep their order and ticks.
store::Error dropListed(const QSqlDatabase& work, const QDate& date, const QString& name);

struct StoredResult {
    bool stored = false;
    store::Error error;
};

// Whether the main database still holds the report (date, name): its header or any of its lines.
StoredResult isStored(const QSqlDatabase& main, const QDate& date, const QString& name);

} // namespace list
