#include "codes/CodeTab.h"

#include "ui/Background.h"
#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/grid/ColumnTable.h"
#include "ui/Ime.h"
#include "codes/CodeStore.h"
#include "msg/Msg.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

namespace {
QPixmap bannerPicture()
{
    QPixmap pm(300, 64);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 300, 64);
    g.setColorAt(0, QColor(40, 78, 140));
    g.setColorAt(1, QColor(96, 150, 210));
    p.fillRect(pm.rect(), g);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(22);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(16, 4, 280, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tesvan"));
    f.setBold(false);
    f.setPixelSize(13);
    p.setFont(f);
    p.drawText(QRect(16, 34, 280, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("営業日報システム"));
    return pm;
}
} // namespace

CodeTab::CodeTab(QWidget* parent) : QWidget(parent)
{
    QHBoxLayout* top = buildTop();
    datコードマスタ = new DataSource(this);
    datコードマスタ->setObjectName(QStringLiteral("datコードマスタ"));
    Gridコード表 = new DataGrid(this);
    Gridコード表->setObjectName(QStringLiteral("Gridコード表"));
    app::nameInput(Gridコード表, QStringLiteral("コードマスタ"));
    QHBoxLayout* buttons = buildButtons();
    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(Gridコード表, 1);
    left->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(16);
    layout->addLayout(left, 3);
    layout->addLayout(buildNotices(), 2);
    connectCommands();
}

QHBoxLayout* CodeTab::buildTop()
{
    using app::makeButton;
    cmbコード区分 = new Combo(this);
    cmbコード区分->setObjectName(QStringLiteral("cmbコード区分"));
    cmbコード区分->setMinimumWidth(140);
    cmd設定読込 = makeButton(QStringLiteral("cmd設定読込"), QStringLiteral("読込"), this,
                             QStringLiteral("設定を読込みます"));
    cmdHint3 = app::makeHintButton(QStringLiteral("cmdHint3"), this);
    connect(cmdHint3, &QPushButton::clicked, this, [this] { m_context->showHint(cmdHint3->objectName()); });
    auto* top = new QHBoxLayout;
    top->addWidget(app::makeLabelFor(QStringLiteral("区　分"), cmbコード区分, this));
    top->addWidget(cmbコード区分);
    top->addWidget(cmd設定読込);
    top->addStretch(1);
    top->addWidget(cmdHint3);
    return top;
}

QHBoxLayout* CodeTab::buildButtons()
{
    using app::makeButton;
    cmd設定登録 = makeButton(QStringLiteral("cmd設定登録"), QStringLiteral("登録"), this);
    cmd設定行削除 = makeButton(QStringLiteral("cmd設定行削除"), QStringLiteral("行削除"), this,
                               QStringLiteral("指定行削除"));
    cmd設定削除 = makeButton(QStringLiteral("cmd設定削除"), QStringLiteral("削除"), this,
                             QStringLiteral("設定情報を削除し初期値に戻します。"));
    cmd設定クリア =
        makeButton(QStringLiteral("cmd設定クリア"), QStringLiteral("クリア"), this,
                   QStringLiteral("設定画面の情報を消去します。登録済みデータは消去されません。"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmd設定行削除);
    buttons->addWidget(cmd設定削除);
    buttons->addStretch(1);
    buttons->addWidget(cmd設定クリア);
    buttons->addWidget(cmd設定登録);
    return buttons;
}

QVBoxLayout* CodeTab::buildNotices()
{
    using app::makeButton;
    // Right column: the backup, data initialisation and the program's notices.
    fraバックアップ = new QFrame(this);
    fraバックアップ->setObjectName(QStringLiteral("fraバックアップ"));
    fraバックアップ->setFrameShape(QFrame::StyledPanel);
    cmdバックアップ =
        makeButton(QStringLiteral("cmdバックアップ"), QStringLiteral("バックアップ"), fraバックアップ,
                   QStringLiteral("日報とコードマスタのバックアップを作成します。"
                                  "入力や登録の途中でも作成できます。"));
    auto* backupLayout = new QHBoxLayout(fraバックアップ);
    auto* backupLabel = app::makeLabel(QStringLiteral("日報とコードマスタを1つのファイルに保存する"),
                                       fraバックアップ, QStringLiteral("lblバックアップ"));
    backupLabel->setWordWrap(true);
    backupLayout->addWidget(backupLabel, 1);
    backupLayout->addWidget(cmdバックアップ);

    fra初期化 = new QFrame(this);
    fra初期化->setObjectName(QStringLiteral("fra初期化"));
    fra初期化->setFrameShape(QFrame::StyledPanel);
    cmd一括削除7 = makeButton(QStringLiteral("cmd一括削除7"), QStringLiteral("実行"), fra初期化);
    auto* initLayout = new QHBoxLayout(fra初期化);
    auto* initLabel = app::makeLabel(QStringLiteral("すべてのデータを削除し初期状態に戻す"), fra初期化,
                                     QStringLiteral("lbl一括削除"));
    initLabel->setWordWrap(true);
    initLayout->addWidget(initLabel, 1);
    initLayout->addWidget(cmd一括削除7);

    lblInfo = app::makeLabel(QString(), this, QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblSupport = app::makeLabel(QString(), this, QStringLiteral("lblSupport"));
    lblSupport->setWordWrap(true);
    imgBanner = app::makeLabel(QString(), this, QStringLiteral("imgBanner"));
    // Drawn when the tab is first shown: its bold face is opened for nothing else, and drawing it
    // at start was 7 % of the work before the window showed.
    imgBanner->setFixedSize(300, 64);

    auto* right = new QVBoxLayout;
    right->addWidget(app::makeLabel(QStringLiteral("バックアップ"), this));
    right->addWidget(fraバックアップ);
    right->addSpacing(12);
    right->addWidget(app::makeLabel(QStringLiteral("データ初期化"), this));
    right->addWidget(fra初期化);
    right->addSpacing(24);
    right->addWidget(lblInfo);
    right->addStretch(1);
    right->addWidget(lblSupport);
    right->addWidget(imgBanner);
    return right;
}

void CodeTab::connectCommands()
{
    // The category is picked from the list only: typed characters and Delete do nothing.
    connect(cmbコード区分, &Combo::keyPress, this, [](int* ascii) { *ascii = 0; });
    connect(cmbコード区分, &Combo::keyDown, this, [](int* key, Qt::KeyboardModifiers) {
        if (*key == Qt::Key_Delete)
            *key = 0;
    });
    // Leaving the category reads it; see eventFilter.
    cmbコード区分->installEventFilter(this);
    connect(cmd設定読込, &QPushButton::clicked, this, [this] { Readコードマスタ(); });
    connect(cmd設定登録, &QPushButton::clicked, this, [this] { confirmRegister(); });
    connect(cmd設定クリア, &QPushButton::clicked, this, [this] { Clear設定(); });
    connect(cmd設定削除, &QPushButton::clicked, this, [this] { Deleteコードマスタ(); });
    connect(cmd設定行削除, &QPushButton::clicked, this, [this] {
        const QString category = cmbコード区分->currentText();
        if (!category.isEmpty())
            LineDeleteコードマスタ(category);
    });
    connect(Gridコード表, &DataGrid::rowColChange, this, [this](int, int) { rowColChange(); });
    // Names are typed one under the other: Enter after a name goes to the next row's name,
    // not to its tick box, where the next name typed would have nowhere to go.
    connect(Gridコード表, &DataGrid::keyDown, this, [this](int* key, Qt::KeyboardModifiers mods) {
        DataGrid* g = Gridコード表;
        if (*key != Qt::Key_Return || (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) ||
            g->col() != ColName || g->isEof() || g->row() + 1 >= g->model()->rowCount())
            return;
        g->setRow(g->row() + 1);
        *key = 0;
    });
    connect(Gridコード表, &DataGrid::writeFailed, this,
            [](int, const store::Error& e) { app::tellFailure(QStringLiteral("入力を保存"), e); });
}

void CodeTab::bindSources(const QString& workConnection)
{
    datコードマスタ->setDatabase(workConnection);
    datコードマスタ->setRecordSource(QStringLiteral("wコードマスタ"), QStringLiteral("code"));
}

void CodeTab::setupGrid()
{
    GridColumn none;
    none.hidden = none.locked = true;
    GridColumn tick{"チェック", {}, 420, Qt::AlignHCenter};
    tick.checkBox = true;
    GridColumn code{"code", {}, 484, Qt::AlignHCenter};
    code.locked = code.noCursor = true;
    GridColumn name{"sname", "名　　　　　称", 6330, Qt::AlignLeft};
    name.stretch = true;
    applyColumns(Gridコード表, datコードマスタ,
                 inEnumOrder<ColName, ColNone, ColCheck, ColCode, ColName>(none, tick, code, name));

    cmbコード区分->clearAll();
    cmbコード区分->addItems(store::kCategories);
    cmbコード区分->setCurrentText(store::k所属);
}

void CodeTab::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (imgBanner->pixmap().isNull())
        imgBanner->setPixmap(bannerPicture());
}

bool CodeTab::eventFilter(QObject* watched, QEvent* e)
{
    // Focus leaving the category for another control of this window reads the category. Its own
    // list, a message box or another program taking the focus is no leaving, and neither is
    // the window closing with its databases.
    // The grid keeps what was typed in it while the category stays the one it shows.
    if (watched == cmbコード区分 && e->type() == QEvent::FocusOut &&
        !(m_read.known && m_read.category == cmbコード区分->currentText())) {
        const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
        if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason && m_context &&
            // A server connection lost meanwhile shows as closed; the read opens it afresh.
            (m_context->mainDb().isOpen() || store::isServer(m_context->mainDb())) &&
            m_context->workDb().isOpen())
            Readコードマスタ();
    }
    return QWidget::eventFilter(watched, e);
}

void CodeTab::setMaintains(bool maintains)
{
    for (CommandButton* b : {cmd設定登録, cmd設定行削除, cmd設定削除}) {
        // The button's own tooltip comes back with the right.
        if (!b->property("ownToolTip").isValid())
            b->setProperty("ownToolTip", b->toolTip());
        b->setEnabled(maintains);
        b->setToolTip(maintains ? b->property("ownToolTip").toString()
                                : QStringLiteral("コードマスタの保守は管理者だけが行えます。"));
    }
}

void CodeTab::refreshGrid()
{
    // Start-up clears the grid before the window's set-up has bound it.
    if (datコードマスタ->database().isEmpty())
        return;
    if (const store::Error err = datコードマスタ->refresh(); err.failed())
        app::tellFailure(QStringLiteral("コードの一覧を表示"), err);
}

bool CodeTab::commitGrid()
{
    // A failed write was told by the grid's writeFailed; the name cells take any text.
    return Gridコード表->commitPending().ok();
}

void CodeTab::rowColChange()
{
    SetImeStatus(Gridコード表->imeWindow(), Gridコード表->col() == ColName);
}

void CodeTab::Clearコード明細()
{
    if (const store::Error e = codes::clearCodeRows(m_context->workDb()); e.failed())
        app::tellFailure(QStringLiteral("コードの一覧をクリア"), e);
    refreshGrid();
}

void CodeTab::Readコードマスタ()
{
    if (const store::Error e = codes::readCategory(m_context->mainDb(), m_context->workDb(),
                                                   cmbコード区分->currentText(), &m_read);
        e.failed())
        app::tellFailure(QStringLiteral("コードマスタを読込"), e);
    refreshGrid();
}

void CodeTab::confirmRegister()
{
    if (!Msg::ShowMsg(MsgId::登録_確認, QStringLiteral("設定")))
        return;
    // The name typed last is registered too.
    if (!commitGrid())
        return;
    Entryコードマスタ();
}

void CodeTab::tellChangedSince(const QString& category)
{
    Msg::ShowMsg(MsgId::その他_変更あり, category);
}

void CodeTab::Entryコードマスタ()
{
    // After a kill the files are checked whole first: the window waits painting, not frozen.
    if (!app::awaitFileChecks(this, {m_context->mainDb(), m_context->workDb()}))
        return;
    const QString category = cmbコード区分->currentText();
    const codes::CategoryWrite w =
        codes::registerCategory(m_context->mainDb(), m_context->workDb(), category, m_read);
    if (w.changedSince)
        tellChangedSince(category);
    else if (w.error.failed())
        app::tellFailure(QStringLiteral("コードマスタを登録"), w.error);
    else
        emit categoryStored(m_read);
    cmbコード区分->setFocus();
}

void CodeTab::LineDeleteコードマスタ(const QString& category)
{
    if (!Msg::ShowMsg(MsgId::削除_伝票確認2, QStringLiteral("指定されたデータ")))
        return;
    if (!commitGrid() || !app::awaitFileChecks(this, {m_context->mainDb(), m_context->workDb()}))
        return;
    const codes::CategoryWrite w =
        codes::deleteTickedLines(m_context->mainDb(), m_context->workDb(), category, m_read);
    if (w.changedSince)
        tellChangedSince(category);
    else if (w.error.failed())
        app::tellFailure(w.stored ? QStringLiteral("コードマスタは行削除しましたが、画面の一覧を更新")
                                  : QStringLiteral("行を削除"),
                         w.error);
    if (w.stored)
        emit categoryStored(m_read);
    refreshGrid();
    Gridコード表->setFocus();
}

void CodeTab::Deleteコードマスタ()
{
    const QString category = cmbコード区分->currentText();
    if (!Msg::ShowMsg(MsgId::その他_確認, category + QStringLiteral("のデータを削除します")))
        return;
    if (!app::awaitFileChecks(this, {m_context->mainDb()}))
        return;
    if (const store::Error e = codes::blankCategory(m_context->mainDb(), category, &m_read); e.failed()) {
        app::tellFailure(QStringLiteral("コードマスタを削除"), e);
        return;
    }
    emit categoryStored(m_read);
    Clearコード明細();
}

void CodeTab::Clear設定()
{
    cmbコード区分->setCurrentText(cmbコード区分->firstItem());
    Clearコード明細();
    Readコードマスタ();
}
