// The search index kept by every write of lines, and added to a file or server database made
// before it.
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
            // Opening the file adds it, once, and says so first (the start shows a note).
            const QString dir = m_dir.path() + u"/%1/"_s.arg(m_round);
            int notices = 0;
            store::onTextIndexBuild([&notices] { ++notices; });
            for (int open = 0; open < 2; ++open) {
                testing::closeFreshFiles(prefix(), m_main, m_work);
                QCOMPARE(
                    store::openDatabase(prefix() + u"main"_s, dir + u"Tesvan.mdb"_s, store::DbKind::Main),
                    QString());
                m_main = QSqlDatabase::database(prefix() + u"main"_s, false);
                QCOMPARE(notices, 1);
            }
            store::onTextIndexBuild({});
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
        QCOMPARE(src.plan, u"index"_s);
        QCOMPARE(found(c), withoutIndex);
        indexAgreesWithStoredLines("added");
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
};

QTEST_GUILESS_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
