// A process killed with SIGKILL in the middle of its work leaves whole operations only: after
// every kill both files pass SQLite's integrity check and each stored report, category or list
// deletion is complete in one version, or absent.
#include "TestFiles.h"
#include "store/Schema.h"

#include <QProcess>
#include <QStandardPaths>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestCrash : public QObject {
    Q_OBJECT
  private slots:
    void killedWriterLeavesWholeOperations_data();
    void killedWriterLeavesWholeOperations();
    void checkSeesPartialOperations_data();
    void checkSeesPartialOperations();
    void leavingWithoutClosingLeavesFilesWhole();
    void outsideProgramKeepsRegistrations();
};

namespace {

constexpr int kKills = 50;

// Another program on the file: the sqlite3 shell.
QString shell(const QString& path, const QString& command)
{
    QProcess p;
    p.start(u"sqlite3"_s, {path, command});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return u"failed: "_s + QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Everything wrong with the files after a kill, one line each; empty when all is well.
class Checker {
  public:
    explicit Checker(const QString& folder) : m_conn(u"check-%1"_s.arg(++s_count))
    {
        m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_conn);
        m_db.setDatabaseName(folder + store::kMainFileName);
        if (!m_db.open())
            problems << u"main does not open: "_s + m_db.lastError().text();
        m_work = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_conn + u"w"_s);
        m_work.setDatabaseName(folder + store::kWorkFileName);
        if (!m_work.open())
            problems << u"work does not open: "_s + m_work.lastError().text();
    }
    ~Checker()
    {
        m_db.close();
        m_work.close();
        m_db = m_work = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_conn);
        QSqlDatabase::removeDatabase(m_conn + u"w"_s);
    }

    void integrity()
    {
        for (QSqlDatabase* db : {&m_db, &m_work}) {
            QSqlQuery q(*db);
            if (!q.exec(u"PRAGMA integrity_check"_s) || !q.next() || q.value(0).toString() != u"ok"_s)
                problems << u"integrity_check of %1: %2"_s.arg(db->databaseName(), q.value(0).toString());
        }
    }

    QList<QVariantList> rows(const QString& sql)
    {
        QList<QVariantList> out;
        QSqlQuery q(m_db);
        if (!q.exec(sql)) {
            problems << sql + u": "_s + q.lastError().text();
            return out;
        }
        while (q.next()) {
            QVariantList r;
            for (int i = 0; i < q.record().count(); ++i)
                r << q.value(i);
            out << r;
        }
        return out;
    }

    // Each header's lines are count lines "v<its version> line 1" … "line count", nothing else;
    // no line is without its header.
    void wholeReports(int count)
    {
        for (const QVariantList& h : rows(u"SELECT 作成日, 氏名, タイトル FROM 営業日報ヘッダ"_s)) {
            const QString version = h[2].toString();
            const QList<QVariantList> lines = rows(
                u"SELECT 行番号, 内容, 日付 FROM 営業日報 WHERE 作成日 = '%1' AND 氏名 = '%2' ORDER BY 行番号"_s
                    .arg(h[0].toString(), h[1].toString()));
            if (lines.size() != count) {
                problems << u"report %1 %2 (%3) has %4 lines"_s.arg(h[0].toString(), h[1].toString(), version)
                                .arg(lines.size());
                continue;
            }
            for (int n = 1; n <= count; ++n)
                if (lines[n - 1][0].toInt() != n ||
                    lines[n - 1][1].toString() != u"%1 line %2"_s.arg(version).arg(n)) {
                    problems << u"report %1 %2 (%3): line %4 is %5"_s
                                    .arg(h[0].toString(), h[1].toString(), version)
                                    .arg(n)
                                    .arg(lines[n - 1][1].toString());
                    break;
                }
        }
        const QList<QVariantList> orphans =
            rows(u"SELECT COUNT(*) FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM "
                 "営業日報ヘッダ h WHERE h.作成日 = l.作成日 AND h.氏名 = l.氏名)"_s);
        if (!orphans.isEmpty() && orphans[0][0].toInt() != 0)
            problems << u"%1 lines without their header"_s.arg(orphans[0][0].toInt());
    }

    // The 訪問先 category holds its 199 rows, named by one registration "v<k>-<n>" in order,
    // or (closedUp) by that registration with rows 2 and 50 dropped and the last two blank.
    void wholeCategory(bool closedUpAllowed)
    {
        const QList<QVariantList> names =
            rows(u"SELECT code, sname FROM コードマスタ WHERE kcode = '訪問先' ORDER BY code"_s);
        if (names.size() != store::kCodeRows) {
            problems << u"訪問先 has %1 rows"_s.arg(names.size());
            return;
        }
        QStringList got;
        for (int n = 0; n < names.size(); ++n) {
            if (names[n][0].toString() != store::codeOf(n + 1))
                problems << u"row %1 has code %2"_s.arg(n + 1).arg(names[n][0].toString());
            got << names[n][1].toString();
        }
        if (std::all_of(got.begin(), got.end(), [](const QString& s) { return s.isEmpty(); }))
            return; // never registered
        static const QRegularExpression first(u"^(v\\d+)-1$"_s);
        const QRegularExpressionMatch m = first.match(got[0]);
        if (!m.hasMatch()) {
            problems << u"first name is %1"_s.arg(got[0]);
            return;
        }
        QStringList whole, closed;
        for (int n = 1; n <= store::kCodeRows; ++n) {
            whole << u"%1-%2"_s.arg(m.captured(1)).arg(n);
            if (n != 2 && n != 50)
                closed << whole.last();
        }
        closed << QString() << QString();
        if (got != whole && !(closedUpAllowed && got == closed))
            problems << u"訪問先 is neither one registration nor its closed-up rows: %1"_s.arg(got.join(u','))
                            .left(300);
    }

  private:
    static inline int s_count = 0;
    QString m_conn;
    QSqlDatabase m_db, m_work;

  public:
    QStringList problems;
};

} // namespace

void TestCrash::killedWriterLeavesWholeOperations_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("maxDelayMs");
    QTest::newRow("登録 of reports of 100 lines") << u"report"_s << 60;
    QTest::newRow("code master 登録") << u"codes"_s << 40;
    QTest::newRow("code master 行削除") << u"linedelete"_s << 60;
    QTest::newRow("list 削除 of ticked reports") << u"listdelete"_s << 150;
}

void TestCrash::killedWriterLeavesWholeOperations()
{
    QFETCH(QString, mode);
    QFETCH(int, maxDelayMs);
    QTemporaryDir tmp;
    const QString folder = testing::makeDataFolder(tmp.path());
    QRandomGenerator rng(20261208u + uint(qHash(mode)));
    int finishedOps = 0, killedMidWay = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess writer;
        writer.start(QStringLiteral(FAULT_WRITER), {mode, folder});
        QVERIFY2(writer.waitForStarted(5000), qPrintable(writer.errorString()));
        QVERIFY2(writer.waitForReadyRead(10000), qPrintable(writer.readAllStandardError()));
        QVERIFY(writer.readLine().startsWith("ready"));
        // Every other kill falls somewhere after the writer's first finished operation, however
        // slow a loaded machine makes it; the others anywhere from the start, the first
        // operation (and the file's first write of a session) included.
        QByteArray finished;
        if (kill % 2 == 1) {
            QVERIFY2(writer.waitForReadyRead(60000), qPrintable(writer.readAllStandardError()));
            finished = writer.readAllStandardOutput();
        }
        QThread::msleep(rng.bounded(maxDelayMs + 1));
        QCOMPARE(writer.state(), QProcess::Running); // it never ends by itself
        writer.kill();                               // SIGKILL
        QVERIFY(writer.waitForFinished(5000));
        const QList<QByteArray> done = (finished + writer.readAllStandardOutput()).split('\n');
        const int ops =
            int(std::count_if(done.begin(), done.end(), [](const QByteArray& l) { return !l.isEmpty(); }));
        finishedOps += ops;
        if (ops > 0)
            ++killedMidWay;

        Checker c(folder);
        c.integrity();
        if (mode == u"report"_s)
            c.wholeReports(100);
        else if (mode == u"listdelete"_s)
            c.wholeReports(20);
        else
            c.wholeCategory(mode == u"linedelete"_s);
        QVERIFY2(c.problems.isEmpty(),
                 qPrintable(u"after kill %1: %2"_s.arg(kill + 1).arg(c.problems.join(u'\n'))));
    }
    // The kills fell among finished operations, not only before the first.
    QVERIFY2(finishedOps > 0, "the writer never finished an operation before it was killed");
    qInfo("%s: %d kills, %d operations finished in %d of the runs", qPrintable(mode), kKills, finishedOps,
          killedMidWay);
}

// The checks above would pass on anything if they saw nothing: each kind of partial state
// written by hand must be reported.
void TestCrash::checkSeesPartialOperations_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("category");
    QTest::newRow("report with its last line missing")
        << u"DELETE FROM 営業日報 WHERE 行番号 = 100"_s << false;
    QTest::newRow("report with a line of another version")
        << u"UPDATE 営業日報 SET 内容 = 'v9 line 7' WHERE 行番号 = 7"_s << false;
    QTest::newRow("lines left without their header") << u"DELETE FROM 営業日報ヘッダ"_s << false;
    QTest::newRow("category half of another registration")
        << u"UPDATE コードマスタ SET sname = 'v2-' || CAST(code AS INTEGER) WHERE kcode = '訪問先' AND code > '100'"_s
        << true;
    QTest::newRow("category with a row missing")
        << u"DELETE FROM コードマスタ WHERE kcode = '訪問先' AND code = '150'"_s << true;
}

void TestCrash::checkSeesPartialOperations()
{
    QFETCH(QString, damage);
    QFETCH(bool, category);
    QTemporaryDir tmp;
    const QString folder = testing::makeDataFolder(tmp.path());
    {
        const QString conn = u"whole"_s;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, conn);
            db.setDatabaseName(folder + store::kMainFileName);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(u"INSERT INTO 営業日報ヘッダ VALUES ('2026-03-01', '山田', '部', 'v1')"_s));
            for (int n = 1; n <= 100; ++n)
                QVERIFY(q.exec(
                    u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2026-03-01', '山田', %1, 'v1 line %1')"_s
                        .arg(n)));
            QVERIFY(q.exec(
                u"UPDATE コードマスタ SET sname = 'v1-' || CAST(code AS INTEGER) WHERE kcode = '訪問先'"_s));
            {
                Checker whole(folder);
                category ? whole.wholeCategory(true) : whole.wholeReports(100);
                QVERIFY2(whole.problems.isEmpty(), qPrintable(whole.problems.join(u'\n')));
            }
            QVERIFY2(q.exec(damage), qPrintable(q.lastError().text()));
            db.close();
        }
        QSqlDatabase::removeDatabase(conn);
    }
    Checker c(folder);
    category ? c.wholeCategory(true) : c.wholeReports(100);
    QVERIFY(!c.problems.isEmpty());
}

void TestCrash::leavingWithoutClosingLeavesFilesWhole()
{
    // A program that ends without closing its files still closes them: each file is whole on
    // its own, its log folded back, which is what a user copies as a backup.
    QTemporaryDir tmp;
    const QString folder = testing::makeDataFolder(tmp.path());
    QProcess writer;
    writer.start(QStringLiteral(FAULT_WRITER), {u"report"_s, folder, u"3"_s});
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
    QCOMPARE(writer.readAllStandardOutput(), QByteArray("ready\n1\n2\n3\n"));
    for (const QString& name : {store::kMainFileName, store::kWorkFileName})
        QVERIFY2(!QFile::exists(folder + name + u"-wal"_s), qPrintable(name));
    Checker c(folder);
    c.integrity();
    c.wholeReports(100);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join(u'\n')));
}

// Another program that reads and backs up the main file while the program runs (as users may)
// never takes the program's log away: the program keeps SQLite's locks on both files all along,
// so every registration reported done is in the file after the program is killed.
void TestCrash::outsideProgramKeepsRegistrations()
{
    if (testing::onServer())
        QSKIP("local files only");
    QVERIFY2(!QStandardPaths::findExecutable(u"sqlite3"_s).isEmpty(), "the sqlite3 shell is needed");
    QTemporaryDir tmp;
    const QString folder = testing::makeDataFolder(tmp.path());
    const QString main = folder + store::kMainFileName, work = folder + store::kWorkFileName;
    QProcess writer;
    writer.start(QStringLiteral(FAULT_WRITER), {u"held"_s, folder});
    QVERIFY(writer.waitForReadyRead(30000));
    QCOMPARE(writer.readLine(), QByteArray("ready\n"));
    const qint64 pid = writer.processId();
    const auto held = [&] { return testing::locksOn(pid, main) > 0 && testing::locksOn(pid, work) > 0; };
    QVERIFY2(held(), "no locks on the files once they are open");

    QCOMPARE(shell(main, u"SELECT count(*) FROM 営業日報ヘッダ"_s), u"0"_s);
    QCOMPARE(shell(main, u".backup '%1'"_s.arg(tmp.filePath(u"copy.mdb"_s))), QString());
    QVERIFY2(held(), "the locks went with the other program's backup");
    QVERIFY(QFile::exists(main + u"-wal"_s));
    constexpr int kReports = 5;
    for (int n = 1; n <= kReports; ++n) {
        writer.write("\n");
        QVERIFY(writer.waitForReadyRead(30000));
        QCOMPARE(writer.readLine().trimmed().toInt(), n);
        QVERIFY2(held(), qPrintable(u"no locks after registration %1"_s.arg(n)));
    }
    // What the program stored, another program reads.
    QCOMPARE(shell(main, u"SELECT count(*) FROM 営業日報ヘッダ"_s), QString::number(kReports));
    writer.kill();
    QVERIFY(writer.waitForFinished(5000));

    Checker c(folder);
    c.integrity();
    c.wholeReports(100);
    const QList<QVariantList> stored = c.rows(u"SELECT count(*) FROM 営業日報ヘッダ"_s);
    QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join(u'\n')));
    QCOMPARE(stored.value(0).value(0).toInt(), kReports);
}

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
