// The report entry tab's database work, on fresh copies of the initial files.
#include "codes/CodeMasterAdder.h"
#include "codes/PickLists.h"
#include "report/ReportStore.h"
#include "report/TimeCheck.h"
#include "FreshFiles.h"
#include "TestFiles.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using Rows = QList<QVariantList>;

namespace {

Rows select(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    store::Statement q(db, sql);
    for (const QVariant& v : values)
        q.bind(v);
    Rows out;
    if (q.exec())
        while (q.next()) {
            QVariantList r;
            for (int i = 0; i < q.columnCount(); ++i)
                r << q.value(i);
            out << r;
        }
    return out;
}

QVariantList column(const Rows& rows, int i = 0)
{
    QVariantList c;
    for (const QVariantList& r : rows)
        c << r.value(i);
    return c;
}

const QVariant N; // Null
const QString kDay = u"2024-04-10"_s;

} // namespace

class TestReportStore : public QObject, testing::FreshFiles {
    Q_OBJECT
    // Work row `row` gets 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考.
    void setLine(int row, const QVariantList& v)
    {
        QVariantList b = v;
        b << row;
        QCOMPARE(store::run(m_work,
                            u"UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = ?, 担当 = ?, "
                            "訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?"_s,
                            b),
                 QString());
    }
    Rows workLines() { return select(m_work, u"SELECT * FROM w営業日報 ORDER BY 行番号"_s); }
    Rows stored(const QString& name = u"佐藤"_s)
    {
        return select(m_main,
                      u"SELECT 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM 営業日報 "
                      "WHERE 作成日 = ? AND 氏名 = ? ORDER BY 行番号"_s,
                      {kDay, name});
    }
    report::Header header(const QString& name = u"佐藤"_s, const QString& title = u"週報"_s)
    {
        return {QDate(2024, 4, 10), name, u"営業部"_s, title};
    }

  private slots:
    void init()
    {
        QCOMPARE(openFresh(), QString());
        QCOMPARE(report::resetLines(m_work), QString());
    }
    void cleanup() { closeFresh(); }

    void resetGivesHundredEmptyRows()
    {
        QCOMPARE(report::deleteTickedLines(m_work), QString());
        QCOMPARE(store::run(m_work,
                            u"UPDATE w営業日報 SET チェック = 1, 担当 = 'x', 内容 = 'y' WHERE 行番号 < 4"_s),
                 QString());
        QCOMPARE(store::run(m_work, u"DELETE FROM w営業日報 WHERE 行番号 = 7"_s), QString());
        QCOMPARE(store::run(m_work, u"INSERT INTO w営業日報 (行番号, 内容) VALUES (150, 'z')"_s), QString());
        QCOMPARE(report::resetLines(m_work), QString());
        const Rows rows = workLines();
        QCOMPARE(rows.size(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(rows[i][0].toInt(), i + 1);
            QCOMPARE(rows[i][1].toInt(), 0);
            for (int f = 2; f < rows[i].size(); ++f)
                QVERIFY2(rows[i][f].isNull(), qPrintable(u"row %1 field %2"_s.arg(i + 1).arg(f)));
        }
    }

    void failedResetLeavesTableAsItWas()
    {
        setLine(1, {kDay, kDay, u"0900"_s, N, N, u"残す"_s, N});
        QCOMPARE(store::run(m_work, u"DELETE FROM w営業日報 WHERE 行番号 = 2"_s), QString());
        const Rows before = workLines();
        QCOMPARE(store::run(m_work, u"CREATE TRIGGER t BEFORE INSERT ON w営業日報 WHEN NEW.行番号 = 50 "
                                    "BEGIN SELECT RAISE(ABORT, 'reset refused'); END"_s),
                 QString());
        QVERIFY(report::resetLines(m_work).reason().contains(u"reset refused"_s));
        QCOMPARE(workLines(), before);
    }

    void deleteTicked_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::newRow("rows 3 and 5") << QList<int>{3, 5};
        QTest::newRow("nothing ticked") << QList<int>{};
        QTest::newRow("first and last") << QList<int>{1, 100};
    }
    void deleteTicked()
    {
        QFETCH(QList<int>, ticked);
        for (int r : ticked)
            QCOMPARE(store::run(m_work, u"UPDATE w営業日報 SET チェック = 1 WHERE 行番号 = ?"_s, {r}),
                     QString());
        QCOMPARE(report::deleteTickedLines(m_work), QString());
        QVariantList expected;
        for (int i = 1; i <= 100; ++i)
            if (!ticked.contains(i))
                expected << i;
        QVariantList got;
        for (const QVariant& v : column(select(m_work, u"SELECT 行番号 FROM w営業日報 ORDER BY 行番号"_s)))
            got << v.toInt();
        QCOMPARE(got, expected);
    }

    void tickAll_data()
    {
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QVariantList>("ticked"); // after the call, with rows 1, 2 dated and 7 ticked by hand
        QTest::newRow("tick all ticks the dated rows") << true << QVariantList{1, 2, 7};
        QTest::newRow("untick all leaves undated ticks") << false << QVariantList{7};
    }
    void tickAll()
    {
        QFETCH(bool, flag);
        QFETCH(QVariantList, ticked);
        setLine(1, {kDay, kDay, N, N, N, N, N});
        setLine(2, {u"2024-04-11"_s, u"2024-04-11"_s, N, N, N, N, N});
        setLine(3, {N, kDay, u"1000"_s, N, u"行先"_s, u"内容"_s, N}); // effective date only: not dated
        QCOMPARE(store::run(m_work, u"UPDATE w営業日報 SET チェック = 1 WHERE 行番号 IN (2, 7)"_s),
                 QString());
        QCOMPARE(report::setTickAll(m_work, flag), QString());
        QVariantList got;
        for (const QVariant& v : column(select(m_work, u"SELECT 行番号 FROM w営業日報 WHERE チェック = 1 "
                                                       "ORDER BY 行番号"_s)))
            got << v.toInt();
        QCOMPARE(got, ticked);
    }

    // 前回から作成: the person's latest report before the day, its 訪問先, 担当 and 備考 under the
    // day's date; nothing else of it, and nothing written to the main file.
    void copyLatest()
    {
        const auto store = [&](const QString& day, const QString& name, const QString& title,
                               const QList<QVariantList>& lines) {
            QCOMPARE(store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', ?)"_s,
                                {day, name, title}),
                     QString());
            for (const QVariantList& l : lines)
                QCOMPARE(store::run(m_main,
                                    u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, "
                                    u"担当, 訪問先, 内容, "
                                    "備考) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
                                    QVariantList{day, name} + l),
                         QString());
        };
        store(u"2024-04-01"_s, u"佐藤"_s, u"古い"_s, {{1, N, N, N, N, u"古い社"_s, u"x"_s, N}});
        store(
            u"2024-04-08"_s, u"佐藤"_s, u"前回"_s,
            {{2, u"2024-04-08"_s, u"2024-04-08"_s, u"0900"_s, u"田中"_s, u"山田商事"_s, u"見積"_s, u"至急"_s},
             {5, N, N, u"1300"_s, N, N, u"内容だけの行"_s, N},
             {7, N, u"2024-04-08"_s, N, N, u"社員2商店"_s, u"納品"_s, N}});
        // Another person's later report and the day's own are not the person's last one.
        store(u"2024-04-09"_s, u"鈴木"_s, u"他人"_s, {{1, N, N, N, N, u"鈴木の社"_s, u"y"_s, N}});
        store(kDay, u"佐藤"_s, u"当日"_s, {{1, N, N, N, N, u"当日の社"_s, u"z"_s, N}});
        const int before = select(m_main, u"SELECT count(*) FROM 営業日報"_s)[0][0].toInt();
        setLine(3, {kDay, kDay, N, N, N, u"消える"_s, N});

        report::CopyResult r = report::copyLatest(m_main, m_work, u"佐藤"_s, QDate(2024, 4, 10));
        QCOMPARE(r.error, QString());
        QVERIFY(r.found && !r.tooLong);
        QCOMPARE(r.from, (report::Header{QDate(2024, 4, 8), u"佐藤"_s, u"営業部"_s, u"前回"_s}));
        QCOMPARE(r.lines, 2);
        // Each work row as text, Null as "-": 行番号, チェック, 表示日付, 日付, 時間, 担当, 訪問先, 内容,
        // 備考.
        QStringList shown;
        for (const QVariantList& row : workLines()) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << (v.isNull() ? u"-"_s : v.toString());
            shown << cells.join(u'|');
        }
        QCOMPARE(shown.size(), 100);
        QCOMPARE(shown[0], u"1|0|2024-04-10|2024-04-10|-|田中|山田商事|-|至急"_s);
        QCOMPARE(shown[1], u"2|0|2024-04-10|2024-04-10|-|-|社員2商店|-|-"_s);
        for (int i = 2; i < 100; ++i)
            QCOMPARE(shown[i], u"%1|0|-|-|-|-|-|-|-"_s.arg(i + 1));
        QCOMPARE(select(m_main, u"SELECT count(*) FROM 営業日報"_s)[0][0].toInt(), before);

        // No report before the day: found is false and the lines stay as they were.
        const Rows kept = workLines();
        r = report::copyLatest(m_main, m_work, u"鈴木"_s, QDate(2024, 4, 9));
        QCOMPARE(r.error, QString());
        QVERIFY(!r.found);
        QCOMPARE(workLines(), kept);
        QVERIFY(report::copyLatest(m_main, m_work, QString(), QDate(2024, 4, 9)).error.failed());
    }

    void time_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("kept"); // Null: cleared
        QTest::newRow("morning") << u"0930"_s << QVariant(u"0930"_s);
        QTest::newRow("full-width digits") << u"０９３０"_s << QVariant(u"0930"_s);
        QTest::newRow("mixed widths") << u"1２3０"_s << QVariant(u"1230"_s);
        QTest::newRow("upper hour bound") << u"2400"_s << QVariant(u"2400"_s);
        QTest::newRow("upper minute bound") << u"1260"_s << QVariant(u"1260"_s);
        QTest::newRow("midnight") << u"0000"_s << QVariant(u"0000"_s);
        QTest::newRow("as displayed") << u"09:30"_s << QVariant(u"0930"_s);
        QTest::newRow("full-width colon") << u"０９：３０"_s << QVariant(u"0930"_s);
        QTest::newRow("three digits") << u"930"_s << QVariant(u"0930"_s);
        QTest::newRow("h:mm") << u"9:30"_s << QVariant(u"0930"_s);
        QTest::newRow("full-width h:mm") << u"９：３０"_s << QVariant(u"0930"_s);
        QTest::newRow("blanks around") << u" 930　"_s << QVariant(u"0930"_s);
        QTest::newRow("three digits, upper minute bound") << u"960"_s << QVariant(u"0960"_s);
        QTest::newRow("midnight as h:mm") << u"0:00"_s << QVariant(u"0000"_s);
        for (const QString& bad :
             {u"2501"_s,  u"1261"_s,  u"ab12"_s,     u"1.30"_s,  u"+930"_s,  u"-100"_s,  u"09300"_s,
              u"25:00"_s, u"0930:"_s, u"０９：３"_s, u"٠٩٣٠"_s,  u"12:5"_s,  u"961"_s,   u"9 30"_s,
              u":930"_s,  u"930:"_s,  u"123:45"_s,   u"9:3:0"_s, u"24::0"_s, u"9::30"_s, u"12"_s})
            QTest::newRow(qPrintable(u"cleared '%1'"_s.arg(bad))) << bad << N;
    }
    void time()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, kept);
        const std::optional<QVariant> v = report::checkTime(text);
        QVERIFY(v.has_value());
        QCOMPARE(v->isNull(), kept.isNull());
        if (!kept.isNull())
            QCOMPARE(v->toString(), kept.toString());
    }
    void emptyTimeIsLeftAlone() { QVERIFY(!report::checkTime(QString()).has_value()); }

    void registerTwiceReplaces()
    {
        setLine(1, {kDay, kDay, N, N, N, u"一回目 1"_s, N});
        setLine(2, {kDay, kDay, N, N, N, u"一回目 2"_s, N});
        setLine(3, {kDay, kDay, N, N, N, u"一回目 3"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"古い"_s)), QString());
        QCOMPARE(report::resetLines(m_work), QString());
        setLine(5, {kDay, kDay, N, N, N, u"二回目"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"新しい"_s)), QString());
        QCOMPARE(select(m_main, u"SELECT タイトル FROM 営業日報ヘッダ"_s), Rows{{u"新しい"_s}});
        QCOMPARE(column(stored(), 6), QVariantList{u"二回目"_s});
    }

    void registerNumbersDenselyAndInheritsDates()
    {
        setLine(1, {u"2024-04-01"_s, u"2024-04-01"_s, u"0900"_s, u"鈴木"_s, N, u"訪問"_s, N});
        setLine(3, {N, N, N, N, N, u"続き"_s, N});
        setLine(4, {u"2024-04-03"_s, u"2024-04-03"_s, N, N, N, u"翌々日"_s, N});
        // A dated row without contents is not stored and passes its date on to nobody.
        setLine(5, {u"2024-04-05"_s, u"2024-04-05"_s, u"1000"_s, N, u"取引先Z"_s, N, N});
        setLine(6, {N, N, N, N, N, u"最後"_s, N});
        report::Registered done;
        QCOMPARE(report::registerReport(m_main, m_work, header(), &done), QString());
        QCOMPARE(done.lines, 4);
        QCOMPARE(done.withoutText, QList<int>{5});
        const Rows expected = {
            {1, u"2024-04-01"_s, u"2024-04-01"_s, u"0900"_s, u"鈴木"_s, N, u"訪問"_s, N},
            {2, N, u"2024-04-01"_s, N, N, N, u"続き"_s, N},
            {3, u"2024-04-03"_s, u"2024-04-03"_s, N, N, N, u"翌々日"_s, N},
            {4, N, u"2024-04-03"_s, N, N, N, u"最後"_s, N},
        };
        const Rows got = stored();
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i][0].toInt(), expected[i][0].toInt());
            for (int f = 1; f < expected[i].size(); ++f) {
                QCOMPARE(got[i][f].isNull(), expected[i][f].isNull());
                QCOMPARE(got[i][f].toString(), expected[i][f].toString());
            }
        }
        QVERIFY(select(m_main, u"SELECT code FROM コードマスタ WHERE sname = '取引先Z'"_s).isEmpty());
    }

    void registerWithoutContentsStoresHeaderOnly()
    {
        setLine(1, {kDay, kDay, u"0900"_s, u"鈴木"_s, u"行先"_s, N, u"備考"_s});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, QString())), QString());
        const Rows h = select(m_main, u"SELECT 所属, タイトル FROM 営業日報ヘッダ"_s);
        QCOMPARE(h.size(), 1);
        QCOMPARE(h[0][0].toString(), u"営業部"_s);
        QVERIFY(!h[0][1].isNull()); // an empty title is a text, so reading it back clears the box
        QVERIFY(stored().isEmpty());
    }

    void registerLearnsVisitDestinations()
    {
        const QString sql = u"SELECT code FROM コードマスタ WHERE kcode = '訪問先' AND sname = ?"_s;
        QCOMPARE(
            store::run(m_main,
                       u"UPDATE コードマスタ SET sname = 'A社' WHERE kcode = '訪問先' AND code = '001'"_s),
            QString());
        QCOMPARE(store::run(m_main,
                            u"UPDATE コードマスタ SET sname = '' WHERE kcode = '訪問先' AND code = '002'"_s),
                 QString());
        setLine(1, {kDay, kDay, N, N, u"新規社"_s, u"一"_s, u"新規社"_s});
        setLine(2, {kDay, kDay, N, N, u"新規社"_s, u"二"_s, N});
        setLine(3, {kDay, kDay, N, N, u"A社"_s, u"三"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header()), QString());
        QCOMPARE(report::registerReport(m_main, m_work, header()), QString());
        QCOMPARE(select(m_main, sql, {u"新規社"_s}), Rows{{u"002"_s}});
        QCOMPARE(select(m_main, sql, {u"A社"_s}), Rows{{u"001"_s}});
        QCOMPARE(select(m_main, u"SELECT code FROM コードマスタ WHERE kcode = '備考' AND sname = '新規社'"_s),
                 Rows{{u"001"_s}});

        // With every row named, the line is stored all the same.
        QCOMPARE(store::run(m_main, u"UPDATE コードマスタ SET sname = 'x' || code WHERE kcode = '訪問先' AND "
                                    "(sname IS NULL OR sname = '')"_s),
                 QString());
        setLine(4, {kDay, kDay, N, N, u"満員社"_s, u"四"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header()), QString());
        QCOMPARE(stored().size(), 4);
        QVERIFY(select(m_main, sql, {u"満員社"_s}).isEmpty());
    }

    // The lines go to the main database several to a statement: every count comes back whole,
    // in order, across the statements' edges, and again once the statements are prepared.
    void registerStoresEveryLineWhateverItsCount_data()
    {
        QTest::addColumn<int>("lines");
        for (int n : {1, 2, 3, 63, 64, 65, 99, 100})
            QTest::addRow("%d", n) << n;
    }
    void registerStoresEveryLineWhateverItsCount()
    {
        QFETCH(int, lines);
        for (int r = 1; r <= lines; ++r)
            setLine(r, {kDay, kDay, u"%1"_s.arg(900 + r, 4, 10, QChar(u'0')), N, u"先%1"_s.arg(r % 7),
                        u"内容%1"_s.arg(r), r % 2 ? N : QVariant(u"備%1"_s.arg(r))});
        for (int round = 0; round < 2; ++round) {
            report::Registered done;
            QCOMPARE(report::registerReport(m_main, m_work, header(), &done), QString());
            QCOMPARE(done.lines, lines);
            const Rows got = stored();
            QCOMPARE(got.size(), lines);
            for (int i = 0; i < lines; ++i) {
                const int r = i + 1;
                QCOMPARE(got[i][0].toInt(), r);
                QCOMPARE(got[i][3].toString(), u"%1"_s.arg(900 + r, 4, 10, QChar(u'0')));
                QCOMPARE(got[i][5].toString(), u"先%1"_s.arg(r % 7));
                QCOMPARE(got[i][6].toString(), u"内容%1"_s.arg(r));
                QCOMPARE(got[i][7].isNull(), r % 2 == 1);
            }
        }
        QCOMPARE(
            select(m_main, u"SELECT count(*) FROM コードマスタ WHERE kcode = '訪問先' AND sname LIKE '先%'"_s)
                .value(0)
                .value(0)
                .toInt(),
            std::min(lines, 7));
    }

    // Learning many names at once leaves the code master exactly as adding them one by one does.
    void learnNamesAsAddOneByOne_data()
    {
        QTest::addColumn<QStringList>("setup"); // run on the main database first
        QTest::addColumn<QStringList>("typed"); // "category=value"
        QTest::addColumn<int>("learnt");
        const QString name = u"UPDATE コードマスタ SET sname = '%3' WHERE kcode = '%1' AND code = '%2'"_s;
        QTest::newRow("all known") << QStringList{name.arg(u"訪問先"_s, u"001"_s, u"A社"_s),
                                                  name.arg(u"備考"_s, u"001"_s, u"備考A"_s)}
                                   << QStringList{u"訪問先=A社"_s, u"備考=備考A"_s, u"訪問先=A社"_s} << 0;
        QTest::newRow("new ones in the order first typed, each once")
            << QStringList{name.arg(u"訪問先"_s, u"001"_s, u"A社"_s),
                           name.arg(u"訪問先"_s, u"002"_s, QString())}
            << QStringList{u"訪問先=新二"_s, u"訪問先=新一"_s, u"訪問先=新二"_s, u"訪問先=A社"_s,
                           u"備考=新一"_s}
            << 3;
        QTest::newRow("an empty name is none") << QStringList{} << QStringList{u"訪問先="_s, u"備考="_s} << 0;
        QTest::newRow("known in the other category only")
            << QStringList{name.arg(u"訪問先"_s, u"001"_s, u"両方"_s)}
            << QStringList{u"備考=両方"_s, u"訪問先=両方"_s} << 1;
        QTest::newRow("a full category learns what fits")
            << QStringList{u"UPDATE コードマスタ SET sname = 'x' || code WHERE kcode = '訪問先' AND code < '198'"_s}
            << QStringList{u"訪問先=入る1"_s, u"訪問先=x001"_s, u"訪問先=入る2"_s, u"訪問先=溢れる"_s} << 2;
        QTest::newRow("cleaned before it is compared")
            << QStringList{name.arg(u"訪問先"_s, u"001"_s, QChar(0xFFFD) + u"社"_s)}
            << QStringList{u"訪問先="_s + QChar(0xD800) + u"社"_s} << 0;
        QStringList many;
        QStringList known;
        for (int i = 0; i < 150; ++i)
            many << u"訪問先=名%1"_s.arg(i);
        for (int i = 0; i < 60; ++i)
            many << u"備考=名%1"_s.arg(i * 3);
        for (int i = 0; i < 40; ++i)
            known << name.arg(u"訪問先"_s, store::codeOf(i + 1), u"名%1"_s.arg(i * 2));
        QTest::newRow("more names than one list of a hundred and twenty-eight") << known << many << 110 + 60;
    }
    void learnNamesAsAddOneByOne()
    {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, typed);
        QFETCH(int, learnt);
        for (const QString& sql : setup)
            QCOMPARE(store::run(m_main, sql), QString());
        QList<codes::TypedName> names;
        for (const QString& t : typed)
            names << codes::TypedName{t.section(u'=', 0, 0), t.section(u'=', 1)};
        const auto master = [this] {
            return select(m_main, u"SELECT kcode, code, sname FROM コードマスタ ORDER BY kcode, code"_s);
        };
        const Rows before = master();
        // One by one, undone again.
        Rows byAdd;
        const store::Error undo(u"undone"_s);
        QCOMPARE(store::inTransaction(m_main,
                                      [&] {
                                          codes::CodeMasterAdder adder(m_main);
                                          for (const auto& [category, value] : names)
                                              if (store::Error e = adder.add(category, value).error;
                                                  e.failed())
                                                  return e;
                                          byAdd = master();
                                          return undo;
                                      }),
                 undo.reason());
        QCOMPARE(master(), before);
        QCOMPARE(store::inTransaction(m_main,
                                      [&] {
                                          if (store::Error e = store::serialise(
                                                  m_main, {store::categoryKey(store::k訪問先),
                                                           store::categoryKey(store::k備考)});
                                              e.failed())
                                              return e;
                                          return codes::learnNames(m_main, names);
                                      }),
                 QString());
        const Rows after = master();
        QCOMPARE(after, byAdd);
        int changed = 0;
        for (int i = 0; i < after.size(); ++i)
            changed += after[i] != before[i];
        QCOMPARE(changed, learnt);
    }

    void failedRegistrationKeepsEarlierVersion()
    {
        setLine(1, {kDay, kDay, N, N, N, u"旧1"_s, N});
        setLine(2, {kDay, kDay, N, N, N, u"旧2"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"旧版"_s)), QString());
        const Rows before = stored();
        QCOMPARE(testing::failingTrigger(m_main, u"t"_s, u"INSERT"_s, u"営業日報"_s, u"NEW.行番号 = 3"_s,
                                         u"disk says no"_s),
                 QString());
        for (int r = 1; r <= 4; ++r)
            setLine(r, {kDay, kDay, N, N, u"途中社"_s, u"新%1"_s.arg(r), N});
        QVERIFY(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"新版"_s))
                    .reason()
                    .contains(u"disk says no"_s));
        QCOMPARE(select(m_main, u"SELECT タイトル FROM 営業日報ヘッダ"_s), Rows{{u"旧版"_s}});
        QCOMPARE(stored(), before);
        QVERIFY(select(m_main, u"SELECT code FROM コードマスタ WHERE sname = '途中社'"_s).isEmpty());
    }

    // The last step of 登録, learning new names, fails: the whole registration goes with it, the
    // earlier version and the names learnt before the failure included.
    void failedLearningRollsTheRegistrationBack()
    {
        setLine(1, {kDay, kDay, N, N, N, u"旧1"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"旧版"_s)), QString());
        const Rows before = stored();
        QCOMPARE(testing::failingTrigger(m_main, u"learnt"_s, u"UPDATE"_s, u"コードマスタ"_s,
                                         u"NEW.sname = '学習失敗'"_s, u"no room to learn"_s),
                 QString());
        setLine(1, {kDay, kDay, N, N, u"新訪問社"_s, u"新1"_s, N});
        setLine(2, {kDay, kDay, N, N, N, u"新2"_s, u"学習失敗"_s});
        QVERIFY(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"新版"_s))
                    .reason()
                    .contains(u"no room to learn"_s));
        QCOMPARE(select(m_main, u"SELECT タイトル FROM 営業日報ヘッダ"_s), Rows{{u"旧版"_s}});
        QCOMPARE(stored(), before);
        QVERIFY(select(m_main, u"SELECT code FROM コードマスタ WHERE sname IN ('新訪問社', '学習失敗')"_s)
                    .isEmpty());
    }

    void readCopiesStoredLinesIntoFirstRows()
    {
        QCOMPARE(
            store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES (?, '佐藤', '営業部', NULL)"_s, {kDay}),
            QString());
        for (int n : {9, 2, 5})
            QCOMPARE(store::run(m_main,
                                u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 内容) "
                                "VALUES (?, '佐藤', ?, '2024-04-01', ?)"_s,
                                {kDay, n, u"行%1"_s.arg(n)}),
                     QString());
        setLine(50, {kDay, kDay, N, N, N, u"画面だけ"_s, N});
        QCOMPARE(report::setTickAll(m_work, true), QString());
        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s);
        QCOMPARE(r.error, QString());
        QVERIFY(r.found);
        QCOMPARE(r.header.所属, u"営業部"_s);
        QVERIFY(r.header.タイトル.isNull());
        QCOMPARE(r.lines, 3);
        const Rows rows = workLines();
        QCOMPARE(rows.size(), 100);
        QCOMPARE(column(rows, 7).mid(0, 3), (QVariantList{u"行2"_s, u"行5"_s, u"行9"_s}));
        QVERIFY(rows[0][2].isNull()); // 表示日付 stays Null while 日付 is filled
        QCOMPARE(rows[0][3].toString(), u"2024-04-01"_s);
        for (int i = 3; i < 100; ++i)
            QVERIFY(rows[i][7].isNull() && rows[i][3].isNull());
        QCOMPARE(select(m_work, u"SELECT sum(チェック) FROM w営業日報"_s), Rows{{0}});
    }

    void readUnknownReportGivesEmptyRows()
    {
        setLine(1, {kDay, kDay, N, N, N, u"画面"_s, N});
        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), u"誰か"_s);
        QCOMPARE(r.error, QString());
        QVERIFY(!r.found);
        QCOMPARE(select(m_work, u"SELECT count(*) FROM w営業日報 WHERE 内容 IS NULL AND チェック = 0"_s),
                 Rows{{100}});
    }

    void readRefusesMoreLinesThanRows_data()
    {
        QTest::addColumn<int>("storedLines");
        QTest::newRow("one line: 99 blank rows after it") << 1;
        QTest::newRow("one short: one blank row after") << 99;
        QTest::newRow("exactly the grid's rows: read") << 100;
        QTest::newRow("one more: refused") << 101;
        QTest::newRow("many more: refused") << 250;
    }
    void readRefusesMoreLinesThanRows()
    {
        QFETCH(int, storedLines);
        // Written by another program, with the header a server requires of its lines.
        if (testing::onServer())
            QCOMPARE(
                store::run(m_main, u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES (?, '佐藤')"_s, {kDay}),
                QString());
        for (int n = 1; n <= storedLines; ++n)
            QCOMPARE(
                store::run(m_main,
                           u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES (?, '佐藤', ?, ?)"_s,
                           {kDay, n, u"%1"_s.arg(n)}),
                QString());
        setLine(1, {kDay, kDay, N, N, N, u"画面の行"_s, N});
        const Rows before = workLines();
        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s);
        QVERIFY(r.error.ok());
        const bool fits = storedLines <= report::kLineRows;
        QCOMPARE(r.tooLong, !fits);
        if (!fits) {
            // Nothing of it reaches the grid, so no 登録 can store it cut short.
            QCOMPARE(workLines(), before);
            return;
        }
        QCOMPARE(r.lines, storedLines);
        // The lines, then blank unticked rows: 行番号 1 to 100 each once.
        const Rows rows = workLines();
        QCOMPARE(rows.size(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(rows[i][0].toInt(), i + 1);
            QCOMPARE(rows[i][1].toInt(), 0);
            if (i < storedLines)
                QCOMPARE(rows[i][7].toString(), u"%1"_s.arg(i + 1));
            else
                QVERIFY(rows[i][7].isNull());
        }
    }

    void failedReadLeavesWorkTable()
    {
        setLine(1, {kDay, kDay, N, N, N, u"画面"_s, N});
        const Rows before = workLines();
        QCOMPARE(store::run(m_main, u"DROP TABLE 営業日報"_s), QString());
        QVERIFY(!report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s).error.ok());
        QCOMPARE(workLines(), before);
    }

    // A page that fails part-way through a read: the operation fails and writes nothing, instead
    // of taking the rows read so far for the whole report.
    void damagedWorkPageStopsRegistration()
    {
        for (int r = 1; r <= 3; ++r)
            setLine(r, {kDay, kDay, N, N, N, u"旧%1"_s.arg(r), N});
        QCOMPARE(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"旧版"_s)), QString());
        const Rows before = stored();
        for (int r = 1; r <= 100; ++r)
            setLine(r, {kDay, kDay, N, N, u"新規先%1"_s.arg(r),
                        u"MARK%1 "_s.arg(r, 3, 10, QChar(u'0')) + QString(1500, u'x'), N});
        QVERIFY(testing::damagePageHolding(workPath(), u"MARK070"_s));
        QVERIFY(report::registerReport(m_main, m_work, header(u"佐藤"_s, u"新版"_s)).failed());
        QCOMPARE(select(m_main, u"SELECT タイトル FROM 営業日報ヘッダ"_s), Rows{{u"旧版"_s}});
        QCOMPARE(stored(), before);
        QVERIFY(select(m_main, u"SELECT code FROM コードマスタ WHERE sname LIKE '新規先%'"_s).isEmpty());
    }

    void damagedMainPageStopsReading()
    {
        if (testing::onServer())
            QSKIP("the main database is on the server, which keeps its own pages");
        for (int r = 1; r <= 100; ++r)
            setLine(r,
                    {kDay, kDay, N, N, N, u"MARK%1 "_s.arg(r, 3, 10, QChar(u'0')) + QString(1500, u'x'), N});
        QCOMPARE(report::registerReport(m_main, m_work, header()), QString());
        setLine(1, {kDay, kDay, N, N, N, u"画面"_s, N});
        const Rows before = workLines();
        QVERIFY(testing::damagePageHolding(mainPath(), u"MARK070"_s));
        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s);
        QVERIFY(r.error.failed());
        QCOMPARE(r.lines, 0);
        QCOMPARE(workLines(), before);
    }

    // A lone surrogate (half of a broken character) is stored as U+FFFD, never paired with the
    // character after it.
    void loneSurrogateIsStoredAsReplacement()
    {
        const QString broken = u"A"_s + QChar(0xD83D) + u"B"_s;
        setLine(1, {kDay, kDay, N, broken, N, broken, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(broken)), QString());
        const QString shown = u"A\uFFFDB"_s;
        QCOMPARE(select(m_main, u"SELECT 氏名, 担当, 内容 FROM 営業日報"_s), (Rows{{shown, shown, shown}}));
        QCOMPARE(store::cleanText(u"😀"_s + QChar(0xDC00) + QChar(0xD800)), u"😀\uFFFD\uFFFD"_s);
    }

    void awkwardValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("other"); // a name a careless LIKE or quoting would confuse with it
        QTest::newRow("quote") << u"O'Brien"_s << u"O''Brien"_s;
        QTest::newRow("percent") << u"100%"_s << u"100x"_s;
        QTest::newRow("underscore") << u"a_b"_s << u"aXb"_s;
        QTest::newRow("backslash") << u"C:\\名\\"_s << u"C:\\名\\\\"_s;
        QTest::newRow("emoji") << u"山田😀"_s << u"山田"_s;
        QTest::newRow("long") << QString(1000, u'長') << QString(999, u'長');
    }
    void awkwardValuesRoundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, other);
        QString text;
        for (int i = 0; text.size() < 20000; ++i)
            text += u"%1行目 ' \" % _ \\ 😀\n"_s.arg(i);
        text.truncate(20000);
        setLine(1, {kDay, kDay, N, name, name, text, name});
        QCOMPARE(report::registerReport(m_main, m_work, header(name, name)), QString());
        setLine(1, {kDay, kDay, N, N, N, u"別人"_s, N});
        QCOMPARE(report::registerReport(m_main, m_work, header(other, other)), QString());
        QCOMPARE(report::resetLines(m_work), QString());

        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), name);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.header.氏名, name);
        QCOMPARE(r.header.タイトル, name);
        QCOMPARE(r.lines, 1);
        const Rows rows = workLines();
        QCOMPARE(rows[0][5].toString(), name);
        QCOMPARE(rows[0][7].toString(), text);
        QCOMPARE(rows[0][8].toString(), name);
        QCOMPARE(select(m_main, u"SELECT count(*) FROM 営業日報ヘッダ"_s), Rows{{2}});
        QCOMPARE(codes::addCodeMaster(m_main, u"訪問先"_s, name).added, false); // learnt at registration
    }
    // What marks the kept report's lines as changed: a value that changes, by whatever way it
    // is written; never a tick, a value written as it was, or the work of 読込 and クリア.
    void keptLinesMark_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("marks");
        QTest::newRow("a value typed") << u"UPDATE w営業日報 SET 内容 = 'x' WHERE 行番号 = 3"_s << true;
        QTest::newRow("a value emptied") << u"UPDATE w営業日報 SET 備考 = NULL WHERE 行番号 = 1"_s << true;
        QTest::newRow("a date changed")
            << u"UPDATE w営業日報 SET 表示日付 = '2024-04-11' WHERE 行番号 = 1"_s << true;
        QTest::newRow("the same value again")
            << u"UPDATE w営業日報 SET 内容 = '元' WHERE 行番号 = 1"_s << false;
        QTest::newRow("Null again") << u"UPDATE w営業日報 SET 内容 = NULL WHERE 行番号 = 2"_s << false;
        QTest::newRow("a tick") << u"UPDATE w営業日報 SET チェック = 1"_s << false;
        QTest::newRow("a blank line deleted") << u"ticked 5"_s << false;
        QTest::newRow("a filled line deleted") << u"ticked 1"_s << true;
        QTest::newRow("クリア") << u"reset"_s << false;
        QTest::newRow("読込") << u"read"_s << false;
    }
    void keptLinesMark()
    {
        QFETCH(QString, sql);
        QFETCH(bool, marks);
        setLine(1, {kDay, kDay, N, N, N, u"元"_s, u"備"_s});
        QCOMPARE(report::settleKept(m_work, header()), QString());
        report::KeptReport kept;
        QCOMPARE(report::readKept(m_work, &kept), QString());
        QVERIFY(!kept.unregistered());
        if (sql.startsWith(u"ticked"_s)) {
            QCOMPARE(store::run(m_work, u"UPDATE w営業日報 SET チェック = 1 WHERE 行番号 = ?"_s,
                                {sql.mid(7).toInt()}),
                     QString());
            QCOMPARE(report::deleteTickedLines(m_work), QString());
        } else if (sql == u"reset"_s) {
            QCOMPARE(report::resetLines(m_work), QString());
        } else if (sql == u"read"_s) {
            QCOMPARE(report::registerReport(m_main, m_work, header()), QString());
            QCOMPARE(report::settleKept(m_work, header()), QString());
            QCOMPARE(report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s).error, QString());
        } else {
            QCOMPARE(store::run(m_work, sql), QString());
        }
        QCOMPARE(report::readKept(m_work, &kept), QString());
        QCOMPARE(kept.linesChanged, marks);
        QCOMPARE(kept.headerChanged || kept.keyChanged, false);
        QCOMPARE(kept.header, header());
    }

    // The header as typed goes in whole and comes back whole; writing it leaves the lines' mark
    // to the lines, and settling clears every mark. A row gone missing comes back empty.
    void keptHeaderRoundTrip()
    {
        report::KeptReport k;
        k.header = {QDate(2026, 3, 1), u"山田 ' \\"_s, QString(), u"題 😀"_s};
        k.keyChanged = true;
        QCOMPARE(report::keepHeader(m_work, k), QString());
        setLine(2, {N, N, N, N, N, u"x"_s, N});
        report::KeptReport got;
        QCOMPARE(report::readKept(m_work, &got), QString());
        k.linesChanged = true;
        QCOMPARE(got, k);
        k.header.作成日 = QDate();
        k.headerChanged = true;
        k.keyChanged = false;
        QCOMPARE(report::keepHeader(m_work, k), QString());
        QCOMPARE(report::readKept(m_work, &got), QString());
        QCOMPARE(got, k);
        QCOMPARE(report::settleKept(m_work, header()), QString());
        QCOMPARE(report::readKept(m_work, &got), QString());
        QCOMPARE(got, report::KeptReport{header()});

        QCOMPARE(store::run(m_work, u"DELETE FROM w営業日報ヘッダ"_s), QString());
        QCOMPARE(report::readKept(m_work, &got), QString());
        QCOMPARE(got, report::KeptReport{});
        QCOMPARE(report::keepHeader(m_work, k), QString());
        QCOMPARE(report::readKept(m_work, &got), QString());
        QCOMPARE(got.header, k.header);
    }
};

QTEST_GUILESS_MAIN(TestReportStore)
#include "tst_reportstore.moc"
