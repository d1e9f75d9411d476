// The lines' way between the files: 読込 copies each stored value into the work table as it is
// stored, and クリア leaves the lines blank whatever the grid believed they held.
#include "report/ReportStore.h"
#include "FreshFiles.h"
#include "TestFiles.h"
#include "store/Db.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Rows = QList<QVariantList>;

namespace {

Rows select(const QSqlDatabase& db, const QString& sql)
{
    store::Statement q(db, sql);
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

const QVariant N; // Null
const QString kDay = u"2024-04-10"_s;

} // namespace

class TestReportLines : public QObject, testing::FreshFiles {
    Q_OBJECT
    Rows workLines() { return select(m_work, u"SELECT * FROM w営業日報 ORDER BY 行番号"_s); }

  private slots:
    void init()
    {
        QCOMPARE(openFresh(), QString());
        QCOMPARE(report::resetLines(m_work), QString());
    }
    void cleanup() { closeFresh(); }

    // Whatever the grid believes it shows (shownFilled), the table ends blank; a blank table
    // is written only when the caller said it shows something.
    void resetWritesOnlyWhatItMust_data()
    {
        QTest::addColumn<bool>("filled");
        QTest::addColumn<bool>("shownFilled");
        QTest::newRow("filled, the grid showing it") << true << true;
        QTest::newRow("filled, the grid showing nothing") << true << false;
        QTest::newRow("blank, the grid showing something") << false << true;
        QTest::newRow("blank, the grid showing nothing") << false << false;
    }
    void resetWritesOnlyWhatItMust()
    {
        QFETCH(bool, filled);
        QFETCH(bool, shownFilled);
        if (filled) {
            QCOMPARE(report::deleteTickedLines(m_work), QString());
            QCOMPARE(
                store::run(m_work,
                           u"UPDATE w営業日報 SET チェック = 1, 担当 = 'x', 内容 = 'y' WHERE 行番号 < 4"_s),
                QString());
            QCOMPARE(store::run(m_work, u"DELETE FROM w営業日報 WHERE 行番号 = 7"_s), QString());
            QCOMPARE(store::run(m_work, u"INSERT INTO w営業日報 (行番号, 内容) VALUES (150, 'z')"_s),
                     QString());
        }
        const QVariant changesBefore = select(m_work, u"SELECT total_changes()"_s).value(0).value(0);
        QCOMPARE(report::resetLines(m_work, shownFilled), QString());
        const bool written = select(m_work, u"SELECT total_changes()"_s).value(0).value(0) != changesBefore;
        QCOMPARE(written, filled || shownFilled);
        const Rows rows = workLines();
        QCOMPARE(rows.size(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(rows[i][0].toInt(), i + 1);
            QCOMPARE(rows[i][1].toInt(), 0);
            for (int f = 2; f < rows[i].size(); ++f)
                QVERIFY2(rows[i][f].isNull(), qPrintable(u"row %1 field %2"_s.arg(i + 1).arg(f)));
        }
    }

    // A line goes into the grid's table exactly as the main database gives it, whatever wrote
    // it there: Null, '' and the text's kind kept, in every field.
    void readCopiesValuesAsStored_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("Null") << N;
        QTest::newRow("empty text") << QVariant(u""_s);
        QTest::newRow("text with quotes and emoji") << QVariant(u"佐藤's \"案\" 😀"_s);
        QTest::newRow("digits written as a number by another program") << QVariant(1015);
        QTest::newRow("a long text") << QVariant(QString(3000, u'文'));
    }
    void readCopiesValuesAsStored()
    {
        QFETCH(QVariant, value);
        const QString fields = u"表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考"_s;
        // A server keeps lines only under their header.
        if (testing::onServer())
            QCOMPARE(
                store::run(m_main, u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES (?, '佐藤')"_s, {kDay}),
                QString());
        for (int n = 1; n <= 2; ++n)
            QCOMPARE(store::run(
                         m_main,
                         u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, %1) VALUES (?, '佐藤', ?, ?, ?, ?, ?, "
                         "?, ?, ?)"_s.arg(fields),
                         {kDay, n, kDay, N, value, value, value, value, value}),
                     QString());
        const Rows inMain = select(m_main, u"SELECT %1 FROM 営業日報 ORDER BY 行番号"_s.arg(fields));
        const report::ReadResult r = report::readReport(m_main, m_work, QDate(2024, 4, 10), u"佐藤"_s);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.lines, 2);
        const Rows inWork = select(m_work, u"SELECT %1 FROM w営業日報 ORDER BY 行番号 LIMIT 2"_s.arg(fields));
        QCOMPARE(inWork, inMain);
        // The dates are dates on a server; the five texts hold the value.
        for (int i = 2; i < 7; ++i) {
            QCOMPARE(inWork[0][i].isNull(), value.isNull());
            QCOMPARE(inWork[0][i].metaType(), inMain[0][i].metaType());
            if (!value.isNull())
                QCOMPARE(inWork[0][i].toString(), value.toString());
        }
        QCOMPARE(select(m_work, u"SELECT count(*) FROM w営業日報 WHERE 内容 IS NULL"_s),
                 Rows{{value.isNull() ? 100 : 98}});
    }
};

QTEST_GUILESS_MAIN(TestReportLines)
#include "tst_reportlines.moc"
