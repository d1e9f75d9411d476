#pragma once
// The review of reports on a team server: each report's state (提出, 承認, 差戻し, 修正済) and
// the history of its changes, who has read it and when, and a thread of comments of its own.
// The database enforces the rights: only managers approve or return, nobody approves their own
// report, an approved report is locked against its owner, and who and when are the server's.
// A local file has none of it: hasReview answers false there.
#include "store/Error.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace store {

enum class ReviewState { Submitted, Approved, Returned, Corrected };

// The stored and shown text of a state (提出 承認 差戻し 修正済), and back.
QString stateText(ReviewState s);
bool stateOf(const QString& text, ReviewState* s);

// The review's tables, rights and triggers, over the team's (Team.cpp runs them after its own).
// schema is the quoted schema of the tables.
QStringList reviewSchemaStatements(const QString& schema);

// Whether db holds the review's tables (a server database brought up to date by the schema tool).
bool hasReview(const QSqlDatabase& db);

struct ReviewEvent {
    QString what; // 承認, 差戻し, 修正済, 承認取消
    QString by;   // 氏名 of the member, else the login
    QDateTime at;
    QString reason; // a return's reason
};

struct Reader {
    QString by;
    QDateTime at;
};

struct Comment {
    QString by;
    QString byLogin;
    QDateTime at;
    QString text;
};

// Everything the report's panel shows, read in one statement.
struct Review {
    ReviewState state = ReviewState::Submitted;
    QList<ReviewEvent> history; // oldest first
    QList<Reader> readers;      // first read first; the owner is not among them
    QList<Comment> comments;    // newest last
    bool approved() const { return state == ReviewState::Approved; }
};

Error readReview(const QSqlDatabase& db, const QDate& day, const QString& name, Review* out);

// Marks the report read by the member signed in (once; the first time is kept). One's own
// report is not marked.
Error markRead(const QSqlDatabase& db, const QDate& day, const QString& name);

// Marks every report of day that the member reads and has not read yet (not their own) read at
// once; names limits it to those members when not empty. marked: how many were marked.
Error markDayRead(const QSqlDatabase& db, const QDate& day, const QStringList& names, int* marked = nullptr);

// A comment under the report, by the member signed in. Never edited nor deleted afterwards: the
// thread is the review's record (a return's reason stays as it was read); a correction is a new
// comment.
Error addComment(const QSqlDatabase& db, const QDate& day, const QString& name, const QString& text);

// Comments found by the search window when asked: every one of keywords (folded as the search
// folds them: NFKC, then lower case) in the text, on reports of from … to (their 作成日; an
// invalid date leaves that end open) and of name when given; newest report first, at most limit.
// Only what the member signed in may read.
struct FoundComment {
    QDate day;    // the report's 作成日
    QString name; // the report's 氏名
    QString by;
    QDateTime at;
    QString text;
};
Error findComments(const QSqlDatabase& db, const QDate& from, const QDate& to, const QString& name,
                   const QStringList& keywords, int limit, QList<FoundComment>* out);

// A manager's decisions. version is the report's version (Stamp::version) the manager read: a
// report changed since is refused as registering it would be (staleError), nothing decided.
// A return needs its reason, which also goes into the thread.
Error approveReport(const QSqlDatabase& db, const QDate& day, const QString& name, int version);
Error returnReport(const QSqlDatabase& db, const QDate& day, const QString& name, int version,
                   const QString& reason);
// Takes an approval back: the report is 提出 again and its owner may change it.
Error withdrawApproval(const QSqlDatabase& db, const QDate& day, const QString& name);

// 提出状況: each member (by 所属, then 氏名) × the days from first on. A day off (Saturday and
// Sunday) is due from nobody: a report there shows, none is not missing.
enum class DayState { Off, Missing, Submitted, Read, Approved, Returned, Corrected };
QString dayStateText(DayState s); // "" for Off, else 未提出 提出 既読 承認 差戻し 修正済

struct MemberDays {
    QString 氏名;
    QString 所属;
    QList<DayState> days;
};

struct Submissions {
    QDate first;
    QList<MemberDays> members;
    static bool dueOn(const QDate& day);
    int due(int day) const;       // members a report is due from on first + day
    int submitted(int day) const; // reports stored that day
};

// One statement: read marks are the member's signed in (提出 is unread by them; their own reports
// count as read by them).
Error readSubmissions(const QSqlDatabase& db, const QDate& first, int days, Submissions* out);

// What concerns the member signed in since they last looked (markNoticesSeen; a first look goes a
// week back): others' comments on their reports, the decisions on them, and for a manager the
// reports others registered. One statement, newest first, at most kNoticeLimit.
struct Notice {
    QString what; // コメント, 承認, 差戻し, 承認取消, 提出, 再提出
    QDate day;
    QString name; // the report's 氏名
    QString by;   // 氏名 of who did it, else the login
    QDateTime at;
    QString text; // the comment, the reason, the title
};
inline constexpr int kNoticeLimit = 50;
Error readNotices(const QSqlDatabase& db, QList<Notice>* out);
Error markNoticesSeen(const QSqlDatabase& db);

// The reason the window gives for refusing a write to an approved report.
QString approvedLockReason();

} // namespace store
