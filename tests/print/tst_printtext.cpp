// How the printed form fits a text into its box, and which code points its font copy leaves
// out; no file is written here.
#include "print/PrintFont.h"
#include "print/ReportForm.h"
#include "print/TextFit.h"

#include <QFontMetricsF>
#include <QtTest>

class TstPrintText : public QObject {
    Q_OBJECT
  private slots:
    void fitText_data();
    void fitText();
    void shadowingCodePoints_data();
    void shadowingCodePoints();
};

void TstPrintText::fitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("smaller");
    QTest::addColumn<bool>("marked");
    QTest::newRow("short text at the form's size") << "東京商事" << 1 << false << false;
    QTest::newRow("30 characters shrink on one line") << QString(30, QChar(0x65E5)) << 1 << true << false;
    QTest::newRow("60 characters in two lines") << QString(60, QChar(0x65E5)) << 2 << true << false;
    QTest::newRow("two typed lines kept as two")
        << QStringLiteral(
               "見積書を提出した。来週までに回答をもらう予定で、部長にも説明する。\n次回は十二月十五日に訪問")
        << 2 << true << false;
    QTest::newRow("1000 characters marked") << QString(1000, QChar(0x3042)) << 2 << true << true;
    QTest::newRow("long ASCII marked") << QString(400, u'W') << 2 << true << true;
    QTest::newRow("characters outside the BMP not split")
        << QString::fromUtf8("𠮷").repeated(200) << 2 << true << true;
}

void TstPrintText::fitText()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    QFETCH(bool, smaller);
    QFETCH(bool, marked);
    const print::LayoutItem& contents = print::detailItems().at(5);
    QCOMPARE(contents.name, QString("txt内容"));
    const QFont font = print::layoutFont(contents);
    const QSizeF box(contents.rect.width() - 60, contents.rect.height());
    const print::FittedText shown = print::fitText(text, font, box);
    QCOMPARE(shown.lines.size(), lines);
    QCOMPARE(shown.font.pixelSize() < font.pixelSize(), smaller);
    QCOMPARE(shown.marked, marked);
    // Never below a readable size; every line within the box, the lines within its height.
    QVERIFY(shown.font.pixelSize() >= print::kMinTwoLinePoints * 20 - 1);
    if (lines == 1)
        QVERIFY(shown.font.pixelSize() >= print::kMinOneLinePoints * 20 - 1);
    QVERIFY(shown.font.pixelSize() * lines <= box.height() + 1);
    const QFontMetricsF fm(shown.font);
    for (const QString& line : shown.lines) {
        QVERIFY2(fm.horizontalAdvance(line) <= box.width(), qPrintable(line));
        QVERIFY(!line.contains(u'\n') && !line.isEmpty() && !line.back().isHighSurrogate());
    }
    // What is shown is the text from its start; only a marked text leaves any out.
    QString all = text;
    all.replace(u'\n', QString());
    QString joined = shown.lines.join(QString());
    if (marked) {
        QVERIFY(joined.endsWith(print::kEllipsis));
        joined.chop(1);
        QVERIFY(joined.size() < all.size() && all.startsWith(joined));
    } else {
        QCOMPARE(joined, all);
    }
}

void TstPrintText::shadowingCodePoints_data()
{
    QTest::addColumn<QList<uint>>("map"); // pairs of code point and glyph
    QTest::addColumn<QList<uint>>("dropped");
    QTest::newRow("radical sharing the ideograph's glyph")
        << QList<uint>{0x2F47, 7, 0x65E5, 7} << QList<uint>{0x2F47};
    QTest::newRow("supplement radical and stroke too")
        << QList<uint>{0x2E8E, 9, 0x31D0, 5, 0x4E00, 5, 0x5140, 9} << QList<uint>{0x2E8E, 0x31D0};
    QTest::newRow("radical with a glyph of its own kept")
        << QList<uint>{0x2F47, 8, 0x65E5, 7} << QList<uint>{};
    QTest::newRow("compatibility ideograph above kept") << QList<uint>{0x6708, 3, 0xF983, 3} << QList<uint>{};
    QTest::newRow("extension A is an ideograph too")
        << QList<uint>{0x2F00, 4, 0x3400, 4} << QList<uint>{0x2F00};
    QTest::newRow("Latin untouched") << QList<uint>{0x41, 1, 0xFF21, 2} << QList<uint>{};
}

void TstPrintText::shadowingCodePoints()
{
    QFETCH(QList<uint>, map);
    QFETCH(QList<uint>, dropped);
    print::CharMap m;
    for (qsizetype i = 0; i + 1 < map.size(); i += 2)
        m.insert(map[i], map[i + 1]);
    QList<uint> got;
    for (const char32_t c : print::shadowingCodePoints(m))
        got << uint(c);
    QCOMPARE(got, dropped);
}

QTEST_MAIN(TstPrintText)
#include "tst_printtext.moc"
