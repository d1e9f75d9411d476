// Typed work on the 営業日報 tab that is not registered: クリア, 読込, opening another report and
// closing ask first, and only then; each answer does what it says, and nothing else.
#include "BoxProbe.h"
#include "Typing.h"
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "list/ListTab.h"
#include "report/ReportTab.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace testing;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MsgButton)

class TstUnsaved : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() { m_fx.stop(); }
    // First: a window closed ends the event loops for the rest of the process, real boxes' too.
    void cancelGivesTheKeyboardBack();
    void clearAsks_data();
    void clearAsks();
    void readAsks_data();
    void readAsks();
    void openAsks_data();
    void openAsks();
    void listSelectionStaysOnCancel();
    void fromLastAsks_data();
    void fromLastAsks();
    void closeAsks_data();
    void closeAsks();
    void closeRegistersOnlyAWholeKey();
    void earlierWorkFileGetsWhatIsKept();

  private:
    void storeReport(const QString& iso, const QString& name, const QString& text);
    void readStored(const QString& iso, const QString& name);
    // Makes the change a row of the data tables names.
    void change(const QString& what);
    QString storedText(const QString& iso, const QString& name);
    QString shownText(int row) { return r->dat日報->value(row, u"内容"_s).toString(); }
    bool gridBlank();

    WindowFixture m_fx;
    ScriptedBoxes* m_boxes = nullptr;
    FrmTesvan* m_w = nullptr;
    ReportTab* r = nullptr;
};

void TstUnsaved::init()
{
    QVERIFY(m_fx.start());
    m_w = m_fx.window.get();
    m_boxes = m_fx.boxes.get();
    r = m_w->reportTab();
    storeReport(u"2026-04-01"_s, u"佐藤"_s, u"A の内容"_s);
    storeReport(u"2026-04-02"_s, u"佐藤"_s, u"B の内容"_s);
}

void TstUnsaved::storeReport(const QString& iso, const QString& name, const QString& text)
{
    QSqlQuery q(m_w->MainDb());
    QVERIFY(q.exec(u"INSERT INTO 営業日報ヘッダ VALUES ('%1', '%2', '営業部', 'T')"_s.arg(iso, name)));
    QVERIFY(q.exec(u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 内容) VALUES "
                   "('%1', '%2', 1, '%1', '%1', '%3')"_s.arg(iso, name, text)));
}

void TstUnsaved::readStored(const QString& iso, const QString& name)
{
    r->Dt日付->setDate(QDate::fromString(iso, Qt::ISODate));
    r->cmb氏名->setEditText(name);
    r->cmd読込->click();
}

QString TstUnsaved::storedText(const QString& iso, const QString& name)
{
    return firstValue(m_w->MainDb(),
                      u"SELECT group_concat(内容, '|') FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?"_s,
                      {iso, name})
        .toString();
}

bool TstUnsaved::gridBlank()
{
    return firstValue(m_w->WorkDb(), u"SELECT count(*) FROM w営業日報 WHERE coalesce(表示日付, 日付, 時間, "
                                     u"担当, 訪問先, 内容, 備考) "
                                     "IS NULL AND チェック = 0"_s)
               .toInt() == 100;
}

void TstUnsaved::change(const QString& what)
{
    DataGrid* g = r->Grid日報;
    g->setFocus();
    if (what == u"line"_s) {
        g->setRow(1);
        g->setCol(ReportTab::ColText);
        QCOMPARE(g->setColumnValue(ReportTab::ColText, u"書いた行"_s), QString());
    } else if (what == u"cell being typed"_s) {
        g->setRow(1);
        g->setCol(ReportTab::ColText);
        typeText(u"入力中"_s);
        QVERIFY(g->isEditing());
    } else if (what == u"内容 panel"_s) {
        g->setRow(1);
        g->setCol(ReportTab::ColText);
        r->cellAction();
        QVERIFY(r->Cnテキスト入力->isVisible());
        r->txt内容->setPlainText(u"パネルで書いた"_s);
    } else if (what == u"所属"_s) {
        r->cmb所属->setEditText(u"総務部"_s);
    } else if (what == u"タイトル"_s) {
        r->txtタイトル->setText(u"新しい題"_s);
    } else if (what == u"作成日"_s) {
        r->Dt日付->setDate(QDate(2026, 4, 2));
    } else if (what == u"氏名"_s) {
        r->cmb氏名->setEditText(u"鈴木"_s);
    } else if (what == u"tick"_s) {
        r->cmd全選択->click();
        QCOMPARE(r->dat日報->setValue(5, u"チェック"_s, 1), QString());
    } else if (what == u"value written back as it was"_s) {
        g->setRow(0);
        g->setCol(ReportTab::ColText);
        QCOMPARE(g->setColumnValue(ReportTab::ColText, shownText(0)), QString());
        r->cellAction();
        r->acceptTextPanel();
        g->setCol(ReportTab::ColPerson);
        QTest::keyClick(g, Qt::Key_F2);
        QVERIFY(g->isEditing());
        QTest::keyClick(g->activeEditor(), Qt::Key_Return);
    } else if (what == u"blank line deleted"_s) {
        QCOMPARE(r->dat日報->setValue(7, u"チェック"_s, 1), QString());
        r->cmd行削除->click();
        QCOMPARE(r->dat日報->rowCount(), 99);
    } else if (what == u"filled line deleted"_s) {
        QCOMPARE(r->dat日報->setValue(0, u"チェック"_s, 1), QString());
        r->cmd行削除->click();
        QCOMPARE(r->dat日報->rowCount(), 99);
    } else {
        QVERIFY2(what == u"nothing"_s, qPrintable(what));
    }
}

void TstUnsaved::clearAsks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("asks");
    QTest::newRow("nothing") << u"nothing"_s << false;
    QTest::newRow("ticks") << u"tick"_s << false;
    QTest::newRow("a value written back as it was") << u"value written back as it was"_s << false;
    QTest::newRow("a blank line deleted") << u"blank line deleted"_s << false;
    QTest::newRow("a line typed") << u"line"_s << true;
    QTest::newRow("a cell being typed") << u"cell being typed"_s << true;
    QTest::newRow("a filled line deleted") << u"filled line deleted"_s << true;
    QTest::newRow("所属") << u"所属"_s << true;
    QTest::newRow("タイトル") << u"タイトル"_s << true;
    QTest::newRow("作成日") << u"作成日"_s << true;
    QTest::newRow("氏名") << u"氏名"_s << true;
}

// クリア asks its Yes/No question (No the default) exactly when something is unregistered; No
// leaves everything as it was.
void TstUnsaved::clearAsks()
{
    QFETCH(QString, what);
    QFETCH(bool, asks);
    for (const bool yes : {false, true}) {
        readStored(u"2026-04-01"_s, u"佐藤"_s);
        QCOMPARE(shownText(0), u"A の内容"_s);
        m_boxes->shown.clear();
        change(what);
        m_boxes->answers << yes;
        r->cmdクリア->click();
        QCOMPARE(m_boxes->shown.size(), asks ? 1 : 0);
        if (asks) {
            QCOMPARE(m_boxes->shown[0].text, u"画面をクリアします。よろしいですか"_s);
            QVERIFY(m_boxes->shown[0].defaultNo);
        }
        m_boxes->answers.clear();
        const bool cleared = !asks || yes;
        QCOMPARE(gridBlank(), cleared);
        QCOMPARE(r->Dt日付->isNull(), cleared);
        if (!cleared) {
            QCOMPARE(r->cmb氏名->currentText(), what == u"氏名"_s ? u"鈴木"_s : u"佐藤"_s);
            QVERIFY(!r->Grid日報->isEditing() || what == u"cell being typed"_s);
            if (what == u"line"_s)
                QCOMPARE(shownText(1), u"書いた行"_s);
            // Asked again: nothing was settled by No.
            m_boxes->shown.clear();
            m_boxes->answers << true;
            r->cmdクリア->click();
            QCOMPARE(m_boxes->shown.size(), 1);
            QVERIFY(gridBlank());
        }
        // Cleared, nothing is left to ask about.
        m_boxes->shown.clear();
        r->cmdクリア->click();
        QCOMPARE(m_boxes->shown.size(), 0);
        QCOMPARE(storedText(u"2026-04-01"_s, u"佐藤"_s), u"A の内容"_s);
    }
}

void TstUnsaved::readAsks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<MsgButton>("answer");
    QTest::addColumn<bool>("asks");
    // Changing the key is how a report to read is named: alone it is no input to ask about.
    QTest::newRow("nothing") << u"nothing"_s << MsgButton::Cancel << false;
    QTest::newRow("the key alone") << u"作成日"_s << MsgButton::Cancel << false;
    for (const QString& what : {u"line"_s, u"タイトル"_s, u"cell being typed"_s}) {
        QTest::addRow("%s, 登録する", qPrintable(what)) << what << MsgButton::Register << true;
        QTest::addRow("%s, 破棄する", qPrintable(what)) << what << MsgButton::Discard << true;
        QTest::addRow("%s, キャンセル", qPrintable(what)) << what << MsgButton::Cancel << true;
    }
}

// Report A is read and edited, then the date of report B is typed and 読込 pressed.
void TstUnsaved::readAsks()
{
    QFETCH(QString, what);
    QFETCH(MsgButton, answer);
    QFETCH(bool, asks);
    readStored(u"2026-04-01"_s, u"佐藤"_s);
    m_boxes->shown.clear();
    change(what);
    r->Dt日付->setDate(QDate(2026, 4, 2));
    m_boxes->answers << answer;
    r->cmd読込->click();
    QCOMPARE(m_boxes->shown.size(), asks ? 1 : 0);
    if (asks) {
        const MsgSpec& box = m_boxes->shown[0];
        QCOMPARE(box.title, u"登録の確認"_s);
        QCOMPARE(box.text, u"登録されていない入力があります。読み込む前に登録しますか"_s);
        QCOMPARE(box.choices.size(), 3);
        QCOMPARE(box.choices[0].text, u"登録する"_s);
        QCOMPARE(box.choices[1].text, u"破棄する"_s);
        QCOMPARE(box.choices[2].text, u"キャンセル"_s);
    }
    // What was typed into A is registered under A, never under B, whose date was typed to read it.
    const QString a = storedText(u"2026-04-01"_s, u"佐藤"_s);
    QCOMPARE(storedText(u"2026-04-02"_s, u"佐藤"_s), u"B の内容"_s);
    if (asks && answer == MsgButton::Register) {
        QCOMPARE(a, what == u"line"_s               ? u"A の内容|書いた行"_s
                    : what == u"cell being typed"_s ? u"A の内容|入力中"_s
                                                    : u"A の内容"_s);
        if (what == u"タイトル"_s)
            QCOMPARE(firstValue(m_w->MainDb(),
                                u"SELECT タイトル FROM 営業日報ヘッダ WHERE 作成日 = '2026-04-01'"_s)
                         .toString(),
                     u"新しい題"_s);
    } else {
        QCOMPARE(a, u"A の内容"_s);
    }
    if (asks && answer == MsgButton::Cancel) {
        // Nothing read, nothing settled: the screen is as it was, and asks again.
        QCOMPARE(shownText(0), u"A の内容"_s);
        QCOMPARE(r->Dt日付->date(), QDate(2026, 4, 2));
        m_boxes->shown.clear();
        m_boxes->answers << MsgButton::Discard;
        r->cmd読込->click();
        QCOMPARE(m_boxes->shown.size(), 1);
    }
    QCOMPARE(shownText(0), u"B の内容"_s);
    // B as read is registered: nothing to ask at the next 読込 or クリア.
    m_boxes->shown.clear();
    r->cmd読込->click();
    r->cmdクリア->click();
    QCOMPARE(m_boxes->shown.size(), 0);
}

void TstUnsaved::openAsks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<MsgButton>("answer");
    QTest::addColumn<bool>("opened");
    QTest::newRow("nothing") << u"nothing"_s << MsgButton::Cancel << true;
    QTest::newRow("the key alone") << u"氏名"_s << MsgButton::Cancel << true;
    QTest::newRow("登録する") << u"line"_s << MsgButton::Register << true;
    QTest::newRow("破棄する") << u"line"_s << MsgButton::Discard << true;
    QTest::newRow("キャンセル") << u"line"_s << MsgButton::Cancel << false;
}

// Opening another report from the list or a search hit (both through the window's openReport).
void TstUnsaved::openAsks()
{
    QFETCH(QString, what);
    QFETCH(MsgButton, answer);
    QFETCH(bool, opened);
    readStored(u"2026-04-01"_s, u"佐藤"_s);
    change(what);
    m_boxes->shown.clear();
    m_boxes->answers << answer;
    m_w->SSTab1->setCurrentIndex(1);
    QCOMPARE(m_w->openReport(u"佐藤"_s, u"20260402"_s), opened);
    QCOMPARE(m_boxes->shown.size(), what == u"line"_s ? 1 : 0);
    if (!m_boxes->shown.isEmpty())
        QCOMPARE(m_boxes->shown[0].text, u"登録されていない入力があります。別の日報を開く前に登録しますか"_s);
    QCOMPARE(m_w->SSTab1->currentIndex(), opened ? 0 : 1);
    QCOMPARE(shownText(0), opened ? u"B の内容"_s : u"A の内容"_s);
    QCOMPARE(storedText(u"2026-04-01"_s, u"佐藤"_s),
             answer == MsgButton::Register ? u"A の内容|書いた行"_s : u"A の内容"_s);
    if (!opened)
        QCOMPARE(shownText(1), u"書いた行"_s);
}

void TstUnsaved::listSelectionStaysOnCancel()
{
    ListTab* l = m_w->listTab();
    m_w->SSTab1->setCurrentIndex(1);
    l->cmd一覧読込->click();
    QCOMPARE(l->dat一覧->rowCount(), 2);
    change(u"line"_s);
    m_boxes->shown.clear();
    m_boxes->answers << MsgButton::Cancel;
    m_w->SSTab1->setCurrentIndex(1);
    l->Grid一覧->setRow(1);
    l->cmd選択->click();
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(m_w->SSTab1->currentIndex(), 1);
    QCOMPARE(shownText(1), u"書いた行"_s);
    m_boxes->answers << MsgButton::Discard;
    l->cmd選択->click();
    QCOMPARE(m_w->SSTab1->currentIndex(), 0);
    QCOMPARE(shownText(0), u"B の内容"_s);
}

void TstUnsaved::fromLastAsks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<MsgButton>("answer");
    QTest::addColumn<bool>("asks");
    QTest::newRow("nothing") << u"nothing"_s << MsgButton::Cancel << false;
    QTest::newRow("the key alone") << u"作成日"_s << MsgButton::Cancel << false;
    QTest::newRow("登録する") << u"line"_s << MsgButton::Register << true;
    QTest::newRow("破棄する") << u"line"_s << MsgButton::Discard << true;
    QTest::newRow("キャンセル") << u"line"_s << MsgButton::Cancel << true;
}

// 前回から作成 replaces the screen: it asks first as 読込 does. The report it starts is not
// registered until 登録: nothing of today is stored, and closing asks.
void TstUnsaved::fromLastAsks()
{
    QFETCH(QString, what);
    QFETCH(MsgButton, answer);
    QFETCH(bool, asks);
    readStored(u"2026-04-01"_s, u"佐藤"_s);
    m_boxes->shown.clear();
    change(what);
    m_boxes->answers << answer;
    r->cmd前回から作成->click();
    QCOMPARE(m_boxes->shown.size(), asks ? 1 : 0);
    if (asks)
        QCOMPARE(m_boxes->shown[0].text,
                 u"登録されていない入力があります。前回から作成する前に登録しますか"_s);
    QCOMPARE(storedText(u"2026-04-01"_s, u"佐藤"_s),
             asks && answer == MsgButton::Register ? u"A の内容|書いた行"_s : u"A の内容"_s);
    if (asks && answer == MsgButton::Cancel) {
        QCOMPARE(shownText(1), u"書いた行"_s);
        QCOMPARE(r->Dt日付->date(), QDate(2026, 4, 1));
        return;
    }
    // Started from 04-02, the latest before today; its 内容 is left to be written.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(r->Dt日付->date(), QDate::currentDate());
    QCOMPARE(r->txtタイトル->text(), u"T"_s);
    QCOMPARE(r->cmb所属->currentText(), u"営業部"_s);
    QVERIFY(gridBlank());
    QCOMPARE(storedText(today, u"佐藤"_s), QString());
    m_boxes->shown.clear();
    m_boxes->answers << MsgButton::Cancel;
    QVERIFY(!m_w->close());
    QCOMPARE(m_boxes->shown.size(), 1);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT 見出し変更 + キー変更 FROM w営業日報ヘッダ"_s).toInt(), 2);
}

void TstUnsaved::closeAsks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<MsgButton>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("nothing") << u"nothing"_s << MsgButton::Cancel << true;
    QTest::newRow("ticks") << u"tick"_s << MsgButton::Cancel << true;
    QTest::newRow("the key alone, キャンセル") << u"作成日"_s << MsgButton::Cancel << false;
    QTest::newRow("登録する") << u"line"_s << MsgButton::Register << true;
    QTest::newRow("破棄する") << u"line"_s << MsgButton::Discard << true;
    QTest::newRow("キャンセル") << u"line"_s << MsgButton::Cancel << false;
    QTest::newRow("the 内容 panel, 登録する") << u"内容 panel"_s << MsgButton::Register << true;
}

// 閉じる, Ctrl+Q and the close box all close the window; the next start asks nothing after a
// close, whatever was answered.
void TstUnsaved::closeAsks()
{
    QFETCH(QString, what);
    QFETCH(MsgButton, answer);
    QFETCH(bool, closes);
    readStored(u"2026-04-01"_s, u"佐藤"_s);
    change(what);
    m_boxes->shown.clear();
    m_boxes->answers << answer;
    QCOMPARE(m_w->close(), closes);
    const bool asks = what != u"nothing"_s && what != u"tick"_s;
    QCOMPARE(m_boxes->shown.size(), asks ? 1 : 0);
    if (asks)
        QCOMPARE(m_boxes->shown[0].text, u"登録されていない入力があります。終了する前に登録しますか"_s);
    if (!closes) {
        QVERIFY(m_w->isVisible());
        QVERIFY(m_w->MainDb().isOpen());
        if (what == u"line"_s)
            QCOMPARE(shownText(1), u"書いた行"_s);
        return;
    }
    const QString stored = answer == MsgButton::Register && what == u"line"_s ? u"A の内容|書いた行"_s
                           : answer == MsgButton::Register && what == u"内容 panel"_s
                               ? u"A の内容|パネルで書いた"_s
                               : u"A の内容"_s;
    m_boxes->shown.clear();
    FrmTesvan again;
    QVERIFY(again.loadFrom(app::dataPathsIn(m_fx.tmp->path() + u"/data/"_s)));
    QCOMPARE(m_boxes->shown.size(), 0);
    QCOMPARE(firstValue(again.MainDb(),
                        u"SELECT group_concat(内容, '|') FROM 営業日報 WHERE 作成日 = '2026-04-01'"_s)
                 .toString(),
             stored);
}

// 登録する does what 登録 does, checks included: without a name nothing is stored and the
// window stays.
void TstUnsaved::closeRegistersOnlyAWholeKey()
{
    r->Dt日付->setDate(QDate(2026, 5, 1));
    change(u"line"_s);
    m_boxes->shown.clear();
    m_boxes->answers << MsgButton::Register;
    QVERIFY(!m_w->close());
    QCOMPARE(m_boxes->shown.size(), 2);
    QCOMPARE(m_boxes->shown[1].text, u"氏名を記入してください。"_s);
    QCOMPARE(firstValue(m_w->MainDb(), u"SELECT count(*) FROM 営業日報ヘッダ"_s).toInt(), 2);
    r->cmb氏名->setEditText(u"田中"_s);
    m_boxes->answers << MsgButton::Register;
    QVERIFY(m_w->close());
    FrmTesvan again;
    QVERIFY(again.loadFrom(app::dataPathsIn(m_fx.tmp->path() + u"/data/"_s)));
    QCOMPARE(firstValue(again.MainDb(),
                        u"SELECT 内容 FROM 営業日報 WHERE 作成日 = '2026-05-01' AND 氏名 = '田中'"_s)
                 .toString(),
             u"書いた行"_s);
}

// A real box: Escape is キャンセル, and the keyboard is back where it was, the line still typed.
void TstUnsaved::cancelGivesTheKeyboardBack()
{
    m_fx.boxes.reset();
    m_boxes = nullptr;
    readStored(u"2026-04-01"_s, u"佐藤"_s);
    change(u"line"_s);
    r->txtタイトル->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(r->txtタイトル));
    BoxProbe probe;
    probe.answerWith(Qt::Key_Escape);
    // As a click does, leaving the keyboard where it is.
    QTimer::singleShot(0, r->cmd読込, &QAbstractButton::click);
    QTRY_VERIFY(probe.seen);
    QCOMPARE(probe.buttonTexts, (QStringList{u"キャンセル"_s, u"登録する"_s, u"破棄する"_s}));
    QCOMPARE(probe.defaultText, u"キャンセル"_s);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(r->txtタイトル));
    QCOMPARE(shownText(1), u"書いた行"_s);
    QCOMPARE(storedText(u"2026-04-01"_s, u"佐藤"_s), u"A の内容"_s);
}

// A work file of the version before: it opens, gains the kept report's table in one go, and
// nothing else of it changes.
void TstUnsaved::earlierWorkFileGetsWhatIsKept()
{
    const QString data = m_fx.tmp->path() + u"/data/"_s;
    m_fx.window.reset();
    const QString schemaSql =
        u"SELECT type, name, sql FROM sqlite_schema WHERE name NOT LIKE 'w営業日報ヘッダ%' "
        "AND name <> 'w営業日報_明細変更' ORDER BY name"_s;
    QStringList before;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"older"_s);
        db.setDatabaseName(data + u"TesvanWork.mdb"_s);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"DROP TRIGGER w営業日報_明細変更"_s));
        QVERIFY(q.exec(u"DROP TABLE w営業日報ヘッダ"_s));
        QVERIFY(q.exec(u"INSERT INTO ClHint VALUES ('F', 'C', 'T', '前から')"_s));
        QVERIFY(q.exec(schemaSql));
        while (q.next())
            before << q.value(0).toString() + q.value(1).toString() + q.value(2).toString();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"older"_s);
    m_fx.window = std::make_unique<FrmTesvan>();
    m_w = m_fx.window.get();
    r = m_w->reportTab();
    QVERIFY(m_w->loadFrom(app::dataPathsIn(data)));
    QStringList after;
    QSqlQuery q(m_w->WorkDb());
    QVERIFY(q.exec(schemaSql));
    while (q.next())
        after << q.value(0).toString() + q.value(1).toString() + q.value(2).toString();
    QCOMPARE(after, before);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT Contents FROM ClHint"_s).toString(), u"前から"_s);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT count(*) FROM w営業日報ヘッダ"_s).toInt(), 1);
    // And keeps what is typed from now on.
    change(u"line"_s);
    QCOMPARE(firstValue(m_w->WorkDb(), u"SELECT 明細変更 FROM w営業日報ヘッダ"_s).toInt(), 1);
}

QTEST_MAIN(TstUnsaved)
#include "tst_unsaved.moc"
