// The hint window driven through the hint buttons of the three tabs and its own buttons.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "hint/Hint.h"
#include "hint/HintKey.h"
#include "hint/KeyHelp.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"営業日報 Tesvan Ver 1.20"_s;

// Types text as a keyboard would, one character at a time, into the focused widget.
void typeText(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        if (text.at(i) == '\n')
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(text.at(i)), Qt::NoModifier);
    }
}

// The tab that carries each hint button.
int tabOf(const QString& button)
{
    return button == "cmdHint" ? 0 : button == "cmdHint2" ? 1 : 2;
}
} // namespace

class TstHintWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void buttonWithoutHintShowsKeys_data();
    void buttonWithoutHintShowsKeys();
    void keyHelpIsNoHint();
    void storingTwiceKeepsOneRecord();
    void emptyTextIsStoredAndReadBack();
    void deletingWithoutRecord();
    void buttonsKeepIndependentHints();
    void clearThenCloseKeepsStoredHint();
    void editToggle();
    void secondClick_data();
    void secondClick();
    void typingWhileReadOnlyIsExplained();
    void noAtConfirmationChangesNothing_data();
    void noAtConfirmationChangesNothing();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void hintSurvivesRestartAndMainFileWipe();
    void longHintScrollsAndWindowResizes();
    void closingMainWindowClosesHintFirst();

  private:
    Hint* openHint(const QString& button);
    void store(const QString& ctl, const QString& text);
    QVariant hintValue(const QString& field, const QString& ctl);
    int hintRecords();
    QStringList boxTitles() const;
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
};

void TstHintWindow::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
}

void TstHintWindow::cleanup()
{
    m_fx.stop();
}

// Clicks the hint button on its own tab and returns the hint window.
Hint* TstHintWindow::openHint(const QString& button)
{
    m_w->SSTab1->setCurrentIndex(tabOf(button));
    auto* b = m_w->findChild<CommandButton*>(button);
    if (!b || !b->isVisible())
        return nullptr;
    QTest::mouseClick(b, Qt::LeftButton);
    auto* h = m_w->findChild<Hint*>("Hint");
    // A window with a transient parent counts as active with its parent, so wait for the
    // activation itself.
    if (h && !QTest::qWaitFor([h] { return QApplication::activeWindow() == h; }))
        return nullptr;
    return h;
}

// A hint stored directly, as an earlier run would have left it.
void TstHintWindow::store(const QString& ctl, const QString& text)
{
    QSqlQuery q(m_w->WorkDb());
    q.prepare("INSERT INTO ClHint VALUES ('FrmTesvan', ?, 'earlier', ?)");
    q.addBindValue(ctl);
    q.addBindValue(text);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

QVariant TstHintWindow::hintValue(const QString& field, const QString& ctl)
{
    return firstValue(m_w->WorkDb(),
                      u"SELECT %1 FROM ClHint WHERE FormName = 'FrmTesvan' AND CtlName = ?"_s.arg(field),
                      {ctl});
}

int TstHintWindow::hintRecords()
{
    return firstValue(m_w->WorkDb(), "SELECT count(*) FROM ClHint").toInt();
}

QStringList TstHintWindow::boxTitles() const
{
    QStringList t;
    for (const MsgSpec& s : m_fx.boxes->shown)
        t << s.title;
    return t;
}

void TstHintWindow::buttonWithoutHintShowsKeys_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("entry tab") << u"cmdHint"_s;
    QTest::newRow("list tab") << u"cmdHint2"_s;
    QTest::newRow("settings tab") << u"cmdHint3"_s;
}

void TstHintWindow::buttonWithoutHintShowsKeys()
{
    QFETCH(QString, button);
    Hint* h = openHint(button);
    QVERIFY(h);
    QVERIFY(h->isWindow());
    QCOMPARE(h->windowTitle(), u"ヒント        "_s);
    QVERIFY(!h->isModal());
    QCOMPARE(h->lblFormName->text(), u"FrmTesvan"_s);
    QCOMPARE(h->lblCtlName->text(), button);
    QCOMPARE(h->lblFormTitle->text(), kCaption);
    for (QLabel* l : {h->lblFormName, h->lblCtlName, h->lblFormTitle})
        QCOMPARE(l->palette().color(l->backgroundRole()), QColor(209, 209, 205));
    // No hint stored yet: the tab's keys and buttons, read-only, 編集 still there.
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(button));
    QVERIFY(h->showsKeyHelp());
    QVERIFY(h->txtContents->toPlainText().contains(u"Ctrl+Q"_s));
    QVERIFY(h->cmd編集->isVisible() && h->cmd編集->isEnabled());
    QVERIFY(h->txtContents->isReadOnly());
    QCOMPARE(h->cmd編集->backColor(), QColor(209, 209, 205));
    QCOMPARE(QApplication::focusWidget(), h->txtContents);
    const hint::HintKey& key = hint::sharedKey();
    QCOMPARE(key.HintFormName, u"FrmTesvan"_s);
    QCOMPARE(key.HintCtlName, button);
    QCOMPARE(key.HintFormTitle, kCaption);
    // Beside the stored names, the tab the user pressed the button on.
    const QStringList tabs = {u"営業日報"_s, u"日報一覧"_s, u"設定・情報"_s};
    QVERIFY2(h->lblAbout->text().contains(u"「"_s + tabs[tabOf(button)] + u"」タブ"_s),
             qPrintable(h->lblAbout->text()));
    // The main window stays usable while the hint is open.
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(m_w->isEnabled());
    QVERIFY(m_fx.boxes->shown.isEmpty());
    QCOMPARE(hintRecords(), 0);
}

// The key help stands in for a missing hint: 登録 without 編集 stores an empty hint, never the
// help; 編集 starts the hint from nothing; a stored hint is shown instead.
void TstHintWindow::keyHelpIsNoHint()
{
    Hint* h = openHint(u"cmdHint"_s);
    QVERIFY(h && h->showsKeyHelp());
    QVERIFY(h->txtContents->toPlainText().contains(u"前回から作成"_s));
    h->cmd登録->click();
    QCOMPARE(hintRecords(), 1);
    QCOMPARE(hintValue(u"Contents"_s, u"cmdHint"_s).toString(), QString());
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(u"cmdHint"_s));
    h->cmd閉じる->click();
    h = openHint(u"cmdHint"_s);
    QVERIFY(h && h->showsKeyHelp());
    h->cmd編集->click();
    QCOMPARE(h->txtContents->toPlainText(), QString());
    QVERIFY(!h->showsKeyHelp());
    typeText(u"朝は前回から作成"_s);
    h->cmd登録->click();
    h->cmd閉じる->click();
    h = openHint(u"cmdHint"_s);
    QCOMPARE(h->txtContents->toPlainText(), u"朝は前回から作成"_s);
    QVERIFY(!h->showsKeyHelp());
    for (const char* button : {"cmdHint", "cmdHint2", "cmdHint3"})
        QVERIFY(!hint::keyHelp(QString::fromLatin1(button)).isEmpty());
    // TESVAN_SHOTS names a folder for a picture of the key help, to look at.
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty()) {
        h->cmd閉じる->click();
        h = openHint(u"cmdHint2"_s);
        h->resize(640, 420);
        QCoreApplication::processEvents();
        h->grab().save(shots + u"/hint-keys.png"_s);
    }
}

void TstHintWindow::storingTwiceKeepsOneRecord()
{
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    h->cmd編集->click();
    typeText(u"最初の説明"_s);
    h->cmd登録->click();
    // The stored caption is the one at the click that opened the window.
    m_w->setWindowTitle("別の題");
    h->cmdクリア->click();
    h->txtContents->setFocus();
    typeText(u"二番目\nの説明"_s);
    h->cmd登録->click();
    QCOMPARE(hintRecords(), 1);
    QCOMPARE(hintValue("Contents", "cmdHint").toString(), u"二番目\nの説明"_s);
    QCOMPARE(hintValue("FormTitle", "cmdHint").toString(), kCaption);
    QCOMPARE(boxTitles(), QStringList({"登録の確認", "登録完了", "登録の確認", "登録完了"}));
    QCOMPARE(m_fx.boxes->shown[0].text, u"ヒント を登録します。よろしいですか"_s);
    QVERIFY(!m_fx.boxes->shown[0].defaultNo);
    QCOMPARE(m_fx.boxes->shown[1].text, u"ヒント を登録しました。"_s);
}

void TstHintWindow::emptyTextIsStoredAndReadBack()
{
    store("cmdHint2", "前の説明");
    Hint* h = openHint("cmdHint2");
    QVERIFY(h);
    QCOMPARE(h->txtContents->toPlainText(), u"前の説明"_s);
    h->cmdクリア->click();
    h->cmd登録->click();
    QCOMPARE(hintRecords(), 1);
    QVERIFY(!hintValue("Contents", "cmdHint2").isNull());
    QCOMPARE(hintValue("Contents", "cmdHint2").toString(), QString());
    h->cmd閉じる->click();
    h = openHint("cmdHint2");
    QVERIFY(h);
    // An empty hint is no hint: the key help stands in for it.
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(u"cmdHint2"_s));
}

void TstHintWindow::deletingWithoutRecord()
{
    Hint* h = openHint("cmdHint3");
    QVERIFY(h);
    h->cmd編集->click();
    typeText(u"まだ登録していない"_s);
    m_fx.boxes->answers = {true};
    h->cmd削除->click();
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(u"cmdHint3"_s));
    QCOMPARE(boxTitles(), QStringList({"削除の確認", "削除の完了"}));
    QCOMPARE(m_fx.boxes->shown[0].text, u"すべてのデータを削除します。よろしいですか"_s);
    QVERIFY(m_fx.boxes->shown[0].defaultNo);
    QCOMPARE(m_fx.boxes->shown[1].text, u"データ ヒント を削除しました。"_s);
    QCOMPARE(hintRecords(), 0);
}

void TstHintWindow::buttonsKeepIndependentHints()
{
    const QStringList buttons = {"cmdHint", "cmdHint2", "cmdHint3"};
    for (const QString& b : buttons) {
        Hint* h = openHint(b);
        QVERIFY(h);
        h->cmd編集->click();
        typeText(b + u"の使い方"_s);
        h->cmd登録->click();
        h->cmd閉じる->click();
        QVERIFY(!h->isVisible());
    }
    // Deleting one leaves the others.
    Hint* h = openHint("cmdHint2");
    QVERIFY(h);
    m_fx.boxes->answers = {true};
    h->cmd削除->click();
    h->cmd閉じる->click();
    QCOMPARE(hintRecords(), 2);
    for (const QString& b : buttons) {
        h = openHint(b);
        QVERIFY(h);
        QCOMPARE(h->lblCtlName->text(), b);
        QCOMPARE(h->txtContents->toPlainText(), b == "cmdHint2" ? hint::keyHelp(b) : b + u"の使い方"_s);
        h->cmd閉じる->click();
    }
}

void TstHintWindow::clearThenCloseKeepsStoredHint()
{
    store("cmdHint", "大事な説明");
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    QCOMPARE(h->txtContents->toPlainText(), u"大事な説明"_s);
    h->cmdクリア->click();
    QCOMPARE(h->txtContents->toPlainText(), QString());
    h->cmd閉じる->click();
    QVERIFY(!h->isVisible());
    QVERIFY(m_fx.boxes->shown.isEmpty());
    QCOMPARE(hintValue("Contents", "cmdHint").toString(), u"大事な説明"_s);
    Hint* again = openHint("cmdHint");
    QCOMPARE(again, h); // the one window of the run, loaded afresh
    QCOMPARE(again->txtContents->toPlainText(), u"大事な説明"_s);
    QVERIFY(again->txtContents->isReadOnly());
}

void TstHintWindow::editToggle()
{
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    // Read-only: typing changes nothing.
    typeText(u"無視"_s);
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(u"cmdHint"_s));
    h->cmd編集->click();
    QCOMPARE(h->cmd編集->backColor(), QColor(255, 128, 128));
    QVERIFY(!h->txtContents->isReadOnly());
    QVERIFY(h->isEditing());
    QCOMPARE(QApplication::focusWidget(), h->txtContents);
    typeText(u"入力"_s);
    QCOMPARE(h->txtContents->toPlainText(), u"入力"_s);
    h->cmd編集->click();
    QCOMPARE(h->cmd編集->backColor(), QColor(209, 209, 205));
    QVERIFY(h->txtContents->isReadOnly());
    QVERIFY(!h->isEditing());
    QCOMPARE(QApplication::focusWidget(), h->txtContents);
    typeText(u"x"_s);
    QCOMPARE(h->txtContents->toPlainText(), u"入力"_s);
    // Any colour other than grey counts as editing: the next click makes it read-only.
    h->cmd編集->setBackColor(Qt::white);
    h->cmd編集->click();
    QVERIFY(h->txtContents->isReadOnly());
    // A fresh load starts read-only again.
    h->cmd編集->click();
    h->cmd閉じる->click();
    h = openHint("cmdHint");
    QVERIFY(h->txtContents->isReadOnly());
    QCOMPARE(h->cmd編集->backColor(), QColor(209, 209, 205));
}

void TstHintWindow::secondClick_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("shown"); // the button the window is on after the second click
    QTest::addColumn<QString>("text");  // what it shows
    QTest::addColumn<bool>("editing");  // still in the edit state
    QTest::newRow("same button keeps what is typed")
        << u"cmdHint2"_s << u"cmdHint2"_s << u"一覧の説明追記"_s << true;
    QTest::newRow("another button loads its hint")
        << u"cmdHint"_s << u"cmdHint"_s << u"入力の説明"_s << false;
    QTest::newRow("another tab's button without hint")
        << u"cmdHint3"_s << u"cmdHint3"_s << QString() << false;
}

void TstHintWindow::secondClick()
{
    QFETCH(QString, second);
    QFETCH(QString, shown);
    QFETCH(QString, text);
    QFETCH(bool, editing);
    store("cmdHint", "入力の説明");
    store("cmdHint2", "一覧の説明");
    Hint* h = openHint("cmdHint2");
    QVERIFY(h);
    h->cmd編集->click();
    QTest::keyClick(h->txtContents, Qt::Key_End, Qt::ControlModifier);
    typeText(u"追記"_s);
    QCOMPARE(openHint(second), h);
    QCOMPARE(m_w->findChildren<Hint*>().size(), 1);
    QCOMPARE(h->lblCtlName->text(), shown);
    QCOMPARE(h->txtContents->toPlainText(), text.isEmpty() ? hint::keyHelp(shown) : text);
    QCOMPARE(h->isEditing(), editing);
    // What is registered now goes under the button the window shows, and nowhere else.
    if (!editing)
        h->cmd編集->click();
    QTest::keyClick(h->txtContents, Qt::Key_End, Qt::ControlModifier);
    typeText(u"！"_s);
    h->cmd登録->click();
    QCOMPARE(hintValue("Contents", shown).toString(), text + u"！"_s);
    QCOMPARE(hintValue("Contents", "cmdHint").toString(),
             shown == u"cmdHint"_s ? u"入力の説明！"_s : u"入力の説明"_s);
    QCOMPARE(hintValue("Contents", "cmdHint2").toString(),
             shown == u"cmdHint2"_s ? u"一覧の説明追記！"_s : u"一覧の説明"_s);
    QCOMPARE(hintRecords(), shown == u"cmdHint3"_s ? 3 : 2);
    // After 閉じる the next click loads the window for that click's button.
    h->cmd閉じる->click();
    h = openHint("cmdHint2");
    QCOMPARE(h->lblCtlName->text(), u"cmdHint2"_s);
    QCOMPARE(h->txtContents->toPlainText(), hintValue("Contents", "cmdHint2").toString());
}

void TstHintWindow::noAtConfirmationChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("登録 answered No") << u"cmd登録"_s;
    QTest::newRow("削除 answered No") << u"cmd削除"_s;
}

void TstHintWindow::noAtConfirmationChangesNothing()
{
    QFETCH(QString, button);
    store("cmdHint", "元");
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    h->cmd編集->click();
    QTest::keyClick(h->txtContents, Qt::Key_End, Qt::ControlModifier);
    typeText(u"新"_s);
    m_fx.boxes->answers = {false};
    h->findChild<QPushButton*>(button)->click();
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(h->txtContents->toPlainText(), u"元新"_s);
    QCOMPARE(hintRecords(), 1);
    QCOMPARE(hintValue("Contents", "cmdHint").toString(), u"元"_s);
    QCOMPARE(hintValue("FormTitle", "cmdHint").toString(), u"earlier"_s);
}

void TstHintWindow::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("refused");
    QTest::newRow("store, old record not deleted")
        << u"cmd登録"_s << u"ヒントを登録できませんでした。"_s << u"DELETE"_s;
    QTest::newRow("store, new record not added")
        << u"cmd登録"_s << u"ヒントを登録できませんでした。"_s << u"INSERT"_s;
    QTest::newRow("delete") << u"cmd削除"_s << u"ヒントを削除できませんでした。"_s << u"DELETE"_s;
}

void TstHintWindow::failedWriteIsReported()
{
    QFETCH(QString, button);
    QFETCH(QString, what);
    QFETCH(QString, refused);
    store("cmdHint", "元");
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    h->cmd編集->click();
    QTest::keyClick(h->txtContents, Qt::Key_End, Qt::ControlModifier);
    typeText(u"新"_s);
    QSqlQuery q(m_w->WorkDb());
    QVERIFY(q.exec(
        u"CREATE TRIGGER refuse BEFORE %1 ON ClHint BEGIN SELECT RAISE(ABORT, 'disk quota'); END"_s.arg(
            refused)));
    m_fx.boxes->answers = {true};
    h->findChild<QPushButton*>(button)->click();
    // The confirmation, then the failure instead of the completion notice.
    QCOMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].title, u"注意"_s);
    QVERIFY(m_fx.boxes->shown[1].text.startsWith(what));
    QVERIFY(m_fx.boxes->shown[1].text.contains("disk quota"));
    QCOMPARE(hintRecords(), 1);
    QCOMPARE(hintValue("Contents", "cmdHint").toString(), u"元"_s);
    // What the user typed is not lost.
    QCOMPARE(h->txtContents->toPlainText(), u"元新"_s);
}

void TstHintWindow::hintSurvivesRestartAndMainFileWipe()
{
    Hint* h = openHint("cmdHint2");
    QVERIFY(h);
    h->cmd編集->click();
    typeText(u"一覧は読込で更新"_s);
    h->cmd登録->click();
    // Reports and code-master names wiped in the main file, as data initialisation does.
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec("DELETE FROM 営業日報"));
    QVERIFY(q.exec("DELETE FROM 営業日報ヘッダ"));
    QVERIFY(q.exec("UPDATE コードマスタ SET sname = NULL"));
    q = QSqlQuery();
    // The next run starts on the same files; its start-up rebuilds the work tables.
    m_fx.window.reset();
    m_fx.window = std::make_unique<FrmTesvan>();
    m_w = m_fx.window.get();
    QVERIFY(m_w->loadFrom(app::chooseDataFolder(m_fx.tmp->path())));
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    h = openHint("cmdHint2");
    QVERIFY(h);
    QCOMPARE(h->txtContents->toPlainText(), u"一覧は読込で更新"_s);
}

void TstHintWindow::longHintScrollsAndWindowResizes()
{
    QStringList lines;
    for (int i = 1; i <= 300; ++i)
        lines << u"%1行目の説明"_s.arg(i);
    store("cmdHint", lines.join('\n'));
    Hint* h = openHint("cmdHint");
    QVERIFY(h);
    QCOMPARE(h->txtContents->toPlainText(), lines.join('\n'));
    QVERIFY(h->txtContents->verticalScrollBar()->maximum() > 0);
    h->txtContents->verticalScrollBar()->setValue(h->txtContents->verticalScrollBar()->maximum());
    QVERIFY(h->txtContents->verticalScrollBar()->value() > 0);
    const QSize before = h->txtContents->size();
    QVERIFY(h->maximumWidth() > h->width() && h->maximumHeight() > h->height());
    h->resize(h->width() + 200, h->height() + 150);
    QTRY_VERIFY(h->txtContents->width() >= before.width() + 150);
    QVERIFY(h->txtContents->height() >= before.height() + 100);
}

void TstHintWindow::closingMainWindowClosesHintFirst()
{
    QPointer<Hint> h = openHint("cmdHint");
    QVERIFY(h);
    QStringList order;
    struct Watch : QObject {
        QStringList* order;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Hide)
                *order << "hint closed";
            return false;
        }
    } watch;
    watch.order = &order;
    h->installEventFilter(&watch);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &watch, [&order] { order << "run ended"; });
    QTimer::singleShot(0, m_w, [this] { m_w->close(); });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(!m_w->isVisible());
    QVERIFY(h.isNull() || !h->isVisible());
    QCOMPARE(order, QStringList({"hint closed", "run ended"}));
    if (h)
        h->removeEventFilter(&watch);
}

void TstHintWindow::typingWhileReadOnlyIsExplained()
{
    Hint* h = openHint("cmdHint2");
    QVERIFY(h);
    QVERIFY(h->lblState->text().contains(u"「編集」を押して"_s));
    const QString calm = h->lblState->styleSheet();
    // Typed before 編集: nothing is written, and the window says why, marked.
    typeText(u"メモ"_s);
    QCOMPARE(h->txtContents->toPlainText(), hint::keyHelp(u"cmdHint2"_s));
    QVERIFY(h->lblState->text().contains(u"「編集」を押して"_s));
    QVERIFY(h->lblState->styleSheet() != calm);
    // After 編集 the same keys type, and the window says it is editing.
    h->cmd編集->click();
    typeText(u"メモ"_s);
    QCOMPARE(h->txtContents->toPlainText(), u"メモ"_s);
    QVERIFY(h->lblState->text().contains(u"編集中"_s));
    h->cmd編集->click();
    QCOMPARE(h->lblState->styleSheet(), calm);
}

QTEST_MAIN(TstHintWindow)
#include "tst_hintwindow.moc"
