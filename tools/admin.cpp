// The team on a server, kept by the database's owner: members added, changed, listed, removed.
//   tesvan-admin [--server CONNINFO] member add LOGIN 氏名 [--department 所属] [--manager |
//                --administrator] [--own-only]
//   tesvan-admin [--server CONNINFO] member remove LOGIN
//   tesvan-admin [--server CONNINFO] member list
// Without --server the database is "dbname=tesvan" as libpq's defaults and environment complete it.
#include "store/Connection.h"
#include "store/Db.h"
#include "store/Server.h"
#include "store/Team.h"

#include <QCoreApplication>
#include <QUuid>
#include <cstdio>

namespace {

const char* const kUsage =
    "使い方: tesvan-admin [--server 接続文字列] member add ログイン 氏名 [--department 所属]\n"
    "                     [--manager | --administrator] [--own-only]\n"
    "        tesvan-admin [--server 接続文字列] member remove ログイン\n"
    "        tesvan-admin [--server 接続文字列] member list\n"
    "  --manager        全員の日報を読み、コードマスタを保守できる\n"
    "  --administrator  manager と同じ権限に加えて管理者として記録される\n"
    "  --own-only       自分の日報だけを読める（既定は全員の日報を読める）\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

struct Request {
    QString conninfo = QStringLiteral("dbname=tesvan");
    QString verb; // add, remove, list
    store::Member member;
};

// The arguments after the program's name; false when they are not understood.
bool parse(QStringList args, Request& r)
{
    if (args.size() >= 2 && args[0] == QLatin1String("--server")) {
        r.conninfo = args[1];
        args = args.mid(2);
    }
    if (args.size() < 2 || args[0] != QLatin1String("member"))
        return false;
    r.verb = args[1];
    args = args.mid(2);
    if (r.verb == QLatin1String("list"))
        return args.isEmpty();
    if (r.verb == QLatin1String("remove")) {
        if (args.size() != 1)
            return false;
        r.member.login = args[0];
        return true;
    }
    if (r.verb != QLatin1String("add") || args.size() < 2)
        return false;
    r.member.login = args[0];
    r.member.氏名 = args[1];
    bool roleGiven = false;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--department") && i + 1 < args.size()) {
            r.member.所属 = args[++i];
        } else if ((a == QLatin1String("--manager") || a == QLatin1String("--administrator")) && !roleGiven) {
            r.member.role =
                a == QLatin1String("--manager") ? store::TeamRole::Manager : store::TeamRole::Administrator;
            roleGiven = true;
        } else if (a == QLatin1String("--own-only")) {
            r.member.readsAll = false;
        } else {
            return false;
        }
    }
    return true;
}

store::Error perform(const QSqlDatabase& db, const Request& r)
{
    if (r.verb == QLatin1String("add"))
        return store::addMember(db, r.member);
    if (r.verb == QLatin1String("remove"))
        return store::removeMember(db, r.member.login);
    QList<store::Member> members;
    if (store::Error e = store::readMembers(db, &members); e.failed())
        return e;
    for (const store::Member& m : members)
        std::printf("%s\t%s\t%s\t%s%s\n", qPrintable(m.login), qPrintable(m.氏名), qPrintable(m.所属),
                    qPrintable(store::roleText(m.role)), m.readsAll ? "" : "\town-only");
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Request r;
    if (!parse(app.arguments().mid(1), r))
        return usage();
    const QString conn = QStringLiteral("admin-") + QUuid::createUuid().toString(QUuid::Id128);
    store::Error err = store::openServer(conn, r.conninfo);
    if (err.ok()) {
        err = perform(QSqlDatabase::database(conn, false), r);
        store::closeDatabase(conn);
    }
    if (err.failed()) {
        std::fprintf(stderr, "tesvan-admin: %s: %s\n", qPrintable(store::describeServer(r.conninfo)),
                     qPrintable(err.reason()));
        return 1;
    }
    return 0;
}
