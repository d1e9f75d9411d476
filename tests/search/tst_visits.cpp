// What 集計 counts as a visit: once per day, person and place however many lines tell of it,
// the lines beside; places that are no visits left out as the user keeps them.
#include "SearchFixture.h"
#include "search/Visits.h"

#include <QSettings>
#include <QStandardPaths>

class TestVisits : public QObject, SearchFixture {
    Q_OBJECT

    // A morning call and its afternoon follow-up at one customer, the same customer again the
    // next day and in another person's report, office work at 社内 (typed two ways), a line
    // without a place, and one day's visit told in two reports.
    void fillDay()
    {
        store({
            {u"2024-05-01"_s, u"佐藤"_s, 1, u"2024-05-01"_s, u"0900"_s, u"ABC商事"_s, {}, u"見積提出"_s, {}},
            {u"2024-05-01"_s,
             u"佐藤"_s,
             2,
             u"2024-05-01"_s,
             u"1500"_s,
             u"ABC商事"_s,
             {},
             u"見積の説明"_s,
             {}},
            {u"2024-05-01"_s, u"佐藤"_s, 3, u"2024-05-01"_s, u"1700"_s, u"社内"_s, {}, u"会議"_s, {}},
            {u"2024-05-01"_s, u"佐藤"_s, 4, u"2024-05-01"_s, u"1800"_s, {}, {}, u"日報作成"_s, {}},
            {u"2024-05-02"_s, u"佐藤"_s, 1, u"2024-05-02"_s, u"1000"_s, u"ABC商事"_s, {}, u"納品"_s, {}},
            {u"2024-05-02"_s, u"佐藤"_s, 2, u"2024-05-02"_s, u"1300"_s, u"社内 "_s, {}, u"資料作成"_s, {}},
            {u"2024-05-02"_s, u"鈴木"_s, 1, u"2024-05-02"_s, u"1100"_s, u"ABC商事"_s, {}, u"同行"_s, {}},
            // Written a day late: the 1st's visit at ミドリ, told in two reports.
            {u"2024-05-01"_s, u"鈴木"_s, 1, u"2024-05-01"_s, u"0930"_s, u"ミドリ"_s, {}, u"訪問"_s, {}},
            {u"2024-05-03"_s, u"鈴木"_s, 1, u"2024-05-01"_s, u"1600"_s, u"ミドリ"_s, {}, u"再訪問"_s, {}},
        });
    }

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { open(); }
    void cleanup()
    {
        search::setNotVisitPlaces({});
        close();
    }

    void perPlace_data()
    {
        QTest::addColumn<QStringList>("notVisits");
        QTest::addColumn<QStringList>("expected"); // 訪問先 visits lines names, most visits first
        QTest::newRow("every place") << QStringList{}
                                     << QStringList{u"ABC商事 3 4 佐藤、鈴木"_s, u"ミドリ 1 2 鈴木"_s,
                                                    u"社内 1 1 佐藤"_s, u"社内  1 1 佐藤"_s};
        // Left out as typed (the stored "社内 " too) or in another width and case.
        QTest::newRow("社内 left out")
            << QStringList{u"社内"_s} << QStringList{u"ABC商事 3 4 佐藤、鈴木"_s, u"ミドリ 1 2 鈴木"_s};
        QTest::newRow("left out in another width")
            << QStringList{u"ａｂｃ商事"_s}
            << QStringList{u"ミドリ 1 2 鈴木"_s, u"社内 1 1 佐藤"_s, u"社内  1 1 佐藤"_s};
    }
    void perPlace()
    {
        QFETCH(QStringList, notVisits);
        QFETCH(QStringList, expected);
        fillDay();
        for (const QString& mode : modes()) {
            enter(mode);
            QList<search::PlaceCount> got;
            QCOMPARE(search::countByPlace(m_main, inMode(mode, Criteria{}), &got, notVisits), QString());
            QStringList text;
            for (const search::PlaceCount& p : got)
                text << u"%1 %2 %3 %4"_s.arg(p.訪問先).arg(p.visits).arg(p.lines).arg(p.names.join(u"、"_s));
            QCOMPARE(text, expected);
        }
    }

    // Per person: the visits of the period beside all its lines (no place, left out or not) and
    // its reports; a keyword narrows the lines first.
    void perName()
    {
        fillDay();
        const auto rows = [this](const Criteria& c, const QStringList& notVisits) {
            QList<search::NameCount> got;
            const store::Error e = search::countByName(m_main, c, search::Period::Month, &got, notVisits);
            QStringList text{e.reason()};
            for (const search::NameCount& n : got)
                text << u"%1 %2 %3 %4 %5"_s.arg(n.氏名, n.start.toString(Qt::ISODate))
                            .arg(n.visits)
                            .arg(n.lines)
                            .arg(n.reports);
            return text;
        };
        QCOMPARE(rows(Criteria{}, {}),
                 QStringList({{}, u"佐藤 2024-05-01 4 6 2"_s, u"鈴木 2024-05-01 2 3 3"_s}));
        QCOMPARE(rows(Criteria{}, {u"社内"_s}),
                 QStringList({{}, u"佐藤 2024-05-01 2 6 2"_s, u"鈴木 2024-05-01 2 3 3"_s}));
        QCOMPARE(rows(criteria({}, {}, {}, u"見積"_s), {}), QStringList({{}, u"佐藤 2024-05-01 1 2 1"_s}));
    }

    void placesTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("places");
        QTest::newRow("ideographic comma") << u"社内、自社"_s << QStringList{u"社内"_s, u"自社"_s};
        QTest::newRow("commas of both widths, blanks")
            << u" 社内 ,自社，本社 "_s << QStringList{u"社内"_s, u"自社"_s, u"本社"_s};
        QTest::newRow("a blank inside a name stays") << u"株式会社 本社"_s << QStringList{u"株式会社 本社"_s};
        QTest::newRow("empty parts and repeats") << u"、、社内、社内、"_s << QStringList{u"社内"_s};
        QTest::newRow("nothing") << u"  "_s << QStringList{};
    }
    void placesTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, places);
        QCOMPARE(search::placesOf(typed), places);
    }

    // The places left out are the user's setting: kept, read back by a later session, emptied.
    void settingKept()
    {
        QCOMPARE(search::notVisitPlaces(), QStringList());
        search::setNotVisitPlaces({u"社内"_s, u"自社"_s});
        QCOMPARE(search::notVisitPlaces(), QStringList({u"社内"_s, u"自社"_s}));
        QSettings(u"PrjTesvan"_s, u"PrjTesvan"_s).sync();
        QSettings fresh(u"PrjTesvan"_s, u"PrjTesvan"_s);
        QCOMPARE(fresh.value(u"集計/訪問に数えない訪問先"_s).toStringList(),
                 QStringList({u"社内"_s, u"自社"_s}));
        search::setNotVisitPlaces({});
        QCOMPARE(search::notVisitPlaces(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestVisits)
#include "tst_visits.moc"
