// What a screen reader and UI automation find: every input and button of the main window, the
// hint window and the search window has a name, read through Qt's accessibility interface.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "search/SearchWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

class TstAccessible : public QObject {
    Q_OBJECT
  private slots:
    void init() { QVERIFY(m_fx.start()); }
    void cleanup() { m_fx.stop(); }
    void headerNamedByLabels_data();
    void headerNamedByLabels();
    void everyInputAndButtonNamed();

  private:
    // A combo box's name on Linux is its text (Qt's choice for AT-SPI): its own name is the
    // accessible name given, and its label is found through the labelled-by relation.
    static QString nameOf(QWidget* w)
    {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a)
            return {};
        return qobject_cast<QComboBox*>(w) ? w->accessibleName() : a->text(QAccessible::Name);
    }
    static QStringList labelsOf(QWidget* w)
    {
        QStringList labels;
        if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w))
            for (const auto& [label, relation] : a->relations(QAccessible::Label))
                labels << label->text(QAccessible::Name).remove(u'\u3000');
        return labels;
    }
    WindowFixture m_fx;
};

void TstAccessible::headerNamedByLabels_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("creation date") << u"Dt日付"_s << u"作成日"_s;
    QTest::newRow("name, its label spaced out") << u"cmb氏名"_s << u"氏名"_s;
    QTest::newRow("department") << u"cmb所属"_s << u"所属"_s;
    QTest::newRow("title") << u"txtタイトル"_s << u"タイトル"_s;
    QTest::newRow("hint button, a picture") << u"cmdHint"_s << u"ヒント"_s;
    QTest::newRow("a button by its caption") << u"cmd登録"_s << u"登録"_s;
    QTest::newRow("list's name filter") << u"cmb氏名選択"_s << u"氏名"_s;
    QTest::newRow("code category") << u"cmbコード区分"_s << u"区分"_s;
}

void TstAccessible::headerNamedByLabels()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QWidget* w = m_fx.window->findChild<QWidget*>(control);
    QVERIFY(w);
    QCOMPARE(nameOf(w), name);
    // A labelled input tells its label too, as screen readers read it.
    if (!qobject_cast<QAbstractButton*>(w))
        QCOMPARE(labelsOf(w), QStringList{name});
}

void TstAccessible::everyInputAndButtonNamed()
{
    FrmTesvan* main = m_fx.window.get();
    main->showHint(u"cmdHint"_s);
    main->showSearch();
    QList<QWidget*> windows{main, main->searchWindow()};
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == u"Hint"_s)
            windows << top;
    QCOMPARE(windows.size(), 3);
    int checked = 0;
    for (QWidget* window : windows)
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const bool input = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                               qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                               qobject_cast<QAbstractItemView*>(w);
            // Qt's own parts (a calendar's arrows, a combo's list) are named by Qt.
            if (!input || w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"_s))
                continue;
            QVERIFY2(!nameOf(w).trimmed().isEmpty(),
                     qPrintable(window->objectName() + u" "_s + w->objectName()));
            ++checked;
        }
    QVERIFY2(checked > 50, qPrintable(QString::number(checked)));
}

QTEST_MAIN(TstAccessible)
#include "tst_accessible.moc"
