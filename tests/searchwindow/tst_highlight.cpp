// Where the searched words are marked in 内容: offsets in the text as shown, whatever folding did
// to lengths; and the mark really painted in the grid's cell.
#include "search/HighlightDelegate.h"
#include "search/SearchStore.h"

#include <QApplication>
#include <QImage>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using search::Span;

Q_DECLARE_METATYPE(QList<Span>)

class TstHighlight : public QObject {
    Q_OBJECT
  private slots:
    void matches_data();
    void matches();
    void markIsPainted_data();
    void markIsPainted();
    void matchPastTheWidth_data();
    void matchPastTheWidth();
    void matchPastTheWidthIsPainted();
};

void TstHighlight::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keywords"); // as typed
    QTest::addColumn<QList<Span>>("spans");

    QTest::newRow("full-width latin found by ascii")
        << u"ＡＢＣ商事に訪問"_s << u"abc"_s << QList<Span>{{0, 3}};
    QTest::newRow("ascii found by full-width") << u"訪問 ABC商事"_s << u"ａｂｃ"_s << QList<Span>{{3, 3}};
    QTest::newRow("case") << u"Excel の見積"_s << u"EXCEL"_s << QList<Span>{{0, 5}};
    // ｶﾞ is two characters shown, one folded: the mark covers both.
    QTest::newRow("half-width voiced kana") << u"ｶﾞｽ会社"_s << u"ガス"_s << QList<Span>{{0, 3}};
    QTest::newRow("after half-width voiced kana") << u"ｶﾞｽ会社"_s << u"会社"_s << QList<Span>{{3, 2}};
    // ㈱ folds into three characters: a part of it marks the whole sign.
    QTest::newRow("parenthesised ideograph") << u"㈱山田商店"_s << u"株"_s << QList<Span>{{0, 1}};
    QTest::newRow("after the parenthesised ideograph") << u"㈱山田商店"_s << u"山田"_s << QList<Span>{{1, 2}};
    QTest::newRow("circled digit") << u"①見積 ②発注"_s << u"2"_s << QList<Span>{{4, 1}};
    QTest::newRow("surrogate pair before") << u"𠮷野家で見積"_s << u"見積"_s << QList<Span>{{5, 2}};
    QTest::newRow("surrogate pair itself") << u"𠮷野家で見積"_s << u"𠮷野"_s << QList<Span>{{0, 3}};
    QTest::newRow("ligature folds to two letters") << u"ﬁle 5"_s << u"FILE"_s << QList<Span>{{0, 3}};
    QTest::newRow("every occurrence")
        << u"見積、再見積、見積書"_s << u"見積"_s << QList<Span>{{0, 2}, {4, 2}, {7, 2}};
    QTest::newRow("two words apart") << u"商談後に見積"_s << u"見積　商談"_s << QList<Span>{{0, 2}, {4, 2}};
    QTest::newRow("overlapping words merge") << u"abab"_s << u"aba bab"_s << QList<Span>{{0, 4}};
    QTest::newRow("touching words merge") << u"見積書"_s << u"見積 書"_s << QList<Span>{{0, 3}};
    QTest::newRow("not there") << u"訪問"_s << u"見積"_s << QList<Span>{};
    QTest::newRow("no keywords") << u"訪問"_s << u"  "_s << QList<Span>{};
    QTest::newRow("empty text") << QString() << u"見積"_s << QList<Span>{};
    QTest::newRow("line break kept in offsets") << u"午前\n見積提出"_s << u"見積"_s << QList<Span>{{3, 2}};
}

void TstHighlight::matches()
{
    QFETCH(QString, text);
    QFETCH(QString, keywords);
    QFETCH(QList<Span>, spans);
    search::Criteria c;
    c.keywords = keywords;
    const QList<Span> got = search::foldedMatches(text, search::keywordsOf(c));
    QStringList shown;
    for (const Span& s : got)
        shown << u"%1+%2 \"%3\""_s.arg(s.start).arg(s.length).arg(text.mid(s.start, s.length));
    QVERIFY2(got == spans, qPrintable(shown.join(u", ")));
    // What is marked, folded, holds the word: the offsets point at the found text.
    for (const Span& s : got) {
        const QString marked = search::fold(text.mid(s.start, s.length));
        bool holds = false;
        for (const QString& k : search::keywordsOf(c))
            holds = holds || marked.contains(k) || k.contains(marked);
        QVERIFY2(holds, qPrintable(marked));
    }
}

void TstHighlight::markIsPainted_data()
{
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<bool>("marked");
    QTest::newRow("word in the text") << u"ａｂｃ"_s << true;
    QTest::newRow("word elsewhere") << u"見積"_s << false;
    QTest::newRow("no words") << QString() << false;
}

// The mark's colour is in the 内容 cell when a word is found there, and nowhere else.
void TstHighlight::markIsPainted()
{
    QFETCH(QString, keywords);
    QFETCH(bool, marked);
    QStandardItemModel model(1, 2);
    model.setItem(0, 0, new QStandardItem(u"ABC商事"_s));
    model.setItem(0, 1, new QStandardItem(u"ＡＢＣ商事へ訪問"_s));
    QTableView view;
    view.setModel(&model);
    search::HighlightDelegate delegate(1);
    search::Criteria c;
    c.keywords = keywords;
    delegate.setKeywords(search::keywordsOf(c));
    view.setItemDelegate(&delegate);
    view.resize(500, 120);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage shot = view.viewport()->grab().toImage();
    const auto markedIn = [&](const QRect& r) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (QColor(shot.pixel(x, y)) == search::HighlightDelegate::markColor())
                    return true;
        return false;
    };
    QCOMPARE(markedIn(view.visualRect(model.index(0, 1))), marked);
    QVERIFY(!markedIn(view.visualRect(model.index(0, 0))));
}

void TstHighlight::matchPastTheWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<bool>("moved"); // the shown part starts later than the text
    const QString longStart = QString(40, u'あ');
    QTest::newRow("in sight") << u"見積を提出、そのあと長い説明が続く"_s + longStart << u"見積"_s << false;
    QTest::newRow("past the width") << longStart + u"見積を提出"_s << u"見積"_s << true;
    QTest::newRow("the first of several") << longStart + u"見積と再見積"_s << u"見積"_s << true;
    QTest::newRow("after surrogate pairs")
        << QString(30, u'x').replace(u"x"_s, u"𠮷"_s) + u"見積"_s << u"見積"_s << true;
    QTest::newRow("a long match itself")
        << longStart + u"とても長いキーワードの一致"_s << u"とても長いキーワードの一致"_s << true;
    QTest::newRow("no match") << longStart << u"見積"_s << false;
}

// A match past a narrow cell is brought into view with a little of the text before it; the
// shown part starts on a whole character.
void TstHighlight::matchPastTheWidth()
{
    QFETCH(QString, text);
    QFETCH(QString, keywords);
    QFETCH(bool, moved);
    search::Criteria c;
    c.keywords = keywords;
    const QList<Span> marks = search::foldedMatches(text, search::keywordsOf(c));
    const QFontMetricsF fm(QApplication::font());
    const qreal width = fm.horizontalAdvance(u"見"_s) * 12;
    const int from = search::shownFrom(text, marks, fm, width);
    QCOMPARE(from > 0, moved);
    if (!moved)
        return;
    const Span first = marks.first();
    QVERIFY(from <= first.start);
    QVERIFY(!text[from].isLowSurrogate());
    const QString shown = u"…"_s + text.mid(from, first.start + first.length - from);
    // The match ends within the cell, unless it is wider than the cell by itself.
    if (fm.horizontalAdvance(u"…"_s + text.mid(first.start, first.length)) <= width)
        QVERIFY2(fm.horizontalAdvance(shown) <= width, qPrintable(shown));
    // Some of what comes before it is shown too, but not more than a third of the cell.
    QVERIFY(fm.horizontalAdvance(text.mid(from, first.start - from)) <= width / 3);
    if (first.length < 6)
        QVERIFY(from < first.start);
}

// The cell paints the mark of a match that lies far past its width.
void TstHighlight::matchPastTheWidthIsPainted()
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QString(80, u'あ') + u"見積を提出"_s));
    QTableView view;
    view.setModel(&model);
    view.setColumnWidth(0, 220);
    search::HighlightDelegate delegate(0);
    search::Criteria c;
    c.keywords = u"見積"_s;
    delegate.setKeywords(search::keywordsOf(c));
    view.setItemDelegate(&delegate);
    view.resize(400, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage shot = view.viewport()->grab().toImage();
    const QRect r = view.visualRect(model.index(0, 0));
    bool marked = false;
    for (int y = r.top(); y <= r.bottom() && !marked; ++y)
        for (int x = r.left(); x <= r.right() && !marked; ++x)
            marked = QColor(shot.pixel(x, y)) == search::HighlightDelegate::markColor();
    QVERIFY(marked);
}

QTEST_MAIN(TstHighlight)
#include "tst_highlight.moc"
