// The hint texts in the work database, on fresh copies of the initial files.
#include "hint/HintStore.h"
#include "TestFiles.h"
#include "store/Db.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kForm = u"FrmTesvan"_s;
const QString kTitle = u"営業日報 Tesvan Ver 1.20"_s;
} // namespace

class TestHintStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QSqlDatabase m_main, m_work;
    int m_round = 0;

    int records(const QString& ctl = {})
    {
        if (ctl.isNull())
            return testing::firstValue(m_work, u"SELECT count(*) FROM ClHint"_s).toInt();
        return testing::firstValue(
                   m_work, u"SELECT count(*) FROM ClHint WHERE FormName = ? AND CtlName = ?"_s, {kForm, ctl})
            .toInt();
    }
    QVariant stored(const QString& field, const QString& ctl)
    {
        return testing::firstValue(
            m_work, u"SELECT %1 FROM ClHint WHERE FormName = ? AND CtlName = ?"_s.arg(field), {kForm, ctl});
    }
    void exec(const QSqlDatabase& db, const QString& sql)
    {
        QSqlQuery q(db);
        QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
    }

  private slots:
    void init()
    {
        ++m_round;
        const QString reason = testing::openFreshFiles(m_dir.path() + u"/%1"_s.arg(m_round),
                                                       u"h%1-"_s.arg(m_round), m_main, m_work);
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
    }
    void cleanup() { testing::closeFreshFiles(u"h%1-"_s.arg(m_round), m_main, m_work); }

    void noRecordReadsNothing()
    {
        const hint::HintRead r = hint::readHint(m_work, kForm, u"cmdHint"_s);
        QVERIFY(r.error.ok());
        QVERIFY(!r.found);
        QVERIFY(r.contents.isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("ctl");
        QTest::addColumn<QString>("text");
        QTest::newRow("japanese with line breaks")
            << u"cmdHint"_s << u"読込は作成日と氏名から。\n登録で上書き。\n"_s;
        QTest::newRow("quotes and percent") << u"cmdHint2"_s << u"it's \"50%\" ; -- 'x'"_s;
        QTest::newRow("characters outside the BMP") << u"cmdHint3"_s << u"𠮷野家の🍜"_s;
        QTest::newRow("long hint") << u"cmdHint"_s << QString(u"長い説明。"_s).repeated(4000);
        QTest::newRow("empty text") << u"cmdHint"_s << u""_s;
        QTest::newRow("quote in the button name") << u"cmd'Hint"_s << u"名前は束縛される"_s;
    }
    void roundTrip()
    {
        QFETCH(QString, ctl);
        QFETCH(QString, text);
        QVERIFY(hint::storeHint(m_work, kForm, ctl, kTitle, text).ok());
        QCOMPARE(records(ctl), 1);
        const hint::HintRead r = hint::readHint(m_work, kForm, ctl);
        QVERIFY(r.error.ok());
        QVERIFY(r.found);
        QCOMPARE(r.contents, text);
        // An empty hint is an empty text, not a missing value.
        QVERIFY(!stored(u"Contents"_s, ctl).isNull());
        QCOMPARE(stored(u"FormTitle"_s, ctl).toString(), kTitle);
    }

    void buttonsKeepTheirOwnHints()
    {
        const QStringList ctls = {u"cmdHint"_s, u"cmdHint2"_s, u"cmdHint3"_s};
        for (const QString& c : ctls)
            QVERIFY(hint::storeHint(m_work, kForm, c, kTitle, c + u"の説明"_s).ok());
        QVERIFY(hint::deleteHint(m_work, kForm, u"cmdHint2"_s).ok());
        QVERIFY(hint::storeHint(m_work, kForm, u"cmdHint3"_s, kTitle, u"書き直し"_s).ok());
        QCOMPARE(hint::readHint(m_work, kForm, u"cmdHint"_s).contents, u"cmdHintの説明"_s);
        QVERIFY(!hint::readHint(m_work, kForm, u"cmdHint2"_s).found);
        QCOMPARE(hint::readHint(m_work, kForm, u"cmdHint3"_s).contents, u"書き直し"_s);
        // The same button name under another window is another hint.
        QVERIFY(!hint::readHint(m_work, u"Other"_s, u"cmdHint"_s).found);
    }

    void emptyKeyTouchesNothing_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("ctl");
        QTest::newRow("no window name") << u""_s << u"cmdHint"_s;
        QTest::newRow("no button name") << kForm << u""_s;
    }
    void emptyKeyTouchesNothing()
    {
        QFETCH(QString, form);
        QFETCH(QString, ctl);
        exec(m_work, u"INSERT INTO ClHint VALUES ('', 'cmdHint', 't', 'a'), ('FrmTesvan', '', 't', 'b')"_s);
        QVERIFY(hint::storeHint(m_work, form, ctl, kTitle, u"新"_s).ok());
        QVERIFY(hint::deleteHint(m_work, form, ctl).ok());
        const hint::HintRead r = hint::readHint(m_work, form, ctl);
        QVERIFY(r.error.ok());
        QVERIFY(!r.found);
        QCOMPARE(testing::firstValue(m_work, u"SELECT group_concat(Contents) FROM ClHint"_s).toString(),
                 u"a,b"_s);
    }

    void nullContentsReadAsNull()
    {
        exec(m_work, u"INSERT INTO ClHint (FormName, CtlName) VALUES ('FrmTesvan', 'cmdHint')"_s);
        const hint::HintRead r = hint::readHint(m_work, kForm, u"cmdHint"_s);
        QVERIFY(r.found);
        QVERIFY(r.contents.isNull());
    }

    void failedWriteKeepsEarlierHint_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("storing");
        QTest::newRow("store refused on insert")
            << u"CREATE TRIGGER f BEFORE INSERT ON ClHint BEGIN SELECT RAISE(ABORT, 'work full'); END"_s
            << true;
        QTest::newRow("store refused on delete")
            << u"CREATE TRIGGER f BEFORE DELETE ON ClHint BEGIN SELECT RAISE(ABORT, 'work full'); END"_s
            << true;
        QTest::newRow("delete refused")
            << u"CREATE TRIGGER f BEFORE DELETE ON ClHint BEGIN SELECT RAISE(ABORT, 'work full'); END"_s
            << false;
    }
    void failedWriteKeepsEarlierHint()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, storing);
        QVERIFY(hint::storeHint(m_work, kForm, u"cmdHint"_s, kTitle, u"元の説明"_s).ok());
        exec(m_work, trigger);
        const store::Error e = storing ? hint::storeHint(m_work, kForm, u"cmdHint"_s, kTitle, u"新しい説明"_s)
                                       : hint::deleteHint(m_work, kForm, u"cmdHint"_s);
        QVERIFY(e.failed());
        QVERIFY(e.reason().contains(u"work full"_s));
        QCOMPARE(records(), 1);
        QCOMPARE(stored(u"Contents"_s, u"cmdHint"_s).toString(), u"元の説明"_s);
    }

    void failedReadIsReported()
    {
        exec(m_work, u"DROP TABLE ClHint"_s);
        const hint::HintRead r = hint::readHint(m_work, kForm, u"cmdHint"_s);
        QVERIFY(r.error.failed());
        QVERIFY(!r.found);
    }

    // Hints live in the work file: wiping every report and every code-master name in the
    // main file leaves them in place.
    void hintsSurviveWipingTheMainFile()
    {
        QVERIFY(hint::storeHint(m_work, kForm, u"cmdHint"_s, kTitle, u"残る"_s).ok());
        QVERIFY(hint::storeHint(m_work, kForm, u"cmdHint3"_s, kTitle, u"これも"_s).ok());
        exec(m_main, u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES ('2026-04-01', '山田')"_s);
        exec(m_main, u"UPDATE コードマスタ SET sname = '営業部' WHERE kcode = '所属' AND code = '001'"_s);
        exec(m_main, u"DELETE FROM 営業日報"_s);
        exec(m_main, u"DELETE FROM 営業日報ヘッダ"_s);
        exec(m_main, u"UPDATE コードマスタ SET sname = NULL"_s);
        QCOMPARE(records(), 2);
        QCOMPARE(hint::readHint(m_work, kForm, u"cmdHint"_s).contents, u"残る"_s);
        QCOMPARE(hint::readHint(m_work, kForm, u"cmdHint3"_s).contents, u"これも"_s);
    }
};

QTEST_GUILESS_MAIN(TestHintStore)
#include "tst_hintstore.moc"
