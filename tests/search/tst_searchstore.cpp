// Finding and counting report lines across every report, on a local file and on the server, read
// each way a search can read.
#include "SearchFixture.h"

class TestSearchStore : public QObject, SearchFixture {
    Q_OBJECT

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void folding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("full-width letters and case") << u"ＡＢＣ abc AbC"_s << u"abc abc abc"_s;
        QTest::newRow("half-width kana, voiced") << u"ｶﾅ ｶﾞｽ"_s << u"カナ ガス"_s;
        QTest::newRow("full-width digits") << u"１２３"_s << u"123"_s;
        QTest::newRow("ideographic blank") << u"見積\u3000商談"_s << u"見積 商談"_s;
        QTest::newRow("plain kanji unchanged") << u"株式会社"_s << u"株式会社"_s;
        QTest::newRow("circled digit and unit") << u"①㌔"_s << u"1キロ"_s;
    }
    void folding()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(search::fold(text), folded);
    }

    void keywords_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks of both kinds") << u" 見積\u3000 商談  "_s << QStringList{u"見積"_s, u"商談"_s};
        QTest::newRow("folded, duplicates dropped") << u"ABC abc ＡＢＣ x"_s << QStringList{u"abc"_s, u"x"_s};
        QTest::newRow("blank only") << u" \u3000 "_s << QStringList{};
    }
    void keywords()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, words);
        Criteria c;
        c.keywords = typed;
        QCOMPARE(search::keywordsOf(c), words);
        QCOMPARE(c.isEmpty(), words.isEmpty());
    }

    // A date column read back by the search takes every stored text as the general rule does:
    // the fast reading of "yyyy-MM-dd" must not accept more or less than it.
    void storedDates_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("a date") << u"2024-04-01"_s;
        QTest::newRow("leap day") << u"2024-02-29"_s;
        QTest::newRow("no such day") << u"2023-02-29"_s;
        QTest::newRow("no such month") << u"2024-13-01"_s;
        QTest::newRow("month zero") << u"2024-00-10"_s;
        QTest::newRow("year zero") << u"0000-01-01"_s;
        QTest::newRow("one-digit month") << u"2024-4-01 "_s;
        QTest::newRow("full-width digits") << u"２０２４-０４-０１"_s;
        QTest::newRow("slashes") << u"2024/04/01"_s;
        QTest::newRow("letter among digits") << u"2024-0a-01"_s;
        QTest::newRow("with a time") << u"2024-04-01T09:30"_s;
        QTest::newRow("with a blank and time") << u"2024-04-01 09:30"_s;
        QTest::newRow("empty") << u""_s;
        QTest::newRow("null") << QString();
    }
    void storedDates()
    {
        QFETCH(QString, stored);
        store::Statement s(m_main, u"SELECT ?"_s);
        s.bind(stored.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(stored));
        QDate got;
        bool read = false;
        QCOMPARE(store::forEachRow(s,
                                   [&](store::Statement& r) {
                                       got = search::dateOf(r, 0);
                                       read = true;
                                   }),
                 QString());
        QVERIFY(read);
        QCOMPARE(got, store::toDate(stored));
        if (QTest::currentDataTag() == "a date"_L1)
            QCOMPARE(got, QDate(2024, 4, 1));
    }

    void find_data()
    {
        QTest::addColumn<Criteria>("c");
        QTest::addColumn<QStringList>("expected");
        const QString sato1 = u"2024-04-01 0900 佐藤 2024-04-01/1"_s,
                      sato2 = u"2024-04-01 1300 佐藤 2024-04-01/2"_s,
                      suzuki1 = u"2024-04-01 1000 鈴木 2024-04-01/1"_s,
                      suzuki2 = u"2024-04-02 0930 鈴木 2024-04-02/1"_s,
                      suzuki3 = u"2024-04-02  鈴木 2024-04-02/2"_s,
                      obrien = u"2024-04-03 0800 O'Brien 2024-04-03/1"_s, nodate = u"  佐藤 2024-04-05/1"_s,
                      monthEnd = u"2024-04-30 1700 佐藤 2024-04-30/1"_s;
        QTest::newRow("nothing asked: every line, undated first")
            << Criteria{} << QStringList{nodate, sato1, suzuki1, sato2, suzuki3, suzuki2, obrien, monthEnd};
        QTest::newRow("full-width keyword finds ASCII and back")
            << criteria({}, {}, {}, u"ａｂｃ"_s) << QStringList{sato1, obrien};
        QTest::newRow("half-width kana finds kana")
            << criteria({}, {}, {}, u"ｶﾅ"_s) << QStringList{sato2, monthEnd};
        QTest::newRow("full-width digits") << criteria({}, {}, {}, u"123"_s) << QStringList{suzuki1};
        QTest::newRow("case of letters beyond ASCII")
            << criteria({}, {}, {}, u"café"_s) << QStringList{sato1};
        QTest::newRow("one character") << criteria({}, {}, {}, u"株"_s) << QStringList{suzuki1};
        QTest::newRow("two characters, in 内容 only")
            << criteria({}, {}, {}, u"見積"_s) << QStringList{nodate, sato1, suzuki3, obrien};
        QTest::newRow("in 担当") << criteria({}, {}, {}, u"山田"_s) << QStringList{sato2};
        QTest::newRow("in 備考") << criteria({}, {}, {}, u"フォロー"_s) << QStringList{sato2};
        QTest::newRow("words must all occur, in any field")
            << criteria({}, {}, {}, u"商事 見積"_s) << QStringList{sato1, obrien};
        QTest::newRow("words across fields") << criteria({}, {}, {}, u"ｶﾅ　フォロー"_s) << QStringList{sato2};
        QTest::newRow("no word spans two fields") << criteria({}, {}, {}, u"提出abc"_s) << QStringList{};
        QTest::newRow("quote") << criteria({}, {}, {}, u"o'brien"_s) << QStringList{suzuki2};
        QTest::newRow("percent is no wildcard")
            << criteria({}, {}, {}, u"0%"_s) << QStringList{suzuki3, suzuki2};
        QTest::newRow("underscore is no wildcard") << criteria({}, {}, {}, u"a_b"_s) << QStringList{suzuki2};
        QTest::newRow("underscore matches no other character")
            << criteria({}, {}, {}, u"商_"_s) << QStringList{};
        QTest::newRow("double quotes") << criteria({}, {}, {}, u"\"x-1\""_s) << QStringList{obrien};
        QTest::newRow("a double quote alone") << criteria({}, {}, {}, u"\""_s) << QStringList{obrien};
        QTest::newRow("backslash") << criteria({}, {}, {}, u"b\\c"_s) << QStringList{suzuki2};
        QTest::newRow("injection text is a word") << criteria({}, {}, {}, u"' OR '1'='1"_s) << QStringList{};
        QTest::newRow("period bounds inclusive") << criteria(u"2024-04-01"_s, u"2024-04-02"_s, {}, {})
                                                 << QStringList{sato1, suzuki1, sato2, suzuki3, suzuki2};
        QTest::newRow("from only") << criteria(u"2024-04-03"_s, {}, {}, {}) << QStringList{obrien, monthEnd};
        QTest::newRow("to only") << criteria({}, u"2024-04-01"_s, {}, {})
                                 << QStringList{sato1, suzuki1, sato2};
        QTest::newRow("name exactly")
            << criteria({}, {}, u"佐藤"_s, {}) << QStringList{nodate, sato1, sato2, monthEnd};
        QTest::newRow("no partial name") << criteria({}, {}, u"佐"_s, {}) << QStringList{};
        QTest::newRow("name with a quote") << criteria({}, {}, u"O'Brien"_s, {}) << QStringList{obrien};
        QTest::newRow("all three") << criteria(u"2024-04-01"_s, u"2024-04-29"_s, u"佐藤"_s, u"見積"_s)
                                   << QStringList{sato1};
    }
    void find()
    {
        QFETCH(Criteria, c);
        QFETCH(QStringList, expected);
        fillStandard();
        // Listed oldest first; found newest first unless asked the other way.
        QStringList newest = expected;
        std::reverse(newest.begin(), newest.end());
        for (const QString& mode : modes()) {
            enter(mode);
            const Criteria m = inMode(mode, c);
            Criteria oldestFirst = m;
            oldestFirst.descending = false;
            QVERIFY2(found(m) == newest, qPrintable(mode + u": "_s + found(m).join(u", "_s)));
            QVERIFY2(found(oldestFirst) == expected,
                     qPrintable(mode + u": "_s + found(oldestFirst).join(u", "_s)));
            // Each mode reads the way it is named.
            search::LineSource src;
            QCOMPARE(search::linesOf(m_main, m, nullptr, search::Want::First, &src), QString());
            const bool words = !search::keywordsOf(c).isEmpty();
            QCOMPARE(src.plan, !words || mode == u"no index"_s            ? search::Plan::Scan
                               : mode == u"walk"_s && !expected.isEmpty() ? search::Plan::Walk
                                                                          : search::Plan::Index);
        }
        // A line found holds what was stored.
        QList<Hit> hits;
        QCOMPARE(search::findLines(m_main, c, nullptr, 1, &hits), QString());
        if (!expected.isEmpty()) {
            const Hit& h = hits.first();
            const auto stored = std::find_if(m_lines.begin(), m_lines.end(), [&](const Line& l) {
                return l.作成日 == h.作成日.toString(Qt::ISODate) && l.氏名 == h.氏名 && l.行番号 == h.行番号;
            });
            QVERIFY(stored != m_lines.end());
            QCOMPARE(h.内容, stored->内容);
            QCOMPARE(h.訪問先, stored->訪問先);
            QCOMPARE(h.担当, stored->担当);
            QCOMPARE(h.備考, stored->備考);
        }
    }
    void paging_data()
    {
        QTest::addColumn<Criteria>("c");
        QTest::newRow("everything") << Criteria{};
        QTest::newRow("a common word") << criteria({}, {}, {}, u"見積"_s);
        QTest::newRow("one character, folded") << criteria({}, {}, {}, u"ａ"_s);
        QTest::newRow("a name and a word") << criteria({}, {}, u"佐藤"_s, u"見積"_s);
        QTest::newRow("a name and a period") << criteria(u"2024-04-03"_s, u"2024-04-20"_s, u"鈴木"_s, {});
        QTest::newRow("all three") << criteria(u"2024-04-01"_s, u"2024-05-30"_s, u"佐藤"_s, u"株 と"_s);
        // Every order a header click asks for, each read in pages across its ties.
        const auto sorted = [](Criteria c, search::SortBy by, bool descending) {
            c.sortBy = by;
            c.descending = descending;
            return c;
        };
        for (const bool descending : {false, true}) {
            const char* way = descending ? "descending" : "ascending";
            QTest::addRow("everything by date, %s", way)
                << sorted(Criteria{}, search::SortBy::Date, descending);
            QTest::addRow("everything by name, %s", way)
                << sorted(Criteria{}, search::SortBy::Name, descending);
            QTest::addRow("everything by place, %s", way)
                << sorted(Criteria{}, search::SortBy::Place, descending);
            QTest::addRow("a common word by place, %s", way)
                << sorted(criteria({}, {}, {}, u"見積"_s), search::SortBy::Place, descending);
            QTest::addRow("a word and a period by name, %s", way) << sorted(
                criteria(u"2024-04-01"_s, u"2024-05-30"_s, {}, u"株 と"_s), search::SortBy::Name, descending);
        }
    }
    // Page by page, with every page size, the lines come once each and in order.
    void paging()
    {
        QFETCH(Criteria, c);
        fillRandom(60);
        QStringList expected;
        for (const Line& l : expectedLines(c))
            expected << lineLabel(l);
        QVERIFY(expected.size() > 10);
        for (const QString& mode : modes()) {
            enter(mode);
            const Criteria m = inMode(mode, c);
            for (const int size : {1, 3, 7, 40, 1000}) {
                QList<Hit> all;
                for (int pages = 0; pages < 1000; ++pages) {
                    const qsizetype before = all.size();
                    QCOMPARE(search::findLines(m_main, m, all.isEmpty() ? nullptr : &all.last(), size, &all),
                             QString());
                    QVERIFY(all.size() - before <= size);
                    if (all.size() - before < size)
                        break;
                }
                QStringList got;
                for (const Hit& h : all)
                    got << labelOf(h);
                QVERIFY2(got == expected, qPrintable(mode));
            }
        }
    }

    void counts_data() { paging_data(); }
    // Every count equals a recount of the stored lines by hand.
    void counts()
    {
        QFETCH(Criteria, c);
        fillRandom(60);
        const QList<Line> lines = expectedLines(c);
        QSet<QPair<QString, QString>> reports;
        QMap<QString, search::PlaceCount> places;
        QSet<QString> visits; // 日付, 氏名, 訪問先: one visit however many lines
        struct ByName {
            qint64 lines = 0;
            QSet<QString> visits, reports;
        };
        QMap<std::tuple<QString, QDate, int>, ByName> byName;
        for (const Line& l : lines) {
            reports.insert({l.作成日, l.氏名});
            const QDate d = QDate::fromString(l.日付, Qt::ISODate);
            const QString visit = l.日付 + u'|' + l.氏名 + u'|' + l.訪問先;
            if (!l.訪問先.isEmpty()) {
                search::PlaceCount& p = places[l.訪問先];
                p.訪問先 = l.訪問先;
                if (!visits.contains(visit))
                    ++p.visits;
                ++p.lines;
                p.last = std::max(p.last, d);
                if (!p.names.contains(l.氏名))
                    p.names << l.氏名;
            }
            visits.insert(visit);
            if (d.isValid()) {
                for (const int month : {0, 1}) {
                    const QDate start = month ? QDate(d.year(), d.month(), 1) : d.addDays(1 - d.dayOfWeek());
                    ByName& n = byName[{l.氏名, start, month}];
                    ++n.lines;
                    if (!l.訪問先.isEmpty())
                        n.visits.insert(visit);
                    n.reports.insert(l.作成日);
                }
            }
        }
        for (const QString& mode : modes()) {
            enter(mode);
            const Criteria m = inMode(mode, c);
            search::Totals t;
            QCOMPARE(search::countLines(m_main, m, &t), QString());
            QCOMPARE(t.lines, qint64(lines.size()));
            QCOMPARE(t.reports, qint64(reports.size()));

            QList<search::ReportKey> keys;
            QCOMPARE(search::findReports(m_main, m, &keys), QString());
            QStringList gotKeys, wantKeys;
            for (const search::ReportKey& k : keys)
                gotKeys << k.作成日.toString(Qt::ISODate) + u' ' + k.氏名;
            for (const auto& r : reports)
                wantKeys << r.first + u' ' + r.second;
            std::sort(wantKeys.begin(), wantKeys.end());
            QCOMPARE(gotKeys, wantKeys);

            QList<search::PlaceCount> gotPlaces;
            QCOMPARE(search::countByPlace(m_main, m, &gotPlaces), QString());
            QList<search::PlaceCount> want = places.values();
            std::stable_sort(
                want.begin(), want.end(),
                [](const search::PlaceCount& a, const search::PlaceCount& b) { return a.visits > b.visits; });
            QCOMPARE(gotPlaces.size(), want.size());
            for (int i = 0; i < want.size(); ++i) {
                std::sort(want[i].names.begin(), want[i].names.end());
                QCOMPARE(gotPlaces[i].訪問先, want[i].訪問先);
                QCOMPARE(gotPlaces[i].visits, want[i].visits);
                QCOMPARE(gotPlaces[i].lines, want[i].lines);
                QCOMPARE(gotPlaces[i].last, want[i].last);
                QCOMPARE(gotPlaces[i].names, want[i].names);
            }

            for (const int month : {0, 1}) {
                QList<search::NameCount> got;
                QCOMPARE(search::countByName(m_main, m, month ? search::Period::Month : search::Period::Week,
                                             &got),
                         QString());
                QStringList gotText, wantText;
                for (const search::NameCount& n : got)
                    gotText << u"%1 %2 %3 %4 %5"_s.arg(n.氏名, n.start.toString(Qt::ISODate))
                                   .arg(n.visits)
                                   .arg(n.lines)
                                   .arg(n.reports);
                for (auto it = byName.begin(); it != byName.end(); ++it)
                    if (std::get<2>(it.key()) == month)
                        wantText << u"%1 %2 %3 %4 %5"_s
                                        .arg(std::get<0>(it.key()),
                                             std::get<1>(it.key()).toString(Qt::ISODate))
                                        .arg(it.value().visits.size())
                                        .arg(it.value().lines)
                                        .arg(it.value().reports.size());
                QCOMPARE(gotText, wantText);
            }
        }
    }
    // The index follows every way lines are written: registering (new and replacing), deleting
};

QTEST_GUILESS_MAIN(TestSearchStore)
#include "tst_searchstore.moc"
