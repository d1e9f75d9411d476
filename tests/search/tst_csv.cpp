// CSV records as written for a spreadsheet: quoting, the formula guard, the two encodings, and
// files that are written whole or not at all. Read back with a strict parser and with iconv.
#include "search/Csv.h"

#include "CsvRead.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using search::CsvEncoding;
using Table = QList<QStringList>;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QStringList kHeader{u"訪問先"_s, u"件数"_s, u"最終訪問日"_s, u"氏名"_s};

// Cells a count table may hold, and what a spreadsheet must show of each.
Table awkwardRows()
{
    return {
        {u"ABC商事, 東京"_s, u"12"_s, u"2024/04/10"_s, u"佐藤"_s},
        {u"\"大\"商店"_s, u"3"_s, u"2024/04/01"_s, u"髙橋 ① ㈱"_s},
        {u"一行目\r\n二行目"_s, u"1"_s, u"2024/03/31"_s, u"ｶﾅ ＡＢＣ"_s},
        {u"=HYPERLINK(\"http://x\")"_s, u"-5"_s, u""_s, u"@田中"_s},
        {u"+81-3-1234"_s, u"0"_s, u"2024/01/01"_s, u"見積〜提出"_s},
        {u""_s, u""_s, u""_s, u"改行だけ\n"_s},
    };
}

// awkwardRows as read back: guarded cells with their quote, 〜 as cp932 reads it.
Table shownRows(CsvEncoding enc)
{
    Table t = awkwardRows();
    t[3][0] = u"'=HYPERLINK(\"http://x\")"_s;
    t[3][3] = u"'@田中"_s;
    t[4][0] = u"'+81-3-1234"_s;
    if (enc == CsvEncoding::Cp932)
        t[4][3] = u"見積～提出"_s;
    return t;
}

} // namespace

class TstCsv : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void quoteField_data();
    void quoteField();
    void guardFormula_data();
    void guardFormula();
    void record_data();
    void record();
    void dateAndTime_data();
    void dateAndTime();
    void cp932_data();
    void cp932();
    void tableReadsBack_data();
    void tableReadsBack();
    void refusedCharacterWritesNothing_data();
    void refusedCharacterWritesNothing();
    void unwritableFolderFails();
};

void TstCsv::quoteField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << u"ABC商事"_s << u"ABC商事"_s;
    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("blanks kept unquoted") << u" 東京 "_s << u" 東京 "_s;
    QTest::newRow("ideographic comma is no comma") << u"東京、大阪"_s << u"東京、大阪"_s;
    QTest::newRow("comma") << u"東京,大阪"_s << u"\"東京,大阪\""_s;
    QTest::newRow("quote doubled") << u"\"大\"商店"_s << u"\"\"\"大\"\"商店\""_s;
    QTest::newRow("only a quote") << u"\""_s << u"\"\"\"\""_s;
    QTest::newRow("LF") << u"a\nb"_s << u"\"a\nb\""_s;
    QTest::newRow("CR") << u"a\rb"_s << u"\"a\rb\""_s;
    QTest::newRow("CRLF kept inside") << u"a\r\nb"_s << u"\"a\r\nb\""_s;
    QTest::newRow("single quote alone") << u"'x"_s << u"'x"_s;
}

void TstCsv::quoteField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(search::quoteField(text), field);
}

void TstCsv::guardFormula_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("equals") << u"=1+2"_s << u"'=1+2"_s;
    QTest::newRow("plus phone number") << u"+81-3-1234"_s << u"'+81-3-1234"_s;
    QTest::newRow("minus formula") << u"-2+3"_s << u"'-2+3"_s;
    QTest::newRow("at") << u"@SUM(A1)"_s << u"'@SUM(A1)"_s;
    QTest::newRow("tab first") << u"\t=1"_s << u"'\t=1"_s;
    QTest::newRow("CR first") << u"\r=1"_s << u"'\r=1"_s;
    QTest::newRow("full-width equals") << u"＝１＋２"_s << u"'＝１＋２"_s;
    QTest::newRow("full-width minus") << u"－見積"_s << u"'－見積"_s;
    QTest::newRow("a dash alone") << u"-"_s << u"'-"_s;
    QTest::newRow("negative number stays a number") << u"-5"_s << u"-5"_s;
    QTest::newRow("signed decimal") << u"+1.25"_s << u"+1.25"_s;
    QTest::newRow("sign inside") << u"a=b"_s << u"a=b"_s;
    QTest::newRow("blank first") << u" =1"_s << u" =1"_s;
    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("Japanese") << u"見積提出"_s << u"見積提出"_s;
}

void TstCsv::guardFormula()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(search::guardFormula(text), shown);
}

void TstCsv::record_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QList<int>>("plain");
    QTest::addColumn<QString>("record");
    QTest::newRow("plain fields") << QStringList{u"a"_s, u"b"_s} << QList<int>{} << u"a,b\r\n"_s;
    QTest::newRow("empty fields") << QStringList{u""_s, u""_s, u""_s} << QList<int>{} << u",,\r\n"_s;
    QTest::newRow("guarded field quoted")
        << QStringList{u"=1"_s, u"x"_s} << QList<int>{} << u"\"'=1\",x\r\n"_s;
    QTest::newRow("guarded field with quotes")
        << QStringList{u"=HYPERLINK(\"u\")"_s} << QList<int>{} << u"\"'=HYPERLINK(\"\"u\"\")\"\r\n"_s;
    QTest::newRow("plain column never guarded")
        << QStringList{u"=1"_s, u"=1"_s} << QList<int>{0} << u"=1,\"'=1\"\r\n"_s;
    QTest::newRow("plain column still quoted") << QStringList{u"1,2"_s} << QList<int>{0} << u"\"1,2\"\r\n"_s;
    QTest::newRow("line break inside")
        << QStringList{u"2024/04/10"_s, u"一\r\n二"_s} << QList<int>{0} << u"2024/04/10,\"一\r\n二\"\r\n"_s;
}

void TstCsv::record()
{
    QFETCH(QStringList, fields);
    QFETCH(QList<int>, plain);
    QFETCH(QString, record);
    QCOMPARE(search::csvRecord(fields, plain), record);
    Table parsed;
    QVERIFY(testing::parseCsv(record, &parsed));
    QCOMPARE(parsed.size(), 1);
    QCOMPARE(parsed[0].size(), fields.size());
}

void TstCsv::dateAndTime_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("dateText");
    QTest::addColumn<QString>("timeText");
    QTest::newRow("morning") << QDate(2024, 4, 1) << u"0930"_s << u"2024/04/01"_s << u"09:30"_s;
    QTest::newRow("three digits") << QDate(2024, 12, 31) << u"930"_s << u"2024/12/31"_s << u"09:30"_s;
    QTest::newRow("midnight") << QDate(1999, 1, 9) << u"0000"_s << u"1999/01/09"_s << u"00:00"_s;
    QTest::newRow("none") << QDate() << u""_s << u""_s << u""_s;
    QTest::newRow("not digits, as stored") << QDate(2024, 4, 1) << u"9時"_s << u"2024/04/01"_s << u"9時"_s;
    QTest::newRow("too long, as stored") << QDate(2024, 4, 1) << u"12345"_s << u"2024/04/01"_s << u"12345"_s;
}

void TstCsv::dateAndTime()
{
    QFETCH(QDate, date);
    QFETCH(QString, stored);
    QFETCH(QString, dateText);
    QFETCH(QString, timeText);
    QCOMPARE(search::csvDate(date), dateText);
    QCOMPARE(search::csvTime(stored), timeText);
}

void TstCsv::cp932_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // hex; empty when refused
    QTest::addColumn<QString>("bad");
    QTest::newRow("ASCII") << u"a,\\~"_s << QByteArray("612c5c7e") << QString();
    QTest::newRow("kana and kanji") << u"営業ｶﾅ"_s << QByteArray("89638bc6b6c5") << QString();
    QTest::newRow("NEC specials") << u"①㈱№"_s << QByteArray("8740878a8782") << QString();
    QTest::newRow("IBM extensions") << u"髙﨑ⅰ"_s << QByteArray("fbfcfab1fa40") << QString();
    QTest::newRow("JIS wave dash as cp932's") << u"9時〜"_s << QByteArray("398e9e8160") << QString();
    QTest::newRow("minus, dash, double bar") << u"−—‖"_s << QByteArray("817c815c8161") << QString();
    QTest::newRow("controls as themselves") << u"\x1a\x1c\x7f\t"_s << QByteArray("1a1c7f09") << QString();
    QTest::newRow("character outside the BMP") << u"吉𠮷"_s << QByteArray() << u"𠮷"_s;
    QTest::newRow("emoji after text") << u"商談😀済"_s << QByteArray() << u"😀"_s;
    QTest::newRow("half-width yen") << u"¥100"_s << QByteArray() << u"¥"_s;
    QTest::newRow("private use mapped one way only")
        << QString(QChar(0xF86F)) << QByteArray() << QString(QChar(0xF86F));
    QTest::newRow("Hangul") << u"안녕"_s << QByteArray() << u"안"_s;
}

void TstCsv::cp932()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, bad);
    QString found;
    const QByteArray out = search::encodeCsv(text, CsvEncoding::Cp932, &found);
    QCOMPARE(found, bad);
    QCOMPARE(out.toHex(), bytes);
    if (bad.isEmpty()) {
        // What Windows (and iconv's CP932) reads is the text, JIS forms in their cp932 form.
        bool ok = false;
        const QString back = testing::iconvToUtf8(out, "CP932", &ok);
        QVERIFY(ok);
        QString expected = text;
        expected.replace(u'〜', u'～').replace(u'−', u'－').replace(u'—', u'―').replace(u'‖', u'∥');
        QCOMPARE(back, expected);
    }
}

void TstCsv::tableReadsBack_data()
{
    QTest::addColumn<CsvEncoding>("enc");
    QTest::newRow("UTF-8 with BOM") << CsvEncoding::Utf8Bom;
    QTest::newRow("cp932") << CsvEncoding::Cp932;
}

void TstCsv::tableReadsBack()
{
    QFETCH(CsvEncoding, enc);
    const QString path = m_dir.filePath(u"表.csv"_s);
    QFile::remove(path);
    const search::CsvFailure f = search::writeTableCsv(path, kHeader, awkwardRows(), enc);
    QVERIFY2(f.ok(), qPrintable(f.error.reason()));
    QCOMPARE(f.line, 0);
    const QByteArray bytes = fileBytes(path);
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), enc == CsvEncoding::Utf8Bom);
    QVERIFY(bytes.endsWith("\r\n"));
    bool ok = false;
    const QString text = enc == CsvEncoding::Utf8Bom ? testing::iconvToUtf8(bytes.mid(3), "UTF-8", &ok)
                                                     : testing::iconvToUtf8(bytes, "CP932", &ok);
    QVERIFY(ok);
    Table parsed;
    QVERIFY2(testing::parseCsv(text, &parsed), qPrintable(text));
    QCOMPARE(parsed.size(), awkwardRows().size() + 1);
    QCOMPARE(parsed.takeFirst(), kHeader);
    QCOMPARE(parsed, shownRows(enc));
    // Nothing beside the file: the temporary one was renamed into place.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{u"表.csv"_s});
}

void TstCsv::refusedCharacterWritesNothing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("bad");
    QTest::newRow("new file, first line") << false << 0 << u"𠮷"_s;
    QTest::newRow("new file, later line") << false << 4 << u"😀"_s;
    QTest::newRow("old file kept") << true << 2 << u"𠮷"_s;
}

void TstCsv::refusedCharacterWritesNothing()
{
    QFETCH(bool, existing);
    QFETCH(int, row);
    QFETCH(QString, bad);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.csv"_s);
    if (existing) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    Table rows = awkwardRows();
    rows[row][3] += u"の"_s + bad + u"野家"_s;
    const search::CsvFailure f = search::writeTableCsv(path, kHeader, rows, CsvEncoding::Cp932);
    QVERIFY(!f.ok());
    QCOMPARE(f.line, row + 1);
    QCOMPARE(f.text, bad);
    QVERIFY(f.error.reason().contains(bad));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), existing ? QStringList{u"out.csv"_s} : QStringList{});
    if (existing)
        QCOMPARE(fileBytes(path), QByteArray("old"));
    // The same rows go to UTF-8 whole.
    QVERIFY(search::writeTableCsv(path, kHeader, rows, CsvEncoding::Utf8Bom).ok());
    QVERIFY(QString::fromUtf8(fileBytes(path)).contains(bad));
}

void TstCsv::unwritableFolderFails()
{
    const QString path = m_dir.filePath(u"無い/out.csv"_s);
    const search::CsvFailure f = search::writeTableCsv(path, kHeader, awkwardRows(), CsvEncoding::Utf8Bom);
    QVERIFY(!f.ok());
    QCOMPARE(f.line, 0);
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TstCsv)
#include "tst_csv.moc"
