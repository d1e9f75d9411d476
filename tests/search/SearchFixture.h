#pragma once
// The stored lines the search tests run on, and recounting them by hand.
#include "TestFiles.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "search/SearchQuery.h"
#include "search/SearchStore.h"
#include "store/DataInit.h"
#include "store/Dates.h"
#include "store/Rows.h"
#include "store/Server.h"
#include "store/TextIndex.h"

#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using search::Criteria;
using search::Hit;

namespace searchtest {

struct Line {
    QString 作成日, 氏名;
    int 行番号;
    QString 日付, 時間, 訪問先, 担当, 内容, 備考;
};

inline QString labelOf(const Hit& h)
{
    return u"%1 %2 %3 %4/%5"_s
        .arg(h.日付.toString(Qt::ISODate), h.時間, h.氏名, h.作成日.toString(Qt::ISODate))
        .arg(h.行番号);
}

inline Criteria criteria(const QString& from, const QString& to, const QString& name, const QString& keywords)
{
    Criteria c;
    c.from = QDate::fromString(from, Qt::ISODate);
    c.to = QDate::fromString(to, Qt::ISODate);
    c.name = name;
    c.keywords = keywords;
    return c;
}

} // namespace searchtest

using namespace searchtest;

Q_DECLARE_METATYPE(search::Criteria)

// A fresh main database (a file or the test server) and work file per test, and what was
// stored in it.
struct SearchFixture {
    QTemporaryDir m_dir;
    QSqlDatabase m_main, m_work;
    int m_round = 0;
    QList<Line> m_lines; // everything stored, for recounting by hand
    QString prefix() const { return u"s%1-"_s.arg(m_round); }

    void store(const QList<Line>& lines)
    {
        QSet<QPair<QString, QString>> headers;
        for (const Line& l : lines) {
            if (!headers.contains({l.作成日, l.氏名})) {
                headers.insert({l.作成日, l.氏名});
                QCOMPARE(store::run(m_main, u"INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '')"_s,
                                    {l.作成日, l.氏名}),
                         QString());
            }
            const auto orNull = [](const QString& s) { return s.isNull() ? QVariant() : QVariant(s); };
            QCOMPARE(
                store::run(
                    m_main,
                    u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, "
                    "備考) VALUES (?, ?, ?, NULL, ?, ?, ?, ?, ?, ?)"_s,
                    {l.作成日, l.氏名, l.行番号, orNull(l.日付), orNull(l.時間), orNull(l.担当),
                     orNull(l.訪問先), orNull(l.内容), orNull(l.備考)}),
                QString());
            m_lines << l;
        }
    }

    void fillStandard()
    {
        store({
            {u"2024-04-01"_s, u"佐藤"_s, 1, u"2024-04-01"_s, u"0900"_s, u"佐藤"_s, u"ABC商事"_s,
             u"新製品の見積を提出"_s, u"CAFÉ"_s},
            {u"2024-04-01"_s, u"佐藤"_s, 2, u"2024-04-01"_s, u"1300"_s, u"山田"_s, u"ｶﾅ工業"_s,
             u"商談、次回訪問は未定"_s, u"要フォロー"_s},
            {u"2024-04-01"_s, u"鈴木"_s, 1, u"2024-04-01"_s, u"1000"_s, QString(), u"株式会社テスト"_s,
             u"型番１２３の説明"_s, QString()},
            {u"2024-04-02"_s, u"鈴木"_s, 1, u"2024-04-02"_s, u"0930"_s, QString(), u"O'Brien & Co"_s,
             u"値引き50%で合意"_s, u"a_b\\c"_s},
            {u"2024-04-02"_s, u"鈴木"_s, 2, u"2024-04-02"_s, QString(), QString(), QString(),
             u"見積 再提出"_s, u"100%"_s},
            {u"2024-04-03"_s, u"O'Brien"_s, 1, u"2024-04-03"_s, u"0800"_s, u"田中"_s, u"abc商事"_s,
             u"ＡＢＣ商事へ見積"_s, u"型式\"X-1\""_s},
            {u"2024-04-05"_s, u"佐藤"_s, 1, QString(), QString(), QString(), QString(),
             u"日付のない行の見積"_s, QString()},
            {u"2024-04-30"_s, u"佐藤"_s, 1, u"2024-04-30"_s, u"1700"_s, QString(), u"カナ工業"_s,
             u"月末の商談"_s, QString()},
        });
    }

    // Many lines with ties on every part of the order: few dates (some none), times (some
    // empty), names and report dates.
    void fillRandom(int reports)
    {
        QRandomGenerator rnd(22);
        const QStringList names{u"佐藤"_s, u"鈴木"_s, u"Abe"_s};
        const QStringList places{u"ABC商事"_s, u"ｶﾅ工業"_s, u"株式会社テスト"_s, QString(), u"abc商事"_s};
        const QStringList words{u"見積"_s, u"商談"_s, u"株"_s, u"訪問"_s, u"ＡＢＣ"_s, u"50%"_s, u"納品"_s};
        QList<Line> lines;
        for (int r = 0; r < reports; ++r) {
            const QString made = QDate(2024, 3, 25).addDays(int(rnd.bounded(40))).toString(Qt::ISODate);
            const QString name = names[int(rnd.bounded(names.size()))];
            if (std::any_of(lines.begin(), lines.end(),
                            [&](const Line& l) { return l.作成日 == made && l.氏名 == name; }))
                continue;
            const int count = 1 + int(rnd.bounded(6));
            for (int n = 1; n <= count; ++n) {
                const int d = int(rnd.bounded(12));
                const QString date =
                    d == 0 ? QString() : QDate(2024, 3, 28).addDays(d * 3).toString(Qt::ISODate);
                const int t = int(rnd.bounded(4));
                const QString time = t == 0   ? QString()
                                     : t == 1 ? u""_s
                                              : u"%1"_s.arg(900 + t * 100, 4, 10, QChar(u'0'));
                const QString text =
                    words[int(rnd.bounded(words.size()))] + u"と"_s + words[int(rnd.bounded(words.size()))];
                lines << Line{made,
                              name,
                              n,
                              date,
                              time,
                              rnd.bounded(3) ? QString() : u"山田"_s,
                              places[int(rnd.bounded(places.size()))],
                              text,
                              rnd.bounded(4) ? QString() : words[int(rnd.bounded(words.size()))]};
            }
        }
        store(lines);
    }

    // What the criteria should find, worked out from what was stored.
    QList<Line> expectedLines(const Criteria& c) const
    {
        const QStringList words = search::keywordsOf(c);
        QList<Line> out;
        for (const Line& l : m_lines) {
            const QDate d = QDate::fromString(l.日付, Qt::ISODate);
            if ((c.from.isValid() && (!d.isValid() || d < c.from)) ||
                (c.to.isValid() && (!d.isValid() || d > c.to)))
                continue;
            if (!c.name.isEmpty() && l.氏名 != c.name)
                continue;
            const QStringList fields{search::fold(l.内容), search::fold(l.訪問先), search::fold(l.担当),
                                     search::fold(l.備考)};
            if (std::all_of(words.begin(), words.end(), [&](const QString& w) {
                    return std::any_of(fields.begin(), fields.end(),
                                       [&](const QString& f) { return f.contains(w); });
                }))
                out << l;
        }
        // Oldest first by the date key; the order asked for, by hand: a column first, ascending or
        // descending, its ties newest first.
        const auto key = [](const Line& l) {
            return std::make_tuple(l.日付.isNull() ? u""_s : l.日付, l.時間.isNull() ? u""_s : l.時間, l.氏名,
                                   l.作成日, l.行番号);
        };
        const auto first = [&c](const Line& l) {
            return c.sortBy == search::SortBy::Name    ? l.氏名
                   : c.sortBy == search::SortBy::Place ? (l.訪問先.isNull() ? u""_s : l.訪問先)
                                                       : QString();
        };
        std::sort(out.begin(), out.end(), [&](const Line& a, const Line& b) {
            if (first(a) != first(b))
                return c.descending ? first(b) < first(a) : first(a) < first(b);
            if (c.sortBy == search::SortBy::Date && !c.descending)
                return key(a) < key(b);
            return key(b) < key(a);
        });
        return out;
    }
    static QString lineLabel(const Line& l)
    {
        return u"%1 %2 %3 %4/%5"_s.arg(l.日付, l.時間, l.氏名, l.作成日).arg(l.行番号);
    }

    // What is stored now, read back as the lines to recount by hand.
    void reloadLines()
    {
        QList<store::Row> rows;
        QCOMPARE(store::readRows(
                     m_main,
                     u"SELECT 作成日, 氏名, 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM 営業日報"_s, {},
                     rows)
                     .reason(),
                 QString());
        m_lines.clear();
        for (const store::Row& r : rows) {
            const auto text = [&r](int i) {
                return r[i].isNull()                       ? QString()
                       : r[i].typeId() == QMetaType::QDate ? r[i].toDate().toString(Qt::ISODate)
                                                           : r[i].toString();
            };
            m_lines << Line{store::toDate(r[0]).toString(Qt::ISODate),
                            text(1),
                            r[2].toInt(),
                            r[3].isNull() ? QString() : store::toDate(r[3]).toString(Qt::ISODate),
                            text(4),
                            text(5),
                            text(6),
                            text(7),
                            text(8)};
        }
    }

    // Every sample keyword finds through the index exactly the lines a recount finds.
    void indexAgreesWithStoredLines(const char* when)
    {
        reloadLines();
        for (const QString& words : {u"見積"_s, u"株"_s, u"abc"_s, u"ＡＢＣ商事"_s, u"50%"_s, u"と 納品"_s,
                                     u"登録"_s, u"新しい"_s, u"山田"_s}) {
            Criteria c;
            c.keywords = words;
            c.commonCount = 1000000;
            QStringList expected;
            for (const Line& l : expectedLines(c))
                expected << lineLabel(l);
            QList<Hit> hits;
            QCOMPARE(search::findLines(m_main, c, nullptr, 100000, &hits), QString());
            QStringList got;
            for (const Hit& h : hits)
                got << labelOf(h);
            QVERIFY2(got == expected,
                     qPrintable(u"%1, %2: %3 found, %4 stored"_s.arg(QString::fromUtf8(when), words)
                                    .arg(got.size())
                                    .arg(expected.size())));
            countAgrees(c, QString::fromUtf8(when) + u", "_s + words);
        }
    }

    // The count of c's lines and reports equals a recount of the stored lines by hand.
    void countAgrees(const Criteria& c, const QString& when)
    {
        const QList<Line> lines = expectedLines(c);
        QSet<QPair<QString, QString>> reports;
        for (const Line& l : lines)
            reports.insert({l.作成日, l.氏名});
        search::Totals t;
        QCOMPARE(search::countLines(m_main, c, &t), QString());
        QVERIFY2(t.lines == lines.size() && t.reports == reports.size(),
                 qPrintable(u"%1: %2 lines in %3 reports counted, %4 in %5 stored"_s.arg(when)
                                .arg(t.lines)
                                .arg(t.reports)
                                .arg(lines.size())
                                .arg(reports.size())));
    }

    void registerThroughWork(const QString& date, const QString& name, const QStringList& contents)
    {
        QCOMPARE(report::resetLines(m_work), QString());
        for (int i = 0; i < contents.size(); ++i)
            QCOMPARE(
                store::run(
                    m_work,
                    u"UPDATE w営業日報 SET 日付 = ?, 時間 = '1000', 訪問先 = ?, 内容 = ? WHERE 行番号 = ?"_s,
                    {date, u"ＡＢＣ商事"_s, contents[i], i + 1}),
                QString());
        report::Header h;
        h.作成日 = QDate::fromString(date, Qt::ISODate);
        h.氏名 = name;
        QCOMPARE(report::registerReport(m_main, m_work, h), QString());
    }

    QStringList found(const Criteria& c, int limit = 1000)
    {
        QList<Hit> hits;
        const store::Error e = search::findLines(m_main, c, nullptr, limit, &hits);
        if (e.failed())
            return {u"<failed: "_s + e.reason() + u'>'};
        QStringList out;
        for (const Hit& h : hits)
            out << labelOf(h);
        return out;
    }

    // The ways a search can read, each tried in turn: the index and its sorting, the walk in
    // order (every keyword taken as common), and a file or server database without the index.
    // inMode gives c as that mode reads it.
    QStringList modes() const { return QStringList{u"index"_s, u"walk"_s, u"no index"_s}; }
    void enter(const QString& mode)
    {
        if (mode == u"no index"_s)
            QCOMPARE(store::inTransaction(m_main, [this] { return store::dropTextIndex(m_main); }),
                     QString());
    }
    static Criteria inMode(const QString& mode, Criteria c)
    {
        c.commonCount = mode == u"walk"_s ? 0 : 1000000;
        return c;
    }

    void open()
    {
        ++m_round;
        m_lines.clear();
        QCOMPARE(testing::openFreshFiles(m_dir.path() + u"/%1"_s.arg(m_round), prefix(), m_main, m_work),
                 QString());
    }
    void close() { testing::closeFreshFiles(prefix(), m_main, m_work); }
};
