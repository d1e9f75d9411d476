// The report list's database work: reading the list, clearing it, deleting ticked reports.
#include "FreshFiles.h"
#include "TestFiles.h"
#include "list/ListStore.h"
#include "store/Rows.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(list::Copy)

class TestListStore : public QObject, testing::FreshFiles {
    Q_OBJECT
    // A stored report of lineCount lines.
    void report(const QString& date, const QString& name, int lineCount = 2,
                const QString& dept = u"営業部"_s)
    {
        QCOMPARE(store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, ?, ?)"_s,
                            {date, name, dept, name + u"の日報"_s}),
                 QString());
        for (int n = 1; n <= lineCount; ++n)
            QCOMPARE(store::run(m_main,
                                u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES (?, ?, ?, ?)"_s,
                                {date, name, n, u"内容"_s}),
                     QString());
    }
    // The list as "date name tick" texts, in its order.
    QStringList listed()
    {
        QList<store::Row> rows;
        if (store::readRows(m_work, u"SELECT 作成日, 氏名, チェック FROM w一覧 ORDER BY rowid"_s, {}, rows)
                .failed())
            return {u"<unreadable>"_s};
        QStringList out;
        for (const store::Row& r : rows)
            out << u"%1 %2 %3"_s.arg(r[0].toString(), r[1].toString(), r[2].toString());
        return out;
    }
    QStringList stored()
    {
        QList<store::Row> rows;
        store::readRows(
            m_main,
            u"SELECT h.作成日, h.氏名, (SELECT count(*) FROM 営業日報 l WHERE l.作成日 = h.作成日 AND "
            "l.氏名 = h.氏名) FROM 営業日報ヘッダ h ORDER BY 1, 2"_s,
            {}, rows);
        QStringList out;
        for (const store::Row& r : rows)
            out << u"%1 %2 %3"_s.arg(r[0].toString(), r[1].toString(), r[2].toString());
        return out;
    }
    int orphanLines()
    {
        return testing::firstValue(m_main,
                                   u"SELECT count(*) FROM 営業日報 l WHERE NOT EXISTS (SELECT 1 FROM "
                                   "営業日報ヘッダ h WHERE h.作成日 = l.作成日 AND h.氏名 = l.氏名)"_s)
            .toInt();
    }
    void tick(const QString& date, const QString& name)
    {
        QCOMPARE(store::run(m_work, u"UPDATE w一覧 SET チェック = 1 WHERE 作成日 = ? AND 氏名 = ?"_s,
                            {date, name}),
                 QString());
    }
    void fillStandard()
    {
        report(u"2024-04-02"_s, u"鈴木"_s);
        report(u"2024-04-01"_s, u"佐藤"_s, 3);
        report(u"2024-04-02"_s, u"佐藤"_s);
        report(u"2024-04-03"_s, u"O'Brien"_s, 1);
        report(u"2024-04-03"_s, u"50%"_s, 1);
        report(u"2024-04-04"_s, u"50%off"_s, 1);
        report(u"2024-04-05"_s, u"佐藤 "_s, 1);
        report(u"2024-04-06"_s, u"abc"_s, 1);
    }

  private slots:
    void init() { QCOMPARE(openFresh(), QString()); }
    void cleanup() { closeFresh(); }

    void filter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty filter: every person, by date, a date's persons in key order")
            << QString()
            << QStringList{u"2024-04-01 佐藤 0"_s,  u"2024-04-02 佐藤 0"_s,    u"2024-04-02 鈴木 0"_s,
                           u"2024-04-03 50% 0"_s,   u"2024-04-03 O'Brien 0"_s, u"2024-04-04 50%off 0"_s,
                           u"2024-04-05 佐藤  0"_s, u"2024-04-06 abc 0"_s};
        QTest::newRow("one person, exactly")
            << u"佐藤"_s << QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 0"_s};
        QTest::newRow("a name without reports") << u"田中"_s << QStringList{};
        QTest::newRow("trailing blank is part of the name")
            << u"佐藤 "_s << QStringList{u"2024-04-05 佐藤  0"_s};
        QTest::newRow("blanks only filter like any text") << u"  "_s << QStringList{};
        QTest::newRow("quote in the name") << u"O'Brien"_s << QStringList{u"2024-04-03 O'Brien 0"_s};
        QTest::newRow("percent is no wildcard") << u"50%"_s << QStringList{u"2024-04-03 50% 0"_s};
        QTest::newRow("no partial match") << u"佐"_s << QStringList{};
        QTest::newRow("case matters") << u"ABC"_s << QStringList{};
        QTest::newRow("injection text is a name") << u"x' OR '1'='1"_s << QStringList{};
    }
    void filter()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        fillStandard();
        // Both ways of copying give the same list.
        for (const list::Copy how : {list::Copy::Auto, list::Copy::RowByRow}) {
            QCOMPARE(
                store::run(m_work,
                           u"INSERT INTO w一覧 (作成日, 氏名, チェック) VALUES ('1999-01-01', '前回', 1)"_s),
                QString());
            const list::ReadResult r = list::readList(m_main, m_work, filter, how);
            QCOMPARE(r.error, QString());
            QCOMPARE(listed(), expected);
            QCOMPARE(r.rows, int(expected.size()));
        }
        // The main file is not left attached to the work connection.
        QCOMPARE(testing::firstValue(m_work, u"SELECT count(*) FROM pragma_database_list"_s).toInt(), 1);
    }

    void readingAgainClearsTicksAndReplacesRows()
    {
        fillStandard();
        QCOMPARE(list::readList(m_main, m_work, u"佐藤"_s).error, QString());
        tick(u"2024-04-01"_s, u"佐藤"_s);
        QCOMPARE(list::readList(m_main, m_work, u"佐藤"_s).error, QString());
        QCOMPARE(listed(), (QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 0"_s}));
        // More rows than one insert batch survive whole and in order.
        for (int i = 0; i < 150; ++i)
            report(QDate(2023, 1, 1).addDays(i).toString(Qt::ISODate), u"田中"_s, 0);
        const list::ReadResult r = list::readList(m_main, m_work, u"田中"_s, list::Copy::RowByRow);
        QCOMPARE(r.rows, 150);
        const QStringList rows = listed();
        QCOMPARE(rows.size(), 150);
        QCOMPARE(rows.first(), u"2023-01-01 田中 0"_s);
        QCOMPARE(rows.last(), QDate(2023, 1, 1).addDays(149).toString(Qt::ISODate) + u" 田中 0"_s);
    }

    void failedReadKeepsTheList_data()
    {
        QTest::addColumn<list::Copy>("how");
        QTest::newRow("inside the engine") << list::Copy::Auto;
        QTest::newRow("row by row") << list::Copy::RowByRow;
    }
    void failedReadKeepsTheList()
    {
        QFETCH(list::Copy, how);
        fillStandard();
        QCOMPARE(list::readList(m_main, m_work, u"佐藤"_s).error, QString());
        tick(u"2024-04-02"_s, u"佐藤"_s);
        const QStringList before = listed();
        // A list row that cannot be written part-way through.
        QCOMPARE(store::run(m_work, u"CREATE TRIGGER no鈴木 BEFORE INSERT ON w一覧 WHEN NEW.氏名 = '鈴木' "
                                    "BEGIN SELECT RAISE(ABORT, '書込不可'); END"_s),
                 QString());
        const list::ReadResult r = list::readList(m_main, m_work, QString(), how);
        QVERIFY(r.error.reason().contains(u"書込不可"_s));
        QCOMPARE(listed(), before);
        // The headers that cannot be read.
        QCOMPARE(store::run(m_main, u"ALTER TABLE 営業日報ヘッダ RENAME TO 退避"_s), QString());
        QVERIFY(list::readList(m_main, m_work, u"佐藤"_s, how).error.failed());
        QCOMPARE(listed(), before);
        QCOMPARE(testing::firstValue(m_work, u"SELECT count(*) FROM pragma_database_list"_s).toInt(), 1);
    }

    void clearEmptiesOnlyTheList()
    {
        fillStandard();
        const QStringList reports = stored();
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        QCOMPARE(list::clearList(m_work), QString());
        QCOMPARE(listed(), QStringList());
        QCOMPARE(stored(), reports);
    }

    void deleteTicked_data()
    {
        QTest::addColumn<QStringList>("ticks"); // "date name"
        QTest::addColumn<QStringList>("storedAfter");
        QTest::addColumn<QStringList>("listedAfter");
        const QStringList all{u"2024-04-01 佐藤 3"_s, u"2024-04-02 佐藤 2"_s, u"2024-04-02 鈴木 2"_s,
                              u"2024-04-03 O'Brien 1"_s};
        QTest::newRow("nothing ticked") << QStringList{} << all
                                        << QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 0"_s,
                                                       u"2024-04-02 鈴木 0"_s, u"2024-04-03 O'Brien 0"_s};
        QTest::newRow("same date, only the ticked person")
            << QStringList{u"2024-04-02 鈴木"_s}
            << QStringList{u"2024-04-01 佐藤 3"_s, u"2024-04-02 佐藤 2"_s, u"2024-04-03 O'Brien 1"_s}
            << QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 0"_s, u"2024-04-03 O'Brien 0"_s};
        QTest::newRow("several, with a quote") << QStringList{u"2024-04-01 佐藤"_s, u"2024-04-03 O'Brien"_s}
                                               << QStringList{u"2024-04-02 佐藤 2"_s, u"2024-04-02 鈴木 2"_s}
                                               << QStringList{u"2024-04-02 佐藤 0"_s, u"2024-04-02 鈴木 0"_s};
    }
    void deleteTicked()
    {
        QFETCH(QStringList, ticks);
        QFETCH(QStringList, storedAfter);
        QFETCH(QStringList, listedAfter);
        report(u"2024-04-01"_s, u"佐藤"_s, 3);
        report(u"2024-04-02"_s, u"佐藤"_s);
        report(u"2024-04-02"_s, u"鈴木"_s);
        report(u"2024-04-03"_s, u"O'Brien"_s, 1);
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        for (const QString& t : ticks)
            tick(t.section(u' ', 0, 0), t.section(u' ', 1));
        const list::DeleteResult r = list::deleteTickedReports(m_main, m_work);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.deleted, int(ticks.size()));
        QCOMPARE(stored(), storedAfter);
        QCOMPARE(orphanLines(), 0);
        QCOMPARE(listed(), listedAfter);
    }

    void untickedRowsKeepOrderAndTicksAfterDeletion()
    {
        fillStandard();
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        // A list row whose report is gone already and a ticked row that stays unticked-by-delete.
        tick(u"2024-04-02"_s, u"鈴木"_s);
        QCOMPARE(store::run(m_work, u"UPDATE w一覧 SET チェック = 1 WHERE 氏名 = 'abc'"_s), QString());
        QCOMPARE(store::run(m_main, u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = 'abc'"_s), QString());
        const list::DeleteResult r = list::deleteTickedReports(m_main, m_work);
        QCOMPARE(r.error, QString());
        QCOMPARE(listed(),
                 (QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 0"_s, u"2024-04-03 50% 0"_s,
                              u"2024-04-03 O'Brien 0"_s, u"2024-04-04 50%off 0"_s, u"2024-04-05 佐藤  0"_s}));
        QCOMPARE(testing::firstValue(m_main, u"SELECT count(*) FROM 営業日報 WHERE 氏名 IN ('abc', '鈴木')"_s)
                     .toInt(),
                 0);
    }

    void failedDeletionLeavesEverything()
    {
        fillStandard();
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        tick(u"2024-04-01"_s, u"佐藤"_s);
        tick(u"2024-04-02"_s, u"鈴木"_s);
        tick(u"2024-04-03"_s, u"O'Brien"_s);
        const QStringList reports = stored(), rows = listed();
        // The second ticked report's lines cannot be deleted.
        QCOMPARE(testing::failingTrigger(m_main, u"keep"_s, u"DELETE"_s, u"営業日報"_s,
                                         u"OLD.氏名 = '鈴木'"_s, u"削除不可"_s),
                 QString());
        const list::DeleteResult r = list::deleteTickedReports(m_main, m_work);
        QVERIFY(r.error.reason().contains(u"削除不可"_s));
        QVERIFY(!r.stored);
        QCOMPARE(stored(), reports);
        QCOMPARE(listed(), rows);
    }

    // A registration shown in a list read earlier: "date name tick" rows, with 所属/タイトル of
    // the registered report checked separately.
    void showRegistered_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("add");
        QTest::addColumn<QStringList>("expected");
        const QStringList before{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 1"_s, u"2024-04-02 鈴木 0"_s,
                                 u"2024-04-03 O'Brien 0"_s};
        QTest::newRow("listed report: updated in place, tick kept, never twice")
            << u"2024-04-02"_s << u"佐藤"_s << true << before;
        QTest::newRow("listed report, list not to gain rows: still updated")
            << u"2024-04-02"_s << u"佐藤"_s << false << before;
        QTest::newRow("new report, list not to gain rows") << u"2024-04-05"_s << u"田中"_s << false << before;
        QTest::newRow("after the last date: at the end")
            << u"2024-04-05"_s << u"田中"_s << true << (before + QStringList{u"2024-04-05 田中 0"_s});
        QTest::newRow("before the first date: at the top")
            << u"2024-03-31"_s << u"田中"_s << true << (QStringList{u"2024-03-31 田中 0"_s} + before);
        QTest::newRow("within a date: by name")
            << u"2024-04-02"_s << u"加藤"_s << true
            << QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 1"_s, u"2024-04-02 加藤 0"_s,
                           u"2024-04-02 鈴木 0"_s, u"2024-04-03 O'Brien 0"_s};
        QTest::newRow("a quote in the name")
            << u"2024-04-03"_s << u"A'x"_s << true
            << QStringList{u"2024-04-01 佐藤 0"_s, u"2024-04-02 佐藤 1"_s, u"2024-04-02 鈴木 0"_s,
                           u"2024-04-03 A'x 0"_s, u"2024-04-03 O'Brien 0"_s};
    }
    void showRegistered()
    {
        QFETCH(QString, date);
        QFETCH(QString, name);
        QFETCH(bool, add);
        QFETCH(QStringList, expected);
        report(u"2024-04-01"_s, u"佐藤"_s);
        report(u"2024-04-02"_s, u"佐藤"_s);
        report(u"2024-04-02"_s, u"鈴木"_s);
        report(u"2024-04-03"_s, u"O'Brien"_s);
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        tick(u"2024-04-02"_s, u"佐藤"_s);
        const QDate d = QDate::fromString(date, Qt::ISODate);
        QCOMPARE(list::showRegistered(m_work, {d, name, u"開発部"_s, QString()}, add), QString());
        QCOMPARE(listed(), expected);
        const bool shown = expected.join(u',').contains(date + u' ' + name + u' ');
        QCOMPARE(testing::firstValue(
                     m_work, u"SELECT 所属 || '/' || タイトル FROM w一覧 WHERE 作成日 = ? AND 氏名 = ?"_s,
                     {date, name})
                     .toString(),
                 shown ? u"開発部/"_s : u"<none>"_s);
        // The grid's rows keep distinct rowids in the shown order, and the tick stays with its row.
        QCOMPARE(testing::firstValue(m_work, u"SELECT count(DISTINCT rowid) FROM w一覧"_s).toInt(),
                 expected.size());
        QCOMPARE(testing::firstValue(m_work, u"SELECT 氏名 FROM w一覧 WHERE チェック = 1"_s).toString(),
                 u"佐藤"_s);
    }

    void registeredOneAfterAnotherStayInOrder()
    {
        report(u"2024-04-01"_s, u"佐藤"_s);
        report(u"2024-04-02"_s, u"佐藤"_s);
        report(u"2024-04-03"_s, u"佐藤"_s);
        QCOMPARE(list::readList(m_main, m_work, QString()).error, QString());
        // Rows move up and down in turn, into rowids below the first one read as well.
        const QStringList keys{u"2024-03-01 A"_s, u"2024-03-02 B"_s,    u"2024-03-01 0"_s, u"2024-04-05 C"_s,
                               u"2024-04-02 B"_s, u"2024-04-02 佐藤"_s, u"2024-04-03 A"_s, u"2024-03-02 A"_s};
        for (const QString& k : keys)
            QCOMPARE(
                list::showRegistered(
                    m_work, {QDate::fromString(k.left(10), Qt::ISODate), k.mid(11), u"部"_s, u"t"_s}, true),
                QString());
        QCOMPARE(listed(), (QStringList{u"2024-03-01 0 0"_s, u"2024-03-01 A 0"_s, u"2024-03-02 A 0"_s,
                                        u"2024-03-02 B 0"_s, u"2024-04-01 佐藤 0"_s, u"2024-04-02 B 0"_s,
                                        u"2024-04-02 佐藤 0"_s, u"2024-04-03 A 0"_s, u"2024-04-03 佐藤 0"_s,
                                        u"2024-04-05 C 0"_s}));
    }

    void isStored_data()
    {
        QTest::addColumn<QString>("setup"); // statement on the main database, run before asking
        QTest::addColumn<bool>("expected");
        QTest::newRow("header and lines") << QString() << true;
        QTest::newRow("header without lines") << u"DELETE FROM 営業日報"_s << true;
        QTest::newRow("lines without header") << u"DELETE FROM 営業日報ヘッダ"_s << true;
        QTest::newRow("deleted") << u"DELETE FROM 営業日報ヘッダ; DELETE FROM 営業日報"_s << false;
    }
    void isStored()
    {
        QFETCH(QString, setup);
        // A server keeps no line without its header: deleting the header takes its lines.
        if (testing::onServer() && QByteArray(QTest::currentDataTag()) == "lines without header")
            QSKIP("on the server lines go with their header");
        QFETCH(bool, expected);
        report(u"2024-04-02"_s, u"O'Brien"_s);
        for (const QString& sql : setup.split(u';', Qt::SkipEmptyParts))
            QCOMPARE(store::run(m_main, sql.trimmed() + u" WHERE 氏名 = 'O''Brien'"_s), QString());
        // Another person's report of that date, another date of that person: not this one.
        report(u"2024-04-02"_s, u"O'Brie"_s);
        report(u"2024-04-03"_s, u"O'Brien"_s);
        const list::StoredResult r = list::isStored(m_main, QDate(2024, 4, 2), u"O'Brien"_s);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.stored, expected);
    }
};

QTEST_GUILESS_MAIN(TestListStore)
#include "tst_liststore.moc"
