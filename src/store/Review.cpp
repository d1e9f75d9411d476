#include "store/Review.h"

#include "store/Dates.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Serialise.h"
#include "store/Team.h"

namespace store {
namespace {

const QString kTables[] = {QStringLiteral("日報審査"), QStringLiteral("日報審査履歴"),
                           QStringLiteral("日報既読"), QStringLiteral("日報コメント"),
                           QStringLiteral("通知確認")};

// The refusal the database gives; the window says the same before trying.
const QString kLocked = QStringLiteral("承認済みの日報は変更も削除もできません。");

QString refuse(const QString& message)
{
    return QStringLiteral("RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', MESSAGE = '%1'; ")
        .arg(message);
}

// A trigger function; definer: it runs as the schema's owner (for the records nobody of the team
// writes by hand), else as the session's role.
QString triggerFunction(const QString& name, const QString& schema, const QString& body, bool definer = false)
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql %2"
                          "SET search_path = %3, pg_temp AS $f$ %4 $f$")
        .arg(name, definer ? QStringLiteral("SECURITY DEFINER ") : QString(), schema, body);
}

QStringList trigger(const QString& name, const QString& table, const QString& when, const QString& function)
{
    return {QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(name, table),
            QStringLiteral("CREATE TRIGGER %1 %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %4()")
                .arg(name, when, table, function)};
}

QDateTime timeOf(const QVariant& ms)
{
    return ms.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms.toLongLong());
}

Error needReview(const QSqlDatabase& db)
{
    if (!hasReview(db))
        return Error(QStringLiteral("このデータベースには日報の確認の表がありません。tesvan-initdb --server "
                                    "をもう一度実行してください。"));
    return {};
}

// Holds the report's key (as registering it does) and compares the version the manager read with
// the stored one, so that a decision is never about a version nobody looked at.
Error holdVersion(const QSqlDatabase& db, const QVariant& key, const QString& name, int version)
{
    if (Error e = serialise(db, {reportKey(key, name)}); e.failed())
        return e;
    Stamp now;
    if (Error e = readStamp(db, key, name, &now); e.failed())
        return e;
    if (now.version != version)
        return staleError(now);
    return {};
}

Error decide(const QSqlDatabase& db, const QDate& day, const QString& name, int version, ReviewState state,
             const QString& reason)
{
    if (Error e = needReview(db); e.failed())
        return e;
    const QVariant key = dateValue(day);
    return inTransaction(db, [&]() -> Error {
        if (Error e = holdVersion(db, key, name, version); e.failed())
            return e;
        if (Error e =
                run(db,
                    QStringLiteral("INSERT INTO 日報審査 (作成日, 氏名, 状態, 理由) VALUES (?, ?, ?, ?) "
                                   "ON CONFLICT (作成日, 氏名) DO UPDATE SET 状態 = excluded.状態, "
                                   "理由 = excluded.理由"),
                    {key, name, stateText(state), reason.isEmpty() ? QVariant() : QVariant(reason)});
            e.failed())
            return e;
        if (reason.isEmpty())
            return {};
        return run(db, QStringLiteral("INSERT INTO 日報コメント (作成日, 氏名, 本文) VALUES (?, ?, ?)"),
                   {key, name, reason});
    });
}

// A comment's or a reason's text as stored: cleaned, and refused when nothing but blanks.
Error textToStore(const QString& text, const QString& empty, QString* out)
{
    *out = cleanText(text).trimmed();
    if (out->contains(QChar(0)))
        return Error(nulRefused());
    if (out->isEmpty())
        return Error(empty);
    return {};
}

} // namespace

QString stateText(ReviewState s)
{
    switch (s) {
    case ReviewState::Approved:
        return QStringLiteral("承認");
    case ReviewState::Returned:
        return QStringLiteral("差戻し");
    case ReviewState::Corrected:
        return QStringLiteral("修正済");
    case ReviewState::Submitted:
        break;
    }
    return QStringLiteral("提出");
}

bool stateOf(const QString& text, ReviewState* s)
{
    for (ReviewState r :
         {ReviewState::Submitted, ReviewState::Approved, ReviewState::Returned, ReviewState::Corrected})
        if (stateText(r) == text) {
            *s = r;
            return true;
        }
    return false;
}

QString approvedLockReason()
{
    return kLocked;
}

QStringList reviewSchemaStatements(const QString& schema)
{
    const QString s = schema;
    const QString t = QStringLiteral("text COLLATE \"C\"");
    // Every record of a report goes with it (a report deleted takes its thread along) and follows
    // a change of its key; registering it again writes its header over, so they stay.
    const QString report = QStringLiteral("作成日 date NOT NULL, 氏名 %1 NOT NULL").arg(t);
    const QString ofReport =
        QStringLiteral("FOREIGN KEY (作成日, 氏名) REFERENCES 営業日報ヘッダ (作成日, 氏名) "
                       "ON DELETE CASCADE ON UPDATE CASCADE");
    QStringList out{
        QStringLiteral("CREATE TABLE IF NOT EXISTS 日報審査 (%1, 状態 text NOT NULL CHECK (状態 IN "
                       "('提出', '承認', '差戻し', '修正済')), 理由 %2, 更新者 %2, 更新日時 timestamptz, "
                       "PRIMARY KEY (作成日, 氏名), %3)")
            .arg(report, t, ofReport),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS 日報審査履歴 (番号 bigint GENERATED ALWAYS AS IDENTITY "
            "PRIMARY KEY, %1, 操作 text NOT NULL, 理由 %2, 実行者 %2, 日時 timestamptz NOT NULL, %3)")
            .arg(report, t, ofReport),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 日報審査履歴_日報 ON 日報審査履歴 (作成日, 氏名)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 日報審査履歴_通知 ON 日報審査履歴 (氏名, 日時)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS 日報既読 (%1, 読者 %2 NOT NULL DEFAULT current_user, "
                       "既読日時 timestamptz NOT NULL DEFAULT now(), PRIMARY KEY (作成日, 氏名, 読者), %3)")
            .arg(report, t, ofReport),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS 日報コメント (番号 bigint GENERATED ALWAYS AS IDENTITY "
            "PRIMARY KEY, %1, 投稿者 %2 NOT NULL DEFAULT current_user, 投稿日時 timestamptz NOT NULL "
            "DEFAULT now(), 本文 text NOT NULL CHECK (btrim(本文) <> ''), %3)")
            .arg(report, t, ofReport),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 日報コメント_日報 ON 日報コメント (作成日, 氏名, 番号)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 日報コメント_通知 ON 日報コメント (氏名, 投稿日時)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS 通知確認 (ログイン %1 PRIMARY KEY DEFAULT current_user, "
                       "確認日時 timestamptz NOT NULL DEFAULT now())")
            .arg(t),
        // A manager is told of the reports registered since they last looked.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 営業日報ヘッダ_更新日時 ON 営業日報ヘッダ (更新日時)"),

        // Deciding: only managers are granted it; nobody decides on their own report, a return
        // says why, and who and when are the server's.
        triggerFunction(QStringLiteral("tesvan_review_check"), s,
                        QStringLiteral("BEGIN IF row_security_active(TG_RELID) THEN "
                                       "IF NEW.氏名 IS NOT DISTINCT FROM tesvan_own_name() THEN %1 END IF; "
                                       "NEW.更新者 := current_user; "
                                       "ELSE NEW.更新者 := coalesce(NEW.更新者, current_user); END IF; "
                                       "IF NEW.状態 = '差戻し' AND coalesce(btrim(NEW.理由), '') = '' THEN "
                                       "RAISE EXCEPTION USING ERRCODE = 'check_violation', "
                                       "MESSAGE = '差戻しには理由が要ります。'; END IF; "
                                       "NEW.更新日時 := now(); RETURN NEW; END")
                            .arg(refuse(QStringLiteral("自分の日報は承認も差戻しもできません。")))),
        // The history is written by the server alone, from the state's own changes.
        triggerFunction(
            QStringLiteral("tesvan_review_history"), s,
            QStringLiteral("BEGIN IF TG_OP = 'UPDATE' AND OLD.状態 = NEW.状態 AND OLD.理由 IS NOT "
                           "DISTINCT FROM NEW.理由 THEN RETURN NULL; END IF; "
                           "INSERT INTO 日報審査履歴 (作成日, 氏名, 操作, 理由, 実行者, 日時) VALUES "
                           "(NEW.作成日, NEW.氏名, CASE WHEN TG_OP = 'UPDATE' AND OLD.状態 = '承認' "
                           "AND NEW.状態 = '提出' THEN '承認取消' ELSE NEW.状態 END, NEW.理由, "
                           "NEW.更新者, NEW.更新日時); RETURN NULL; END"),
            true),
        // A returned report registered again by its owner is 修正済 until it is decided again.
        triggerFunction(
            QStringLiteral("tesvan_resubmitted"), s,
            QStringLiteral("BEGIN UPDATE 日報審査 SET 状態 = '修正済', 理由 = NULL, 更新者 = NEW.更新者 "
                           "WHERE 作成日 = NEW.作成日 AND 氏名 = NEW.氏名 AND 状態 = '差戻し'; "
                           "RETURN NULL; END"),
            true),
        // An approved report is its owner's no more, whatever program writes.
        triggerFunction(QStringLiteral("tesvan_approved_lock"), s,
                        QStringLiteral("DECLARE d date; n text; BEGIN IF row_security_active(TG_RELID) THEN "
                                       "IF TG_OP = 'INSERT' THEN d := NEW.作成日; n := NEW.氏名; "
                                       "ELSE d := OLD.作成日; n := OLD.氏名; END IF; "
                                       "IF EXISTS (SELECT 1 FROM 日報審査 WHERE 作成日 = d AND 氏名 = n "
                                       "AND 状態 = '承認') THEN %1 END IF; END IF; "
                                       "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END")
                            .arg(refuse(kLocked))),
        // Who read or wrote and when are the server's, whatever a client sends.
        triggerFunction(
            QStringLiteral("tesvan_read_mark"), s,
            QStringLiteral("BEGIN IF row_security_active(TG_RELID) THEN NEW.読者 := current_user; "
                           "NEW.既読日時 := now(); END IF; RETURN NEW; END")),
        triggerFunction(
            QStringLiteral("tesvan_comment_author"), s,
            QStringLiteral("BEGIN IF row_security_active(TG_RELID) THEN NEW.投稿者 := current_user; "
                           "NEW.投稿日時 := now(); END IF; RETURN NEW; END")),
    };
    out << trigger(QStringLiteral("日報審査_確認"), QStringLiteral("日報審査"),
                   QStringLiteral("BEFORE INSERT OR UPDATE"), QStringLiteral("tesvan_review_check"))
        << trigger(QStringLiteral("日報審査_履歴"), QStringLiteral("日報審査"),
                   QStringLiteral("AFTER INSERT OR UPDATE"), QStringLiteral("tesvan_review_history"))
        << trigger(QStringLiteral("営業日報ヘッダ_修正"), QStringLiteral("営業日報ヘッダ"),
                   QStringLiteral("AFTER UPDATE"), QStringLiteral("tesvan_resubmitted"))
        << trigger(QStringLiteral("日報既読_記録"), QStringLiteral("日報既読"),
                   QStringLiteral("BEFORE INSERT"), QStringLiteral("tesvan_read_mark"))
        << trigger(QStringLiteral("日報コメント_記録"), QStringLiteral("日報コメント"),
                   QStringLiteral("BEFORE INSERT"), QStringLiteral("tesvan_comment_author"));
    for (const QString& table : {QStringLiteral("営業日報ヘッダ"), QStringLiteral("営業日報")})
        out << trigger(table + QStringLiteral("_承認済"), table,
                       QStringLiteral("BEFORE INSERT OR UPDATE OR DELETE"),
                       QStringLiteral("tesvan_approved_lock"));

    // Rights: what a member reads follows the reports they read; nothing is changed or deleted
    // afterwards but a decision, by a manager.
    const QString seen = QStringLiteral("(SELECT tesvan_reads_all()) OR 氏名 = (SELECT tesvan_own_name())");
    const QString all = QStringLiteral("日報審査, 日報審査履歴, 日報既読, 日報コメント, 通知確認");
    out << QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC").arg(all)
        << QStringLiteral("GRANT SELECT ON %1 TO %2").arg(all, kMemberRole)
        << QStringLiteral("GRANT INSERT ON 日報既読, 日報コメント, 通知確認 TO %1").arg(kMemberRole)
        << QStringLiteral("GRANT UPDATE ON 通知確認 TO %1").arg(kMemberRole)
        << QStringLiteral("GRANT INSERT, UPDATE ON 日報審査 TO %1").arg(kManagerRole);
    for (const QString& table : kTables) {
        out << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(table);
        for (const QString& p :
             {QStringLiteral("閲覧"), QStringLiteral("登録"), QStringLiteral("変更"), QStringLiteral("本人")})
            out << QStringLiteral("DROP POLICY IF EXISTS %1 ON %2").arg(p, table);
    }
    for (const QString& table : {QStringLiteral("日報審査"), QStringLiteral("日報審査履歴"),
                                 QStringLiteral("日報既読"), QStringLiteral("日報コメント")})
        out << QStringLiteral("CREATE POLICY 閲覧 ON %1 FOR SELECT TO %2 USING (%3)")
                   .arg(table, kMemberRole, seen);
    for (const QString& table : {QStringLiteral("日報既読"), QStringLiteral("日報コメント")})
        out << QStringLiteral("CREATE POLICY 登録 ON %1 FOR INSERT TO %2 WITH CHECK (%3)")
                   .arg(table, kMemberRole, seen);
    out << QStringLiteral("CREATE POLICY 登録 ON 日報審査 FOR INSERT TO %1 WITH CHECK (true)")
               .arg(kManagerRole)
        << QStringLiteral("CREATE POLICY 変更 ON 日報審査 FOR UPDATE TO %1 USING (true) WITH CHECK (true)")
               .arg(kManagerRole)
        << QStringLiteral("CREATE POLICY 本人 ON 通知確認 TO %1 USING (ログイン = current_user) "
                          "WITH CHECK (ログイン = current_user)")
               .arg(kMemberRole);
    return out;
}

bool hasReview(const QSqlDatabase& db)
{
    return hasTeam(db) && askedOnce(db, QStringLiteral("SELECT to_regclass('日報コメント') IS NOT NULL"));
}

Error readReview(const QSqlDatabase& db, const QDate& day, const QString& name, Review* out)
{
    *out = {};
    if (Error e = needReview(db); e.failed())
        return e;
    // One round trip: the state, its history, the readers and the thread, told apart by the first
    // field and each in its own order.
    const auto ms = [](const QString& field) {
        return QStringLiteral("(extract(epoch FROM %1) * 1000)::bigint").arg(field);
    };
    const auto who = [](const QString& alias, const QString& login) {
        return QStringLiteral("coalesce((SELECT m.氏名 FROM メンバー m WHERE m.ログイン = %1.%2), %1.%2)")
            .arg(alias, login);
    };
    QList<Row> rows;
    if (Error e = readRows(
            db,
            QStringLiteral("WITH k AS (SELECT CAST(? AS date) AS d, CAST(? AS text) COLLATE \"C\" AS n) "
                           "SELECT 0, 0::bigint, NULL::bigint, NULL::text, NULL::text, s.状態, NULL::text "
                           "FROM 日報審査 s, k WHERE s.作成日 = k.d AND s.氏名 = k.n "
                           "UNION ALL SELECT 1, h.番号, %1, %2, h.実行者, h.操作, h.理由 "
                           "FROM 日報審査履歴 h, k WHERE h.作成日 = k.d AND h.氏名 = k.n "
                           "UNION ALL SELECT 2, %3, %3, %4, r.読者, NULL, NULL "
                           "FROM 日報既読 r, k WHERE r.作成日 = k.d AND r.氏名 = k.n "
                           "UNION ALL SELECT 3, c.番号, %5, %6, c.投稿者, c.本文, NULL "
                           "FROM 日報コメント c, k WHERE c.作成日 = k.d AND c.氏名 = k.n ORDER BY 1, 2")
                .arg(ms(QStringLiteral("h.日時")), who(QStringLiteral("h"), QStringLiteral("実行者")),
                     ms(QStringLiteral("r.既読日時")), who(QStringLiteral("r"), QStringLiteral("読者")),
                     ms(QStringLiteral("c.投稿日時")), who(QStringLiteral("c"), QStringLiteral("投稿者"))),
            {dateValue(day), name}, rows);
        e.failed())
        return e;
    for (const Row& r : rows) {
        switch (r[0].toInt()) {
        case 0:
            stateOf(r[5].toString(), &out->state);
            break;
        case 1:
            out->history.append({r[5].toString(), r[3].toString(), timeOf(r[2]), r[6].toString()});
            break;
        case 2:
            out->readers.append({r[3].toString(), timeOf(r[2])});
            break;
        default:
            out->comments.append({r[3].toString(), r[4].toString(), timeOf(r[2]), r[5].toString()});
        }
    }
    return {};
}

Error markRead(const QSqlDatabase& db, const QDate& day, const QString& name)
{
    return markDayRead(db, day, {name});
}

Error markDayRead(const QSqlDatabase& db, const QDate& day, const QStringList& names, int* marked)
{
    if (marked)
        *marked = 0;
    if (Error e = needReview(db); e.failed())
        return e;
    // Reports stored and read by this member only: a key of nothing marks nothing.
    Statement mark(db,
                   QStringLiteral("INSERT INTO 日報既読 (作成日, 氏名) SELECT h.作成日, h.氏名 "
                                  "FROM 営業日報ヘッダ h WHERE h.作成日 = ? "
                                  "AND (CAST(? AS text) = '' OR h.氏名 = ANY (string_to_array(?, chr(31)))) "
                                  "AND h.氏名 IS DISTINCT FROM tesvan_own_name() ON CONFLICT DO NOTHING"));
    // Never a null text: that would bind as NULL, and NULL matches nothing.
    const QString list = names.isEmpty() ? QStringLiteral("") : names.join(QChar(31));
    mark.bind(dateValue(day)).bind(list).bind(list);
    if (!mark.exec())
        return mark.error();
    if (marked)
        *marked = mark.rowsAffected();
    return {};
}

Error addComment(const QSqlDatabase& db, const QDate& day, const QString& name, const QString& text)
{
    if (Error e = needReview(db); e.failed())
        return e;
    QString body;
    if (Error e = textToStore(text, QStringLiteral("コメントを入力してください。"), &body); e.failed())
        return e;
    return run(db, QStringLiteral("INSERT INTO 日報コメント (作成日, 氏名, 本文) VALUES (?, ?, ?)"),
               {dateValue(day), name, body});
}

Error findComments(const QSqlDatabase& db, const QDate& from, const QDate& to, const QString& name,
                   const QStringList& keywords, int limit, QList<FoundComment>* out)
{
    out->clear();
    if (Error e = needReview(db); e.failed())
        return e;
    QStringList where;
    QVariantList values;
    if (from.isValid()) {
        where << QStringLiteral("c.作成日 >= ?");
        values << dateValue(from);
    }
    if (to.isValid()) {
        where << QStringLiteral("c.作成日 <= ?");
        values << dateValue(to);
    }
    if (!name.isEmpty()) {
        where << QStringLiteral("c.氏名 = ?");
        values << name;
    }
    // strpos, not LIKE: a keyword's % and _ are text.
    for (const QString& k : keywords) {
        where << QStringLiteral("strpos(lower(normalize(c.本文, NFKC)), ?) > 0");
        values << k;
    }
    values << limit;
    QList<Row> rows;
    if (Error e = readRows(
            db,
            QStringLiteral("SELECT c.作成日, c.氏名, coalesce(m.氏名, c.投稿者), "
                           "(extract(epoch FROM c.投稿日時) * 1000)::bigint, c.本文 "
                           "FROM 日報コメント c LEFT JOIN メンバー m ON m.ログイン = c.投稿者 %1 "
                           "ORDER BY c.作成日 DESC, c.氏名, c.番号 LIMIT ?")
                .arg(where.isEmpty() ? QString()
                                     : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND "))),
            values, rows);
        e.failed())
        return e;
    for (const Row& r : rows)
        out->append({toDate(r[0]), r[1].toString(), r[2].toString(), timeOf(r[3]), r[4].toString()});
    return {};
}

Error approveReport(const QSqlDatabase& db, const QDate& day, const QString& name, int version)
{
    return decide(db, day, name, version, ReviewState::Approved, {});
}

Error returnReport(const QSqlDatabase& db, const QDate& day, const QString& name, int version,
                   const QString& reason)
{
    QString why;
    if (Error e = textToStore(reason, QStringLiteral("差戻しの理由を入力してください。"), &why); e.failed())
        return e;
    return decide(db, day, name, version, ReviewState::Returned, why);
}

Error withdrawApproval(const QSqlDatabase& db, const QDate& day, const QString& name)
{
    if (Error e = needReview(db); e.failed())
        return e;
    Statement back(db, QStringLiteral("UPDATE 日報審査 SET 状態 = '提出', 理由 = NULL "
                                      "WHERE 作成日 = ? AND 氏名 = ? AND 状態 = '承認'"));
    back.bind(dateValue(day)).bind(name);
    if (!back.exec())
        return back.error();
    if (back.rowsAffected() == 0)
        return Error(QStringLiteral("この日報は承認されていません。"));
    return {};
}

Error readNotices(const QSqlDatabase& db, QList<Notice>* out)
{
    out->clear();
    if (Error e = needReview(db); e.failed())
        return e;
    // Each part reads an index from the member's name (or, for a manager, the time of the last
    // change) onwards from the last look: the cost follows what is new, not what is stored.
    QList<Row> rows;
    if (Error e = readRows(
            db,
            QStringLiteral(
                "WITH me AS (SELECT tesvan_own_name() AS n, tesvan_maintains() AS boss, "
                "coalesce((SELECT 確認日時 FROM 通知確認 WHERE ログイン = current_user), "
                "now() - interval '7 days') AS since) "
                "SELECT x.k, x.作成日, x.氏名, coalesce(m.氏名, x.who), "
                "(extract(epoch FROM x.t) * 1000)::bigint, x.body FROM ("
                "SELECT 'コメント' AS k, c.作成日, c.氏名, c.投稿者 AS who, c.投稿日時 AS t, c.本文 AS body "
                "FROM 日報コメント c, me WHERE c.氏名 = me.n AND c.投稿日時 > me.since "
                "AND c.投稿者 <> current_user "
                "UNION ALL SELECT h.操作, h.作成日, h.氏名, h.実行者, h.日時, h.理由 FROM 日報審査履歴 h, me "
                "WHERE h.氏名 = me.n AND h.日時 > me.since AND h.実行者 IS DISTINCT FROM current_user "
                "AND h.操作 IN ('承認', '差戻し', '承認取消') "
                "UNION ALL SELECT CASE WHEN r.版 = 1 THEN '提出' ELSE '再提出' END, r.作成日, r.氏名, "
                "r.更新者, "
                "r.更新日時, r.タイトル FROM 営業日報ヘッダ r, me WHERE me.boss AND r.更新日時 > me.since "
                "AND r.氏名 IS DISTINCT FROM me.n) x LEFT JOIN メンバー m ON m.ログイン = x.who "
                "ORDER BY x.t DESC LIMIT %1")
                .arg(kNoticeLimit),
            {}, rows);
        e.failed())
        return e;
    for (const Row& r : rows)
        out->append(
            {r[0].toString(), toDate(r[1]), r[2].toString(), r[3].toString(), timeOf(r[4]), r[5].toString()});
    return {};
}

Error markNoticesSeen(const QSqlDatabase& db)
{
    if (Error e = needReview(db); e.failed())
        return e;
    return run(db, QStringLiteral("INSERT INTO 通知確認 (ログイン, 確認日時) VALUES (current_user, now()) "
                                  "ON CONFLICT (ログイン) DO UPDATE SET 確認日時 = excluded.確認日時"));
}

QString dayStateText(DayState s)
{
    switch (s) {
    case DayState::Off:
        return {};
    case DayState::Missing:
        return QStringLiteral("未提出");
    case DayState::Submitted:
        return stateText(ReviewState::Submitted);
    case DayState::Read:
        return QStringLiteral("既読");
    case DayState::Approved:
        return stateText(ReviewState::Approved);
    case DayState::Returned:
        return stateText(ReviewState::Returned);
    case DayState::Corrected:
        return stateText(ReviewState::Corrected);
    }
    return {};
}

bool Submissions::dueOn(const QDate& day)
{
    return day.dayOfWeek() < 6;
}

int Submissions::due(int day) const
{
    return dueOn(first.addDays(day)) ? int(members.size()) : 0;
}

int Submissions::submitted(int day) const
{
    int n = 0;
    for (const MemberDays& m : members)
        n += m.days.value(day) != DayState::Off && m.days.value(day) != DayState::Missing;
    return n;
}

Error readSubmissions(const QSqlDatabase& db, const QDate& first, int days, Submissions* out)
{
    *out = {};
    out->first = first;
    if (Error e = needReview(db); e.failed())
        return e;
    QList<Row> rows;
    if (Error e = readRows(
            db,
            QStringLiteral(
                "SELECT m.氏名, m.所属, h.作成日 - CAST(? AS date), s.状態, "
                "r.読者 IS NOT NULL OR m.ログイン = current_user "
                "FROM メンバー m LEFT JOIN 営業日報ヘッダ h ON h.氏名 = m.氏名 "
                "AND h.作成日 BETWEEN CAST(? AS date) AND CAST(? AS date) "
                "LEFT JOIN 日報審査 s ON s.作成日 = h.作成日 AND s.氏名 = h.氏名 "
                "LEFT JOIN 日報既読 r ON r.作成日 = h.作成日 AND r.氏名 = h.氏名 AND r.読者 = current_user "
                "ORDER BY m.所属 NULLS LAST, m.氏名"),
            {dateValue(first), dateValue(first), dateValue(first.addDays(days - 1))}, rows);
        e.failed())
        return e;
    QList<DayState> none;
    for (int d = 0; d < days; ++d)
        none << (Submissions::dueOn(first.addDays(d)) ? DayState::Missing : DayState::Off);
    for (const Row& r : rows) {
        if (out->members.isEmpty() || out->members.last().氏名 != r[0].toString())
            out->members.append({r[0].toString(), r[1].toString(), none});
        if (r[2].isNull())
            continue;
        const int day = r[2].toInt();
        if (day < 0 || day >= days)
            continue;
        ReviewState state = ReviewState::Submitted;
        stateOf(r[3].toString(), &state);
        DayState& cell = out->members.last().days[day];
        switch (state) {
        case ReviewState::Approved:
            cell = DayState::Approved;
            break;
        case ReviewState::Returned:
            cell = DayState::Returned;
            break;
        case ReviewState::Corrected:
            cell = DayState::Corrected;
            break;
        case ReviewState::Submitted:
            cell = r[4].toBool() ? DayState::Read : DayState::Submitted;
        }
    }
    return {};
}

} // namespace store
