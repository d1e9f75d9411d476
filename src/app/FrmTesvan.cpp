#include "app/FrmTesvan.h"

#include "app/Application.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "app/controls/DateInput.h"
#include "app/controls/DropDown.h"
#include "codes/CodeTab.h"
#include "codes/PickLists.h"
#include "list/ListTab.h"
#include "msg/Msg.h"
#include "report/ReportTab.h"
#include "store/Db.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kMain = QString::fromLatin1(store::kMainConnection);
const QString kWork = QString::fromLatin1(store::kWorkConnection);
const QString kLastUpdate = QStringLiteral("2026/12/08");
} // namespace

FrmTesvan::FrmTesvan(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTesvan"));
    setWindowTitle(QStringLiteral("PrjTesvan"));
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    m_report = new ReportTab;
    m_report->setObjectName(QStringLiteral("Frame営業日報"));
    m_list = new ListTab;
    m_list->setObjectName(QStringLiteral("Frame日報一覧"));
    m_codes = new CodeTab;
    m_codes->setObjectName(QStringLiteral("Frame設定情報"));
    SSTab1->addTab(m_report, QStringLiteral("営業日報"));
    SSTab1->addTab(m_list, QStringLiteral("日報一覧"));
    SSTab1->addTab(m_codes, QStringLiteral("設定・情報"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(SSTab1);

    m_report->attach(kMain, kWork, [this] { SetComb(); });
    connect(m_report->cmd閉じる, &QPushButton::clicked, this, [this] { close(); });

    // Wide enough for every visible column of the report grid on a 1366x768 screen.
    resize(860, 660);
}

FrmTesvan::~FrmTesvan()
{
    unload();
}

QSqlDatabase FrmTesvan::MainDb() const
{
    return QSqlDatabase::database(kMain, false);
}

QSqlDatabase FrmTesvan::WorkDb() const
{
    return QSqlDatabase::database(kWork, false);
}

bool FrmTesvan::load(const QString& exeFolder)
{
    return loadFrom(app::chooseDataFolder(exeFolder));
}

bool FrmTesvan::loadFrom(const app::DataPaths& paths)
{
    m_paths = paths;
    QString err = store::openDatabase(kMain, m_paths.mainDbPath, store::DbKind::Main);
    if (!err.isEmpty()) {
        showLoadError(m_paths.mainDbPath, err);
        return false;
    }
    m_mainOpen = true;
    err = store::openDatabase(kWork, m_paths.workDbPath, store::DbKind::Work);
    if (!err.isEmpty()) {
        unload();
        showLoadError(m_paths.workDbPath, err);
        return false;
    }
    m_workOpen = true;
    setWindowTitle(app::kCaption);

    Clear設定();
    FormInit();
    Clear日報();
    Readコードマスタ();
    // The evening's report starts with its creation date.
    m_report->Dt日付->setFocus();
    return true;
}

void FrmTesvan::showLoadError(const QString& path, const QString& reason)
{
    Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("注意"),
                 QStringLiteral("データベースファイルを開けないため、終了します。\n\n%1\n\n%2").arg(path, reason));
}

void FrmTesvan::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void FrmTesvan::Clear設定()
{
    // Filled by the code-master tab.
}

void FrmTesvan::Readコードマスタ()
{
    // Filled by the code-master tab.
}

void FrmTesvan::Clear日報()
{
    m_report->Clear日報();
}

void FrmTesvan::FormInit()
{
    ReportTab* r = m_report;
    ListTab* l = m_list;
    CodeTab* c = m_codes;

    // 1. Notices.
    c->lblInfo->setText(QStringLiteral("営業日報 Tesvan Ver %1（最終更新 %2）\n"
                                       "作成日と氏名を指定して、日報の読込・登録・印刷を行います。")
                            .arg(app::kVersion, kLastUpdate));
    c->lblSupport->setText(QStringLiteral("お問い合わせは、システム担当者までご連絡ください。"));

    // 2. The grid sources, bound to the work database.
    const std::pair<DataSource*, QString> sources[] = {{r->dat日報, QStringLiteral("w営業日報")},
                                                       {r->dat備考, QStringLiteral("w備考")},
                                                       {r->dat訪問先, QStringLiteral("w訪問先")},
                                                       {l->dat一覧, QStringLiteral("w一覧")},
                                                       {c->datコードマスタ, QStringLiteral("wコードマスタ")}};
    for (const auto& [src, table] : sources) {
        src->setDatabase(kWork);
        src->setRecordSource(table);
    }

    // 3. Grid height.
    DataGrid* g = r->Grid日報;
    g->setHeightTwips(6600);

    // 4. Date inputs.
    r->Dt日付->setLeftTwips(1080);
    r->Dt日付->setWidthTwips(2010);
    r->Dt日付->setFormat(QStringLiteral("yyyy年mm月dd日"));
    r->Dt日付->setCalendarTitleFormat(QStringLiteral("yyyy年mm月"));
    r->Dt日付入力->setFormat(QStringLiteral("yy/mm/dd"));
    r->Dt日付入力->setCalendarTitleFormat(QStringLiteral("yyyy年mm月"));

    // 5. The report grid.
    g->setDataSource(r->dat日報);
    g->setFields({QStringLiteral("行番号"), QStringLiteral("チェック"), QStringLiteral("表示日付"),
                  QStringLiteral("日付"), QStringLiteral("時間"), QStringLiteral("訪問先"), QStringLiteral("担当"),
                  QStringLiteral("内容"), QStringLiteral("備考")});
    g->setRowSelectorWidthTwips(175);
    g->setRowHeightTwips(300);
    g->setColumnVisible(3, false);
    g->setColumnTakesCursor(0, false);
    g->setColumnLocked(0, true);
    const QStringList captions = {QString(),      QString(),      QStringLiteral("日付"),
                                  QString(),      QStringLiteral("時間"), QStringLiteral("訪問先"),
                                  QStringLiteral("担当"), QStringLiteral("内　　容"), QStringLiteral("備　考")};
    for (int i = 0; i < captions.size(); ++i)
        g->setColumnCaption(i, captions[i]);
    const double widths[] = {360, 345.2599, 854.9292, 854.9292, 764.7874, 1950.236, 1240, 3690, 2300};
    for (int i = 0; i < 9; ++i)
        g->setColumnWidthTwips(i, widths[i]);
    const Qt::Alignment aligns[] = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter,
                                    Qt::Alignment(),  Qt::AlignHCenter, Qt::AlignLeft,
                                    Qt::AlignHCenter, Qt::AlignLeft,    Qt::AlignLeft};
    for (int i = 0; i < 9; ++i)
        if (i != 3)
            g->setColumnAlignment(i, aligns[i]);
    g->setColumnFormat(2, QStringLiteral("mm/dd"));
    g->setColumnFormat(4, QStringLiteral("00:00"));
    g->setColumnCheckBox(1, true);
    g->setColumnEditor(2, r->Dt日付入力);
    r->DD訪問先->setDataSource(r->dat訪問先);
    r->DD訪問先->setListField(QStringLiteral("sname"));
    g->setColumnEditor(5, r->DD訪問先);
    r->DD備考->setDataSource(r->dat備考);
    r->DD備考->setListField(QStringLiteral("sname"));
    g->setColumnEditor(8, r->DD備考);
    g->setColumnActionOnly(7, true);

    // 6. The list grid.
    DataGrid* gl = l->Grid一覧;
    gl->setDataSource(l->dat一覧);
    gl->setFields({QStringLiteral("チェック"), QStringLiteral("作成日"), QStringLiteral("氏名"),
                   QStringLiteral("所属"), QStringLiteral("タイトル")});
    const QStringList listCaptions = {QString(), QStringLiteral("作成日"), QStringLiteral("氏　名"),
                                      QStringLiteral("所　属"), QStringLiteral("タイトル")};
    for (int i = 0; i < listCaptions.size(); ++i)
        gl->setColumnCaption(i, listCaptions[i]);
    const Qt::Alignment listAligns[] = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignHCenter};
    for (int i = 0; i < 4; ++i)
        gl->setColumnAlignment(i, listAligns[i]);
    const double listWidths[] = {345.2599, 1409.953, 2055.118, 1560.189, 5009.953};
    for (int i = 0; i < 5; ++i)
        gl->setColumnWidthTwips(i, listWidths[i]);
    gl->setColumnCheckBox(0, true);
    gl->setColumnFormat(1, QStringLiteral("yyyy/mm/dd"));

    // 7. The code grid.
    DataGrid* gc = c->Gridコード表;
    gc->setDataSource(c->datコードマスタ);
    gc->setFields({QString(), QStringLiteral("チェック"), QStringLiteral("code"), QStringLiteral("sname")});
    gc->setColumnVisible(0, false);
    for (int i = 1; i <= 3; ++i)
        gc->setColumnVisible(i, true);
    gc->setColumnCaption(1, QString());
    gc->setColumnCaption(2, QString());
    gc->setColumnCaption(3, QStringLiteral("名　　　　　称"));
    gc->setColumnAlignment(1, Qt::AlignHCenter);
    gc->setColumnAlignment(2, Qt::AlignHCenter);
    gc->setColumnAlignment(3, Qt::AlignLeft);
    gc->setColumnWidthTwips(1, 420);
    gc->setColumnWidthTwips(2, 484);
    gc->setColumnWidthTwips(3, 6330);
    gc->setColumnLocked(0, true);
    gc->setColumnLocked(2, true);
    gc->setColumnTakesCursor(2, false);
    gc->setColumnCheckBox(1, true);

    // 8. The category list.
    Combo* k = c->cmbコード区分;
    k->clearAll();
    for (const QString& name : {QStringLiteral("所属"), QStringLiteral("氏名"), QStringLiteral("備考"),
                                QStringLiteral("訪問先")})
        k->addItem(name);
    k->setCurrentText(QStringLiteral("所属"));
}

void FrmTesvan::SetComb()
{
    const codes::PickLists lists = codes::loadPickLists(MainDb(), WorkDb());
    ReportTab* r = m_report;
    const auto fill = [](Combo* combo, const QStringList& items) {
        combo->clearAll();
        combo->addItems(items);
        // Nothing is preselected: an empty header field stays empty.
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
    };
    fill(r->cmb所属, lists.所属);
    fill(r->cmb氏名, lists.氏名);
    fill(m_list->cmb氏名選択, lists.氏名);
    r->dat備考->refresh();
    r->dat訪問先->refresh();
    if (!lists.error.isEmpty())
        Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("注意"),
                     QStringLiteral("選択リストを作成できませんでした。\n") + lists.error);
}

bool FrmTesvan::Addコードマスタ(const QString& category, const QString& value)
{
    return codes::addCodeMaster(MainDb(), category, value).added;
}

void FrmTesvan::closeEvent(QCloseEvent* e)
{
    // What is still being typed in a grid stays in its work table for the next start.
    for (DataGrid* g : findChildren<DataGrid*>())
        g->commitPending();
    unload();
    // Every other window closes with the main window, last opened first.
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (auto it = tops.crbegin(); it != tops.crend(); ++it) {
        QWidget* w = *it;
        if (w != this && w->objectName() != objectName() && w->isVisible()) {
            w->close();
            QCoreApplication::processEvents();
        }
    }
    e->accept();
    app::TerminateWindowProcess(this);
}

void FrmTesvan::unload()
{
    if (m_mainOpen) {
        store::closeDatabase(kMain);
        m_mainOpen = false;
    }
    if (m_workOpen) {
        store::closeDatabase(kWork);
        m_workOpen = false;
    }
}
