// Sessions that end from outside, with a report typed and not registered: killed (a crash, a
// power cut), the next start offers the report back, and takes it back exactly or clears it;
// ended by a signal (logout, shutdown, a service manager), the program closes as by 閉じる
// without a question, whatever box is open, leaves both files clean and exits with 0.
#include "Boxes.h"
#include "TestFiles.h"
#include "TypedReport.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "report/ReportTab.h"
#include "store/FileRecord.h"
#include "store/LocalFile.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestEnding : public QObject {
    Q_OBJECT
  private slots:
    void killedWhileTyping_data();
    void killedWhileTyping();
    void endedBySignal_data();
    void endedBySignal();
    void endedWhileTheStartAsks();
    void programEndsCleanOnTerm();
};

namespace {

// A program run on a data folder, its output read line by line.
struct Run {
    QProcess p;
    QByteArray out;

    void start(const QString& program, const QStringList& args, const QString& runtime)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, args);
    }
    // Waits until the output holds line; false when the program ends or a minute passes first.
    bool waitFor(const QByteArray& line)
    {
        QElapsedTimer t;
        t.start();
        while (!out.contains(line + '\n') && t.elapsed() < 60000) {
            if (p.state() == QProcess::NotRunning)
                break;
            p.waitForReadyRead(200);
            out += p.readAllStandardOutput();
        }
        out += p.readAllStandardOutput();
        return out.contains(line + '\n');
    }
    void signal(int s) { ::kill(pid_t(p.processId()), s); }
    // The program's own exit code after it ended by itself, or -1 when a signal ended it.
    int finished()
    {
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -2;
        }
        out += p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

bool clean(const QString& data)
{
    return store::readRecord(data + store::kMainFileName).clean &&
           store::readRecord(data + store::kWorkFileName).clean;
}

// Both files are open: their records say "not closed".
bool opened(const QString& data)
{
    const store::FileRecord main = store::readRecord(data + store::kMainFileName);
    const store::FileRecord work = store::readRecord(data + store::kWorkFileName);
    return main.present && !main.clean && work.present && !work.clean;
}

// The lines the work file holds, in 行番号 order, each as the values of TypedReport's stored.
QList<QStringList> workLines(const QSqlDatabase& work)
{
    QList<QStringList> out;
    QSqlQuery q(work);
    q.exec(u"SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM w営業日報 ORDER BY 行番号"_s);
    while (q.next()) {
        QStringList l;
        for (int i = 0; i < 7; ++i)
            l << q.value(i).toString();
        out << l;
    }
    return out;
}

QList<QStringList> typedLines(bool withOpen)
{
    QList<QStringList> lines;
    for (const typed::Line& l : typed::kLines)
        lines << l.stored;
    if (withOpen)
        lines << typed::kOpenLineStored;
    while (lines.size() < 100)
        lines << QStringList(7, QString());
    return lines;
}

void checkTypedReportShown(FrmTesvan& w, bool withOpen)
{
    ReportTab* r = w.reportTab();
    QCOMPARE(r->Dt日付->date(), QDate::fromString(typed::kDateIso, Qt::ISODate));
    QCOMPARE(r->cmb氏名->currentText(), typed::kName);
    QCOMPARE(r->cmb所属->currentText(), typed::kDept);
    QCOMPARE(r->txtタイトル->text(), typed::kTitle);
    QCOMPARE(workLines(w.WorkDb()), typedLines(withOpen));
}

// The host types the report and is killed (a crash, a power cut) before anything is registered.
void killAfterTyping(const QString& data, const QString& runtime)
{
    Run host;
    host.start(QStringLiteral(WINDOW_HOST), {data, u"typed"_s}, runtime);
    QVERIFY2(host.waitFor("ready"), host.out.constData());
    host.p.kill();
    QCOMPARE(host.finished(), -1);
    QVERIFY(opened(data));
}

int storedReports(FrmTesvan& w)
{
    return testing::firstValue(w.MainDb(), u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt();
}

} // namespace

void TestEnding::killedWhileTyping_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("restored") << true;
    QTest::newRow("not restored") << false;
}

void TestEnding::killedWhileTyping()
{
    QFETCH(bool, restore);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    killAfterTyping(data, tmp.path());
    if (QTest::currentTestFailed())
        return;

    testing::ScriptedBoxes boxes;
    boxes.answers << restore;
    {
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(data)));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].title, u"入力の復元"_s);
        QCOMPARE(boxes.shown[0].text, u"前回、登録されていない入力があります。復元しますか？"_s);
        QVERIFY(boxes.shown[0].yesNo && !boxes.shown[0].defaultNo);
        if (restore) {
            checkTypedReportShown(w, false);
            // Still not registered: closing asks, and キャンセル keeps the window.
            boxes.answers << MsgButton::Cancel;
            QVERIFY(!w.close());
            QCOMPARE(boxes.shown.size(), 2);
            QCOMPARE(boxes.shown[1].choices.size(), 3);
            QCOMPARE(storedReports(w), 0);
        } else {
            QVERIFY(w.reportTab()->Dt日付->isNull());
            QCOMPARE(w.reportTab()->cmb氏名->currentText(), QString());
            QCOMPARE(w.reportTab()->txtタイトル->text(), QString());
            QCOMPARE(workLines(w.WorkDb()), QList<QStringList>(100, QStringList(7, QString())));
        }
    }
    // Taken back, it is offered again until it is registered or discarded; not taken back, it
    // is gone.
    FrmTesvan again;
    QVERIFY(again.loadFrom(app::dataPathsIn(data)));
    QCOMPARE(boxes.shown.size(), restore ? 3 : 1);
}

void TestEnding::endedBySignal_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("offered"); // the next start offers the typed report
    QTest::newRow("logout with nothing typed") << u"idle"_s << SIGTERM << false;
    QTest::newRow("logout while a cell is typed") << u"typing"_s << SIGTERM << true;
    QTest::newRow("hang-up while a cell is typed") << u"typing"_s << SIGHUP << true;
    QTest::newRow("Ctrl+C while a cell is typed") << u"typing"_s << SIGINT << true;
    QTest::newRow("logout while クリア asks") << u"clear-question"_s << SIGTERM << true;
    QTest::newRow("logout while 閉じる asks") << u"close-question"_s << SIGTERM << true;
}

void TestEnding::endedBySignal()
{
    QFETCH(QString, script);
    QFETCH(int, signal);
    QFETCH(bool, offered);
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    Run host;
    host.start(QStringLiteral(WINDOW_HOST), {data, script}, tmp.path());
    const QByteArray shown = script == u"clear-question"_s   ? "box 画面クリアの確認"
                             : script == u"close-question"_s ? "box 登録の確認"
                                                             : "ready";
    QVERIFY2(host.waitFor(shown), host.out.constData());
    host.signal(signal);
    QCOMPARE(host.finished(), 0);
    QVERIFY2(host.out.contains("exit 0\n"), host.out.constData());
    QVERIFY(clean(data));

    testing::ScriptedBoxes boxes;
    boxes.answers << true;
    FrmTesvan w;
    QVERIFY(w.loadFrom(app::dataPathsIn(data)));
    QCOMPARE(boxes.shown.size(), offered ? 1 : 0);
    if (offered)
        checkTypedReportShown(w, script != u"idle"_s);
    // A clean end needs no full check at the next start.
    QCOMPARE(store::checkNeedOf(QString::fromLatin1(store::kWorkConnection)) == store::CheckNeed::Required,
             false);
}

// The start's own question is open when the session ends: it goes unanswered, and what was kept
// is offered again at the next start.
void TestEnding::endedWhileTheStartAsks()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    killAfterTyping(data, tmp.path());
    if (QTest::currentTestFailed())
        return;
    Run host;
    host.start(QStringLiteral(WINDOW_HOST), {data, u"idle"_s}, tmp.path());
    QVERIFY2(host.waitFor("box 入力の復元"), host.out.constData());
    host.signal(SIGTERM);
    QCOMPARE(host.finished(), 0);
    QVERIFY(!host.out.contains("ready"));
    QVERIFY(clean(data));

    testing::ScriptedBoxes boxes;
    FrmTesvan w;
    QVERIFY(w.loadFrom(app::dataPathsIn(data)));
    QCOMPARE(boxes.shown.size(), 1);
    checkTypedReportShown(w, false);
}

// The shipped program itself: ended by `timeout` or a service manager, it leaves clean files.
void TestEnding::programEndsCleanOnTerm()
{
    QTemporaryDir tmp;
    const QString data = testing::makeDataFolder(tmp.path());
    Run run;
    run.start(QStringLiteral(TESVAN_EXE), {u"--data"_s, data}, tmp.path());
    QVERIFY(run.p.waitForStarted());
    // Its files are open (the records say so) once the signals are handled.
    QElapsedTimer t;
    t.start();
    while (!opened(data) && t.elapsed() < 60000)
        QTest::qWait(50);
    QVERIFY(opened(data));
    run.signal(SIGTERM);
    QCOMPARE(run.finished(), 0);
    QVERIFY(clean(data));
}

QTEST_MAIN(TestEnding)
#include "tst_ending.moc"
