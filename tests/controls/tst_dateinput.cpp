#include "tst_controls.h"

#include "ui/DateInput.h"
#include "ui/DateText.h"
#include "ui/Twips.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>

void TstControls::dateParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QDate>("expected"); // invalid: rejected

    const QString yy = QStringLiteral("yy/mm/dd");
    const QString kanji = QStringLiteral("yyyy年mm月dd日");
    // Today is 2026-05-20 in every row.
    QTest::newRow("two-digit year") << "26/04/01" << yy << QDate(2026, 4, 1);
    QTest::newRow("month and day: this year") << "4/1" << yy << QDate(2026, 4, 1);
    QTest::newRow("eight digits") << "20260401" << yy << QDate(2026, 4, 1);
    QTest::newRow("six digits") << "260401" << kanji << QDate(2026, 4, 1);
    QTest::newRow("four digits: the nearest 31 December is last year's")
        << "1231" << yy << QDate(2025, 12, 31);
    QTest::newRow("month and day after half a year: last year") << "11/21" << yy << QDate(2025, 11, 21);
    QTest::newRow("month and day within half a year ahead") << "10/1" << yy << QDate(2026, 10, 1);
    QTest::newRow("full format text") << "2026年04月01日" << kanji << QDate(2026, 4, 1);
    QTest::newRow("kanji without leading zeros") << "2026年4月1日" << kanji << QDate(2026, 4, 1);
    QTest::newRow("full-width digits and slashes") << "２０２６／０４／０１" << yy << QDate(2026, 4, 1);
    QTest::newRow("full-width kanji date") << "２６年４月１日" << kanji << QDate(2026, 4, 1);
    QTest::newRow("dashes") << "2026-04-01" << yy << QDate(2026, 4, 1);
    QTest::newRow("dots and spaces") << " 2026. 4. 1 " << yy << QDate(2026, 4, 1);
    QTest::newRow("four-digit year in yy format") << "2026/04/01" << yy << QDate(2026, 4, 1);
    QTest::newRow("two-digit year of the last century") << "99/12/31" << yy << QDate(1999, 12, 31);
    QTest::newRow("leap day") << "2024/02/29" << yy << QDate(2024, 2, 29);
    QTest::newRow("month-day-year order") << "04/01/2026"
                                          << "mm/dd/yyyy" << QDate(2026, 4, 1);

    QTest::newRow("reject: 30 February") << "2026/02/30" << yy << QDate();
    QTest::newRow("reject: 29 February of a common year") << "2025/02/29" << yy << QDate();
    QTest::newRow("reject: letters") << "abc" << yy << QDate();
    QTest::newRow("reject: month 13") << "26/13/01" << yy << QDate();
    QTest::newRow("reject: month 0") << "2026/0/1" << yy << QDate();
    QTest::newRow("reject: day 0") << "2026/4/0" << yy << QDate();
    QTest::newRow("reject: trailing letter") << "2026/04/01x" << yy << QDate();
    QTest::newRow("reject: four fields") << "1/2/3/4" << yy << QDate();
    QTest::newRow("reject: five digits") << "12345" << yy << QDate();
    QTest::newRow("reject: three-digit year") << "202/04/01" << yy << QDate();
    QTest::newRow("reject: year and month only") << "2026/4" << yy << QDate();
    QTest::newRow("reject: empty") << "" << yy << QDate();
    QTest::newRow("reject: a minus sign before the year") << "-2026/1/1" << yy << QDate();
    QTest::newRow("reject: a full-width minus before the year") << "－2026/1/1" << kanji << QDate();
    QTest::newRow("reject: a leading point") << ".4.1" << yy << QDate();
    QTest::newRow("reject: year 0") << "0000/01/01" << kanji << QDate();
    QTest::newRow("first day kept") << "0001/01/01" << kanji << QDate(1, 1, 1);
    QTest::newRow("last day kept") << "9999/12/31" << kanji << QDate(9999, 12, 31);
}

void TstControls::dateParse()
{
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QDate, expected);
    const std::optional<QDate> got = controls::parseDate(text, format, QDate(2026, 5, 20));
    if (expected.isValid()) {
        QVERIFY(got.has_value());
        QCOMPARE(*got, expected);
    } else {
        QVERIFY2(!got.has_value(), qPrintable(got ? got->toString(Qt::ISODate) : QString()));
    }
}

void TstControls::dateInputTyping()
{
    QWidget w;
    auto* d = new DateInput(&w);
    auto* other = new QLineEdit(&w);
    other->move(0, 40);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    d->setFormat(QStringLiteral("yyyy年mm月dd日"));
    QVERIFY(d->isNull());
    QVERIFY(!d->value().isValid());
    QSignalSpy changed(d, &DateInput::dateChanged);
    d->setFocus();
    QTest::keyClicks(d, "20260401");
    QTest::keyClick(d, Qt::Key_Return);
    QCOMPARE(d->date(), QDate(2026, 4, 1));
    QCOMPARE(d->value(), QVariant(QDate(2026, 4, 1)));
    QCOMPARE(d->text(), QString("2026年04月01日"));
    QCOMPARE(d->formatted("yyyy/mm/dd"), QString("2026/04/01"));
    QCOMPARE(changed.count(), 1);
    // An invalid entry stays visible and marked, and the control holds no date: the previous
    // date never comes back behind the user's back.
    d->selectAll();
    QTest::keyClicks(d, "2026/02/30");
    QTest::keyClick(d, Qt::Key_Return);
    QVERIFY(d->isNull());
    QVERIFY(d->isInvalid());
    QCOMPARE(d->text(), QString("2026/02/30"));
    QCOMPARE(d->toolTip(), QString("日付が正しくありません"));
    QVERIFY(d->styleSheet().contains("border"));
    QCOMPARE(changed.count(), 2);
    // Corrected, the mark goes.
    d->selectAll();
    QTest::keyClicks(d, "2026/02/28");
    QTest::keyClick(d, Qt::Key_Return);
    QCOMPARE(d->date(), QDate(2026, 2, 28));
    QVERIFY(!d->isInvalid());
    QVERIFY(d->toolTip().isEmpty());
    QCOMPARE(changed.count(), 3);
    // Empty → Null.
    d->selectAll();
    QTest::keyClick(d, Qt::Key_Backspace);
    QTest::keyClick(d, Qt::Key_Return);
    QVERIFY(d->isNull());
    QCOMPARE(d->formatted("yyyy/mm/dd"), QString());
    QCOMPARE(changed.count(), 4);
    // The value is taken when the focus leaves as well; a year-less date lands near the reference.
    d->setReferenceDate([] { return QDate(2025, 12, 26); });
    QTest::keyClicks(d, "1/5");
    other->setFocus();
    QTRY_COMPARE(d->date(), QDate(2026, 1, 5));
    d->setFocus();
    d->selectAll();
    QTest::keyClicks(d, "12/26");
    QTest::keyClick(d, Qt::Key_Return);
    QCOMPARE(d->date(), QDate(2025, 12, 26));

    // Ctrl+; is today; with the arrows stepping days, Up and Down move one day.
    QTest::keyClick(d, Qt::Key_Semicolon, Qt::ControlModifier);
    QCOMPARE(d->date(), QDate::currentDate());
    d->setDate(QDate(2026, 2, 28));
    QTest::keyClick(d, Qt::Key_Up);
    QCOMPARE(d->date(), QDate(2026, 2, 28));
    d->setArrowsStepDays(true);
    QTest::keyClick(d, Qt::Key_Up);
    QCOMPARE(d->date(), QDate(2026, 3, 1));
    QTest::keyClick(d, Qt::Key_Down);
    QTest::keyClick(d, Qt::Key_Down);
    QCOMPARE(d->date(), QDate(2026, 2, 27));
    QCOMPARE(d->text(), QString("2026年02月27日"));

    QVERIFY(d->setText8("20261231"));
    QCOMPARE(d->date(), QDate(2026, 12, 31));
    QVERIFY(!d->setText8("20260230"));
    QVERIFY(!d->setText8("2026123"));
    QVERIFY(!d->setText8("2026123a"));
    QCOMPARE(d->date(), QDate(2026, 12, 31));
    d->setNull();
    QVERIFY(d->isNull());
    QCOMPARE(d->text(), QString());

    d->setLeftTwips(1440);
    d->setWidthTwips(2880);
    QCOMPARE(d->x(), twipsToPx(1440, d));
    QCOMPARE(d->width(), twipsToPx(2880, d));
}

void TstControls::dateInputRange_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QDate>("after");
    QTest::newRow("Up at the last day stays")
        << QDate(9999, 12, 31) << int(Qt::Key_Up) << QDate(9999, 12, 31);
    QTest::newRow("Down from the last day")
        << QDate(9999, 12, 31) << int(Qt::Key_Down) << QDate(9999, 12, 30);
    QTest::newRow("Down at the first day stays") << QDate(1, 1, 1) << int(Qt::Key_Down) << QDate(1, 1, 1);
    QTest::newRow("Up from the first day") << QDate(1, 1, 1) << int(Qt::Key_Up) << QDate(1, 1, 2);
}

void TstControls::dateInputRange()
{
    QFETCH(QDate, start);
    QFETCH(int, key);
    QFETCH(QDate, after);
    QWidget w;
    auto* d = new DateInput(&w);
    d->setFormat(QStringLiteral("yyyy年mm月dd日"));
    d->setArrowsStepDays(true);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    d->setFocus();
    d->setDate(start);
    QTest::keyClick(d, Qt::Key(key));
    QTest::keyClick(d, Qt::Key(key));
    if (after != start)
        QTest::keyClick(d, Qt::Key(key == Qt::Key_Up ? Qt::Key_Down : Qt::Key_Up));
    QCOMPARE(d->date(), after);
    QCOMPARE(d->text(), after.toString(QStringLiteral("yyyy年MM月dd日")));
    // A sign typed before the year is refused and stays marked, never taken as that year.
    d->selectAll();
    QTest::keyClicks(d, "-2026/1/1");
    QTest::keyClick(d, Qt::Key_Return);
    QVERIFY(d->isNull());
    QVERIFY(d->isInvalid());
    QCOMPARE(d->text(), QString("-2026/1/1"));
}

void TstControls::calendarPopup()
{
    QWidget w;
    auto* d = new DateInput(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    d->setCalendarTitleFormat(QStringLiteral("yyyy年mm月"));
    d->setDate(QDate(2026, 4, 1));
    d->setFocus();
    QTest::keyClick(d, Qt::Key_F4);
    auto* title = d->findChild<QLabel*>("calendarTitle");
    auto* cal = d->findChild<QCalendarWidget*>("calendar");
    QVERIFY(title && cal);
    QTRY_VERIFY(cal->isVisible());
    QCOMPARE(title->text(), QString("2026年04月"));
    QCOMPARE(cal->selectedDate(), QDate(2026, 4, 1));
    auto* view = cal->findChild<QTableView*>();
    QVERIFY(view);
    // Japanese day names, the week from Sunday.
    QCOMPARE(view->model()->data(view->model()->index(0, 0)).toString(), QString("日"));
    QCOMPARE(view->model()->data(view->model()->index(0, 6)).toString(), QString("土"));
    d->findChild<QToolButton*>("calendarNext")->click();
    QCOMPARE(title->text(), QString("2026年05月"));
    d->findChild<QToolButton*>("calendarPrev")->click();
    d->findChild<QToolButton*>("calendarPrev")->click();
    QCOMPARE(title->text(), QString("2026年03月"));

    // Escape closes without a change.
    QTest::keyClick(view, Qt::Key_Escape);
    QTRY_VERIFY(!cal->isVisible());
    QCOMPARE(d->date(), QDate(2026, 4, 1));

    // Enter takes the selected day.
    QSignalSpy changed(d, &DateInput::dateChanged);
    d->showCalendar();
    QTRY_VERIFY(cal->isVisible());
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!cal->isVisible());
    QCOMPARE(d->date(), QDate(2026, 4, 2));
    QCOMPARE(changed.count(), 1);

    // A click on a day takes that day.
    d->showCalendar();
    QTRY_VERIFY(cal->isVisible());
    QModelIndex day15;
    for (int r = 1; r < view->model()->rowCount() && !day15.isValid(); ++r)
        for (int c = 0; c < view->model()->columnCount(); ++c)
            if (view->model()->data(view->model()->index(r, c)).toString() == u"15")
                day15 = view->model()->index(r, c);
    QVERIFY(day15.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(day15).center());
    QTRY_VERIFY(!cal->isVisible());
    QCOMPARE(d->date(), QDate(2026, 4, 15));
    QCOMPARE(d->formatted("yyyy/mm/dd"), QString("2026/04/15"));
}
