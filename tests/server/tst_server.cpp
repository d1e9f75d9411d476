// The main database on a PostgreSQL server: the setting, start-up refusals, the initial-database
// tool, a team working at once, and a server that goes away.
#include "Boxes.h"
#include "ServerFixture.h"
#include "TestFiles.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "codes/CodeMasterAdder.h"
#include "codes/CodeStore.h"
#include "codes/PickLists.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Server.h"
#include "store/Team.h"

#include "store/Rows.h"

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;
using Rows = QList<QVariantList>;

namespace {

Rows select(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    Rows out;
    store::readRows(db, sql, values, out);
    return out;
}

void writeSetting(const QString& folder, const QString& text)
{
    QFile f(folder + store::kServerFileName);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

} // namespace

class TestServer : public QObject, testing::ServerFixture {
    Q_OBJECT

    void setLines(const QSqlDatabase& work, const QStringList& contents, const QString& place = u"本社"_s)
    {
        for (int i = 0; i < contents.size(); ++i)
            QCOMPARE(
                store::run(work,
                           u"UPDATE w営業日報 SET 表示日付 = '2026-12-08', 日付 = '2026-12-08', 訪問先 = ?, "
                           "内容 = ? WHERE 行番号 = ?"_s,
                           {place, contents[i], i + 1}),
                QString());
    }

  private slots:
    void initTestCase()
    {
        if (!joinCluster())
            return;
    }

    void init() { QCOMPARE(m_server->readyForTest(), QString()); }

    void settingFile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("reason"); // a part of the refusal, or "" for a usable setting
        QTest::newRow("plain") << u"host=db.example port=5432 dbname=tesvan user=tanaka sslmode=require\n"_s
                               << u"host=db.example port=5432 dbname=tesvan user=tanaka sslmode=require"_s
                               << QString();
        QTest::newRow("comments and blanks first")
            << u"# team server\n\n   host=db port=5433 dbname=t user=u  \n"_s
            << u"host=db port=5433 dbname=t user=u"_s << QString();
        QTest::newRow("a password is refused")
            << u"host=db dbname=t user=u password=secret\n"_s << QString() << u"パスワード"_s;
        QTest::newRow("a URI is refused") << u"postgresql://u@db/t\n"_s << QString() << u"host=…"_s;
        QTest::newRow("not libpq's form")
            << u"host=db dbname='t\n"_s << QString() << u"接続文字列を読み取れません"_s;
        QTest::newRow("an unknown keyword") << u"host=db colour=blue\n"_s << QString() << u"colour"_s;
        QTest::newRow("only comments") << u"# nothing yet\n"_s << QString() << u"接続文字列がありません"_s;
        // A secret is refused wherever it hides, and the refusal never repeats it.
        QTest::newRow("sslpassword") << u"host=db dbname=t user=u sslpassword=Geheim9\n"_s << QString()
                                     << u"パスワード"_s;
        QTest::newRow("PASSWORD in capitals")
            << u"host=db dbname=t PASSWORD=Geheim9\n"_s << QString() << u"PASSWORD"_s;
        QTest::newRow("an upper-case URI") << u"POSTGRESQL://u:Geheim9@db/t\n"_s << QString() << u"host=…"_s;
        QTest::newRow("a URI inside dbname")
            << u"host=db dbname='postgresql://u:Geheim9@db/t'\n"_s << QString() << u"host=…"_s;
        QTest::newRow("a connection string inside dbname")
            << u"host=db dbname='user=u password=Geheim9'\n"_s << QString() << u"host=…"_s;
        QTest::newRow("a URI after a keyword")
            << u"host=db PostgreSQL://u:Geheim9@db/t\n"_s << QString() << u"読み取れません"_s;
    }
    void settingFile()
    {
        QFETCH(QString, text);
        QFETCH(QString, conninfo);
        QFETCH(QString, reason);
        const QString folder = m_dir.path() + u"/setting-%1/"_s.arg(++m_round);
        QDir().mkpath(folder);
        QVERIFY(!store::readServerSetting(folder).present);
        writeSetting(folder, text);
        const store::ServerSetting s = store::readServerSetting(folder);
        QVERIFY(s.present);
        QCOMPARE(s.conninfo, conninfo);
        if (reason.isEmpty())
            QCOMPARE(s.error, QString());
        else
            QVERIFY2(s.error.reason().contains(reason), qPrintable(s.error.reason()));
        QVERIFY2(!s.error.reason().contains(u"Geheim9"_s), qPrintable(s.error.reason()));
        QVERIFY2(!store::describeServer(text).contains(u"Geheim9"_s),
                 qPrintable(store::describeServer(text)));
    }

    // Start-up that cannot use the server: one notice naming the server and the reason, nothing
    // created, the window not loaded.
    void startupRefused_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("pgpass"); // "" keeps the right one
        QTest::addColumn<bool>("serverDown");
        QTest::addColumn<QString>("reason");
        QTest::newRow("server down") << u"tesvan"_s << QString() << true
                                     << u"Connection refused|No such file"_s;
        QTest::newRow("wrong password")
            << u"tesvan"_s << u"*:*:*:tesvan:wrong\n"_s << false << u"password authentication failed"_s;
        QTest::newRow("no password at all") << u"tesvan"_s << u"# none\n"_s << false << u"no password"_s;
        QTest::newRow("database without our tables")
            << u"leer"_s << QString() << false << u"表「営業日報ヘッダ」がありません"_s;
        QTest::newRow("no such database") << u"nirgends"_s << QString() << false << u"does not exist"_s;
    }
    void startupRefused()
    {
        QFETCH(QString, database);
        QFETCH(QString, pgpass);
        QFETCH(bool, serverDown);
        QFETCH(QString, reason);
        if (database == u"leer"_s)
            m_server->admin(u"CREATE DATABASE leer"_s);
        const QString folder = m_dir.path() + u"/start-%1/"_s.arg(++m_round);
        QDir().mkpath(folder);
        QCOMPARE(store::createInitialFile(folder + store::kWorkFileName, store::DbKind::Work), QString());
        writeSetting(folder, u"# the team's server\n"_s + m_server->conninfo(database) + u'\n');
        const QByteArray keptPass = qgetenv("PGPASSFILE");
        if (!pgpass.isEmpty()) {
            QFile f(folder + u"pgpass"_s);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(pgpass.toUtf8());
            f.close();
            QFile::setPermissions(f.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            qputenv("PGPASSFILE", QFile::encodeName(f.fileName()));
        }
        if (serverDown)
            QVERIFY(m_server->stop());
        const QStringList before = QDir(folder).entryList(QDir::Files);
        const QByteArray workBefore = testing::readAll(folder + store::kWorkFileName);
        bool loaded = true;
        testing::ScriptedBoxes boxes;
        {
            FrmTesvan w;
            loaded = w.loadFrom(app::dataPathsIn(folder));
        }
        qputenv("PGPASSFILE", keptPass);
        if (serverDown)
            QVERIFY(m_server->start());
        QVERIFY(!loaded);
        QCOMPARE(boxes.shown.size(), 1);
        const QString text = boxes.shown[0].text;
        QVERIFY2(text.contains(u"データベースサーバーに接続できない"_s), qPrintable(text));
        QVERIFY2(text.contains(u"dbname="_s + database) && text.contains(u"host="_s + m_server->socketDir()),
                 qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression(reason)), qPrintable(text));
        QCOMPARE(QDir(folder).entryList(QDir::Files), before);
        QCOMPARE(testing::readAll(folder + store::kWorkFileName), workBefore);
    }

    void initialDatabaseTool()
    {
        m_server->admin(u"DROP DATABASE IF EXISTS tool WITH (FORCE)"_s);
        QCOMPARE(m_server->admin(u"CREATE DATABASE tool"_s), QString());
        const auto tool = [this](const QString& database) {
            QProcess p;
            p.start(QStringLiteral(TESVAN_INITDB), {u"--server"_s, m_server->conninfo(database)});
            p.waitForFinished(60000);
            return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
        };
        QCOMPARE(tool(u"tool"_s).first, 0);
        QSqlDatabase db, work;
        const QString conn = u"toolcheck"_s;
        QCOMPARE(store::openServer(conn, m_server->conninfo(u"tool"_s)), QString());
        db = QSqlDatabase::database(conn, false);
        QCOMPARE(select(db, u"SELECT kcode, count(*), min(code), max(code), count(sname) FROM コードマスタ "
                            "GROUP BY kcode ORDER BY kcode"_s)
                     .size(),
                 4);
        for (const QVariantList& r : select(db, u"SELECT kcode, count(*), min(code), max(code), count(sname) "
                                                "FROM コードマスタ GROUP BY kcode"_s))
            QCOMPARE(r.mid(1), (QVariantList{199, u"001"_s, u"199"_s, 0}));
        // Kept as it is on a second run.
        QCOMPARE(store::run(db, u"UPDATE コードマスタ SET sname = '残す' WHERE code = '001'"_s), QString());
        QCOMPARE(tool(u"tool"_s).first, 0);
        QCOMPARE(select(db, u"SELECT count(*) FROM コードマスタ WHERE sname = '残す'"_s), Rows{{4}});
        db = QSqlDatabase();
        store::closeDatabase(conn);
        // Half a schema is not made whole behind the administrator's back.
        m_server->admin(u"DROP TABLE 営業日報"_s, u"tool"_s);
        const auto [rc, err] = tool(u"tool"_s);
        QCOMPARE(rc, 1);
        QVERIFY2(err.contains(u"一部の表"_s), qPrintable(err));
        // A password in the string is refused before anything is sent.
        QCOMPARE(tool(u"tool"_s).first, 1);
        QProcess p;
        p.start(QStringLiteral(TESVAN_INITDB),
                {u"--server"_s, m_server->conninfo(u"tool"_s) + u" password=x"_s});
        p.waitForFinished(60000);
        QCOMPARE(p.exitCode(), 1);
    }

    // A manager of the team, set up as the README does (a login, then the tool's member add), can
    // do every operation of the window, and nothing more.
    void teamRoleNeedsOnlyTableRights()
    {
        QCOMPARE(m_server->makeLogin(u"tanaka"_s), QString());
        QCOMPARE(store::openServer(u"owner"_s, m_server->conninfo()), QString());
        const store::Error added =
            store::addMember(QSqlDatabase::database(u"owner"_s, false),
                             {u"tanaka"_s, u"田中"_s, u"営業部"_s, store::TeamRole::Manager, true});
        store::closeDatabase(u"owner"_s);
        QCOMPARE(added, QString());
        const auto closing = closedAtEnd(u"team"_s);
        {
            QSqlDatabase main, work;
            openWithLines(u"team"_s, main, work, u"tanaka"_s);
            QCOMPARE(select(main, u"SELECT current_user"_s), Rows{{u"tanaka"_s}});
            setLines(work, {u"打合せ"_s, u"見積"_s}, u"新規の先"_s);
            const report::Header h{QDate(2026, 12, 8), u"田中"_s, u"営業部"_s, u"週報"_s};
            QCOMPARE(report::registerReport(main, work, h), QString());
            QCOMPARE(report::registerReport(main, work, h), QString());
            QCOMPARE(report::readReport(main, work, h.作成日, h.氏名).lines, 2);
            codes::CategoryState read;
            QCOMPARE(codes::readCategory(main, work, store::k訪問先, &read), QString());
            QCOMPARE(store::run(work, u"UPDATE wコードマスタ SET チェック = 1 WHERE code = '001'"_s),
                     QString());
            QCOMPARE(codes::deleteTickedLines(main, work, store::k訪問先, read).error, QString());
            QCOMPARE(codes::readCategory(main, work, store::k備考, &read), QString());
            QCOMPARE(codes::registerCategory(main, work, store::k備考, read).error, QString());
            QCOMPARE(codes::addCodeMaster(main, store::k所属, u"営業部"_s).error, QString());
            QCOMPARE(select(main, u"SELECT count(*) FROM コードマスタ WHERE kcode = '訪問先'"_s),
                     Rows{{199}});
            // Nothing beyond the rows of the three tables.
            QVERIFY(store::run(main, u"CREATE TABLE 私物 (x integer)"_s).failed());
            QVERIFY(store::run(main, u"DROP TABLE コードマスタ"_s).failed());
            QVERIFY(store::run(main, u"ALTER TABLE 営業日報 ADD COLUMN y integer"_s).failed());
        }
    }

    // Data initialisation wipes a team's data: refused while the main database is on a server.
    void dataInitialisationRefusedOnServer()
    {
        const QString folder = dataFolder();
        QVERIFY(!folder.isEmpty());
        testing::ScriptedBoxes boxes;
        boxes.answers = {true, true};
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(folder)));
        QCOMPARE(
            store::run(w.mainDb(),
                       u"UPDATE コードマスタ SET sname = '東京支店' WHERE kcode = '所属' AND code = '001'"_s),
            QString());
        QCOMPARE(store::run(w.mainDb(),
                            u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES ('2026-12-08', '佐藤')"_s),
                 QString());
        boxes.shown.clear();
        auto* button = w.findChild<QPushButton*>(u"cmd一括削除7"_s);
        QVERIFY(button);
        button->click();
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains(u"初期化できません"_s), qPrintable(boxes.shown[0].text));
        QCOMPARE(select(w.mainDb(), u"SELECT count(*) FROM 営業日報ヘッダ"_s), Rows{{1}});
        QCOMPARE(
            select(w.mainDb(), u"SELECT sname FROM コードマスタ WHERE kcode = '所属' AND code = '001'"_s),
            Rows{{u"東京支店"_s}});
        QVERIFY(!QFile::exists(folder + store::kMainFileName));
    }

    // The window over a server that goes away: the notice, then the next click works again.
    void windowTellsWhenServerIsGone()
    {
        const QString folder = dataFolder();
        QVERIFY(!folder.isEmpty());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(folder)));
        QCOMPARE(
            store::run(
                w.mainDb(),
                u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) "
                "VALUES ('2026-12-07', '佐藤', '営業部', '月曜'), ('2026-12-08', '佐藤', '営業部', '火曜')"_s),
            QString());
        auto* read = w.findChild<QPushButton*>(u"cmd一覧読込"_s);
        QVERIFY(read);
        QVERIFY(m_server->stop("fast"));
        boxes.shown.clear();
        read->click();
        QVERIFY(m_server->start());
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].text.contains(u"日報の一覧を読込できませんでした。"_s),
                 qPrintable(boxes.shown[0].text));
        QCOMPARE(select(w.workDb(), u"SELECT count(*) FROM w一覧"_s), Rows{{0}});
        boxes.shown.clear();
        read->click();
        QCOMPARE(boxes.shown.size(), 0);
        QCOMPARE(select(w.workDb(), u"SELECT 作成日, タイトル FROM w一覧 ORDER BY 作成日"_s),
                 (Rows{{u"2026-12-07"_s, u"月曜"_s}, {u"2026-12-08"_s, u"火曜"_s}}));
    }

    // The server stops while a registration is under way: the user is told, the stored version
    // stays whole, and after the server is back the next registration works on a new session.
    void serverStopsDuringRegistration()
    {
        QSqlDatabase main, work;
        openWithLines(u"gone"_s, main, work);
        setLines(work, {u"旧1"_s, u"旧2"_s, u"旧3"_s, u"旧4"_s});
        const report::Header h{QDate(2026, 12, 8), u"佐藤"_s, u"営業部"_s, u"旧版"_s};
        QCOMPARE(report::registerReport(main, work, h), QString());
        // The third line's insert lingers long enough for the server to go away under it.
        QCOMPARE(
            store::run(main,
                       u"CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN IF NEW.行番号 = 3 THEN PERFORM pg_sleep(3); END IF; RETURN NEW; END $$"_s),
            QString());
        QCOMPARE(store::run(
                     main,
                     u"CREATE TRIGGER slow BEFORE INSERT ON 営業日報 FOR EACH ROW EXECUTE FUNCTION slow()"_s),
                 QString());
        setLines(work, {u"新1"_s, u"新2"_s, u"新3"_s, u"新4"_s, u"新5"_s}, u"途中で消える先"_s);
        bool stopped = false;
        std::thread stopper([this, &stopped] {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            stopped = m_server->stop("fast");
        });
        const store::Error e = report::registerReport(main, work, {h.作成日, h.氏名, h.所属, u"新版"_s});
        stopper.join();
        QVERIFY(stopped);
        QVERIFY(e.failed());
        QVERIFY(m_server->start());
        // The next operation opens a new session by itself and sees the old version whole.
        QCOMPARE(select(main, u"SELECT タイトル FROM 営業日報ヘッダ"_s), Rows{{u"旧版"_s}});
        QCOMPARE(select(main, u"SELECT 内容 FROM 営業日報 ORDER BY 行番号"_s),
                 (Rows{{u"旧1"_s}, {u"旧2"_s}, {u"旧3"_s}, {u"旧4"_s}}));
        QCOMPARE(select(main, u"SELECT count(*) FROM コードマスタ WHERE sname = '途中で消える先'"_s),
                 Rows{{0}});
        QCOMPARE(store::run(main, u"DROP TRIGGER slow ON 営業日報"_s), QString());
        QCOMPARE(report::registerReport(main, work, {h.作成日, h.氏名, h.所属, u"新版"_s}), QString());
        QCOMPARE(select(main, u"SELECT 内容 FROM 営業日報 ORDER BY 行番号"_s),
                 (Rows{{u"新1"_s}, {u"新2"_s}, {u"新3"_s}, {u"新4"_s}, {u"新5"_s}}));
        main = work = QSqlDatabase();
        store::closeDatabase(u"gonemain"_s);
        store::closeDatabase(u"gonework"_s);
    }

    // Between operations the server restarts: a read and a registration each fail at most once,
    // with a reason, and work again on a new session without the program being restarted.
    void serverRestartsBetweenOperations_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::newRow("a read comes first") << true;
        QTest::newRow("a registration comes first") << false;
    }
    void serverRestartsBetweenOperations()
    {
        QFETCH(bool, readFirst);
        QSqlDatabase main, work;
        openWithLines(u"restart"_s, main, work);
        setLines(work, {u"一行目"_s});
        const report::Header h{QDate(2026, 12, 8), u"鈴木"_s, u"営業部"_s, u"版"_s};
        QCOMPARE(report::registerReport(main, work, h), QString());
        QVERIFY(m_server->stop("fast"));
        // The user is told in our words first; the server's own English goes below them.
        const store::Error down = report::registerReport(main, work, h);
        QVERIFY(down.failed());
        QVERIFY2(down.reason().startsWith(u"サーバー"_s), qPrintable(down.reason()));
        const store::Error unread = report::readReport(main, work, h.作成日, h.氏名).error;
        QVERIFY2(unread.reason().startsWith(u"サーバー"_s), qPrintable(unread.reason()));
        QVERIFY(m_server->start());
        if (readFirst) {
            const report::ReadResult r = report::readReport(main, work, h.作成日, h.氏名);
            QCOMPARE(r.error, QString());
            QCOMPARE(r.lines, 1);
        } else {
            QCOMPARE(report::registerReport(main, work, h), QString());
        }
        QCOMPARE(codes::addCodeMaster(main, store::k訪問先, u"再接続後"_s).error, QString());
        main = work = QSqlDatabase();
        store::closeDatabase(u"restartmain"_s);
        store::closeDatabase(u"restartwork"_s);
    }

    // Two users add the same new name at once, and different new names at once.
    void namesLearntAtOnce()
    {
        QSqlDatabase a, aw, b, bw;
        openWithLines(u"a"_s, a, aw);
        openWithLines(u"b"_s, b, bw);
        // A holds the category; B's learning waits for it and then sees A's name.
        {
            store::Transaction tx(a);
            QVERIFY(tx.ok());
            codes::CodeMasterAdder adder(a);
            QVERIFY(adder.add(store::k訪問先, u"同時商事"_s).added);
            QVERIFY(adder.add(store::k訪問先, u"甲社"_s).added);
            auto other = std::async(std::launch::async, [this] {
                // B's own connection, on its own thread.
                codes::AddResult r;
                r.error = store::openServer(u"bthread"_s, m_server->conninfo());
                if (r.error.ok()) {
                    const QSqlDatabase bt = QSqlDatabase::database(u"bthread"_s, false);
                    codes::AddResult same = codes::addCodeMaster(bt, store::k訪問先, u"同時商事"_s);
                    r = codes::addCodeMaster(bt, store::k訪問先, u"乙社"_s);
                    r.added = r.added && !same.added && same.error.ok();
                }
                store::closeDatabase(u"bthread"_s);
                return r;
            });
            QVERIFY(other.wait_for(std::chrono::milliseconds(700)) == std::future_status::timeout);
            QVERIFY(tx.commit());
            const codes::AddResult r = other.get();
            QCOMPARE(r.error, QString());
            QVERIFY(r.added);
        }
        QCOMPARE(
            select(
                b,
                u"SELECT code, sname FROM コードマスタ WHERE kcode = '訪問先' AND sname <> '' ORDER BY code"_s),
            (Rows{{u"001"_s, u"同時商事"_s}, {u"002"_s, u"甲社"_s}, {u"003"_s, u"乙社"_s}}));
        a = aw = b = bw = QSqlDatabase();
        for (const QString& c : {u"amain"_s, u"awork"_s, u"bmain"_s, u"bwork"_s})
            store::closeDatabase(c);
    }

    // Several processes register shared reports, learn names and rewrite the categories for a
    // while; afterwards every report is one version whole, no name is held twice and every
    // category has its 199 rows.
    void teamAtOnce()
    {
        const QString worker = QCoreApplication::applicationDirPath() + u"/pg_worker"_s;
        QVERIFY(QFile::exists(worker));
        QList<QProcess*> procs;
        const QStringList modes = {u"register"_s, u"register"_s, u"register"_s,
                                   u"register"_s, u"codes"_s,    u"codes"_s};
        for (int i = 0; i < modes.size(); ++i) {
            auto* p = new QProcess(this);
            p->start(worker, {m_server->conninfo(), m_dir.path() + u"/worker%1"_s.arg(i), modes[i],
                              QString::number(1000 + i), u"6000"_s});
            procs << p;
        }
        int registered = 0;
        for (int i = 0; i < procs.size(); ++i) {
            QProcess* p = procs[i];
            QVERIFY(p->waitForFinished(120000));
            const QString out = QString::fromUtf8(p->readAllStandardOutput()).trimmed();
            QVERIFY2(p->exitCode() == 0, qPrintable(QString::fromUtf8(p->readAllStandardError())));
            const QStringList counts = out.split(u' ');
            QCOMPARE(counts.size(), 2);
            QVERIFY2(counts[0].toInt() > 0, qPrintable(modes[i] + u": nothing done"_s));
            if (modes[i] == u"register"_s)
                registered += counts[0].toInt();
            delete p;
        }
        QVERIFY(registered > 4);

        QSqlDatabase main, work;
        openWithLines(u"check"_s, main, work);
        const Rows heads =
            select(main, u"SELECT 作成日, 氏名, タイトル FROM 営業日報ヘッダ ORDER BY 作成日, 氏名"_s);
        QVERIFY(!heads.isEmpty());
        for (const QVariantList& h : heads) {
            const QStringList title = h[2].toString().split(u" n="_s);
            QCOMPARE(title.size(), 2);
            const int n = title[1].toInt();
            const Rows lines = select(
                main, u"SELECT 行番号, 内容 FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ? ORDER BY 行番号"_s,
                {h[0], h[1]});
            QCOMPARE(lines.size(), n);
            for (int i = 0; i < n; ++i) {
                QCOMPARE(lines[i][0].toInt(), i + 1);
                QCOMPARE(lines[i][1].toString(), u"%1 %2/%3"_s.arg(title[0]).arg(i + 1).arg(n));
            }
        }
        QCOMPARE(select(main,
                        u"SELECT count(*) FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM 営業日報ヘッダ h "
                        "WHERE h.作成日 = l.作成日 AND h.氏名 = l.氏名)"_s),
                 Rows{{0}});
        for (const QString& k : store::kCategories)
            QCOMPARE(select(main,
                            u"SELECT count(*), count(DISTINCT code), min(code), max(code) FROM コードマスタ "
                            "WHERE kcode = ?"_s,
                            {k}),
                     (Rows{{199, 199, u"001"_s, u"199"_s}}));
        QCOMPARE(select(main, u"SELECT kcode, sname, count(*) FROM コードマスタ WHERE sname <> '' "
                              "GROUP BY kcode, sname HAVING count(*) > 1"_s),
                 Rows{});
        main = work = QSqlDatabase();
        store::closeDatabase(u"checkmain"_s);
        store::closeDatabase(u"checkwork"_s);
    }
};

QTEST_MAIN(TestServer)
#include "tst_server.moc"
