// A team on the server: members and their group roles, the rights the database enforces on each
// of them whatever program writes (plain SQL here, as psql would send it), the who-and-when the
// server keeps, and the schema tool over a database that holds reports already.
#include "Boxes.h"
#include "Psql.h"
#include "ServerFixture.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "list/ListStore.h"
#include "list/ListTab.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "store/Connection.h"
#include "store/Rows.h"
#include "store/Server.h"
#include "store/Team.h"
#include "ui/Controls.h"
#include "ui/NaturalOrder.h"
#include "ui/grid/DataGrid.h"

#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using testing::Psql;

const QString kReport =
    u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES ('2026-12-0%1', '%2', '', '')"_s;
const QString kLine =
    u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2026-12-0%1', '%2', %3, '商談')"_s;

} // namespace

class TestTeam : public QObject, testing::ServerFixture {
    Q_OBJECT

    static void typeLine(const QSqlDatabase& work, int row, const QString& text)
    {
        QCOMPARE(store::run(
                     work,
                     u"UPDATE w営業日報 SET 表示日付 = '2026-12-01', 日付 = '2026-12-01', 内容 = ?, 備考 = ? "
                     "WHERE 行番号 = ?"_s,
                     {text, text, row}),
                 QString());
    }
    static QString lines(const QSqlDatabase& db, const QString& table, const QString& where = {})
    {
        QList<store::Row> rows;
        store::readRows(db, u"SELECT string_agg(内容, ',' ORDER BY 行番号) FROM %1 %2"_s.arg(table, where),
                        {}, rows);
        return rows.isEmpty() ? QString() : rows[0][0].toString();
    }

    QString ownerConninfo() const { return m_server->conninfo(); }

    // The tool as the database's owner would run it.
    QString admin(const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(TESVAN_ADMIN), QStringList{u"--server"_s, ownerConninfo()} + args);
        if (!p.waitForFinished(60000))
            return u"did not finish"_s;
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError()) + u" "_s;
    }

  private slots:
    void initTestCase()
    {
        if (!joinCluster({u"tanaka"_s, u"sato"_s, u"kato"_s, u"ito"_s}))
            return;
    }

    void init()
    {
        QCOMPARE(m_server->readyForTest(), QString());
        QCOMPARE(admin({u"member"_s, u"add"_s, u"tanaka"_s, u"田中一郎"_s, u"--department"_s, u"営業1課"_s}),
                 QString());
        QCOMPARE(admin({u"member"_s, u"add"_s, u"sato"_s, u"佐藤花子"_s, u"--department"_s, u"営業1課"_s}),
                 QString());
        QCOMPARE(admin({u"member"_s, u"add"_s, u"kato"_s, u"加藤課長"_s, u"--manager"_s}), QString());
        // Each has a report of the 1st with a line; the owner writes as anyone could before.
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        for (const QString& name : {u"田中一郎"_s, u"佐藤花子"_s, u"加藤課長"_s}) {
            QCOMPARE(owner.exec(kReport.arg(1).arg(name)), QString());
            QCOMPARE(owner.exec(kLine.arg(1).arg(name).arg(1)), QString());
        }
    }

    void membersAndTheirGroupRoles()
    {
        QString listed;
        QCOMPARE(admin({u"member"_s, u"list"_s}, &listed), QString());
        QCOMPARE(
            listed,
            u"kato\t加藤課長\t\tmanager\nsato\t佐藤花子\t営業1課\tmember\ntanaka\t田中一郎\t営業1課\tmember\n"_s);
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        const auto groups = [&owner](const QString& login) {
            return owner
                .one(u"SELECT string_agg(g.rolname, ',' ORDER BY g.rolname) FROM pg_auth_members m JOIN "
                     u"pg_roles g "
                     "ON g.oid = m.roleid JOIN pg_roles u ON u.oid = m.member WHERE u.rolname = '%1'"_s.arg(
                         login))
                .toString();
        };
        QCOMPARE(groups(u"kato"_s), u"tesvan_manager"_s);
        QCOMPARE(groups(u"tanaka"_s), u"tesvan_member"_s);
        // Made a manager, then a member again: one group role at a time.
        QCOMPARE(admin({u"member"_s, u"add"_s, u"tanaka"_s, u"田中一郎"_s, u"--administrator"_s}), QString());
        QCOMPARE(groups(u"tanaka"_s), u"tesvan_administrator"_s);
        QCOMPARE(admin({u"member"_s, u"add"_s, u"tanaka"_s, u"田中一郎"_s}), QString());
        QCOMPARE(groups(u"tanaka"_s), u"tesvan_member"_s);
        // A login that does not exist, a second member of the same 氏名, an unknown option.
        QVERIFY(admin({u"member"_s, u"add"_s, u"nobody_here"_s, u"誰か"_s}).contains(u"nobody_here"_s));
        QVERIFY(!admin({u"member"_s, u"add"_s, u"ito"_s, u"田中一郎"_s}).isEmpty());
        QVERIFY(!admin({u"member"_s, u"add"_s, u"ito"_s, u"伊藤"_s, u"--boss"_s}).isEmpty());

        // Removed: the row and the group role go, the reports stay, and the login writes nothing.
        QCOMPARE(admin({u"member"_s, u"remove"_s, u"sato"_s}), QString());
        QCOMPARE(groups(u"sato"_s), QString());
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報 WHERE 氏名 = '佐藤花子'"_s).toInt(), 1);
        QVERIFY(!admin({u"member"_s, u"remove"_s, u"sato"_s}).isEmpty());
        Psql sato(u"sato"_s);
        QVERIFY(!sato.failure().isEmpty() || !sato.exec(kReport.arg(2).arg(u"佐藤花子"_s)).isEmpty());
    }

    // Everything a member may not do is refused with an error, not skipped without a word.
    void aMemberWritesOnlyTheirOwn_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("header of another") << kReport.arg(2).arg(u"佐藤花子"_s);
        QTest::newRow("header of no member") << kReport.arg(2).arg(u"山田"_s);
        QTest::newRow("line under another") << kLine.arg(1).arg(u"佐藤花子"_s).arg(2);
        QTest::newRow("change another's line") << u"UPDATE 営業日報 SET 内容 = 'x' WHERE 氏名 = '佐藤花子'"_s;
        QTest::newRow("change another's header")
            << u"UPDATE 営業日報ヘッダ SET タイトル = 'x' WHERE 氏名 = '佐藤花子'"_s;
        QTest::newRow("take another's report")
            << u"UPDATE 営業日報ヘッダ SET 氏名 = '田中一郎' WHERE 氏名 = '佐藤花子'"_s;
        QTest::newRow("give own report away")
            << u"UPDATE 営業日報ヘッダ SET 氏名 = '佐藤花子' WHERE 氏名 = '田中一郎'"_s;
        QTest::newRow("delete another's header") << u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '佐藤花子'"_s;
        QTest::newRow("delete another's line") << u"DELETE FROM 営業日報 WHERE 氏名 = '佐藤花子'"_s;
        QTest::newRow("delete everything") << u"DELETE FROM 営業日報"_s;
        QTest::newRow("truncate") << u"TRUNCATE 営業日報"_s;
        QTest::newRow("create table") << u"CREATE TABLE mine (x int)"_s;
        QTest::newRow("alter table") << u"ALTER TABLE 営業日報 ADD COLUMN x int"_s;
        QTest::newRow("drop policy") << u"DROP POLICY 閲覧 ON 営業日報"_s;
        QTest::newRow("disable security") << u"ALTER TABLE 営業日報 DISABLE ROW LEVEL SECURITY"_s;
        QTest::newRow("drop table") << u"DROP TABLE 営業日報"_s;
        QTest::newRow("own member row")
            << u"UPDATE メンバー SET 役割 = 'manager' WHERE ログイン = 'tanaka'"_s;
        QTest::newRow("a member added") << u"INSERT INTO メンバー (ログイン, 氏名) VALUES ('ito', '伊藤')"_s;
        QTest::newRow("stamp's function") << u"CREATE OR REPLACE FUNCTION tesvan_own_name() RETURNS text "
                                             "LANGUAGE sql AS $$ SELECT '佐藤花子' $$"_s;
        QTest::newRow("a named code changed")
            << u"UPDATE コードマスタ SET sname = 'x' WHERE kcode = '訪問先' AND code = '001'"_s;
        QTest::newRow("a code row added")
            << u"INSERT INTO コードマスタ (kcode, code, sname) VALUES ('訪問先', '999', 'x')"_s;
        QTest::newRow("a category deleted") << u"DELETE FROM コードマスタ WHERE kcode = '訪問先'"_s;
    }
    void aMemberWritesOnlyTheirOwn()
    {
        QFETCH(QString, sql);
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        QCOMPARE(
            owner.exec(u"UPDATE コードマスタ SET sname = '本社' WHERE kcode = '訪問先' AND code = '001'"_s),
            QString());
        const auto everything = [&owner] {
            return owner
                .one(u"SELECT md5(string_agg(t, '|' ORDER BY t)) FROM (SELECT h::text AS t FROM "
                     u"営業日報ヘッダ h "
                     "UNION ALL SELECT l::text FROM 営業日報 l UNION ALL SELECT c::text FROM コードマスタ c "
                     "UNION ALL SELECT m::text FROM メンバー m) x"_s)
                .toString();
        };
        const QString before = everything();
        Psql tanaka(u"tanaka"_s);
        QCOMPARE(tanaka.failure(), QString());
        QVERIFY2(!tanaka.exec(sql).isEmpty(), "the server took it");
        QCOMPARE(everything(), before);
        // Under the same session their own report is theirs to change.
        QCOMPARE(tanaka.changed(u"UPDATE 営業日報 SET 内容 = '訪問' WHERE 氏名 = '田中一郎'"_s), 1);
        QCOMPARE(tanaka.exec(kReport.arg(2).arg(u"田中一郎"_s)), QString());
        QCOMPARE(tanaka.exec(kLine.arg(2).arg(u"田中一郎"_s).arg(1)), QString());
        QCOMPARE(tanaka.changed(u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '田中一郎'"_s), 2);
    }

    void readingAndManagers()
    {
        Psql tanaka(u"tanaka"_s), kato(u"kato"_s);
        // Everyone's reports are read by default; a member set to their own reads only those.
        QCOMPARE(tanaka.one(u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt(), 3);
        QCOMPARE(admin({u"member"_s, u"add"_s, u"tanaka"_s, u"田中一郎"_s, u"--own-only"_s}), QString());
        QCOMPARE(tanaka.one(u"SELECT count(*) FROM 営業日報"_s).toInt(), 1);
        QCOMPARE(tanaka.one(u"SELECT string_agg(氏名, ',') FROM 営業日報ヘッダ"_s).toString(), u"田中一郎"_s);
        // A manager reads everything, writes their own, and does not change another's lines.
        QCOMPARE(kato.one(u"SELECT count(*) FROM 営業日報"_s).toInt(), 3);
        QVERIFY(!kato.exec(u"UPDATE 営業日報 SET 内容 = '指導' WHERE 氏名 = '田中一郎'"_s).isEmpty());
        QVERIFY(!kato.exec(u"DELETE FROM 営業日報 WHERE 氏名 = '田中一郎'"_s).isEmpty());
        QVERIFY(!kato.exec(kLine.arg(1).arg(u"田中一郎"_s).arg(5)).isEmpty());
        QCOMPARE(kato.changed(u"UPDATE 営業日報 SET 内容 = '会議' WHERE 氏名 = '加藤課長'"_s), 1);
        // The code master: a member learns into a free row; a manager keeps it.
        QCOMPARE(tanaka.changed(
                     u"UPDATE コードマスタ SET sname = '新店' WHERE kcode = '訪問先' AND code = '002'"_s),
                 1);
        QVERIFY(
            !tanaka.exec(u"UPDATE コードマスタ SET sname = NULL WHERE kcode = '訪問先' AND code = '002'"_s)
                 .isEmpty());
        QCOMPARE(
            kato.changed(u"UPDATE コードマスタ SET sname = NULL WHERE kcode = '訪問先' AND code = '002'"_s),
            1);
        QCOMPARE(kato.changed(u"DELETE FROM コードマスタ WHERE kcode = '訪問先' AND code = '199'"_s), 1);
        QCOMPARE(
            kato.changed(u"INSERT INTO コードマスタ (kcode, code, sname) VALUES ('訪問先', '199', NULL)"_s),
            1);
    }

    void linesGoWithTheirHeader()
    {
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        QVERIFY(!owner.exec(kLine.arg(3).arg(u"田中一郎"_s).arg(1)).isEmpty());
        QCOMPARE(owner.changed(u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '佐藤花子'"_s), 1);
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報 WHERE 氏名 = '佐藤花子'"_s).toInt(), 0);
    }

    // Who and when are the server's: a client's values are replaced; the first registration stays.
    void whoAndWhen()
    {
        Psql tanaka(u"tanaka"_s);
        QCOMPARE(
            tanaka.exec(u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 登録者, 登録日時, 更新者, 版) VALUES "
                        "('2026-12-05', '田中一郎', 'sato', '2000-01-01', 'sato', 40)"_s),
            QString());
        const QString row =
            u"SELECT 登録者 || ',' || 更新者 || ',' || 版 || ',' || (登録日時 > now() - interval '1 hour') "
            "FROM 営業日報ヘッダ WHERE 作成日 = '2026-12-05'"_s;
        QCOMPARE(tanaka.one(row).toString(), u"tanaka,tanaka,1,true"_s);
        QCOMPARE(
            tanaka.exec(
                u"UPDATE 営業日報ヘッダ SET タイトル = 't', 登録者 = 'sato', 版 = 1 WHERE 作成日 = '2026-12-05'"_s),
            QString());
        QCOMPARE(tanaka.one(row).toString(), u"tanaka,tanaka,2,true"_s);

        const QString conn = u"stamp"_s;
        QCOMPARE(store::openServer(conn, m_server->conninfoAs(u"sato"_s)), QString());
        {
            const QSqlDatabase db = QSqlDatabase::database(conn, false);
            store::Stamp s;
            QCOMPARE(store::readStamp(db, u"2026-12-05"_s, u"田中一郎"_s, &s), QString());
            QCOMPARE(s.version, 2);
            QCOMPARE(s.registeredBy, u"田中一郎"_s);
            QCOMPARE(s.changedBy, u"田中一郎"_s);
            QVERIFY(qAbs(s.changedAt.secsTo(QDateTime::currentDateTime())) < 3600);
            QCOMPARE(store::readStamp(db, u"2026-12-06"_s, u"田中一郎"_s, &s), QString());
            QVERIFY(!s.stored());
            const store::SignedIn me = store::signedInMember(db);
            QVERIFY(me.found);
            QCOMPARE(me.member.氏名, u"佐藤花子"_s);
            QCOMPARE(me.member.所属, u"営業1課"_s);
            QVERIFY(!me.member.maintains());
        }
        store::closeDatabase(conn);
    }

    // The tool run again over a database that holds reports (one made before the team, with a
    // line whose header went missing) keeps every one of them.
    void schemaToolOverAnOlderDatabase()
    {
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        const QString before =
            owner.one(u"SELECT string_agg(l::text, '|' ORDER BY l::text) FROM 営業日報 l"_s).toString();
        QCOMPARE(store::createServerSchema(ownerConninfo()), QString());
        QCOMPARE(owner.one(u"SELECT string_agg(l::text, '|' ORDER BY l::text) FROM 営業日報 l"_s).toString(),
                 before);
        QCOMPARE(owner.one(u"SELECT count(*) FROM メンバー"_s).toInt(), 3);
        // As an older tool left it: no team, no key, an orphan line.
        for (
            const QString& sql :
            {u"DROP TABLE メンバー CASCADE"_s, u"ALTER TABLE 営業日報 DROP CONSTRAINT 営業日報_ヘッダ"_s,
             u"ALTER TABLE 営業日報 DISABLE ROW LEVEL SECURITY"_s,
             u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2026-11-30', '退職者', 1, '残った行')"_s})
            QCOMPARE(owner.exec(sql), QString());
        QCOMPARE(store::createServerSchema(ownerConninfo()), QString());
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報ヘッダ WHERE 氏名 = '退職者'"_s).toInt(), 1);
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報"_s).toInt(), 4);
        QCOMPARE(admin({u"member"_s, u"add"_s, u"tanaka"_s, u"田中一郎"_s}), QString());
        Psql tanaka(u"tanaka"_s);
        QVERIFY(!tanaka.exec(u"DELETE FROM 営業日報 WHERE 氏名 = '退職者'"_s).isEmpty());
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報"_s).toInt(), 4);
    }

    // Two windows of one member: read in both, register in the second, then in the first. The
    // first is refused naming who and when; neither side loses anything.
    void aStaleRegistrationIsRefused()
    {
        QSqlDatabase mainA, workA, mainB, workB;
        openWithLines(u"a"_s, mainA, workA, u"tanaka"_s);
        openWithLines(u"b"_s, mainB, workB, u"tanaka"_s);
        const QDate day(2026, 12, 1);
        const report::ReadResult readA = report::readReport(mainA, workA, day, u"田中一郎"_s);
        const report::ReadResult readB = report::readReport(mainB, workB, day, u"田中一郎"_s);
        QCOMPARE(readA.error, QString());
        QCOMPARE(readA.stamp.version, 1);
        QCOMPARE(readB.stamp, readA.stamp);
        typeLine(workB, 2, u"上司の指摘"_s);
        report::Registered doneB;
        QCOMPARE(report::registerReport(mainB, workB, {day, u"田中一郎"_s, {}, {}}, &doneB, &readB.stamp),
                 QString());
        QCOMPARE(doneB.stamp.version, 2);
        QCOMPARE(doneB.stamp.registeredBy, QLatin1String(testing::ServerCluster::kUser));
        QCOMPARE(doneB.stamp.changedBy, u"田中一郎"_s);

        typeLine(workA, 3, u"古い写し"_s);
        report::Registered doneA;
        const store::Error refused =
            report::registerReport(mainA, workA, {day, u"田中一郎"_s, {}, {}}, &doneA, &readA.stamp);
        QVERIFY(refused.failed());
        QVERIFY(doneA.stale);
        QCOMPARE(doneA.stamp, doneB.stamp);
        QVERIFY2(refused.reason().contains(u"田中一郎 さんが"_s), qPrintable(refused.reason()));
        QCOMPARE(lines(mainA, u"営業日報"_s, u"WHERE 氏名 = '田中一郎'"_s), u"商談,上司の指摘"_s);
        QList<store::Row> typed;
        QCOMPARE(store::readRows(workA,
                                 u"SELECT group_concat(内容, ',') FROM (SELECT 内容 FROM w営業日報 "
                                 "WHERE 内容 IS NOT NULL ORDER BY 行番号)"_s,
                                 {}, typed),
                 QString());
        QCOMPARE(typed[0][0].toString(), u"商談,古い写し"_s);
        // The newly learnt remark stays the only one: nothing of the refused 登録 was learnt.
        QList<store::Row> learnt;
        QCOMPARE(store::readRows(mainA,
                                 u"SELECT count(*) FILTER (WHERE sname = '古い写し'), "
                                 "count(*) FILTER (WHERE sname = '上司の指摘') FROM コードマスタ"_s,
                                 {}, learnt),
                 QString());
        QCOMPARE(learnt[0], (store::Row{0, 1}));

        // A report typed under a stored key without reading it is refused the same way.
        report::Registered fresh;
        const store::Stamp none;
        QVERIFY(report::registerReport(mainA, workA, {day, u"田中一郎"_s, {}, {}}, &fresh, &none).failed());
        QVERIFY(fresh.stale);
        // Read again, the newer version registers.
        const report::ReadResult again = report::readReport(mainA, workA, day, u"田中一郎"_s);
        QCOMPARE(again.stamp.version, 2);
        typeLine(workA, 3, u"追記"_s);
        QCOMPARE(report::registerReport(mainA, workA, {day, u"田中一郎"_s, {}, {}}, &doneA, &again.stamp),
                 QString());
        QCOMPARE(doneA.stamp.version, 3);
        QCOMPARE(lines(mainB, u"営業日報"_s, u"WHERE 氏名 = '田中一郎'"_s), u"商談,上司の指摘,追記"_s);
        closeUser(u"a"_s);
        closeUser(u"b"_s);
    }

    // 日報一覧's 削除 of a report changed since the list was read: refused, nothing deleted.
    void aStaleDeletionIsRefused()
    {
        QSqlDatabase mainA, workA, mainB, workB;
        openWithLines(u"la"_s, mainA, workA, u"tanaka"_s);
        openWithLines(u"lb"_s, mainB, workB, u"tanaka"_s);
        QHash<QString, int> versions;
        QCOMPARE(list::readList(mainA, workA, {}, list::Copy::Auto, &versions).error, QString());
        QCOMPARE(versions.size(), 3);
        const QDate day(2026, 12, 1);
        const report::ReadResult read = report::readReport(mainB, workB, day, u"田中一郎"_s);
        typeLine(workB, 2, u"追記"_s);
        QCOMPARE(report::registerReport(mainB, workB, {day, u"田中一郎"_s, {}, {}}, nullptr, &read.stamp),
                 QString());
        QCOMPARE(store::run(workA, u"UPDATE w一覧 SET チェック = 1 WHERE 氏名 = '田中一郎'"_s), QString());
        const list::DeleteResult stale = list::deleteTickedReports(mainA, workA, &versions);
        QVERIFY(stale.stale);
        QCOMPARE(stale.deleted, 0);
        QCOMPARE(stale.newer.version, 2);
        QCOMPARE(lines(mainA, u"営業日報"_s, u"WHERE 氏名 = '田中一郎'"_s), u"商談,追記"_s);
        QCOMPARE(list::readList(mainA, workA, {}, list::Copy::Auto, &versions).error, QString());
        QCOMPARE(store::run(workA, u"UPDATE w一覧 SET チェック = 1 WHERE 氏名 = '田中一郎'"_s), QString());
        const list::DeleteResult done = list::deleteTickedReports(mainA, workA, &versions);
        QCOMPARE(done.error, QString());
        QCOMPARE(done.deleted, 1);
        QCOMPARE(lines(mainB, u"営業日報"_s, u"WHERE 氏名 = '田中一郎'"_s), QString());
        closeUser(u"la"_s);
        closeUser(u"lb"_s);
    }

    // Fifteen members at once, each registering only their own reports (all of them waiting on the
    // code master's categories), while the server stops and comes back: no report lost, none
    // refused but while the server was away, none written under another's name.
    void campaignOfMembers()
    {
        const QString worker = QCoreApplication::applicationDirPath() + u"/pg_worker"_s;
        QVERIFY(QFile::exists(worker));
        constexpr int kMembers = 15;
        QCOMPARE(store::openServer(u"owner"_s, ownerConninfo()), QString());
        for (int i = 1; i <= kMembers; ++i) {
            const QString login = u"team%1"_s.arg(i, 2, 10, QLatin1Char('0'));
            QCOMPARE(m_server->makeLogin(login), QString());
            QCOMPARE(store::addMember(QSqlDatabase::database(u"owner"_s, false),
                                      {login, u"社員%1"_s.arg(i), {}, store::TeamRole::Member, true}),
                     QString());
        }
        store::closeDatabase(u"owner"_s);
        QList<QProcess*> procs;
        for (int i = 1; i <= kMembers; ++i) {
            auto* p = new QProcess(this);
            p->start(worker, {m_server->conninfoAs(u"team%1"_s.arg(i, 2, 10, QLatin1Char('0'))),
                              m_dir.path() + u"/member%1"_s.arg(i), u"own"_s, QString::number(500 + i),
                              u"9000"_s, u"社員%1"_s.arg(i)});
            procs << p;
        }
        QTest::qWait(3000);
        const qint64 stopped = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(m_server->stop("fast"));
        QTest::qWait(1000);
        QVERIFY(m_server->start());
        const qint64 back = QDateTime::currentMSecsSinceEpoch();

        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        QVERIFY2(owner.failure().isEmpty(), qPrintable(owner.failure()));
        int registered = 0, busy = 0;
        for (int i = 1; i <= kMembers; ++i) {
            QProcess* p = procs[i - 1];
            QVERIFY(p->waitForFinished(120000));
            QVERIFY2(p->exitCode() == 0, qPrintable(QString::fromUtf8(p->readAllStandardError())));
            const QString name = u"社員%1"_s.arg(i);
            QHash<QString, QStringList> known; // day → the titles it may hold, the answered one first
            // Days with a 登録 answered: their report is there. A day with only a 登録 whose answer
            // never came may hold nothing at all (refused at connect while the server shut down).
            QSet<QString> answered;
            for (const QString& line :
                 QString::fromUtf8(p->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList f = line.split(u' ');
                if (f[0] == u"failed"_s) {
                    // Refused only while the server was away (and reconnecting right after).
                    const qint64 at = f[1].toLongLong();
                    QVERIFY2(at >= stopped - 500 && at <= back + 5000, qPrintable(line));
                } else if (f[0] == u"busy"_s) {
                    ++busy;
                } else if (f[0] == u"last"_s || f[0] == u"maybe"_s) {
                    known[f[1]] << f.mid(2).join(u' ');
                    if (f[0] == u"last"_s)
                        answered << f[1];
                } else {
                    QVERIFY2(f[0].toInt() > 0, qPrintable(name + u": nothing registered"_s));
                    registered += f[0].toInt();
                }
            }
            for (auto it = known.cbegin(); it != known.cend(); ++it) {
                // One row whatever is stored: NULL for no report, nothing at all when the read failed.
                const QVariant stored = owner.one(
                    u"SELECT (SELECT タイトル FROM 営業日報ヘッダ WHERE 作成日 = '%1' AND 氏名 = '%2')"_s.arg(
                        it.key(), name));
                QVERIFY2(stored.isValid(), qPrintable(name + u" "_s + it.key() + u": not read back"_s));
                const bool kept =
                    stored.isNull() ? !answered.contains(it.key()) : it.value().contains(stored.toString());
                QVERIFY2(kept, qPrintable(u"%1 %2: %3 (%4) lost for %5"_s.arg(
                                   name, it.key(), it.value().join(u'|'),
                                   answered.contains(it.key()) ? u"answered"_s : u"never answered"_s,
                                   stored.isNull() ? u"no report"_s : stored.toString())));
            }
        }
        QVERIFY(registered > kMembers);
        qInfo("%d registrations by %d members, %d waits cut short", registered, kMembers, busy);
        // Every report whole, and each written by the member it belongs to.
        QCOMPARE(
            owner
                .one(
                    u"SELECT count(*) FROM 営業日報ヘッダ h WHERE h.氏名 LIKE '社員%' AND (SELECT count(*) "
                    u"FROM "
                    "営業日報 l WHERE l.作成日 = h.作成日 AND l.氏名 = h.氏名) <> split_part(h.タイトル, 'n=', 2)::int"_s)
                .toInt(),
            0);
        QCOMPARE(
            owner
                .one(u"SELECT count(*) FROM 営業日報 l JOIN 営業日報ヘッダ h USING (作成日, 氏名) "
                     "WHERE h.氏名 LIKE '社員%' AND l.内容 NOT LIKE split_part(h.タイトル, ' ', 1) || ' %'"_s)
                .toInt(),
            0);
        QCOMPARE(
            owner
                .one(u"SELECT count(*) FROM 営業日報ヘッダ h LEFT JOIN メンバー m ON m.ログイン = h.更新者 "
                     "WHERE h.氏名 LIKE '社員%' AND m.氏名 IS DISTINCT FROM h.氏名"_s)
                .toInt(),
            0);
        qDeleteAll(procs);
    }

    // The window as a member: their own name and the server in the title, their name on a new
    // report, another's report read but not written, another's reports not deleted from the list.
    void theWindowAsAMember()
    {
        const QString folder = dataFolder(u"tanaka"_s);
        QVERIFY(!folder.isEmpty());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(folder)));
        QVERIFY2(w.windowTitle().contains(u"user=tanaka"_s) && w.windowTitle().endsWith(u"田中一郎"_s),
                 qPrintable(w.windowTitle()));
        // 設定・情報: the code master is read, not kept, by a member.
        auto* codeRegister = w.findChild<QPushButton*>(u"cmd設定登録"_s);
        QVERIFY(codeRegister && !codeRegister->isEnabled());
        QCOMPARE(codeRegister->toolTip(), u"コードマスタの保守は管理者だけが行えます。"_s);
        ReportTab* tab = w.reportTab();
        QCOMPARE(tab->cmb氏名->currentText(), u"田中一郎"_s);
        QVERIFY(tab->cmd登録->isEnabled());

        // 佐藤花子's report: read, shown with its last change, 登録 and 行削除 off and saying why.
        tab->openReport(u"佐藤花子"_s, u"20261201"_s);
        QCOMPARE(tab->cmb氏名->currentText(), u"佐藤花子"_s);
        QVERIFY(tab->lbl最終更新->text().startsWith(u"最終更新 "_s));
        QVERIFY(!tab->cmd登録->isEnabled());
        QVERIFY(!tab->cmd行削除->isEnabled());
        QVERIFY2(tab->cmd登録->toolTip().startsWith(u"佐藤花子 さんの日報です。"_s),
                 qPrintable(tab->cmd登録->toolTip()));
        // Ctrl+S reaches 登録 without the button: told, nothing asked, nothing written.
        boxes.shown.clear();
        tab->Entry日報();
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].title, u"登録の拒否"_s);
        // Back to one's own name: both come back.
        tab->cmb氏名->setEditText(u"田中一郎"_s);
        QVERIFY(tab->cmd登録->isEnabled() && tab->cmd行削除->isEnabled());
        // ... and so do their tooltips, which name the keys again.
        QVERIFY2(tab->cmd登録->toolTip().contains(u"Ctrl+S"_s), qPrintable(tab->cmd登録->toolTip()));
        QVERIFY(tab->cmd行削除->toolTip().contains(u"Ctrl+Del"_s));

        // The list: 佐藤花子's report ticked with one's own: refused, naming it; nothing deleted.
        ListTab* list = w.listTab();
        list->Read一覧();
        QCOMPARE(
            store::run(w.workDb(), u"UPDATE w一覧 SET チェック = 1 WHERE 氏名 IN ('佐藤花子', '田中一郎')"_s),
            QString());
        boxes.shown.clear();
        list->Delete日報一覧();
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.startsWith(u"佐藤花子 さんの 2026/12/01 は他のメンバーの日報"_s),
                 qPrintable(boxes.shown[0].text));
        QList<store::Row> n;
        QCOMPARE(store::readRows(w.mainDb(), u"SELECT count(*) FROM 営業日報ヘッダ"_s, {}, n), QString());
        QCOMPARE(n[0][0].toInt(), 3);
    }

    // The list on the server shows who changed each report last and when, as the server
    // recorded it; one's own 登録 shows at once on its row.
    void theListShowsTheLastChange()
    {
        const QString folder = dataFolder(u"tanaka"_s);
        QVERIFY(!folder.isEmpty());
        // 佐藤花子 changed her own report; the others are as the owner wrote them.
        Psql sato(u"sato"_s);
        QCOMPARE(sato.exec(u"UPDATE 営業日報ヘッダ SET タイトル = '訂正' WHERE 氏名 = '佐藤花子'"_s),
                 QString());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(folder)));
        ListTab* list = w.listTab();
        w.SSTab1->setCurrentIndex(1);
        list->Read一覧();
        QAbstractItemModel* m = list->Grid一覧->model();
        QCOMPARE(m->columnCount(), 7);
        QCOMPARE(m->headerData(ListTab::ColChangedBy, Qt::Horizontal).toString(), u"更新者"_s);
        QCOMPARE(m->headerData(ListTab::ColChangedAt, Qt::Horizontal).toString(), u"更新日時"_s);
        const auto rowOf = [m](const QString& name) {
            for (int r = 0; r < m->rowCount(); ++r)
                if (m->index(r, ListTab::ColName).data().toString() == name)
                    return r;
            return -1;
        };
        const auto changeOf = [m, &rowOf](const QString& name) {
            const int r = rowOf(name);
            return r < 0 ? QString()
                         : m->index(r, ListTab::ColChangedBy).data().toString() + u' ' +
                               m->index(r, ListTab::ColChangedAt).data().toString();
        };
        const QString today = QDate::currentDate().toString(u"yyyy/MM/dd"_s);
        QVERIFY2(changeOf(u"佐藤花子"_s).startsWith(u"佐藤花子 "_s + today),
                 qPrintable(changeOf(u"佐藤花子"_s)));
        QVERIFY2(
            changeOf(u"田中一郎"_s).startsWith(QLatin1String(testing::ServerCluster::kUser) + u' ' + today),
            qPrintable(changeOf(u"田中一郎"_s)));
        QCOMPARE(m->index(rowOf(u"佐藤花子"_s), ListTab::ColChangedAt).data().toString().size(), 16);

        // One's own change, registered from this window, is on its row without a new read.
        Psql tanaka(u"tanaka"_s);
        QCOMPARE(tanaka.exec(u"UPDATE 営業日報ヘッダ SET タイトル = '追記' WHERE 氏名 = '田中一郎'"_s),
                 QString());
        list->showRegistered(QDate(2026, 12, 1), u"田中一郎"_s, u"営業1課"_s, u"追記"_s);
        QVERIFY2(changeOf(u"田中一郎"_s).startsWith(u"田中一郎 "_s + today),
                 qPrintable(changeOf(u"田中一郎"_s)));

        // The new columns sort like the others: the values come in the list's own sorting order.
        list->sortByColumn(ListTab::ColChangedBy);
        QList<QVariant> by;
        for (int r = 0; r < m->rowCount(); ++r)
            by << m->index(r, ListTab::ColChangedBy).data();
        QList<QVariant> resorted;
        for (const qsizetype i : app::naturalOrder(by, Qt::AscendingOrder))
            resorted << by[i];
        QCOMPARE(by, resorted);
        QCOMPARE(list->Grid一覧->horizontalHeader()->sortIndicatorSection(), int(ListTab::ColChangedBy));
        QCOMPARE(boxes.shown.size(), 0);
    }
};

QTEST_MAIN(TestTeam)
#include "tst_team.moc"
