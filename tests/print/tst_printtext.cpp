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
    QTest::addColumn<bool>("grows"); // a detail line, which may grow, or a header box, which may not
    QTest::addColumn<int>("lines");  // -1: as many as the room holds
    QTest::addColumn<bool>("smaller");
    QTest::addColumn<bool>("marked");
    const QString kanji(1, QChar(0x65E5));
    QTest::newRow("short text at the form's size") << "東京商事" << true << 1 << false << false;
    QTest::newRow("30 characters wrap at the form's size")
        << kanji.repeated(30) << true << 2 << false << false;
    QTest::newRow("96 characters: four lines at the form's size")
        << kanji.repeated(96) << true << 4 << false << false;
    QTest::newRow("150 characters: smaller, still whole")
        << kanji.repeated(150) << true << 5 << true << false;
    QTest::newRow("typed lines kept, at the form's size")
        << QStringLiteral(
               "見積書を提出した。来週までに回答をもらう予定で、部長にも説明する。\n次回は十二月十五日に訪問")
        << true << 3 << false << false;
    QTest::newRow("blank typed lines not printed")
        << QStringLiteral("一行目\n\n\n二行目") << true << 2 << false << false;
    QTest::newRow("1000 characters marked at 8 pt")
        << QString(1000, QChar(0x3042)) << true << -1 << true << true;
    QTest::newRow("long ASCII marked") << QString(400, u'W') << true << -1 << true << true;
    QTest::newRow("characters outside the BMP not split")
        << QString::fromUtf8("𠮷").repeated(200) << true << -1 << true << true;
    QTest::newRow("header box: smaller on its one line") << kanji.repeated(28) << false << 1 << true << false;
    QTest::newRow("header box: marked at 8 pt") << kanji.repeated(60) << false << 1 << true << true;
}

void TstPrintText::fitText()
{
    QFETCH(QString, text);
    QFETCH(bool, grows);
    QFETCH(int, lines);
    QFETCH(bool, smaller);
    QFETCH(bool, marked);
    const print::LayoutItem& contents = print::detailItems().at(5);
    QCOMPARE(contents.name, QString("txt内容"));
    const QFont font = print::layoutFont(contents);
    const QSizeF box(contents.rect.width() - 60, contents.rect.height());
    const double room =
        grows ? box.height() + (print::kMaxDetailLines - 1) * font.pixelSize() * print::kLineSpacing : 0;
    const print::FittedText shown = print::fitText(text, font, box, room);
    if (lines >= 0)
        QCOMPARE(shown.lines.size(), lines);
    QCOMPARE(shown.font.pixelSize() < font.pixelSize(), smaller);
    QCOMPARE(shown.marked, marked);
    // Never below a readable size; marked only at it; every line within the box's width, the
    // lines within the room.
    QVERIFY(shown.font.pixelSize() >= print::kMinPoints * 20);
    if (marked)
        QCOMPARE(shown.font.pixelSize(), int(print::kMinPoints * 20));
    QVERIFY(shown.height(box.height()) <= qMax(room, box.height()) + 0.5);
    QVERIFY(shown.lines.size() == 1 || shown.pitch >= shown.font.pixelSize());
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
