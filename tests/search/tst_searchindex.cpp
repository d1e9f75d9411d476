// The search index kept by every write of lines, and added to a file or server database made
// before it.
#include "store/Connection.h"
#include "SearchFixture.h"

class TestSearchIndex : public QObject, SearchFixture {
    Q_OBJECT

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    // from the list, and data initialisation.
    void indexKeptByEveryWrite()
    {
        QVERIFY(store::hasTextIndex(m_main));
        fillRandom(30);
        indexAgreesWithStoredLines("stored");
        registerThroughWork(u"2024-05-01"_s, u"新人"_s, {u"新しい見積を登録"_s, u"株価の話"_s});
        indexAgreesWithStoredLines("registered");
        registerThroughWork(u"2024-05-01"_s, u"新人"_s, {u"書き直した内容"_s});
        indexAgreesWithStoredLines("registered again");
        // The reports of one person and the new one deleted through the list.
        QCOMPARE(list::readList(m_main, m_work, {}).error, QString());
        QCOMPARE(store::run(m_work, u"UPDATE w一覧 SET チェック = 1 WHERE 氏名 IN ('鈴木', '新人')"_s),
                 QString());
        const list::DeleteResult d = list::deleteTickedReports(m_main, m_work);
        QCOMPARE(d.error, QString());
        QVERIFY(d.deleted > 1);
        indexAgreesWithStoredLines("deleted");
        QCOMPARE(app::initialiseData(m_main), QString());
        QVERIFY(store::hasTextIndex(m_main));
        indexAgreesWithStoredLines("initialised");
        fillRandom(5);
        registerThroughWork(u"2024-06-01"_s, u"佐藤"_s, {u"初期化の後の見積"_s});
        indexAgreesWithStoredLines("written after initialising");
    }

    // A file or server database made before the index had it gets it, with nothing else changed,
    // and finds the same lines.
    void oldDatabaseGetsTheIndex()
    {
        fillRandom(30);
        QCOMPARE(store::inTransaction(m_main, [this] { return store::dropTextIndex(m_main); }), QString());
        QVERIFY(!store::hasTextIndex(m_main));
        // A part of it left behind (by hand, or by another tool) is no obstacle.
        QCOMPARE(store::run(m_main, u"CREATE INDEX 営業日報_日時 ON 営業日報 (氏名)"_s), QString());
        const auto everything = [this] {
            QStringList all;
            for (const QString& table : {u"営業日報"_s, u"営業日報ヘッダ"_s, u"コードマスタ"_s}) {
                QList<store::Row> rows;
                store::readRows(m_main, u"SELECT * FROM %1 ORDER BY 1, 2, 3"_s.arg(table), {}, rows);
                for (const store::Row& r : rows) {
                    QStringList fields;
                    for (const QVariant& v : r)
                        fields << v.toString();
                    all << fields.join(u'|');
                }
            }
            return all;
        };
        const QStringList before = everything();
        Criteria c;
        c.keywords = u"見積 と"_s;
        const QStringList withoutIndex = found(c);
        if (store::isServer(m_main)) {
            // The schema tool run again on the database adds it.
            QCOMPARE(store::createServerSchema(testing::ServerCluster::shared().conninfo()), QString());
        } else {
            // Opening the file adds it, once, to be filled from the lines (the window shows how
            // far that has come); until then a search reads every line.
            const QString dir = m_dir.path() + u"/%1/"_s.arg(m_round);
            for (int open = 0; open < 2; ++open) {
                testing::closeFreshFiles(prefix(), m_main, m_work);
                QCOMPARE(
                    store::openDatabase(prefix() + u"main"_s, dir + u"Tesvan.mdb"_s, store::DbKind::Main),
                    QString());
                m_main = QSqlDatabase::database(prefix() + u"main"_s, false);
                QCOMPARE(store::textIndexRebuilding(m_main), open == 0);
                QCOMPARE(found(c), withoutIndex);
                QCOMPARE(store::rebuildTextIndex(m_main), QString());
                QVERIFY(!store::textIndexRebuilding(m_main));
            }
            QCOMPARE(
                store::openDatabase(prefix() + u"work"_s, dir + u"TesvanWork.mdb"_s, store::DbKind::Work),
                QString());
            m_main = QSqlDatabase::database(prefix() + u"main"_s, false);
            m_work = QSqlDatabase::database(prefix() + u"work"_s, false);
        }
        QVERIFY(store::hasTextIndex(m_main));
        QCOMPARE(everything(), before);
        search::LineSource src;
        QCOMPARE(search::linesOf(m_main, c, nullptr, search::Want::First, &src), QString());
        QCOMPARE(src.plan, search::Plan::Index);
        QCOMPARE(found(c), withoutIndex);
        indexAgreesWithStoredLines("added");
    }

    // The count taken from the index (its pairs, then the folded text kept beside it) equals a
    // recount of the lines, whatever the width, kana, case or place of the keyword: a keyword
    // whose pairs all occur apart, or across a blank or two fields, is no match.
    void countsFromTheIndex_data()
    {
        QTest::addColumn<Criteria>("c");
        const auto words = [](const QString& w) { return criteria({}, {}, {}, w); };
        QTest::newRow("one character") << words(u"見"_s);
        QTest::newRow("two characters") << words(u"見積"_s);
        QTest::newRow("full width typed, half stored") << words(u"ＡＢＣ商事"_s);
        QTest::newRow("half width kana typed, full stored") << words(u"ｶﾅ工業"_s);
        QTest::newRow("upper case typed, lower stored") << words(u"CAFÉ LATTE"_s);
        QTest::newRow("pairs all there, apart") << words(u"見積書見"_s);
        QTest::newRow("across a blank") << words(u"見積再提出"_s);
        QTest::newRow("across two fields") << words(u"商事新製品"_s);
        QTest::newRow("a rare long word") << words(u"防災訓練"_s);
        QTest::newRow("two long words") << words(u"見積書 提出"_s);
        QTest::newRow("a name") << criteria({}, {}, u"佐藤"_s, u"見積書"_s);
        QTest::newRow("a name, short word") << criteria({}, {}, u"鈴木"_s, u"見積"_s);
        QTest::newRow("a period") << criteria(u"2024-04-02"_s, u"2024-04-30"_s, {}, u"見積書"_s);
        QTest::newRow("a period, short word") << criteria(u"2024-04-01"_s, u"2024-04-01"_s, {}, u"見積"_s);
        QTest::newRow("a name and a period") << criteria({}, u"2024-04-10"_s, u"佐藤"_s, u"ａｂｃ商事"_s);
    }
    void countsFromTheIndex()
    {
        QFETCH(Criteria, c);
        fillStandard();
        store({
            {u"2024-04-10"_s, u"佐藤"_s, 1, u"2024-04-02"_s, u"0900"_s, u"田中"_s, u"abc商事"_s,
             u"見積書を提出。書見台の件"_s, u"cafe latte"_s},
            {u"2024-04-10"_s, u"佐藤"_s, 2, u"2024-04-11"_s, u"1000"_s, QString(), u"ＡＢＣ商事"_s,
             u"見積書の再提出"_s, u"Café Latte"_s},
            {u"2024-04-11"_s, u"鈴木"_s, 1, u"2024-04-11"_s, u"1000"_s, QString(), u"カナ工業"_s,
             u"防災訓練の日程"_s, u"見積書見本"_s},
            {u"2024-04-12"_s, u"鈴木"_s, 1, QString(), QString(), QString(), u"ｱｵｲ商事"_s,
             u"新製品の見積書"_s, QString()},
        });
        QVERIFY(store::textIndexReady(m_main));
        countAgrees(c, u"index"_s);
        // The same without the index: the lines themselves.
        QCOMPARE(store::inTransaction(m_main, [this] { return store::dropTextIndex(m_main); }), QString());
        countAgrees(c, u"no index"_s);
    }

    // The reports of a count are the runs of the report's number in the index's order; input
    // out of order says so (NULL) rather than counting wrong.
    void runsOfSortedNumbers()
    {
        if (store::isServer(m_main))
            QSKIP("the local file's own aggregate; a server counts its reports otherwise");
        const auto runs = [this](const QString& values) {
            return testing::firstValue(m_main, u"SELECT tesvan_runs(column1) FROM (VALUES %1)"_s.arg(values));
        };
        QCOMPARE(runs(u"(1), (1), (2), (5), (5), (5), (9)"_s).toLongLong(), 4);
        QCOMPARE(runs(u"(7)"_s).toLongLong(), 1);
        QCOMPARE(runs(u"(1), (NULL), (1), (3)"_s).toLongLong(), 2);
        QVERIFY(runs(u"(1), (2), (1)"_s).isNull());
        QCOMPARE(testing::firstValue(m_main, u"SELECT tesvan_runs(1) WHERE 0"_s).toLongLong(), 0);
    }

    // A long text is indexed and found in time proportional to its length (a server that read it
    // from its start for each character would run past its statement timeout).
    void longTextFound()
    {
        QString text;
        for (int i = 0; text.size() < 30000; ++i)
            text += u"%1行目の報告 ' \" %\n"_s.arg(i);
        text += u"最後の一文"_s;
        store({{u"2024-04-01"_s, u"佐藤"_s, 1, u"2024-04-01"_s, u"0900"_s, QString(), QString(), text,
                QString()}});
        indexAgreesWithStoredLines("long");
        Criteria c;
        c.keywords = u"最後の一文"_s;
        QCOMPARE(found(c).size(), 1);
    }
    // How the first screen is read (walking while the keyword proves common, giving up after a
    // stretch without it, the index's matches read once and passed back, under or over the
    // count that makes a keyword common) never changes which lines come, nor in what order,
    // screen after screen.
    void firstScreenByDensity_data()
    {
        QTest::addColumn<int>("every"); // the keyword in one line of this many, in line order
        QTest::addColumn<int>("from");  // … from this line on, in line order
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("period");
        QTest::addColumn<QString>("keyword");
        for (const QString& keyword : {u"見積"_s, u"見積書"_s, u"見積 提出"_s}) {
            QTest::addRow("%s in every line", qPrintable(keyword)) << 1 << 0 << QString() << false << keyword;
            QTest::addRow("%s in one of 6", qPrintable(keyword)) << 6 << 0 << QString() << false << keyword;
            QTest::addRow("%s in one of 37", qPrintable(keyword)) << 37 << 0 << QString() << false << keyword;
            QTest::addRow("%s dense after 150 without", qPrintable(keyword))
                << 2 << 150 << QString() << false << keyword;
            QTest::addRow("%s in 3 lines late", qPrintable(keyword))
                << 97 << 200 << QString() << false << keyword;
            QTest::addRow("%s, a name", qPrintable(keyword)) << 3 << 0 << u"鈴木"_s << false << keyword;
            QTest::addRow("%s, a name and a period, rare", qPrintable(keyword))
                << 41 << 20 << u"佐藤"_s << true << keyword;
            QTest::addRow("%s, a name and a period, common", qPrintable(keyword))
                << 2 << 0 << u"佐藤"_s << true << keyword;
        }
    }
    void firstScreenByDensity()
    {
        QFETCH(int, every);
        QFETCH(int, from);
        QFETCH(QString, name);
        QFETCH(bool, period);
        QFETCH(QString, keyword);
        // 300 lines, one a report, one a day, the keyword placed by their order.
        QList<Line> lines;
        const QDate first(2024, 1, 1);
        for (int i = 0; i < 300; ++i) {
            const QString day = first.addDays(i).toString(Qt::ISODate);
            const bool holds = i >= from && (i - from) % every == 0;
            lines << Line{day,       i % 3 ? u"佐藤"_s : u"鈴木"_s,
                          1,         day,
                          u"0900"_s, u"東京商事"_s,
                          QString(), holds ? u"見積書を提出した"_s : u"新製品の説明を行った"_s,
                          QString()};
        }
        store(lines);
        reloadLines();
        const Criteria c = criteria(period ? u"2024-02-01"_s : QString(),
                                    period ? u"2024-08-31"_s : QString(), name, keyword);
        QStringList expected;
        for (const Line& l : expectedLines(c))
            expected << lineLabel(l);
        QVERIFY(!expected.isEmpty());
        // 4000 (a walk goes on at 1 line in 62: here it gives up), 20000 (1 in 12: the
        // index's matches are under the cap), 2 and 20 (a walk gives up only with a name, then
        // the matches are over the cap), a million (the index only) and 0 (the walk only).
        for (const int common : {4000, 20000, 2, 20, 1000000, 0}) {
            Criteria read = c;
            read.commonCount = common;
            for (const int size : {1, 7, 40, 1000}) {
                QList<Hit> all;
                for (int pages = 0; pages < 1000; ++pages) {
                    const qsizetype before = all.size();
                    QCOMPARE(
                        search::findLines(m_main, read, all.isEmpty() ? nullptr : &all.last(), size, &all),
                        QString());
                    if (all.size() - before < size)
                        break;
                }
                QStringList got;
                for (const Hit& h : all)
                    got << labelOf(h);
                QVERIFY2(got == expected, qPrintable(u"common at %1, screens of %2"_s.arg(common).arg(size)));
            }
        }
    }

    // A keyword with exactly as many matches as the cap is rare: its matches, read whole, are the
    // lines. One more and it is common, and the cap's matches read are not all of its lines.
    void matchesAtTheCap_data()
    {
        QTest::addColumn<int>("cap");
        QTest::addColumn<int>("more"); // matches past the cap
        for (const int cap : {1, 40, 300})
            for (const int more : {0, 1})
                QTest::addRow("%d matches, cap %d", cap + more, cap) << cap << more;
    }
    void matchesAtTheCap()
    {
        QFETCH(int, cap);
        QFETCH(int, more);
        // The keyword in the oldest lines only: a walk from the newest gives up before it.
        QList<Line> lines;
        const QDate first(2020, 1, 1);
        const int holding = cap + more;
        for (int i = 0; i < holding + 40; ++i) {
            const QString day = first.addDays(i).toString(Qt::ISODate);
            lines << Line{day,       u"佐藤"_s,     1,         day,
                          u"0900"_s, u"東京商事"_s, QString(), i < holding ? u"見積書を提出"_s : u"説明"_s,
                          QString()};
        }
        store(lines);
        reloadLines();
        for (const QString& name : {u"佐藤"_s, QString()}) {
            Criteria c = criteria({}, {}, name, u"見積書"_s);
            c.commonCount = cap;
            QStringList expected;
            for (const Line& l : expectedLines(c))
                expected << lineLabel(l);
            QCOMPARE(expected.size(), holding);
            for (const int size : {1, 40, 1000})
                QCOMPARE(found(c, size), expected.mid(0, size));
            if (store::isServer(m_main))
                continue; // the plan follows the server's statistics
            search::IndexMatches matches;
            QCOMPARE(search::readIndexMatches(m_main, c, &matches), QString());
            QCOMPARE(matches.ids.size(), qsizetype(cap));
            QCOMPARE(matches.truncated, more > 0);
            const search::Plan plan = more ? search::Plan::Walk : search::Plan::Index;
            search::LineSource src;
            QCOMPARE(search::linesOf(m_main, c, nullptr, search::Want::First, &src, &matches), QString());
            QCOMPARE(src.plan, plan);
            QCOMPARE(search::linesOf(m_main, c, nullptr, search::Want::First, &src), QString());
            QCOMPARE(src.plan, plan);
        }
    }
};

QTEST_GUILESS_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
