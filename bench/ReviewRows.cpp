// The review's reads on a team of 200 members (bench_server --review): 提出状況 for a week, a
// report's panel (state, history, readers and a thread of 20 comments) and the notices, for a
// member and for a manager, each against a floor of libpq selecting the least that read must
// return (an independent statement, not ours sent again), A B B A on one server.
#include "BenchServer.h"
#include "ServerCluster.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Review.h"
#include "store/Server.h"
#include "store/Team.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <libpq-fe.h>

namespace {

constexpr int kMembers = 200;
constexpr int kComments = 20;
constexpr int kRuns = 51;

struct Timed {
    double ours = -1, floor = -1;
};

double msOf(const std::function<bool()>& work)
{
    QElapsedTimer t;
    t.start();
    return work() ? double(t.nsecsElapsed()) / 1e6 : -1;
}

// Ours and the floor in turn, A B B A, after a warm-up of each: both medians.
Timed inTurn(const std::function<bool()>& ours, const std::function<bool()>& floor)
{
    if (!ours() || !floor())
        return {};
    std::vector<double> a, b;
    for (int i = 0; i < kRuns; ++i) {
        const bool oursFirst = i % 2 == 0;
        const double first = msOf(oursFirst ? ours : floor);
        const double second = msOf(oursFirst ? floor : ours);
        if (first < 0 || second < 0)
            return {};
        (oursFirst ? a : b).push_back(first);
        (oursFirst ? b : a).push_back(second);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

bool selects(PGconn* c, const char* sql, std::initializer_list<QByteArray> params, int atLeast)
{
    std::vector<const char*> values;
    for (const QByteArray& p : params)
        values.push_back(p.constData());
    PGresult* r = PQexecParams(c, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    const bool good = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) >= atLeast;
    if (!good)
        std::fprintf(stderr, "floor: %s (%d rows)\n", PQresultErrorMessage(r), PQntuples(r));
    PQclear(r);
    return good;
}

void row(const char* what, const Timed& t)
{
    std::printf("%-34s %8.2f   libpq floor %8.2f   ours / floor %.2f\n", what, t.ours, t.floor,
                t.floor > 0 ? t.ours / t.floor : -1);
}

} // namespace

int reviewRows(testing::ServerCluster& server, const QString& memberLogin)
{
    // The team: 200 members in five departments; the headers' 社員0 … 社員49 among them. The
    // headers' last change spread over their own days, as a team's years would leave it.
    const QString why = server.admin(
        QStringLiteral("INSERT INTO メンバー (ログイン, 氏名, 所属) SELECT 'm' || i, '社員' || i, "
                       "'営業' || (i % 5) || '課' FROM generate_series(0, %1) AS i ON CONFLICT DO NOTHING; "
                       "ALTER TABLE 営業日報ヘッダ DISABLE TRIGGER USER; "
                       "UPDATE 営業日報ヘッダ SET 更新日時 = 作成日 + interval '18 hours', 登録日時 = "
                       "作成日 + interval '18 hours' WHERE 氏名 <> '%2'; "
                       "ALTER TABLE 営業日報ヘッダ ENABLE TRIGGER USER; ANALYZE")
            .arg(kMembers - 1)
            .arg(benchName()),
        QStringLiteral("tesvan"));
    if (!why.isEmpty()) {
        std::fprintf(stderr, "team: %s\n", qPrintable(why));
        return 1;
    }
    const QString manager = QStringLiteral("bench_manager");
    if (const QString e = server.makeLogin(manager); !e.isEmpty())
        return 1;
    if (store::openServer(QStringLiteral("reviewowner"), server.conninfo()).failed())
        return 1;
    {
        const QSqlDatabase owner = QSqlDatabase::database(QStringLiteral("reviewowner"), false);
        if (store::addMember(owner, {manager, QStringLiteral("課長"), {}, store::TeamRole::Manager, true})
                .failed())
            return 1;
        for (int i = 0; i < kComments; ++i)
            if (store::addComment(owner, benchDay(), benchName(), QStringLiteral("コメント%1").arg(i))
                    .failed())
                return 1;
    }
    store::closeDatabase(QStringLiteral("reviewowner"));

    // The week of the headers' last days (2000-01-01 + 1,993 … 1,999).
    const QDate first = QDate(2000, 1, 1).addDays(1993);
    const QByteArray from = first.toString(Qt::ISODate).toUtf8();
    const QByteArray to = first.addDays(6).toString(Qt::ISODate).toUtf8();
    const QByteArray day = benchDay().toString(Qt::ISODate).toUtf8();
    const QByteArray name = benchName().toUtf8();
    std::printf("the review's reads, %d members, 100,000 headers (median ms, A B B A)\n", kMembers);
    for (const QString& login : {memberLogin, manager}) {
        const bool boss = login == manager;
        if (store::openServer(login, server.conninfoAs(login)).failed())
            return 1;
        QSqlDatabase db = QSqlDatabase::database(login, false);
        PGconn* c = PQconnectdb(server.conninfoAs(login).toUtf8().constData());
        if (PQstatus(c) != CONNECTION_OK)
            return 1;
        const Timed week = inTurn(
            [&] {
                store::Submissions s;
                return store::readSubmissions(db, first, 7, &s).ok() && s.members.size() >= kMembers;
            },
            [&] {
                return selects(c,
                               "SELECT m.氏名, m.所属, h.作成日 FROM メンバー m LEFT JOIN 営業日報ヘッダ h "
                               "ON h.氏名 = m.氏名 AND h.作成日 BETWEEN $1 AND $2 "
                               "ORDER BY m.所属 NULLS LAST, m.氏名",
                               {from, to}, kMembers);
            });
        // Our statement sent through libpq, against the same floor: what the statement's design
        // costs apart from our layer's.
        const Timed statement = inTurn(
            [&] {
                return selects(c,
                               "SELECT m.氏名, m.所属, h.作成日 - CAST($1 AS date), s.状態, "
                               "r.読者 IS NOT NULL OR m.ログイン = current_user "
                               "FROM メンバー m LEFT JOIN 営業日報ヘッダ h ON h.氏名 = m.氏名 "
                               "AND h.作成日 BETWEEN CAST($1 AS date) AND CAST($2 AS date) "
                               "LEFT JOIN 日報審査 s ON s.作成日 = h.作成日 AND s.氏名 = h.氏名 "
                               "LEFT JOIN 日報既読 r ON r.作成日 = h.作成日 AND r.氏名 = h.氏名 AND r.読者 = "
                               "current_user "
                               "ORDER BY m.所属 NULLS LAST, m.氏名",
                               {from, to}, kMembers);
            },
            [&] {
                return selects(c,
                               "SELECT m.氏名, m.所属, h.作成日 FROM メンバー m LEFT JOIN 営業日報ヘッダ h "
                               "ON h.氏名 = m.氏名 AND h.作成日 BETWEEN $1 AND $2 "
                               "ORDER BY m.所属 NULLS LAST, m.氏名",
                               {from, to}, kMembers);
            });
        const Timed thread = inTurn(
            [&] {
                store::Review r;
                return store::readReview(db, benchDay(), benchName(), &r).ok() &&
                       r.comments.size() >= kComments;
            },
            [&] {
                return selects(
                    c,
                    "SELECT 投稿者, 投稿日時, 本文 FROM 日報コメント WHERE 作成日 = $1 AND 氏名 = $2 "
                    "ORDER BY 番号",
                    {day, name}, kComments);
            });
        const Timed notices = inTurn(
            [&] {
                QList<store::Notice> n;
                return store::readNotices(db, &n).ok();
            },
            // The least a manager's notices read: the headers others changed in the last week.
            [&] {
                return selects(
                    c,
                    boss ? "SELECT 作成日, 氏名, 更新者, 更新日時, タイトル FROM 営業日報ヘッダ "
                           "WHERE 更新日時 > now() - interval '7 days' ORDER BY 更新日時 DESC "
                           "LIMIT 50"
                         : "SELECT 作成日, 氏名, 投稿者, 投稿日時, 本文 FROM 日報コメント "
                           "WHERE 氏名 = $1 AND 投稿日時 > now() - interval '7 days' "
                           "ORDER BY 投稿日時 DESC LIMIT 50",
                    boss ? std::initializer_list<QByteArray>{} : std::initializer_list<QByteArray>{name}, 0);
            });
        const char* who = boss ? "a manager" : "a member";
        std::printf("as %s\n", who);
        row("  提出状況, 200 members × 7 days", week);
        row("    its statement through libpq", statement);
        row("  the report's panel, 20 comments", thread);
        row("  notices", notices);
        PQfinish(c);
        db = QSqlDatabase();
        store::closeDatabase(login);
        if (week.ours < 0 || thread.ours < 0 || notices.ours < 0)
            return 1;
    }
    return 0;
}
