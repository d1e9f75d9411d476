// The 営業日報 tab telling the user what happened: what 登録 stored, one notice per failed
// write, a wrong entry named as such, a report too long for the grid.
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "report/RegisteredNote.h"
#include "report/ReportTab.h"
#include "store/Db.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace testing;

class TstEntryChecks : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void registeredNote_data();
    void registeredNote();
    void oneNoticePerFailedWrite_data();
    void oneNoticePerFailedWrite();
    void wrongEntryIsNamedAsSuch_data();
    void wrongEntryIsNamedAsSuch();
    void tooLongReportIsNotOpened();
    void longNoteKeepsTheGridInPlace_data();
    void longNoteKeepsTheGridInPlace();

  private:
    void setHeader(const QString& name);
    void editCell(int row, int col, const QString& text);
    void trigger(const QString& how);
    QList<MsgSpec> titled(const QString& title) const;
    bool marked(int row) const;
    QVariant workValue(const QString& sql) { return firstValue(m_w->WorkDb(), sql); }
    WindowFixture m_fx;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstEntryChecks::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    r = m_w->reportTab();
}

void TstEntryChecks::cleanup()
{
    m_fx.stop();
}

void TstEntryChecks::setHeader(const QString& name)
{
    r->Dt日付->setDate(QDate(2026, 4, 1));
    r->cmb氏名->setEditText(name);
}

void TstEntryChecks::editCell(int row, int col, const QString& text)
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    g->setRow(row);
    g->setCol(col);
    typeText(text);
}

// Starts an operation the way a person does: "click:<button>" with the mouse, or "key:<shortcut>".
void TstEntryChecks::trigger(const QString& how)
{
    if (how.startsWith(u"click:")) {
        auto* b = r->findChild<QPushButton*>(how.mid(6));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    } else {
        const QKeySequence k(how.mid(4));
        QTest::keySequence(QApplication::focusWidget(), k);
    }
    // A shortcut clicks its button a moment later.
    QTest::qWait(250);
}

QList<MsgSpec> TstEntryChecks::titled(const QString& title) const
{
    QList<MsgSpec> out;
    for (const MsgSpec& s : m_fx.boxes->shown)
        if (s.title == title)
            out << s;
    return out;
}

bool TstEntryChecks::marked(int row) const
{
    const QAbstractItemModel* m = r->Grid日報->model();
    return m->index(row, ReportTab::ColText).data(Qt::BackgroundRole).isValid();
}

void TstEntryChecks::registeredNote_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("fails");
    QTest::newRow("registered") << true << false;
    QTest::newRow("answered No") << false << false;
    QTest::newRow("registration failed") << true << true;
}

void TstEntryChecks::registeredNote()
{
    QFETCH(bool, yes);
    QFETCH(bool, fails);
    setHeader("山田");
    editCell(0, ReportTab::ColShowDate, "4/1");
    pressKey(Qt::Key_Return);
    editCell(0, ReportTab::ColText, "一件目");
    pressKey(Qt::Key_Return);
    editCell(1, ReportTab::ColText, "二件目");
    pressKey(Qt::Key_Return);
    // A visit planned but not yet described: no 内容, so no line.
    editCell(2, ReportTab::ColPlace, "未記入社");
    pressKey(Qt::Key_Return);
    if (fails)
        QVERIFY(store::run(m_w->MainDb(), "CREATE TRIGGER no_lines BEFORE INSERT ON 営業日報 "
                                          "BEGIN SELECT RAISE(ABORT, 'disk quota'); END")
                    .ok());
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {yes};
    trigger("key:Ctrl+S");
    auto* note = r->findChild<QLabel*>("lbl登録結果");
    QVERIFY(note);
    QVERIFY(!QApplication::activeModalWidget());
    if (!yes || fails) {
        QCOMPARE(note->text(), QString());
        QVERIFY(!marked(2));
        QCOMPARE(titled("注意").size(), fails ? 1 : 0);
        return;
    }
    QCOMPARE(m_fx.boxes->shown.size(), 1); // the question, and no box after it
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QString("日報を登録しました（2 行）。内容のない行 3 は登録していません。"));
    QVERIFY(marked(2));
    QVERIFY(!marked(0) && !marked(1) && !marked(3));
    // Giving the line its contents takes the mark away; the note stays until its time is up.
    editCell(2, ReportTab::ColText, "後から記入");
    pressKey(Qt::Key_Return);
    QVERIFY(!marked(2));
    QVERIFY(!note->text().isEmpty());
    // The next operation starts afresh (the line given its contents is not registered: クリア
    // asks first).
    m_fx.boxes->answers = {true};
    trigger("click:cmdクリア");
    QCOMPARE(note->text(), QString());
}

void TstEntryChecks::oneNoticePerFailedWrite_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("登録 clicked") << "click:cmd登録";
    QTest::newRow("登録 by Ctrl+S") << "key:Ctrl+S";
    QTest::newRow("印刷 clicked") << "click:cmd印刷";
    QTest::newRow("読込 by F5") << "key:F5";
}

void TstEntryChecks::oneNoticePerFailedWrite()
{
    QFETCH(QString, how);
    setHeader("山田");
    QVERIFY(store::run(m_w->WorkDb(), "CREATE TRIGGER no_write BEFORE UPDATE ON w営業日報 "
                                      "BEGIN SELECT RAISE(ABORT, 'disk is full'); END")
                .ok());
    editCell(0, ReportTab::ColPerson, "担当者");
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {true};
    trigger(how);
    const QList<MsgSpec> notices = titled("注意");
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].text.contains("disk is full"), qPrintable(notices[0].text));
    // Nothing went on: no question, the typed text still in its cell.
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    auto* le = qobject_cast<QLineEdit*>(r->Grid日報->activeEditor());
    QVERIFY(le);
    QCOMPARE(le->text(), QString("担当者"));
}

void TstEntryChecks::wrongEntryIsNamedAsSuch_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    const QString date = "日付が正しくありません。確認してください";
    const QString time = "時間が正しくありません。確認してください";
    QTest::newRow("date, 印刷") << "click:cmd印刷" << int(ReportTab::ColShowDate) << "13/45" << date;
    QTest::newRow("date, 読込") << "click:cmd読込" << int(ReportTab::ColShowDate) << "13/45" << date;
    QTest::newRow("date, 登録 by Ctrl+S") << "key:Ctrl+S" << int(ReportTab::ColShowDate) << "13/45" << date;
    QTest::newRow("time, 印刷") << "click:cmd印刷" << int(ReportTab::ColTime) << "12:5" << time;
    QTest::newRow("time, 登録") << "click:cmd登録" << int(ReportTab::ColTime) << "2561" << time;
}

void TstEntryChecks::wrongEntryIsNamedAsSuch()
{
    QFETCH(QString, how);
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    setHeader("山田");
    editCell(0, col, typed);
    m_fx.boxes->shown.clear();
    trigger(how);
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].title, QString("入力注意"));
    QCOMPARE(m_fx.boxes->shown[0].text, text);
    // The focus is back where the correction is typed, the entry still there.
    QWidget* editor = r->Grid日報->activeEditor();
    QVERIFY(editor);
    QTRY_COMPARE(QApplication::focusWidget(), editor);
    QCOMPARE(qobject_cast<QLineEdit*>(editor)->text(), typed);
    QCOMPARE(r->Grid日報->col(), col);
}

void TstEntryChecks::tooLongReportIsNotOpened()
{
    QVERIFY(store::run(m_w->MainDb(),
                       "INSERT INTO 営業日報ヘッダ VALUES ('2026-04-01', '山田', '営業部', '長い')")
                .ok());
    for (int n = 1; n <= 101; ++n)
        QVERIFY(
            store::run(
                m_w->MainDb(),
                "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 内容) VALUES ('2026-04-01', '山田', ?, "
                "'2026-04-01', ?)",
                {n, QString("行%1").arg(n)})
                .ok());
    setHeader("山田");
    r->txtタイトル->setText("入力中");
    editCell(0, ReportTab::ColText, "画面の行");
    pressKey(Qt::Key_Return);
    m_fx.boxes->shown.clear();
    // What is typed is not registered: 読込 asks first; 破棄する goes on to the read.
    m_fx.boxes->answers = {MsgButton::Discard};
    trigger("key:F5");
    QCOMPARE(m_fx.boxes->shown.size(), 2);
    QCOMPARE(m_fx.boxes->shown[1].title, QString("読込注意"));
    QVERIFY2(m_fx.boxes->shown[1].text.startsWith("2026/04/01 山田 の日報 は行数が画面の行数を超える"),
             qPrintable(m_fx.boxes->shown[1].text));
    // The screen stays as it was, so no 登録 can store the report cut short.
    QCOMPARE(r->txtタイトル->text(), QString("入力中"));
    QCOMPARE(workValue("SELECT 内容 FROM w営業日報 WHERE 行番号 = 1").toString(), QString("画面の行"));
    QCOMPARE(workValue("SELECT count(*) FROM w営業日報 WHERE 内容 IS NOT NULL").toInt(), 1);

    // Opened from the list (選択), the header goes back to the report on screen.
    r->Dt日付->setDate(QDate(2026, 4, 2));
    r->cmb氏名->setEditText("佐藤");
    m_fx.boxes->shown.clear();
    r->openReport("山田", "20260401");
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(r->Dt日付->date(), QDate(2026, 4, 2));
    QCOMPARE(r->cmb氏名->currentText(), QString("佐藤"));
    // Nothing was read: what was typed is still unregistered, and closing asks about it.
    m_fx.boxes->shown.clear();
    m_fx.boxes->answers = {MsgButton::Cancel};
    QVERIFY(!m_fx.window->close());
    QCOMPARE(m_fx.boxes->shown.size(), 1);
    QCOMPARE(m_fx.boxes->shown[0].choices.size(), 3);
}

void TstEntryChecks::longNoteKeepsTheGridInPlace_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest window") << QSize(800, 560);
    QTest::newRow("default") << QSize(900, 660);
}

// However many lines 登録 left out, the note is one line: cut with "…" where the line is too short,
// whole in its tooltip; the grid and the buttons stay where they were.
void TstEntryChecks::longNoteKeepsTheGridInPlace()
{
    QFETCH(QSize, size);
    m_w->resize(size);
    QTRY_COMPARE(m_w->size(), size);
    RegisteredNote* note = r->lbl登録結果;
    const QRect grid = r->Grid日報->geometry(), button = r->cmd登録->geometry();
    QList<int> left;
    for (int n = 1; n <= 60; ++n)
        left << n;
    note->showRegistered(3, left);
    QCoreApplication::processEvents();
    QCOMPARE(r->Grid日報->geometry(), grid);
    QCOMPARE(r->cmd登録->geometry(), button);
    QCOMPARE(note->toolTip(), note->text());
    QVERIFY(note->text().contains(u"60"));
    QVERIFY(note->fontMetrics().horizontalAdvance(note->shownText()) <= note->contentsRect().width());
    QVERIFY(note->height() < 2 * note->fontMetrics().height());
    QVERIFY2(note->shownText().endsWith(QChar(0x2026)), qPrintable(note->shownText()));
    // A short note is shown whole.
    note->showRegistered(2, {});
    QCOMPARE(note->shownText(), QStringLiteral("日報を登録しました（2 行）。"));
    QCOMPARE(r->Grid日報->geometry(), grid);
    // TESVAN_SHOTS names a folder for a picture of the row of buttons, to look at.
    if (const QString shots = qEnvironmentVariable("TESVAN_SHOTS"); !shots.isEmpty()) {
        note->showRegistered(3, left);
        QCoreApplication::processEvents();
        m_w->grab().save(QStringLiteral("%1/note-%2.png").arg(shots).arg(size.width()));
    }
}

QTEST_MAIN(TstEntryChecks)
#include "tst_entrychecks.moc"
