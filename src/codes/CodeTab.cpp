#include "codes/CodeTab.h"

#include "app/Look.h"
#include "app/TabContext.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "app/controls/GridColumns.h"
#include "store/Schema.h"

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
    using app::makeButton;
    cmbコード区分 = new Combo(this);
    cmbコード区分->setObjectName(QStringLiteral("cmbコード区分"));
    cmbコード区分->setMinimumWidth(140);
    cmd設定読込 = makeButton(QStringLiteral("cmd設定読込"), QStringLiteral("読込"), this,
                          QStringLiteral("設定を読込みます"));
    cmdHint3 = app::makeHintButton(QStringLiteral("cmdHint3"), this);
    connect(cmdHint3, &QPushButton::clicked, this, [this] { m_context->showHint(cmdHint3->objectName()); });
    auto* top = new QHBoxLayout;
    top->addWidget(app::makeLabel(QStringLiteral("区　分"), this));
    top->addWidget(cmbコード区分);
    top->addWidget(cmd設定読込);
    top->addStretch(1);
    top->addWidget(cmdHint3);

    datコードマスタ = new DataSource(this);
    datコードマスタ->setObjectName(QStringLiteral("datコードマスタ"));
    Gridコード表 = new DataGrid(this);
    Gridコード表->setObjectName(QStringLiteral("Gridコード表"));

    cmd設定登録 = makeButton(QStringLiteral("cmd設定登録"), QStringLiteral("登録"), this);
    cmd設定行削除 = makeButton(QStringLiteral("cmd設定行削除"), QStringLiteral("行削除"), this,
                            QStringLiteral("指定行削除"));
    cmd設定削除 = makeButton(QStringLiteral("cmd設定削除"), QStringLiteral("削除"), this,
                          QStringLiteral("設定情報を削除し初期値に戻します。"));
    cmd設定クリア = makeButton(QStringLiteral("cmd設定クリア"), QStringLiteral("クリア"), this,
                            QStringLiteral("設定画面の情報を消去します。登録済みデータは消去されません。"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmd設定行削除);
    buttons->addWidget(cmd設定削除);
    buttons->addStretch(1);
    buttons->addWidget(cmd設定クリア);
    buttons->addWidget(cmd設定登録);

    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(Gridコード表, 1);
    left->addLayout(buttons);

    // Right column: data initialisation and the program's notices.
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
    imgBanner->setPixmap(bannerPicture());

    auto* right = new QVBoxLayout;
    right->addWidget(app::makeLabel(QStringLiteral("データ初期化"), this));
    right->addWidget(fra初期化);
    right->addSpacing(24);
    right->addWidget(lblInfo);
    right->addStretch(1);
    right->addWidget(lblSupport);
    right->addWidget(imgBanner);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(16);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);
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
    applyColumns(Gridコード表, datコードマスタ,
                 {none, tick, code, GridColumn{"sname", "名　　　　　称", 6330, Qt::AlignLeft}});

    cmbコード区分->clearAll();
    cmbコード区分->addItems(store::kCategories);
    cmbコード区分->setCurrentText(store::k所属);
}
