#include "store/Team.h"

#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QMutex>

#include <map>
#include <memory>

namespace store {
namespace {

// A name as an SQL identifier: roles cannot be bound as values.
QString ident(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// The rights of the team, in the order they build on one another. schema is the quoted schema of
// the tables: the functions look up members there only, never in a table a session made of its own.
QStringList teamStatements(const QString& schema)
{
    const QString s = schema;
    // A role is made once per cluster; a second database of the same cluster shares it.
    const auto groupRole = [](const QString& role, const QString& in) {
        return QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                              "CREATE ROLE %1 NOLOGIN%2; END IF; END $$")
            .arg(role, in.isEmpty() ? QString() : QStringLiteral(" IN ROLE ") + in);
    };
    // Functions the policies call once per statement (as an initplan): who the session's role
    // is on the team. They run as the caller, so current_user is the member.
    const auto function = [&s](const QString& name, const QString& returns, const QString& body) {
        return QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS %2 LANGUAGE sql STABLE "
                              "SET search_path = %3, pg_temp AS $f$ %4 $f$")
            .arg(name, returns, s, body);
    };
    QStringList out{
        groupRole(kMemberRole, {}),
        groupRole(kManagerRole, kMemberRole),
        groupRole(kAdministratorRole, kManagerRole),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1.メンバー (ログイン text COLLATE \"C\" PRIMARY KEY, "
            "氏名 text COLLATE \"C\" NOT NULL UNIQUE, 所属 text COLLATE \"C\", "
            "役割 text NOT NULL DEFAULT 'member' CHECK (役割 IN ('member', 'manager', 'administrator')), "
            "全員閲覧 boolean NOT NULL DEFAULT true)")
            .arg(s),
        function(QStringLiteral("tesvan_own_name"), QStringLiteral("text"),
                 QStringLiteral("SELECT 氏名 FROM %1.メンバー WHERE ログイン = current_user").arg(s)),
        function(QStringLiteral("tesvan_reads_all"), QStringLiteral("boolean"),
                 QStringLiteral("SELECT coalesce((SELECT 全員閲覧 OR 役割 <> 'member' FROM %1.メンバー "
                                "WHERE ログイン = current_user), false)")
                     .arg(s)),
        function(QStringLiteral("tesvan_maintains"), QStringLiteral("boolean"),
                 QStringLiteral("SELECT coalesce((SELECT 役割 <> 'member' FROM %1.メンバー "
                                "WHERE ログイン = current_user), false)")
                     .arg(s)),
        // Who and when, from the session's role and the server's clock; whatever a client sends
        // for them is replaced. 版 counts the changes, so that a write based on an older one is told.
        QStringLiteral("ALTER TABLE 営業日報ヘッダ ADD COLUMN IF NOT EXISTS 登録者 text COLLATE \"C\", "
                       "ADD COLUMN IF NOT EXISTS 登録日時 timestamptz, "
                       "ADD COLUMN IF NOT EXISTS 更新者 text COLLATE \"C\", "
                       "ADD COLUMN IF NOT EXISTS 更新日時 timestamptz, "
                       "ADD COLUMN IF NOT EXISTS 版 integer NOT NULL DEFAULT 1"),
        QStringLiteral("CREATE OR REPLACE FUNCTION tesvan_stamp() RETURNS trigger LANGUAGE plpgsql "
                       "SET search_path = %1, pg_temp AS $f$ BEGIN "
                       "IF TG_OP = 'INSERT' THEN "
                       "NEW.登録者 := current_user; NEW.登録日時 := now(); NEW.版 := 1; "
                       "ELSE "
                       "NEW.登録者 := OLD.登録者; NEW.登録日時 := OLD.登録日時; NEW.版 := OLD.版 + 1; "
                       "END IF; "
                       "NEW.更新者 := current_user; NEW.更新日時 := now(); RETURN NEW; END $f$")
            .arg(s),
        QStringLiteral("DROP TRIGGER IF EXISTS 営業日報ヘッダ_記録 ON 営業日報ヘッダ"),
        QStringLiteral("CREATE TRIGGER 営業日報ヘッダ_記録 BEFORE INSERT OR UPDATE ON 営業日報ヘッダ "
                       "FOR EACH ROW EXECUTE FUNCTION tesvan_stamp()"),
        // A member's write to another's row is refused with an error, not skipped silently as the
        // policies alone would (a DELETE sees no WITH CHECK). Sessions that row-level security
        // does not bind (the owner, and the cascade from a header to its lines) pass.
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION tesvan_own_rows() RETURNS trigger LANGUAGE plpgsql "
            "SET search_path = %1, pg_temp AS $f$ BEGIN "
            "IF row_security_active(TG_RELID) AND OLD.氏名 IS DISTINCT FROM tesvan_own_name() THEN "
            "RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', "
            "MESSAGE = format('%s さんの日報は変更できません。', OLD.氏名); END IF; "
            "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END $f$")
            .arg(s),
        // A member fills a free row of the code master (learning a name at 登録); changing or
        // clearing a named row is the maintenance of managers and administrators.
        QStringLiteral("CREATE OR REPLACE FUNCTION tesvan_code_learning() RETURNS trigger LANGUAGE plpgsql "
                       "SET search_path = %1, pg_temp AS $f$ BEGIN "
                       "IF row_security_active(TG_RELID) AND NOT tesvan_maintains() AND "
                       "(coalesce(OLD.sname, '') <> '' OR NEW.kcode IS DISTINCT FROM OLD.kcode OR "
                       "NEW.code IS DISTINCT FROM OLD.code) THEN "
                       "RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', "
                       "MESSAGE = 'コードマスタの保守は管理者だけが行えます。'; END IF; "
                       "RETURN NEW; END $f$")
            .arg(s),
        QStringLiteral("DROP TRIGGER IF EXISTS コードマスタ_学習 ON コードマスタ"),
        QStringLiteral("CREATE TRIGGER コードマスタ_学習 BEFORE UPDATE ON コードマスタ "
                       "FOR EACH ROW EXECUTE FUNCTION tesvan_code_learning()"),
        // Lines never outlive their header: an older database's lines without one get an empty
        // header first (nothing is lost), then the key.
        QStringLiteral(
            "INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) SELECT DISTINCT 作成日, 氏名, '', '' "
            "FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM 営業日報ヘッダ h "
            "WHERE h.作成日 = l.作成日 AND h.氏名 = l.氏名)"),
        QStringLiteral("ALTER TABLE 営業日報 DROP CONSTRAINT IF EXISTS 営業日報_ヘッダ"),
        QStringLiteral("ALTER TABLE 営業日報 ADD CONSTRAINT 営業日報_ヘッダ FOREIGN KEY (作成日, 氏名) "
                       "REFERENCES 営業日報ヘッダ (作成日, 氏名) ON DELETE CASCADE ON UPDATE CASCADE"),
        // The team's rights, on these tables only: nobody of the team creates, alters or drops.
        QStringLiteral("REVOKE CREATE ON SCHEMA %1 FROM PUBLIC").arg(s),
        QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(s, kMemberRole),
        QStringLiteral("REVOKE ALL ON 営業日報ヘッダ, 営業日報, コードマスタ, %1.メンバー FROM PUBLIC")
            .arg(s),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON 営業日報ヘッダ, 営業日報 TO %1")
            .arg(kMemberRole),
        QStringLiteral("GRANT SELECT, UPDATE (sname) ON コードマスタ TO %1").arg(kMemberRole),
        QStringLiteral("GRANT INSERT, UPDATE, DELETE ON コードマスタ TO %1").arg(kManagerRole),
        QStringLiteral("GRANT SELECT ON %1.メンバー TO %2").arg(s, kMemberRole),
        QStringLiteral(
            "DO $$ BEGIN EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database()); "
            "EXECUTE format('GRANT CONNECT ON DATABASE %I TO %s', current_database(), '%1'); END $$")
            .arg(kMemberRole),
    };
    // Reading every report is the rule (a sales team shares them) unless a member's 全員閲覧 is
    // off; writing only under one's own 氏名, which also keeps a header off a name that is no
    // member's. Managers write their own reports as anyone does.
    const QString own = QStringLiteral("氏名 = (SELECT tesvan_own_name())");
    const QString seen = QStringLiteral("(SELECT tesvan_reads_all()) OR ") + own;
    for (const QString& table : {tbl::営業日報ヘッダ, tbl::営業日報}) {
        out << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(table);
        for (const QString& p :
             {QStringLiteral("閲覧"), QStringLiteral("登録"), QStringLiteral("変更"), QStringLiteral("削除")})
            out << QStringLiteral("DROP POLICY IF EXISTS %1 ON %2").arg(p, table);
        const QString trigger = table + QStringLiteral("_本人");
        out << QStringLiteral("CREATE POLICY 閲覧 ON %1 FOR SELECT TO %2 USING (%3)")
                   .arg(table, kMemberRole, seen)
            << QStringLiteral("CREATE POLICY 登録 ON %1 FOR INSERT TO %2 WITH CHECK (%3)")
                   .arg(table, kMemberRole, own)
            << QStringLiteral("CREATE POLICY 変更 ON %1 FOR UPDATE TO %2 USING (%3) WITH CHECK (%4)")
                   .arg(table, kMemberRole, seen, own)
            << QStringLiteral("CREATE POLICY 削除 ON %1 FOR DELETE TO %2 USING (%3)")
                   .arg(table, kMemberRole, seen)
            << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(trigger, table)
            << QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE OR DELETE ON %2 FOR EACH ROW "
                              "EXECUTE FUNCTION tesvan_own_rows()")
                   .arg(trigger, table);
    }
    // The code master: everyone reads and learns; the rest is held by the grants and the trigger.
    out << QStringLiteral("ALTER TABLE コードマスタ ENABLE ROW LEVEL SECURITY")
        << QStringLiteral("DROP POLICY IF EXISTS 全員 ON コードマスタ")
        << QStringLiteral("CREATE POLICY 全員 ON コードマスタ TO %1 USING (true) WITH CHECK (true)")
               .arg(kMemberRole);
    return out;
}

Error loginExists(const QSqlDatabase& db, const QString& login)
{
    QList<Row> rows;
    if (Error e = readRows(db, QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ? AND rolcanlogin"),
                           {login}, rows);
        e.failed())
        return e;
    if (rows.isEmpty())
        return Error(QStringLiteral(
                         "ログイン「%1」がサーバーにありません。先に CREATE ROLE %1 LOGIN で作ってください。")
                         .arg(login));
    return {};
}

Error revokeGroups(const QSqlDatabase& db, const QString& login)
{
    if (Error e = run(db, QStringLiteral("SET LOCAL client_min_messages = error")); e.failed())
        return e;
    return run(db, QStringLiteral("REVOKE %1, %2, %3 FROM %4")
                       .arg(kMemberRole, kManagerRole, kAdministratorRole, ident(login)));
}

Error needTeam(const QSqlDatabase& db)
{
    if (!hasTeam(db))
        return Error(QStringLiteral("このデータベースにはメンバーの表がありません。tesvan-initdb --server "
                                    "をもう一度実行してください。"));
    return {};
}

} // namespace

QString roleText(TeamRole role)
{
    switch (role) {
    case TeamRole::Manager:
        return QStringLiteral("manager");
    case TeamRole::Administrator:
        return QStringLiteral("administrator");
    case TeamRole::Member:
        break;
    }
    return QStringLiteral("member");
}

bool roleOf(const QString& text, TeamRole* role)
{
    for (TeamRole r : {TeamRole::Member, TeamRole::Manager, TeamRole::Administrator})
        if (roleText(r) == text) {
            *role = r;
            return true;
        }
    return false;
}

Error applyTeamSchema(const QSqlDatabase& db, const std::function<QStringList(const QString&)>& alsoFor)
{
    QList<Row> rows;
    if (Error e = readRows(db, QStringLiteral("SELECT quote_ident(current_schema())"), {}, rows); e.failed())
        return e;
    if (rows.isEmpty() || rows[0][0].toString().isEmpty())
        return Error(QStringLiteral("スキーマがありません。"));
    // Dropping what does not exist yet and revoking roles not held are no news.
    if (Error e = run(db, QStringLiteral("SET LOCAL client_min_messages = error")); e.failed())
        return e;
    const QString schema = rows[0][0].toString();
    for (const QString& sql : teamStatements(schema) + (alsoFor ? alsoFor(schema) : QStringList()))
        if (Error e = run(db, sql); e.failed())
            return e;
    return {};
}

bool askedOnce(const QSqlDatabase& db, const QString& question)
{
    if (!isServer(db))
        return false;
    // Asked once per session (a read and a registration both need it); a session that ends
    // takes its answers with it.
    const std::shared_ptr<Engine> engine = engineOf(db);
    static QMutex lock;
    static std::map<std::pair<const Engine*, QString>, std::pair<std::weak_ptr<Engine>, bool>> known;
    const std::pair<const Engine*, QString> key{engine.get(), question};
    {
        const QMutexLocker hold(&lock);
        std::erase_if(known, [](const auto& k) { return k.second.first.expired(); });
        if (const auto it = known.find(key); it != known.end())
            return it->second.second;
    }
    QList<Row> rows;
    if (readRows(db, question, {}, rows).failed() || rows.isEmpty())
        return false;
    const bool yes = rows[0][0].toBool();
    const QMutexLocker hold(&lock);
    known[key] = {engine, yes};
    return yes;
}

bool hasTeam(const QSqlDatabase& db)
{
    return askedOnce(db, QStringLiteral("SELECT to_regclass('メンバー') IS NOT NULL"));
}

namespace {

const QString kMemberFields = QStringLiteral("ログイン, 氏名, 所属, 役割, 全員閲覧");

Member memberOf(const Row& r)
{
    Member m;
    m.login = r[0].toString();
    m.氏名 = r[1].toString();
    m.所属 = r[2].toString();
    roleOf(r[3].toString(), &m.role);
    m.readsAll = r[4].toBool();
    return m;
}

} // namespace

SignedIn signedInMember(const QSqlDatabase& db)
{
    SignedIn s;
    if (!hasTeam(db))
        return s;
    QList<Row> rows;
    s.error = readRows(
        db, QStringLiteral("SELECT %1 FROM メンバー WHERE ログイン = current_user").arg(kMemberFields), {},
        rows);
    if (s.error.ok() && !rows.isEmpty()) {
        s.found = true;
        s.member = memberOf(rows[0]);
    }
    return s;
}

Error readMembers(const QSqlDatabase& db, QList<Member>* out)
{
    out->clear();
    if (Error e = needTeam(db); e.failed())
        return e;
    QList<Row> rows;
    if (Error e = readRows(db, QStringLiteral("SELECT %1 FROM メンバー ORDER BY ログイン").arg(kMemberFields),
                           {}, rows);
        e.failed())
        return e;
    for (const Row& r : rows)
        out->append(memberOf(r));
    return {};
}

Error addMember(const QSqlDatabase& db, const Member& m)
{
    if (m.login.isEmpty() || m.氏名.isEmpty())
        return Error(QStringLiteral("ログインと氏名を指定してください。"));
    if (Error e = needTeam(db); e.failed())
        return e;
    return inTransaction(db, [&]() -> Error {
        if (Error e = loginExists(db, m.login); e.failed())
            return e;
        if (Error e = run(
                db,
                QStringLiteral("INSERT INTO メンバー (%1) VALUES (?, ?, ?, ?, ?) ON CONFLICT (ログイン) DO "
                               "UPDATE SET 氏名 = excluded.氏名, 所属 = excluded.所属, "
                               "役割 = excluded.役割, 全員閲覧 = excluded.全員閲覧")
                    .arg(kMemberFields),
                {m.login, m.氏名, m.所属.isEmpty() ? QVariant() : QVariant(m.所属), roleText(m.role),
                 m.readsAll});
            e.failed())
            return e;
        if (Error e = revokeGroups(db, m.login); e.failed())
            return e;
        const QString group = m.role == TeamRole::Administrator ? kAdministratorRole
                              : m.role == TeamRole::Manager     ? kManagerRole
                                                                : kMemberRole;
        return run(db, QStringLiteral("GRANT %1 TO %2").arg(group, ident(m.login)));
    });
}

Error removeMember(const QSqlDatabase& db, const QString& login)
{
    if (Error e = needTeam(db); e.failed())
        return e;
    return inTransaction(db, [&]() -> Error {
        Statement del(db, QStringLiteral("DELETE FROM メンバー WHERE ログイン = ?"));
        del.bind(login);
        if (!del.exec())
            return del.error();
        if (del.rowsAffected() == 0)
            return Error(QStringLiteral("「%1」はメンバーではありません。").arg(login));
        return revokeGroups(db, login);
    });
}

bool keepsStamps(const QSqlDatabase& db)
{
    return hasTeam(db);
}

Error readStamp(const QSqlDatabase& db, const QVariant& key, const QString& name, Stamp* out)
{
    *out = {};
    if (!keepsStamps(db))
        return {};
    QList<Row> rows;
    if (Error e = readRows(
            db,
            QStringLiteral(
                "SELECT h.版, coalesce(r.氏名, h.登録者), (extract(epoch FROM h.登録日時) * 1000)::bigint, "
                "coalesce(u.氏名, h.更新者), (extract(epoch FROM h.更新日時) * 1000)::bigint "
                "FROM 営業日報ヘッダ h LEFT JOIN メンバー r ON r.ログイン = h.登録者 "
                "LEFT JOIN メンバー u ON u.ログイン = h.更新者 WHERE h.作成日 = ? AND h.氏名 = ?"),
            {key, name}, rows);
        e.failed())
        return e;
    if (rows.isEmpty())
        return {};
    const Row& r = rows[0];
    out->version = r[0].toInt();
    out->registeredBy = r[1].toString();
    if (!r[2].isNull())
        out->registeredAt = QDateTime::fromMSecsSinceEpoch(r[2].toLongLong());
    out->changedBy = r[3].toString();
    if (!r[4].isNull())
        out->changedAt = QDateTime::fromMSecsSinceEpoch(r[4].toLongLong());
    return {};
}

QString describeChange(const Stamp& s)
{
    const QString who = s.changedBy.isEmpty() ? QStringLiteral("（不明）") : s.changedBy;
    const QString when = s.changedAt.isValid()
                             ? s.changedAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                             : QStringLiteral("（不明な日時）");
    return QStringLiteral("%1 さんが %2 に").arg(who, when);
}

Error staleError(const Stamp& stored)
{
    if (!stored.stored())
        return Error(QStringLiteral("読み込んだ後でこの日報は削除されています。"));
    return Error(describeChange(stored) + QStringLiteral("この日報を変更しています。"));
}

} // namespace store
