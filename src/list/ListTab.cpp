#include "list/ListTab.h"

#include "app/Look.h"
#include "app/TabContext.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "app/controls/GridColumns.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ListTab::ListTab(QWidget* parent) : QWidget(parent)
{
    using app::makeButton;
    cmb氏名選択 = app::makeNameCombo(QStringLiteral("cmb氏名選択"), this);
    cmb氏名選択->setMinimumWidth(200);
    cmd一覧読込 = makeButton(QStringLiteral("cmd一覧読込"), QStringLiteral("読込"), this,
                          QStringLiteral("一覧を読込"));
    cmdHint2 = app::makeHintButton(QStringLiteral("cmdHint2"), this);
    connect(cmdHint2, &QPushButton::clicked, this, [this] { m_context->showHint(cmdHint2->objectName()); });
    auto* top = new QHBoxLayout;
    top->addWidget(app::makeLabel(QStringLiteral("氏　名"), this));
    top->addWidget(cmb氏名選択);
    top->addWidget(cmd一覧読込);
    top->addStretch(1);
    top->addWidget(cmdHint2);

    dat一覧 = new DataSource(this);
    dat一覧->setObjectName(QStringLiteral("dat一覧"));
    Grid一覧 = new DataGrid(this);
    Grid一覧->setObjectName(QStringLiteral("Grid一覧"));

    cmd選択 = makeButton(QStringLiteral("cmd選択"), QStringLiteral("選択"), this);
    cmd一覧削除 = makeButton(QStringLiteral("cmd一覧削除"), QStringLiteral("削除"), this,
                          QStringLiteral("指定された日報を削除"));
    cmd一覧クリア = makeButton(QStringLiteral("cmd一覧クリア"), QStringLiteral("クリア"), this,
                            QStringLiteral("一覧画面クリア。登録済みデータは消去されない。"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmd選択);
    bottom->addWidget(cmd一覧削除);
    bottom->addStretch(1);
    bottom->addWidget(cmd一覧クリア);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(Grid一覧, 1);
    layout->addLayout(bottom);
}

void ListTab::bindSources(const QString& workConnection)
{
    dat一覧->setDatabase(workConnection);
    dat一覧->setRecordSource(QStringLiteral("w一覧"));
}

void ListTab::setupGrid()
{
    const Qt::Alignment centre = Qt::AlignHCenter;
    GridColumn tick{"チェック", {}, 345.2599, centre};
    tick.checkBox = true;
    applyColumns(Grid一覧, dat一覧,
                 {tick, GridColumn{"作成日", "作成日", 1409.953, centre, "yyyy/mm/dd"},
                  GridColumn{"氏名", "氏　名", 2055.118, Qt::AlignLeft},
                  GridColumn{"所属", "所　属", 1560.189, centre}, GridColumn{"タイトル", "タイトル", 5009.953}});
}

void ListTab::setPickLists(const QStringList& names)
{
    app::fillPickList(cmb氏名選択, names);
}
