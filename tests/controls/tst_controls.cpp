#include "tst_controls.h"

#include "ui/Controls.h"
#include "ui/DropDown.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/Ime.h"
#include "ui/Twips.h"
#include "store/Db.h"
#include "store/Schema.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>

void TstControls::initTestCase()
{
    openWorkFile();
}

void TstControls::cleanupTestCase()
{
    closeWorkFile();
}

void TstControls::init()
{
    resetWorkFile();
}

// ---- small controls ----

void TstControls::comboNotifications()
{
    QWidget w;
    auto* combo = new Combo(&w);
    combo->setEditable(true);
    auto* other = new QLineEdit(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    combo->addItems({"所属", "氏名"});
    QCOMPARE(combo->firstItem(), QString("所属"));

    QList<int> downs;
    connect(combo, &Combo::keyDown, this, [&](int* key, Qt::KeyboardModifiers) {
        downs << *key;
        if (*key == Qt::Key_X)
            *key = 0;
    });
    connect(combo, &Combo::keyPress, this, [](int* ascii) {
        if (*ascii == 'q')
            *ascii = 0; // cancelled
        else if (*ascii == 'a')
            *ascii = 'A'; // replaced
    });
    combo->setFocus();
    combo->clearEditText();
    QTest::keyClicks(combo, "bqax");
    QCOMPARE(combo->currentText(), QString("bA"));
    QTest::keyClick(combo, Qt::Key_Return);
    QVERIFY(downs.contains(int(Qt::Key_Return)));

    QSignalSpy lost(combo, &Combo::focusLost);
    other->setFocus();
    QTRY_COMPARE(lost.count(), 1);

    combo->clearAll();
    QCOMPARE(combo->count(), 0);
    QCOMPARE(combo->currentText(), QString());
    QCOMPARE(combo->firstItem(), QString());
}

// A combo made editable without its list and completer built up front types, completes nothing,
// and opens the same list as one QComboBox::setEditable(true) makes, short or scrolled.
void TstControls::editableComboAsQtMakesIt_data()
{
    QTest::addColumn<bool>("dropDown");
    QTest::addColumn<int>("items");
    QTest::newRow("name combo, 3 names") << false << 3;
    QTest::newRow("name combo, 199 names") << false << 199;
    QTest::newRow("grid drop-down, 3 names") << true << 3;
    QTest::newRow("grid drop-down, 199 names") << true << 199;
}

void TstControls::editableComboAsQtMakesIt()
{
    QFETCH(bool, dropDown);
    QFETCH(int, items);
    QWidget w;
    auto* layout = new QVBoxLayout(&w);
    QComboBox* light = dropDown ? static_cast<QComboBox*>(new DropDown(&w)) : new Combo(&w);
    if (!dropDown)
        makeEditable(light);
    auto* plain = new QComboBox(&w);
    plain->setEditable(true);
    plain->setCompleter(nullptr);
    QStringList names;
    for (int i = 0; i < items; ++i)
        names << QStringLiteral("山田商事%1").arg(i);
    for (QComboBox* c : {light, plain}) {
        c->setMaxVisibleItems(15);
        c->addItems(names);
        layout->addWidget(c);
    }
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(light->isEditable());
    QVERIFY(light->lineEdit() && !light->lineEdit()->completer());
    QVERIFY(light->testAttribute(Qt::WA_InputMethodEnabled));
    QCOMPARE(light->focusPolicy(), plain->focusPolicy());

    light->setFocus();
    light->clearEditText();
    QTest::keyClicks(light, "ABC");
    QCOMPARE(light->currentText(), QStringLiteral("ABC"));

    struct Opened {
        Qt::ScrollBarPolicy policy;
        bool scrollBar;
        QSize size;
        QByteArray delegate;
    };
    Opened a{}, b{};
    for (auto [c, o] : {std::pair{light, &a}, std::pair{plain, &b}}) {
        c->showPopup();
        QAbstractItemView* list = c->view();
        QTRY_VERIFY(list->isVisible());
        *o = {list->verticalScrollBarPolicy(), list->verticalScrollBar()->isVisible(),
              list->parentWidget()->size(), c->itemDelegate()->metaObject()->className()};
        c->hidePopup();
    }
    QCOMPARE(a.policy, b.policy);
    QCOMPARE(a.scrollBar, b.scrollBar);
    QCOMPARE(a.scrollBar, items > 15);
    QCOMPARE(a.size.height(), b.size.height());
    QCOMPARE(a.delegate, b.delegate);
}

// setItems leaves a combo alone only when it still holds what it was given: items changed in
// between by any other way are replaced.
void TstControls::comboItemsFollowWhateverChangedThem_data()
{
    QTest::addColumn<QString>("between");
    QTest::addColumn<QStringList>("given"); // the second setItems
    const QStringList first{"佐藤", "鈴木", "田中"};
    QTest::newRow("the same list again") << "" << first;
    QTest::newRow("an equal list made anew") << "" << QStringList{"佐藤", "鈴木", "田中"};
    QTest::newRow("another list") << "" << QStringList{"佐藤", "高橋"};
    QTest::newRow("an item removed") << "remove" << first;
    QTest::newRow("an item added") << "add" << first;
    QTest::newRow("an item's text changed") << "rename" << first;
    QTest::newRow("cleared") << "clear" << first;
    QTest::newRow("typed and inserted") << "type" << first;
}

void TstControls::comboItemsFollowWhateverChangedThem()
{
    QFETCH(QString, between);
    QFETCH(QStringList, given);
    Combo combo;
    combo.setEditable(true);
    combo.setItems({"佐藤", "鈴木", "田中"});
    if (between == "remove")
        combo.removeItem(1);
    else if (between == "add")
        combo.addItem("山田");
    else if (between == "rename")
        combo.setItemText(2, "中田");
    else if (between == "clear")
        combo.clearAll();
    else if (between == "type") {
        combo.setInsertPolicy(QComboBox::InsertAtBottom);
        combo.show();
        combo.setEditText("山田");
        QTest::keyClick(&combo, Qt::Key_Return);
        QVERIFY(combo.count() == 4);
    }
    combo.setItems(given);
    QStringList shown;
    for (int i = 0; i < combo.count(); ++i)
        shown << combo.itemText(i);
    QCOMPARE(shown, given);
}

void TstControls::commandButtonColour()
{
    CommandButton b(QStringLiteral("登録"));
    b.setBackColor(QColor(255, 255, 192));
    QCOMPARE(b.backColor(), QColor(255, 255, 192));
    QCOMPARE(b.palette().color(QPalette::Button), QColor(255, 255, 192));
}

void TstControls::twipsConversion()
{
    QWidget w;
    QCOMPARE(twipsToPixels(1440, &w), double(w.logicalDpiX()));
    QCOMPARE(pixelsToTwips(w.logicalDpiX(), &w), 1440.0);
    GridRig rig;
    makeGrid(rig);
    rig.grid->setColumnWidthTwips(5, 1440);
    QCOMPARE(rig.grid->columnWidth(5), rig.grid->logicalDpiX());
    QCOMPARE(rig.grid->columnWidthTwips(5), 1440.0);
    rig.grid->setRowHeightTwips(300);
    QCOMPARE(rig.grid->rowHeight(0), twipsToPx(300, rig.grid));
}

QTEST_MAIN(TstControls)
