// The code master's database work and data initialisation.
#include "FreshFiles.h"
#include "TestFiles.h"
#include "store/DataInit.h"
#include "codes/CodeStore.h"
#include "codes/PickLists.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// A category as "code=name" texts of its rows with a name, plus the row count and Nulls:
// e.g. "199 rows; 001=A 003=B" or "199 rows, 199 null".
QString describe(const QSqlDatabase& db, const QString& sql, const QVariantList& args = {})
{
    QList<store::Row> rows;
    if (store::readRows(db, sql, args, rows).failed())
        return u"<unreadable>"_s;
    QStringList named;
    int nulls = 0, ticked = 0;
    for (const store::Row& r : rows) {
        if (r[1].isNull())
            ++nulls;
        else if (!r[1].toString().isEmpty())
            named << r[0].toString() + u'=' + r[1].toString();
        if (r.size() > 2 && r[2].toInt() != 0)
            ++ticked;
    }
    QString s = u"%1 rows"_s.arg(rows.size());
    if (nulls)
        s += u", %1 null"_s.arg(nulls);
    if (ticked)
        s += u", %1 ticked"_s.arg(ticked);
    if (!named.isEmpty())
        s += u"; "_s + named.join(u' ');
    return s;
}
} // namespace

class TestCodeStore : public QObject, testing::FreshFiles {
    Q_OBJECT
    QString master(const QString& category)
    {
        return describe(m_main, u"SELECT code, sname FROM コードマスタ WHERE kcode = ? ORDER BY code"_s,
                        {category});
    }
    QString grid()
    {
        return describe(m_work, u"SELECT code, sname, チェック FROM wコードマスタ ORDER BY code"_s);
    }
    QString gridCodes()
    {
        return testing::firstValue(
                   m_work,
                   u"SELECT group_concat(code, '') FROM (SELECT code FROM wコードマスタ ORDER BY rowid)"_s)
            .toString();
    }
    void setGrid(const QString& code, const QVariant& name, bool ticked = false)
    {
        QCOMPARE(store::run(m_work, u"UPDATE wコードマスタ SET sname = ?, チェック = ? WHERE code = ?"_s,
                            {name, ticked ? 1 : 0, code}),
                 QString());
    }
    void setMaster(const QString& category, const QString& code, const QVariant& name)
    {
        QCOMPARE(store::run(m_main, u"UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"_s,
                            {name, category, code}),
                 QString());
    }
    void unregister(const QString& category)
    {
        QCOMPARE(store::run(m_main, u"DELETE FROM コードマスタ WHERE kcode = ?"_s, {category}), QString());
    }
    void failOn(const QSqlDatabase& db, const QString& table, const QString& event, const QString& when)
    {
        QCOMPARE(testing::failingTrigger(db, u"fail"_s, event, table, when, u"故障"_s), QString());
    }
    QString allCodes()
    {
        QString s;
        for (int n = 1; n <= store::kCodeRows; ++n)
            s += store::codeOf(n);
        return s;
    }

  private slots:
    void init() { QCOMPARE(openFresh(), QString()); }
    void cleanup() { closeFresh(); }

    void clearGivesBlankNumberedRows()
    {
        QCOMPARE(store::run(m_work,
                            u"INSERT INTO wコードマスタ (code, sname, チェック) VALUES ('999', '残り', 1)"_s),
                 QString());
        QCOMPARE(codes::clearCodeRows(m_work), QString());
        QCOMPARE(grid(), u"199 rows"_s);
        QCOMPARE(gridCodes(), allCodes());
        QCOMPARE(
            testing::firstValue(m_work, u"SELECT count(*) FROM wコードマスタ WHERE sname = ''"_s).toInt(),
            199);
    }

    void readPutsNamesAtTheirPositions_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QString>("expected");
        QTest::newRow("registered, Null kept Null")
            << true << u"199 rows, 1 null; 001=総務 003=営業 199=最後"_s;
        QTest::newRow("never registered: blank rows") << false << u"199 rows"_s;
    }
    void readPutsNamesAtTheirPositions()
    {
        QFETCH(bool, registered);
        QFETCH(QString, expected);
        setMaster(u"備考"_s, u"001"_s, u"総務"_s);
        setMaster(u"備考"_s, u"003"_s, u"営業"_s);
        setMaster(u"備考"_s, u"199"_s, u"最後"_s);
        setMaster(u"備考"_s, u"002"_s, u""_s);
        QCOMPARE(
            store::run(m_main, u"UPDATE コードマスタ SET sname = '' WHERE sname IS NULL AND code <> '005'"_s),
            QString());
        setMaster(u"所属"_s, u"002"_s, u"他の区分"_s);
        if (!registered)
            unregister(u"備考"_s);
        QCOMPARE(codes::clearCodeRows(m_work), QString());
        setGrid(u"002"_s, u"編集中"_s, true);
        QCOMPARE(codes::readCategory(m_main, m_work, u"備考"_s), QString());
        QCOMPARE(grid(), expected);
        QCOMPARE(gridCodes(), allCodes());
    }

    void failedReadKeepsTheGrid()
    {
        QCOMPARE(codes::clearCodeRows(m_work), QString());
        setGrid(u"004"_s, u"編集中"_s);
        QCOMPARE(store::run(m_main, u"ALTER TABLE コードマスタ RENAME TO 退避"_s), QString());
        QVERIFY(codes::readCategory(m_main, m_work, u"所属"_s).failed());
        QCOMPARE(grid(), u"199 rows; 004=編集中"_s);
    }

    void registerRewritesTheCategoryWhole_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::newRow("over a registered category") << true;
        QTest::newRow("a category never registered") << false;
    }
    void registerRewritesTheCategoryWhole()
    {
        QFETCH(bool, registered);
        setMaster(u"氏名"_s, u"002"_s, u"消える名"_s);
        setMaster(u"所属"_s, u"001"_s, u"他の区分"_s);
        if (!registered)
            unregister(u"氏名"_s);
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(m_main, m_work, u"氏名"_s, &read), QString());
        QCOMPARE(codes::clearCodeRows(m_work), QString());
        setGrid(u"001"_s, u"佐藤"_s);
        setGrid(u"002"_s, QVariant());
        setGrid(u"003"_s, u"O'Brien"_s);
        setGrid(u"005"_s, u"鈴木"_s);
        for (int round = 0; round < 2; ++round) {
            const codes::CategoryWrite w = codes::registerCategory(m_main, m_work, u"氏名"_s, read);
            QCOMPARE(w.error, QString());
            QVERIFY(w.stored);
            QCOMPARE(master(u"氏名"_s), u"199 rows; 001=佐藤 003=O'Brien 005=鈴木"_s);
        }
        // Blank positions are stored as empty names, not Null; other categories untouched.
        QCOMPARE(testing::firstValue(
                     m_main, u"SELECT count(*) FROM コードマスタ WHERE kcode = '氏名' AND sname = ''"_s)
                     .toInt(),
                 196);
        QCOMPARE(master(u"所属"_s), u"199 rows, 198 null; 001=他の区分"_s);
    }

    void failedRegistrationLeavesTheCategory_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::newRow("names updated") << true;
        QTest::newRow("rows inserted") << false;
    }
    void failedRegistrationLeavesTheCategory()
    {
        QFETCH(bool, registered);
        setMaster(u"氏名"_s, u"001"_s, u"元の名"_s);
        if (!registered)
            unregister(u"氏名"_s);
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(m_main, m_work, u"氏名"_s, &read), QString());
        setGrid(u"001"_s, u"新しい名"_s);
        setGrid(u"150"_s, u"もう一つ"_s);
        // Part-way: 001 is written before 150 fails.
        failOn(m_main, u"コードマスタ"_s, registered ? u"UPDATE"_s : u"INSERT"_s, u"NEW.code = '150'"_s);
        const QString before = master(u"氏名"_s);
        const codes::CategoryWrite w = codes::registerCategory(m_main, m_work, u"氏名"_s, read);
        QVERIFY(w.error.reason().contains(u"故障"_s));
        QVERIFY(!w.changedSince && !w.stored);
        QCOMPARE(master(u"氏名"_s), before);
        QCOMPARE(before, registered ? u"199 rows, 198 null; 001=元の名"_s : u"0 rows"_s);
    }

    void lineDeletion_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QString>("gridAfter");
        QTest::newRow("ticks 002 and 004, registered")
            << true << QStringList{u"002"_s, u"004"_s} << u"199 rows; 001=A 002=C 003=E 197=Z"_s;
        QTest::newRow("ticks 002 and 004, never registered")
            << false << QStringList{u"002"_s, u"004"_s} << u"199 rows; 001=A 002=C 003=E 197=Z"_s;
        QTest::newRow("nothing ticked writes the grid through")
            << true << QStringList{} << u"199 rows; 001=A 002=B 003=C 004=D 005=E 199=Z"_s;
        QTest::newRow("every row ticked") << true << QStringList{u"*"_s} << u"199 rows"_s;
    }
    void lineDeletion()
    {
        QFETCH(bool, registered);
        QFETCH(QStringList, ticked);
        QFETCH(QString, gridAfter);
        setMaster(u"訪問先"_s, u"010"_s, u"上書きされる"_s);
        if (!registered)
            unregister(u"訪問先"_s);
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(m_main, m_work, u"訪問先"_s, &read), QString());
        QCOMPARE(codes::clearCodeRows(m_work), QString());
        const QStringList names{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s};
        for (int i = 0; i < names.size(); ++i)
            setGrid(store::codeOf(i + 1), names[i], ticked.contains(store::codeOf(i + 1)));
        setGrid(u"199"_s, u"Z"_s);
        if (ticked == QStringList{u"*"_s})
            QCOMPARE(store::run(m_work, u"UPDATE wコードマスタ SET チェック = 1"_s), QString());
        const codes::CategoryWrite r = codes::deleteTickedLines(m_main, m_work, u"訪問先"_s, read);
        QCOMPARE(r.error, QString());
        QVERIFY(r.stored);
        QCOMPARE(grid(), gridAfter);
        QCOMPARE(gridCodes(), allCodes());
        if (registered)
            QCOMPARE(master(u"訪問先"_s), gridAfter);
        else
            QCOMPARE(master(u"訪問先"_s), u"0 rows"_s);
    }

    void failedLineDeletionLeavesBothFiles_data()
    {
        QTest::addColumn<QString>("fails");
        QTest::newRow("main file fails part-way") << u"main"_s;
        QTest::newRow("work file fails part-way") << u"work"_s;
        // A grid whose rows are not the numbered ones is written whole.
        QTest::newRow("work file fails, a grid row missing") << u"work, rewritten"_s;
    }
    void failedLineDeletionLeavesBothFiles()
    {
        QFETCH(QString, fails);
        setMaster(u"訪問先"_s, u"001"_s, u"A"_s);
        setMaster(u"訪問先"_s, u"002"_s, u"B"_s);
        setMaster(u"訪問先"_s, u"003"_s, u"C"_s);
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(m_main, m_work, u"訪問先"_s, &read), QString());
        setGrid(u"001"_s, u"A"_s, true);
        if (fails == u"work, rewritten"_s)
            QCOMPARE(store::run(m_work, u"DELETE FROM wコードマスタ WHERE code = '150'"_s), QString());
        const QString gridBefore = grid(), masterBefore = master(u"訪問先"_s);
        if (fails == u"main"_s)
            failOn(m_main, u"コードマスタ"_s, u"UPDATE"_s, u"OLD.code = '003'"_s);
        else if (fails == u"work"_s)
            failOn(m_work, u"wコードマスタ"_s, u"UPDATE"_s, u"OLD.code = '003'"_s);
        else
            failOn(m_work, u"wコードマスタ"_s, u"INSERT"_s, u"NEW.code = '100'"_s);
        const codes::CategoryWrite r = codes::deleteTickedLines(m_main, m_work, u"訪問先"_s, read);
        QVERIFY(r.error.reason().contains(u"故障"_s));
        QCOMPARE(grid(), gridBefore);
        // The main file's write comes first: when only the work file fails, it stands.
        QCOMPARE(r.stored, fails != u"main"_s);
        // (A grid row missing leaves one more position past the names, blank.)
        const QString written =
            fails == u"work"_s ? u"199 rows, 196 null; 001=B 002=C"_s : u"199 rows, 195 null; 001=B 002=C"_s;
        QCOMPARE(master(u"訪問先"_s), fails == u"main"_s ? masterBefore : written);
    }

    // The grid is written only over the category as it was read: a change made since (a name
    // learnt by a report's registration, another user's edit) refuses the write, and both files
    // stay as they are until the category is read again.
    void writeRefusedWhenChangedSinceRead_data()
    {
        QTest::addColumn<bool>("lineDelete");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("refused");
        const QList<std::pair<const char*, bool>> changes = {
            {"a name learnt", true},         {"a name renamed", true},
            {"registered by someone", true}, {"unregistered by someone", true},
            {"another category read", true}, {"renamed through another connection", true},
            {"Null stored as empty", false}, {"nothing changed", false}};
        for (const bool lineDelete : {false, true})
            for (const auto& [change, refused] : changes)
                QTest::addRow("%s, %s", lineDelete ? "行削除" : "登録", change)
                    << lineDelete << QString::fromUtf8(change) << refused;
    }
    void writeRefusedWhenChangedSinceRead()
    {
        QFETCH(bool, lineDelete);
        QFETCH(QString, change);
        QFETCH(bool, refused);
        const QString k = u"備考"_s;
        setMaster(k, u"001"_s, u"至急"_s);
        setMaster(k, u"003"_s, u"要連絡"_s);
        if (change == u"registered by someone"_s)
            unregister(k);
        codes::CategoryState read;
        QCOMPARE(codes::readCategory(m_main, m_work, change == u"another category read"_s ? u"訪問先"_s : k,
                                     &read),
                 QString());
        if (change == u"another category read"_s)
            QCOMPARE(codes::readCategory(m_main, m_work, k), QString());
        setGrid(u"010"_s, u"手入力"_s, true);

        if (change == u"a name learnt"_s) {
            const codes::AddResult a = codes::addCodeMaster(m_main, k, u"新しい備考"_s);
            QCOMPARE(a.error, QString());
            QVERIFY(a.added);
        } else if (change == u"a name renamed"_s) {
            setMaster(k, u"003"_s, u"要電話"_s);
        } else if (change == u"registered by someone"_s) {
            codes::CategoryState other;
            QCOMPARE(codes::readCategory(m_main, m_work, k, &other), QString());
            QCOMPARE(codes::registerCategory(m_main, m_work, k, other).error, QString());
            setGrid(u"010"_s, u"手入力"_s, true);
        } else if (change == u"unregistered by someone"_s) {
            unregister(k);
        } else if (change == u"renamed through another connection"_s) {
            // Another program on the same file: nothing of it passes through this connection.
            if (testing::onServer())
                QSKIP("the main database is on the server");
            {
                QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"otherWriter"_s);
                other.setDatabaseName(mainPath());
                QVERIFY(other.open());
                QSqlQuery q(other);
                QVERIFY(q.exec(
                    u"UPDATE コードマスタ SET sname = '要電話' WHERE kcode = '備考' AND code = '003'"_s));
                q.finish();
                other.close();
            }
            QSqlDatabase::removeDatabase(u"otherWriter"_s);
        } else if (change == u"Null stored as empty"_s) {
            QCOMPARE(store::run(m_main,
                                u"UPDATE コードマスタ SET sname = '' WHERE kcode = ? AND sname IS NULL"_s,
                                {k}),
                     QString());
        }
        const QString masterBefore = master(k), gridBefore = grid();
        const codes::CategoryState readBefore = read;
        const codes::CategoryWrite w = lineDelete ? codes::deleteTickedLines(m_main, m_work, k, read)
                                                  : codes::registerCategory(m_main, m_work, k, read);
        QCOMPARE(w.changedSince, refused);
        QCOMPARE(w.stored, !refused);
        QCOMPARE(w.error.failed(), refused);
        if (refused) {
            QCOMPARE(master(k), masterBefore);
            QCOMPARE(grid(), gridBefore);
            // Refused again until read afresh; then the write goes through.
            QCOMPARE(read.rows, readBefore.rows);
            QVERIFY(codes::registerCategory(m_main, m_work, k, read).changedSince);
            QCOMPARE(codes::readCategory(m_main, m_work, k, &read), QString());
            setGrid(u"010"_s, u"手入力"_s, true);
            const codes::CategoryWrite again = lineDelete ? codes::deleteTickedLines(m_main, m_work, k, read)
                                                          : codes::registerCategory(m_main, m_work, k, read);
            QCOMPARE(again.error, QString());
        }
        // The ticked name is deleted by 行削除 and registered by 登録; a learnt name stays.
        QCOMPARE(master(k).contains(u"手入力"_s), !lineDelete);
        QCOMPARE(master(k).contains(u"新しい備考"_s), change == u"a name learnt"_s);
        // The state follows the write: the next write goes ahead.
        QCOMPARE(codes::registerCategory(m_main, m_work, k, read).error, QString());
    }

    void blankKeepsRows()
    {
        setMaster(u"所属"_s, u"001"_s, u"総務"_s);
        setMaster(u"所属"_s, u"002"_s, u""_s);
        setMaster(u"氏名"_s, u"001"_s, u"佐藤"_s);
        QCOMPARE(codes::blankCategory(m_main, u"所属"_s), QString());
        QCOMPARE(master(u"所属"_s), u"199 rows, 199 null"_s);
        QCOMPARE(master(u"氏名"_s), u"199 rows, 198 null; 001=佐藤"_s);
        // A failing blank leaves every name.
        failOn(m_main, u"コードマスタ"_s, u"UPDATE"_s, u"OLD.code = '100'"_s);
        QVERIFY(codes::blankCategory(m_main, u"氏名"_s).failed());
        QCOMPARE(master(u"氏名"_s), u"199 rows, 198 null; 001=佐藤"_s);
    }

    void initialisationWipesReportsAndNames_data()
    {
        QTest::addColumn<QString>("failOn"); // "" = no failure
        QTest::newRow("succeeds") << QString();
        QTest::newRow("fails on the headers") << u"営業日報ヘッダ"_s;
        QTest::newRow("fails on the code master") << u"コードマスタ"_s;
    }
    void initialisationWipesReportsAndNames()
    {
        QFETCH(QString, failOn);
        QCOMPARE(store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES ('2024-01-01', '佐藤', '', '')"_s),
                 QString());
        QCOMPARE(
            store::run(m_main,
                       u"INSERT INTO 営業日報 (作成日, 氏名, 行番号) VALUES ('2024-01-01', '佐藤', 1)"_s),
            QString());
        setMaster(u"訪問先"_s, u"005"_s, u"取引先"_s);
        QCOMPARE(store::run(m_work, u"INSERT INTO w一覧 (作成日, 氏名) VALUES ('2024-01-01', '佐藤')"_s),
                 QString());
        if (failOn == u"営業日報ヘッダ"_s)
            this->failOn(m_main, failOn, u"DELETE"_s, u"true"_s);
        else if (!failOn.isEmpty())
            this->failOn(m_main, failOn, u"UPDATE"_s, u"OLD.code = '199'"_s);
        const store::Error e = app::initialiseData(m_main);
        const auto count = [&](const QString& sql) { return testing::firstValue(m_main, sql).toInt(); };
        QCOMPARE(count(u"SELECT count(*) FROM コードマスタ"_s), 4 * store::kCodeRows);
        QCOMPARE(testing::firstValue(m_work, u"SELECT count(*) FROM w一覧"_s).toInt(), 1);
        if (failOn.isEmpty()) {
            QCOMPARE(e, QString());
            QCOMPARE(count(u"SELECT count(*) FROM 営業日報"_s) +
                         count(u"SELECT count(*) FROM 営業日報ヘッダ"_s),
                     0);
            QCOMPARE(count(u"SELECT count(*) FROM コードマスタ WHERE sname IS NOT NULL"_s), 0);
        } else {
            QVERIFY(e.reason().contains(u"故障"_s));
            QCOMPARE(count(u"SELECT count(*) FROM 営業日報"_s), 1);
            QCOMPARE(count(u"SELECT count(*) FROM 営業日報ヘッダ"_s), 1);
            QCOMPARE(master(u"訪問先"_s), u"199 rows, 198 null; 005=取引先"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestCodeStore)
#include "tst_codestore.moc"
