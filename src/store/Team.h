#pragma once
// A team on the server: its members (login role ↔ 氏名, 所属, role), the rights the database
// itself enforces on them (group roles, grants, row-level security and a few triggers), and who
// registered or changed each report and when. A local file has none of this: every function
// here answers "no team" or does nothing there.
#include "store/Error.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace store {

// The group roles a member's login is given; a manager's includes the member's, an
// administrator's the manager's.
inline const QString kMemberRole = QStringLiteral("tesvan_member");
inline const QString kManagerRole = QStringLiteral("tesvan_manager");
inline const QString kAdministratorRole = QStringLiteral("tesvan_administrator");

enum class TeamRole { Member, Manager, Administrator };

// The value of メンバー.役割 for a role, and back (false for a text that is none).
QString roleText(TeamRole role);
bool roleOf(const QString& text, TeamRole* role);

struct Member {
    QString login; // the login role
    QString 氏名;
    QString 所属;
    TeamRole role = TeamRole::Member;
    bool readsAll = true; // reads every member's reports, not only their own
    // Keeps the code master (設定・情報) and reads every report.
    bool maintains() const { return role != TeamRole::Member; }
    friend bool operator==(const Member&, const Member&) = default;
};

// The team's tables, roles, grants, policies and triggers over the main tables on db, made or
// brought up to date; what exists is kept, and so is every report (lines without their header,
// which an older database may hold, get an empty header). The caller's transaction holds it whole.
// Needs the database's owner, with the right to create roles when they do not exist yet.
// alsoFor gives the statements of what builds on the team (the review), for the schema's name.
Error applyTeamSchema(const QSqlDatabase& db,
                      const std::function<QStringList(const QString& schema)>& alsoFor = {});

// A yes-or-no question (a one-field SELECT) asked of the server once per session; false on a
// local file or when it cannot be asked.
bool askedOnce(const QSqlDatabase& db, const QString& question);

// Whether db holds a team (a server database made or updated by this version of the schema tool).
bool hasTeam(const QSqlDatabase& db);

// The member signed in on db: found false on a local file, or when the login is no member (the
// database owner, for one).
struct SignedIn {
    bool found = false;
    Member member;
    Error error;
};
SignedIn signedInMember(const QSqlDatabase& db);

// Adds login as a member or changes what is stored of them, and gives the login the group role
// of the member's role (only that one). One transaction; the login must exist.
Error addMember(const QSqlDatabase& db, const Member& m);
// Takes login off the team: its row and its group roles go, its reports stay.
Error removeMember(const QSqlDatabase& db, const QString& login);
Error readMembers(const QSqlDatabase& db, QList<Member>* out);

// Who registered a report first and when, who changed it last and when, and its version, as the
// server set them. version 0: no report stored (or a database without stamps).
struct Stamp {
    int version = 0;
    QString registeredBy; // 氏名 of the member, else the login
    QDateTime registeredAt;
    QString changedBy;
    QDateTime changedAt;
    bool stored() const { return version > 0; }
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// The stamp of the report (key, name) on db; version 0 when none is stored or db keeps none.
Error readStamp(const QSqlDatabase& db, const QVariant& key, const QString& name, Stamp* out);

// Whether db keeps stamps, so that a write based on an older version can be told.
bool keepsStamps(const QSqlDatabase& db);

// "<who> さんが <when> に" for a notice; the server's time shown in local time.
QString describeChange(const Stamp& s);

// The refusal of a write based on version read while stored is newer.
Error staleError(const Stamp& stored);

} // namespace store
