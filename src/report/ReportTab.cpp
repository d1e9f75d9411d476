#include "report/ReportTab.h"

#include "app/Look.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "app/controls/DateInput.h"
#include "app/controls/DropDown.h"
#include "app/controls/Ime.h"
#include "app/controls/Twips.h"
#include "msg/Msg.h"
#include "report/ReportStore.h"
#include "report/TimeCheck.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
// Grid columns of the report lines.
enum Col { ColNo = 0, ColCheck, ColShowDate, ColDate, ColTime, ColPlace, ColPerson, ColText, ColNote };
} // namespace

ReportTab::ReportTab(QWidget* parent) : QWidget(parent)
{
    using app::makeButton;
    using app::makeLabel;

    // Header: the creation date's left edge is fixed in twips, so the row is placed by hand.
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("header日報"));
    header->setFixedHeight(70);
    auto* lbl作成日 = makeLabel(QStringLiteral("作成日"), header);
    lbl作成日->setGeometry(8, 8, 60, 24);
    Dt日付 = new DateInput(header);
    Dt日付->setObjectName(QStringLiteral("Dt日付"));
    Dt日付->setGeometry(72, 8, 134, 24);
    auto* lbl氏名 = makeLabel(QStringLiteral("氏　名"), header);
    lbl氏名->setGeometry(228, 8, 44, 24);
    cmb氏名 = app::makeNameCombo(QStringLiteral("cmb氏名"), header);
    cmb氏名->setGeometry(274, 8, 190, 24);
    auto* lbl所属 = makeLabel(QStringLiteral("所　属"), header);
    lbl所属->setGeometry(484, 8, 44, 24);
    cmb所属 = app::makeNameCombo(QStringLiteral("cmb所属"), header);
    cmb所属->setGeometry(530, 8, 190, 24);
    auto* lblタイトル = makeLabel(QStringLiteral("タイトル"), header);
    lblタイトル->setGeometry(8, 40, 60, 24);
    txtタイトル = new QLineEdit(header);
    txtタイトル->setObjectName(QStringLiteral("txtタイトル"));
    txtタイトル->setGeometry(72, 40, 648, 24);
    cmdHint = app::makeHintButton(QStringLiteral("cmdHint"), header);
    cmdHint->move(740, 8);

    // The grid and the controls it uses as cell editors.
    dat日報 = new DataSource(this);
    dat日報->setObjectName(QStringLiteral("dat日報"));
    dat備考 = new DataSource(this);
    dat備考->setObjectName(QStringLiteral("dat備考"));
    dat訪問先 = new DataSource(this);
    dat訪問先->setObjectName(QStringLiteral("dat訪問先"));
    Grid日報 = new DataGrid(this);
    Grid日報->setObjectName(QStringLiteral("Grid日報"));
    Dt日付入力 = new DateInput(this);
    Dt日付入力->setObjectName(QStringLiteral("Dt日付入力"));
    Dt日付入力->hide();
    DD訪問先 = new DropDown(this);
    DD訪問先->setObjectName(QStringLiteral("DD訪問先"));
    DD訪問先->hide();
    DD備考 = new DropDown(this);
    DD備考->setObjectName(QStringLiteral("DD備考"));
    DD備考->hide();

    // Buttons: line commands on the left, report commands on the right.
    cmd行削除 = makeButton(QStringLiteral("cmd行削除"), QStringLiteral("行削除"), this);
    cmd全選択 = makeButton(QStringLiteral("cmd全選択"), QStringLiteral("全選択"), this);
    cmd全解除 = makeButton(QStringLiteral("cmd全解除"), QStringLiteral("全解除"), this);
    cmdクリア = makeButton(QStringLiteral("cmdクリア"), QStringLiteral("クリア"), this);
    cmd読込 = makeButton(QStringLiteral("cmd読込"), QStringLiteral("読込"), this);
    cmd印刷 = makeButton(QStringLiteral("cmd印刷"), QStringLiteral("印刷"), this);
    cmd登録 = makeButton(QStringLiteral("cmd登録"), QStringLiteral("登録"), this);
    cmd閉じる = makeButton(QStringLiteral("cmd閉じる"), QStringLiteral("閉じる"), this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(cmd行削除);
    buttons->addWidget(cmd全選択);
    buttons->addWidget(cmd全解除);
    buttons->addStretch(1);
    buttons->addWidget(cmdクリア);
    buttons->addWidget(cmd読込);
    buttons->addWidget(cmd印刷);
    buttons->addWidget(cmd登録);
    buttons->addSpacing(16);
    buttons->addWidget(cmd閉じる);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(header);
    layout->addWidget(Grid日報, 1);
    layout->addLayout(buttons);

    // The pop-up editor for long contents floats over the grid.
    Cnテキスト入力 = new QFrame(this);
    Cnテキスト入力->setObjectName(QStringLiteral("Cnテキスト入力"));
    Cnテキスト入力->setFrameShape(QFrame::Box);
    Cnテキスト入力->setAutoFillBackground(true);
    Cnテキスト入力->setStyleSheet(QStringLiteral("#Cnテキスト入力 { background: #eef2f7; border: 2px solid #5b7ba6; }"));
    auto* popupTitle = makeLabel(QStringLiteral("内　　容"), Cnテキスト入力);
    txt内容 = new QPlainTextEdit(Cnテキスト入力);
    txt内容->setObjectName(QStringLiteral("txt内容"));
    txt内容->installEventFilter(this);
    cmd入力書込 = makeButton(QStringLiteral("cmd入力書込"), QStringLiteral("決定"), Cnテキスト入力);
    cmd入力閉じる = makeButton(QStringLiteral("cmd入力閉じる"), QStringLiteral("閉じる"), Cnテキスト入力);
    auto* popupButtons = new QHBoxLayout;
    popupButtons->addStretch(1);
    popupButtons->addWidget(cmd入力書込);
    popupButtons->addWidget(cmd入力閉じる);
    auto* popupLayout = new QVBoxLayout(Cnテキスト入力);
    popupLayout->setContentsMargins(10, 8, 10, 10);
    popupLayout->addWidget(popupTitle);
    popupLayout->addWidget(txt内容, 1);
    popupLayout->addLayout(popupButtons);
    Cnテキスト入力->hide();

    setTabOrder(Dt日付, cmb氏名);
    setTabOrder(cmb氏名, cmb所属);
    setTabOrder(cmb所属, txtタイトル);
    setTabOrder(txtタイトル, Grid日報);
    setTabOrder(Grid日報, cmd行削除);
    setTabOrder(cmd行削除, cmd全選択);
    setTabOrder(cmd全選択, cmd全解除);
    setTabOrder(cmd全解除, cmdクリア);
    setTabOrder(cmdクリア, cmd読込);
    setTabOrder(cmd読込, cmd印刷);
    setTabOrder(cmd印刷, cmd登録);
    setTabOrder(cmd登録, cmd閉じる);

    connect(cmdクリア, &QPushButton::clicked, this, [this] { Clear日報(); });
    connect(cmd行削除, &QPushButton::clicked, this, [this] { LineDelete日報(); });
    connect(cmd全選択, &QPushButton::clicked, this, [this] { Set全選択(true); });
    connect(cmd全解除, &QPushButton::clicked, this, [this] { Set全選択(false); });
    connect(cmd読込, &QPushButton::clicked, this, [this] { Read日報(); });
    connect(cmd登録, &QPushButton::clicked, this, [this] { Entry日報(); });
    connect(cmd入力書込, &QPushButton::clicked, this, [this] { accept内容(); });
    connect(cmd入力閉じる, &QPushButton::clicked, this, [this] { close内容(); });
    connect(Grid日報, &DataGrid::afterColUpdate, this, [this](int col) { afterColUpdate(col); });
    connect(Grid日報, &DataGrid::rowColChange, this, [this](int, int) { rowColChange(); });
    connect(Grid日報, &DataGrid::keyDown, this, [this](int* key, Qt::KeyboardModifiers) { keyDown(key); });
    connect(Grid日報, &DataGrid::cellAction, this, [this] { cellAction(); });
    connect(Grid日報, &DataGrid::writeFailed, this,
            [this](int, const QString& reason) { tellFailure(QStringLiteral("入力を保存"), reason); });
}

void ReportTab::attach(const QString& mainConnection, const QString& workConnection,
                       std::function<void()> pickLists)
{
    m_mainConnection = mainConnection;
    m_workConnection = workConnection;
    m_pickLists = std::move(pickLists);
}

QSqlDatabase ReportTab::mainDb() const
{
    return QSqlDatabase::database(m_mainConnection, false);
}

QSqlDatabase ReportTab::workDb() const
{
    return QSqlDatabase::database(m_workConnection, false);
}

void ReportTab::tellFailure(const QString& what, const QString& reason)
{
    Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("注意"),
                 what + QStringLiteral("できませんでした。\n") + reason);
}

void ReportTab::refreshLines()
{
    const QString err = dat日報->refresh();
    if (!err.isEmpty())
        tellFailure(QStringLiteral("日報の明細を表示"), err);
}

void ReportTab::Clear日報リスト()
{
    const QString err = report::resetLines(workDb());
    if (!err.isEmpty())
        tellFailure(QStringLiteral("日報の明細をクリア"), err);
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
    close内容();
    Clear日報リスト();
    if (m_pickLists)
        m_pickLists();
}

void ReportTab::LineDelete日報()
{
    Grid日報->commitPending();
    const QString err = report::deleteTickedLines(workDb());
    if (!err.isEmpty())
        tellFailure(QStringLiteral("行を削除"), err);
    refreshLines();
}

void ReportTab::Set全選択(bool flag)
{
    Grid日報->commitPending();
    const QString err = report::setTickAll(workDb(), flag);
    if (!err.isEmpty())
        tellFailure(flag ? QStringLiteral("全選択") : QStringLiteral("全解除"), err);
    refreshLines();
}

bool ReportTab::checkKey()
{
    if (Dt日付->isNull()) {
        Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("メッセージ"), QStringLiteral("作成日を記入してください。"));
        Dt日付->setFocus();
        return false;
    }
    if (cmb氏名->currentText().isEmpty()) {
        Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("メッセージ"), QStringLiteral("氏名を記入してください。"));
        cmb氏名->setFocus();
        return false;
    }
    return true;
}

void ReportTab::Read日報()
{
    if (!checkKey())
        return;
    Grid日報->commitPending();
    close内容();
    const report::ReadResult r = report::readReport(mainDb(), workDb(), Dt日付->date(), cmb氏名->currentText());
    if (r.found) {
        // A header field stored as Null leaves its control as it was.
        if (!r.header.氏名.isNull())
            cmb氏名->setEditText(r.header.氏名);
        if (!r.header.所属.isNull())
            cmb所属->setEditText(r.header.所属);
        if (!r.header.タイトル.isNull())
            txtタイトル->setText(r.header.タイトル);
    }
    if (!r.error.isEmpty())
        tellFailure(QStringLiteral("日報を読込"), r.error);
    refreshLines();
    toFirstLine();
}

void ReportTab::Entry日報()
{
    // The value still being typed in a cell belongs to the report.
    Grid日報->commitPending();
    if (!checkKey())
        return;
    if (!Msg::ShowMsg(QStringLiteral("登録"), QStringLiteral("確認"), QStringLiteral("日報")))
        return;
    Grid日報->commitPending();
    report::Header h;
    h.作成日 = Dt日付->date();
    h.氏名 = cmb氏名->currentText();
    h.所属 = cmb所属->currentText();
    h.タイトル = txtタイトル->text();
    const QString err = report::registerReport(mainDb(), workDb(), h);
    if (!err.isEmpty())
        tellFailure(QStringLiteral("日報を登録"), err);
}

void ReportTab::afterColUpdate(int col)
{
    if (col == ColShowDate) {
        // The hidden effective date follows the date as typed.
        const QVariant v = Grid日報->columnValue(ColShowDate);
        Grid日報->setColumnValue(ColDate, v.isNull() ? QVariant() : v);
    } else if (col == ColTime) {
        // An invalid time is emptied without a word; a valid one is kept as four ASCII digits.
        const std::optional<QVariant> kept = report::checkTime(Grid日報->columnValue(ColTime).toString());
        if (kept && *kept != Grid日報->columnValue(ColTime))
            Grid日報->setColumnValue(ColTime, *kept);
    }
}

void ReportTab::rowColChange()
{
    const int c = Grid日報->col();
    SetImeStatus(Grid日報->imeWindow(), c == ColPlace || c == ColPerson || c == ColText || c == ColNote);
}

void ReportTab::keyDown(int* keyCode)
{
    // Enter at the end of a line starts the next line at its date.
    if (*keyCode == 13 && Grid日報->col() == ColNote && !Grid日報->isEof()) {
        *keyCode = 0;
        Grid日報->moveNext();
        if (Grid日報->isEof())
            Grid日報->moveLast();
        Grid日報->setCol(ColShowDate);
    }
}

void ReportTab::cellAction()
{
    if (Grid日報->col() != ColText)
        return;
    txt内容->setPlainText(Grid日報->columnValue(ColText).toString());
    placePopup();
    Cnテキスト入力->show();
    Cnテキスト入力->raise();
    txt内容->setFocus();
    txt内容->moveCursor(QTextCursor::End);
}

void ReportTab::accept内容()
{
    if (Cnテキスト入力->isHidden())
        return;
    const QString text = txt内容->toPlainText();
    Grid日報->setColumnValue(ColText, text.isEmpty() ? QVariant() : QVariant(text));
    Cnテキスト入力->hide();
    Grid日報->setCol(ColText);
    Grid日報->setFocus();
}

void ReportTab::close内容()
{
    if (Cnテキスト入力->isHidden())
        return;
    Cnテキスト入力->hide();
    Grid日報->setFocus();
}

void ReportTab::placePopup()
{
    const QRect g = Grid日報->geometry();
    const int w = qMin(560, g.width() - 40);
    const int h = qMin(300, g.height() - 40);
    Cnテキスト入力->setGeometry(g.x() + (g.width() - w) / 2, g.y() + (g.height() - h) / 2, w, h);
}

void ReportTab::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (Cnテキスト入力 && Cnテキスト入力->isVisible())
        placePopup();
}

bool ReportTab::eventFilter(QObject* watched, QEvent* e)
{
    // In the pop-up: Escape closes it, Ctrl+Enter accepts it; plain Enter is a new line.
    if (watched == txt内容 && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape) {
            close内容();
            return true;
        }
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && (k->modifiers() & Qt::ControlModifier)) {
            accept内容();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
