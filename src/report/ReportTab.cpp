#include "report/ReportTab.h"

#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"
#include "ui/grid/ColumnTable.h"
#include "ui/Background.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "store/ReportLines.h"
#include "store/Review.h"
#include "store/Schema.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "ui/Ime.h"
#include "ui/Twips.h"
#include "msg/Msg.h"
#include "print/PrintPreview.h"
#include "print/PrintSnapshot.h"
#include "report/RegisteredNote.h"
#include "report/ReportStore.h"
#include "report/TimeCheck.h"

#include <QFrame>
#include <QShortcut>
#include <QTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// Whether the grid shows anything on its lines (a tick or a value): then クリア has something to
// write for certain, and need not read the table to find out.
bool showsSomething(const DataSource& lines)
{
    QList<int> fields;
    for (const QString& f : store::reportLineFields())
        fields << lines.fieldIndex(f);
    const int tick = lines.fieldIndex(QStringLiteral("チェック"));
    for (int r = 0; r < lines.rowCount(); ++r) {
        if (tick >= 0 && lines.valueAt(r, tick).toLongLong() != 0)
            return true;
        for (const int f : fields)
            if (f >= 0 && !store::isNullValue(lines.valueAt(r, f)))
                return true;
    }
    return false;
}

} // namespace

void ReportTab::connectCommands()
{
    connect(cmdクリア, &QPushButton::clicked, this, [this] {
        if (!askClear())
            return;
        Clear日報();
        // The next report starts with its creation date.
        Dt日付->setFocus(Qt::ShortcutFocusReason);
    });
    connect(cmd行削除, &QPushButton::clicked, this, [this] { LineDelete日報(); });
    // Whose report the name box names decides what this member may do with it.
    connect(cmb氏名, &QComboBox::editTextChanged, this, [this] { showOwnership(); });
    // An approved report is locked only while its own date is shown.
    connect(Dt日付, &DateInput::dateChanged, this, [this] { showOwnership(); });
    connect(cmd全選択, &QPushButton::clicked, this, [this] { Set全選択(true); });
    connect(cmd全解除, &QPushButton::clicked, this, [this] { Set全選択(false); });
    connect(cmd読込, &QPushButton::clicked, this, [this] { Read日報(); });
    connect(cmd前回から作成, &QPushButton::clicked, this, [this] { createFromLast(); });
    connect(cmd登録, &QPushButton::clicked, this, [this] { Entry日報(); });
    connect(cmd印刷, &QPushButton::clicked, this, [this] { Prn日報(); });
    connect(cmd入力書込, &QPushButton::clicked, this, [this] { acceptTextPanel(); });
    connect(cmd入力閉じる, &QPushButton::clicked, this, [this] { closeTextPanel(); });
    connect(Grid日報, &DataGrid::afterColUpdate, this, [this](int col) { afterColUpdate(col); });
    connect(Grid日報, &DataGrid::rowColChange, this, [this](int, int) { rowColChange(); });
    connect(Grid日報, &DataGrid::keyDown, this,
            [this](int* key, Qt::KeyboardModifiers m) { keyDown(key, m); });
    connect(Grid日報, &DataGrid::cellAction, this, [this] { cellAction(); });
    connect(Grid日報, &DataGrid::writeFailed, this,
            [](int, const store::Error& e) { app::tellFailure(QStringLiteral("入力を保存"), e); });
    // What is typed is kept for a next start (the lines are in their work table already).
    m_keepTimer = new QTimer(this);
    m_keepTimer->setSingleShot(true);
    m_keepTimer->setInterval(0);
    connect(m_keepTimer, &QTimer::timeout, this, [this] { keepHeaderNow(); });
    connect(dat日報, &DataSource::valueChanged, this, [this](int, const QString& field) {
        if (field != QLatin1String("チェック"))
            noteContentEdit();
    });
    connect(Dt日付, &DateInput::dateChanged, this, [this] { scheduleKeep(); });
    connect(cmb氏名, &QComboBox::editTextChanged, this, [this] { scheduleKeep(); });
    connect(cmb所属, &QComboBox::editTextChanged, this, [this] {
        noteContentEdit();
        scheduleKeep();
    });
    connect(txtタイトル, &QLineEdit::textChanged, this, [this] {
        noteContentEdit();
        scheduleKeep();
    });
}

void ReportTab::attach(TabContext* context)
{
    m_context = context;
}

void ReportTab::bindSources(const QString& workConnection)
{
    dat日報->setDatabase(workConnection);
    dat日報->setRecordSource(QStringLiteral("w営業日報"), QStringLiteral("行番号"));
    dat備考->setDatabase(workConnection);
    dat備考->setRecordSource(QStringLiteral("w備考"));
    dat訪問先->setDatabase(workConnection);
    dat訪問先->setRecordSource(QStringLiteral("w訪問先"));
}

void ReportTab::setupGrid()
{
    Grid日報->setHeightTwips(6600);

    Dt日付->setLeftTwips(1080);
    Dt日付->setWidthTwips(2010);
    Dt日付->setFormat(QStringLiteral("yyyy年mm月dd日"));
    Dt日付->setCalendarTitleFormat(QStringLiteral("yyyy年mm月"));
    Dt日付入力->setFormat(QStringLiteral("yy/mm/dd"));
    Dt日付入力->setCalendarTitleFormat(QStringLiteral("yyyy年mm月"));

    Grid日報->setRowSelectorWidthTwips(175);
    Grid日報->setRowHeightTwips(300);
    const Qt::Alignment centre = Qt::AlignHCenter, left = Qt::AlignLeft;
    GridColumn no{"行番号", {}, 360, centre};
    no.locked = no.noCursor = true;
    no.fitText = QStringLiteral("100");
    GridColumn tick{"チェック", {}, 345.2599, centre};
    tick.checkBox = true;
    GridColumn shown{"表示日付", "日付", 854.9292, centre, "mm/dd"};
    shown.editor = Dt日付入力;
    GridColumn date{"日付", {}, 854.9292};
    date.hidden = true;
    GridColumn place{"訪問先", "訪問先", 1950.236, left};
    place.editor = DD訪問先;
    GridColumn text{"内容", "内　　容", 3690, left};
    text.actionOnly = true;
    // The text columns share a wider window.
    place.stretch = text.stretch = true;
    GridColumn note{"備考", "備　考", 2300, left};
    note.editor = DD備考;
    note.stretch = true;
    GridColumn person{"担当", "担当", 1240, centre};
    person.stretch = true;
    GridColumn time{"時間", "時間", 764.7874, centre, "00:00"};
    // 930 and 9:30 are 0930; a text that is no time stays in the cell, marked, never emptied.
    time.rule = [](const QString& typed) {
        const std::optional<QVariant> kept = report::checkTime(typed);
        if (kept && kept->isNull())
            return TypedValue{{}, QStringLiteral("時間が正しくありません")};
        return TypedValue{kept ? *kept : QVariant(), {}};
    };
    applyColumns(Grid日報, dat日報,
                 inEnumOrder<ColNote, ColNo, ColCheck, ColShowDate, ColDate, ColTime, ColPlace, ColPerson,
                             ColText, ColNote>(no, tick, shown, date, time, place, person, text, note));
    DD訪問先->setDataSource(dat訪問先);
    DD訪問先->setListField(QStringLiteral("sname"));
    DD備考->setDataSource(dat備考);
    DD備考->setListField(QStringLiteral("sname"));
}

void ReportTab::setPickLists(const QStringList& departments, const QStringList& names, bool tablesChanged)
{
    app::fillPickList(cmb所属, departments);
    app::fillPickList(cmb氏名, names);
    if (!tablesChanged && m_pickSourcesRead)
        return;
    m_pickSourcesRead = refreshSource(dat備考) && refreshSource(dat訪問先);
}

void ReportTab::pickTableChanged(const QString& category)
{
    DataSource* source = category == store::k備考     ? dat備考
                         : category == store::k訪問先 ? dat訪問先
                                                      : nullptr;
    // A failed read leaves the lists for the next setPickLists to read whole.
    if (source && !refreshSource(source))
        m_pickSourcesRead = false;
}

void ReportTab::openReport(const QString& name, const QString& yyyymmdd, int lineNo)
{
    // A report the grid cannot hold is not opened: the header keeps the key of what is shown,
    // so that 登録 cannot put the lines on screen over the long report.
    const QString shownName = cmb氏名->currentText();
    const QDate shownDate = Dt日付->date();
    cmb氏名->setEditText(name);
    Dt日付->setText8(yyyymmdd);
    if (checkKey())
        readShown();
    if (m_readRefused) {
        cmb氏名->setEditText(shownName);
        Dt日付->setDate(shownDate);
        return;
    }
    if (lineNo <= 0)
        return;
    // A found line is shown where its text is.
    int row = -1;
    if (const store::Error e = report::rowOfLine(m_context->mainDb(), Dt日付->date(), name, lineNo, &row);
        e.failed())
        app::tellFailure(QStringLiteral("日報の行を表示"), e);
    if (row >= 0) {
        Grid日報->setRow(row);
        Grid日報->setCol(ColText);
    }
    Grid日報->setFocus();
}

void ReportTab::refreshLines()
{
    refreshSource(dat日報);
}

bool ReportTab::refreshSource(DataSource* source)
{
    const store::Error err = source->refresh();
    if (err.ok())
        return true;
    app::tellFailure(QStringLiteral("表示"), err);
    return false;
}

bool ReportTab::commitGrid()
{
    CommitFailure why = CommitFailure::None;
    if (Grid日報->commitPending(&why).ok())
        return true;
    // A failed write was told by the grid's writeFailed; a text that is no value is the user's
    // to correct, where it stands.
    if (why == CommitFailure::NotAValue) {
        Msg::ShowMsg(MsgId::入力_値不正, Grid日報->gridModel()->caption(Grid日報->col()));
        if (QWidget* editor = Grid日報->activeEditor())
            editor->setFocus();
    }
    return false;
}

void ReportTab::Clear日報リスト()
{
    clearLines(false);
}

void ReportTab::clearLines(bool withKept)
{
    lbl登録結果->clearAll();
    if (const store::Error e = report::resetLines(m_context->workDb(), showsSomething(*dat日報), withKept);
        e.failed())
        app::tellFailure(QStringLiteral("日報の明細をクリア"), e);
    refreshLines();
    toFirstLine();
}

void ReportTab::toFirstLine()
{
    // A fresh report starts at the first line's date.
    Grid日報->setRow(0);
    Grid日報->setCol(ColShowDate);
}

void ReportTab::Clear日報()
{
    Dt日付->setNull();
    txtタイトル->setText(QString());
    closeTextPanel();
    // The lines and what is kept of the report go blank together: nothing cleared is offered
    // at a next start.
    clearLines(m_keeping);
    m_context->rebuildPickLists();
    keepStamp({}, {}, {});
    // On a team server a new report is the member's own.
    if (m_member)
        cmb氏名->setEditText(m_member->氏名);
    // The pick lists leave the name boxes empty: the header is the empty one just kept.
    if (shownHeader() == report::Header{})
        markSettled();
    else
        setSettled();
}

void ReportTab::LineDelete日報()
{
    if (refuseOthers() || !commitGrid())
        return;
    if (const store::Error e = report::deleteTickedLines(m_context->workDb()); e.failed())
        app::tellFailure(QStringLiteral("行を削除"), e);
    else
        noteContentEdit();
    refreshLines();
}

void ReportTab::Set全選択(bool flag)
{
    if (!commitGrid())
        return;
    if (const store::Error e = report::setTickAll(m_context->workDb(), flag); e.failed())
        app::tellFailure(flag ? QStringLiteral("全選択") : QStringLiteral("全解除"), e);
    refreshLines();
}

bool ReportTab::checkKey()
{
    return app::requireField(!Dt日付->isNull(), QStringLiteral("作成日を記入してください。"), Dt日付) &&
           app::requireField(!cmb氏名->currentText().isEmpty(), QStringLiteral("氏名を記入してください。"),
                             cmb氏名);
}

void ReportTab::Read日報()
{
    if (!checkKey())
        return;
    if (!settleUnregistered(Leaving::Read))
        return;
    readShown();
}

void ReportTab::readShown()
{
    if (!commitGrid())
        return;
    closeTextPanel();
    const report::ReadResult r =
        report::readReport(m_context->mainDb(), m_context->workDb(), Dt日付->date(), cmb氏名->currentText());
    m_readRefused = r.tooLong;
    if (r.tooLong) {
        // Opened here, its later lines would be gone at the next 登録: the screen stays as it was.
        Msg::ShowMsg(MsgId::その他_行数超過,
                     QStringLiteral("%1 %2 の日報")
                         .arg(Dt日付->formatted(QStringLiteral("yyyy/mm/dd")), cmb氏名->currentText()));
        return;
    }
    lbl登録結果->clearAll();
    if (r.found) {
        // A header field stored as Null leaves its control as it was.
        if (!r.header.氏名.isNull())
            cmb氏名->setEditText(r.header.氏名);
        if (!r.header.所属.isNull())
            cmb所属->setEditText(r.header.所属);
        if (!r.header.タイトル.isNull())
            txtタイトル->setText(r.header.タイトル);
    }
    if (r.error.failed())
        app::tellFailure(QStringLiteral("日報を読込"), r.error);
    refreshLines();
    toFirstLine();
    // The report read is what is registered now; after a failed read the screen stays as it was.
    if (r.error.ok()) {
        keepStamp(Dt日付->date(), cmb氏名->currentText(), r.stamp);
        setSettled();
    }
}

void ReportTab::createFromLast()
{
    if (!app::requireField(!cmb氏名->currentText().isEmpty(), QStringLiteral("氏名を記入してください。"),
                           cmb氏名))
        return;
    if (!settleUnregistered(Leaving::FromLast) || !commitGrid())
        return;
    closeTextPanel();
    const QString name = cmb氏名->currentText();
    const QDate today = QDate::currentDate();
    const report::CopyResult r = report::copyLatest(m_context->mainDb(), m_context->workDb(), name, today);
    if (r.error.failed()) {
        app::tellFailure(QStringLiteral("前回の日報から作成"), r.error);
        return;
    }
    if (!r.found) {
        Msg::ShowMsg(MsgId::その他_前回なし, name);
        cmb氏名->setFocus();
        return;
    }
    if (r.tooLong) {
        Msg::ShowMsg(
            MsgId::その他_行数超過,
            QStringLiteral("%1 %2 の日報").arg(r.from.作成日.toString(QStringLiteral("yyyy/MM/dd")), name));
        return;
    }
    lbl登録結果->clearAll();
    Dt日付->setDate(today);
    cmb所属->setEditText(r.from.所属);
    txtタイトル->setText(r.from.タイトル);
    refreshLines();
    // Nothing of it is registered: closing, クリア and 読込 ask first, and a next start offers it.
    m_settled = {};
    m_heldContent = m_heldKey = true;
    noteContentEdit();
    keepHeaderNow();
    // What is left to write is the first line's 内容.
    Grid日報->setFocus(Qt::ShortcutFocusReason);
    Grid日報->setRow(0);
    Grid日報->setCol(r.lines > 0 ? ColText : ColShowDate);
}

void ReportTab::Entry日報()
{
    // The value still being typed in a cell belongs to the report.
    if (!commitGrid())
        return;
    if (!checkKey() || refuseOthers())
        return;
    lbl登録結果->clearAll();
    if (!Msg::ShowMsg(MsgId::登録_確認, QStringLiteral("日報")))
        return;
    registerShown(shownHeader());
}

bool ReportTab::registerShown(const report::Header& h)
{
    // After a kill the files are checked whole first: the window waits painting, not frozen.
    if (!app::awaitFileChecks(this, {m_context->mainDb(), m_context->workDb()}))
        return false;
    report::Registered done;
    const store::Stamp read = stampOf(h);
    if (const store::Error e =
            report::registerReport(m_context->mainDb(), m_context->workDb(), h, &done, &read);
        e.failed()) {
        if (done.stale)
            offerNewer(done.stamp);
        else
            app::tellFailure(QStringLiteral("日報を登録"), e);
        return false;
    }
    keepStamp(h.作成日, h.氏名, done.stamp);
    lbl登録結果->showRegistered(done.lines, done.withoutText);
    setSettled();
    emit registered(h.作成日, h.氏名, h.所属, h.タイトル);
    return true;
}

void ReportTab::Prn日報()
{
    // A cell still being typed belongs to the printed report.
    if (!commitGrid())
        return;
    QList<print::PrintLine> lines;
    if (const store::Error e = print::takeSnapshot(m_context->workDb(), lines); e.failed()) {
        app::tellFailure(QStringLiteral("印刷用のデータを作成"), e);
        return;
    }
    const print::HeaderValues header = print::headerValues(txtタイトル->text(), Dt日付->date(),
                                                           cmb所属->currentText(), cmb氏名->currentText());
    // On a server that keeps the review, the thread of the report under this key as it stands
    // now; the preview prints it only when asked. A thread that cannot be read leaves the report
    // printable without it.
    std::optional<QList<print::PrintComment>> thread;
    if (m_member && store::hasReview(m_context->mainDb())) {
        store::Review review;
        const store::Error e =
            Dt日付->date().isValid() && !cmb氏名->currentText().isEmpty()
                ? store::readReview(m_context->mainDb(), Dt日付->date(), cmb氏名->currentText(), &review)
                : store::Error();
        if (e.failed()) {
            app::tellFailure(QStringLiteral("コメントを読込"), e);
        } else {
            thread.emplace();
            for (const store::Comment& c : review.comments)
                thread->append({c.by, c.at, c.text});
        }
    }
    print::showPreview(header, lines, m_context->mainWindow(), thread);
}

void ReportTab::afterColUpdate(int col)
{
    if (col == ColShowDate) {
        // The hidden effective date follows the date as typed.
        const QVariant v = Grid日報->columnValue(ColShowDate);
        Grid日報->setColumnValue(ColDate, v.isNull() ? QVariant() : v);
    }
}

void ReportTab::rowColChange()
{
    const int c = Grid日報->col();
    SetImeStatus(Grid日報->imeWindow(), c == ColPlace || c == ColPerson || c == ColText || c == ColNote);
}

void ReportTab::keyDown(int* keyCode, Qt::KeyboardModifiers mods)
{
    if (*keyCode == Qt::Key_D && mods == Qt::ControlModifier) {
        *keyCode = 0;
        fillDown();
        return;
    }
    if (*keyCode == Qt::Key_Tab && (mods & Qt::ControlModifier)) {
        // Ctrl+Tab leaves the grid for the button row.
        *keyCode = 0;
        cmd行削除->setFocus(Qt::TabFocusReason);
        return;
    }
    // Enter at the end of a line starts the next line at its date; so does Tab, except on the
    // last line, where it leaves the grid for the buttons.
    const bool tab =
        *keyCode == Qt::Key_Tab && !(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    const bool lineFollows = Grid日報->row() + 1 < dat日報->rowCount();
    if ((*keyCode == Qt::Key_Return || (tab && lineFollows)) && Grid日報->col() == ColNote &&
        !Grid日報->isEof()) {
        *keyCode = 0;
        Grid日報->moveNext();
        if (Grid日報->isEof())
            Grid日報->moveLast();
        Grid日報->setCol(ColShowDate);
    }
}

bool ReportTab::headerEnter(QObject* watched, QKeyEvent* k)
{
    if ((k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) || (k->modifiers() & ~Qt::KeypadModifier))
        return false;
    if (watched == Dt日付) {
        // A date that is not one stays where it is, marked.
        if (Dt日付->commitText())
            cmb氏名->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (watched == cmb氏名) {
        cmb所属->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (watched == cmb所属) {
        txtタイトル->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (watched == txtタイトル) {
        Grid日報->setFocus(Qt::TabFocusReason);
        toFirstLine();
        return true;
    }
    return false;
}

void ReportTab::fillDown()
{
    // Ctrl+D: the value of the same column in the line above, as if typed.
    const int row = Grid日報->row();
    const int col = Grid日報->col();
    if (row <= 0 || Grid日報->isEof() || col == ColNo || col == ColCheck)
        return;
    const QString field = Grid日報->fields().value(col);
    if (field.isEmpty())
        return;
    if (const store::Error err = Grid日報->setColumnValue(col, dat日報->value(row - 1, field));
        err.failed()) {
        app::tellFailure(QStringLiteral("上の行の値を写"), err);
        return;
    }
    afterColUpdate(col);
}

bool ReportTab::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && headerEnter(watched, static_cast<QKeyEvent*>(e)))
        return true;
    // In the pop-up: Escape closes it, Ctrl+Enter accepts it; plain Enter is a new line.
    const bool inPanel = watched == txt内容 || watched == cmd入力書込 || watched == cmd入力閉じる;
    if (inPanel && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape) {
            closeTextPanel();
            return true;
        }
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            (k->modifiers() & Qt::ControlModifier)) {
            acceptTextPanel();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
