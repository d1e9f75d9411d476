#include "app/FrmTesvan.h"

#include "app/AfterShown.h"
#include "app/BackupAction.h"
#include "app/IndexRebuild.h"
#include "app/TerminateWindow.h"
#include "app/Version.h"
#include "store/Connection.h"
#include "store/DataInit.h"
#include "ui/Background.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "ui/DropDown.h"
#include "codes/CodeTab.h"
#include "codes/PickLists.h"
#include "hint/Hint.h"
#include "hint/HintKey.h"
#include "list/ListTab.h"
#include "ui/Look.h"
#include "ui/Notices.h"
#include "msg/Msg.h"
#include "report/ReportTab.h"
#include "search/SearchWindow.h"
#include "store/Db.h"
#include "store/Schema.h"

#include "app/StartupMessages.h"
#include "store/Integrity.h"
#include "store/PgEngine.h"
#include "store/LocalFile.h"
#include "store/Log.h"
#include "store/Server.h"
#include "store/Review.h"
#include "store/Team.h"
#include "team/TeamTab.h"
#include "store/TextIndex.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFutureWatcher>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kMain = QString::fromLatin1(store::kMainConnection);
const QString kWork = QString::fromLatin1(store::kWorkConnection);
const QString kLastUpdate = QStringLiteral("2026/12/08");
const QSize kWindowSize(900, 660);
const QSize kWindowMinimum(800, 560);
const int kWindowMargin = 6;

// The window sets its own size and minimum, so the tab widget's hints are those: QTabWidget's
// own hints ask every page, which would measure the hidden tabs' texts before the window shows.
class TabPages : public QTabWidget {
  public:
    using QTabWidget::QTabWidget;
    QSize sizeHint() const override { return kWindowSize - margins(); }
    QSize minimumSizeHint() const override { return kWindowMinimum - margins(); }

  private:
    static QSize margins() { return {2 * kWindowMargin, 2 * kWindowMargin}; }
};
} // namespace

FrmTesvan::FrmTesvan(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTesvan"));
    setWindowTitle(QStringLiteral("PrjTesvan"));
    SSTab1 = new TabPages(this);
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
    // The pages' stack is placed by the tab widget only once it shows; unplaced, it would first be
    // sized to fit every page, hidden ones too.
    if (auto* stack = SSTab1->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
        stack->resize(SSTab1->sizeHint());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kWindowMargin, kWindowMargin, kWindowMargin, kWindowMargin);
    layout->addWidget(SSTab1);
    m_indexRebuild = new app::IndexRebuild(SSTab1);
    // A write or a search that finds the index to be made again has it started once the
    // event loop turns (it is told inside a transaction).
    store::onTextIndexMarked([self = QPointer<FrmTesvan>(this)](const QString& connection) {
        if (self && connection == kMain)
            QTimer::singleShot(0, self, [self] {
                if (self && self->m_mainOpen && self->isVisible())
                    self->m_indexRebuild->startIfNeeded(self->MainDb());
            });
    });

    m_report->attach(this);
    m_list->attach(this);
    m_codes->attach(this);
    // The チーム tab reads the server each time it is shown (one statement).
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_team && SSTab1->widget(index) == m_team)
            m_team->refresh();
    });
    connect(m_report->cmd閉じる, &QPushButton::clicked, this, [this] { close(); });
    connect(m_codes->cmd一括削除7, &QPushButton::clicked, this, [this] { Data初期化(); });
    connect(m_codes->cmdバックアップ, &QPushButton::clicked, this,
            [this] { app::backUpMainFile(this, MainDb()); });
    // The other tabs follow what the code master and the reports now hold.
    connect(m_codes, &CodeTab::categoryStored, this, &FrmTesvan::followCategory);
    connect(m_report, &ReportTab::registered, this,
            [this](const QDate& date, const QString& name, const QString& dept, const QString& title) {
                m_list->showRegistered(date, name, dept, title);
                // Names the report taught the code master are offered on its next lines.
                refreshPickLists();
                if (m_search)
                    m_search->refresh();
            });
    // Ctrl+F finds reports from every tab; the grids and date inputs leave it to the window.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] { showSearch(); });
    // Ctrl+Q closes from every tab, as 閉じる does (which the 内容 panel holds back while open).
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, m_report->cmd閉じる, &QAbstractButton::click);

    // Wide enough for every visible column of the report grid on a 1366x768 screen; the tabs
    // lay themselves out down to 800x560, below which controls would be cut.
    setMinimumSize(kWindowMinimum);
    resize(kWindowSize);
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
    m_loading = true;
    const auto loaded = qScopeGuard([this] { m_loading = false; });
    m_paths = paths;
    // A team keeps its main database on a server named beside the files; the work file stays here.
    const store::ServerSetting server = store::readServerSetting(m_paths.dataFolder);
    if (server.present) {
        store::Error err = server.error;
        if (err.ok())
            err = store::openServer(kMain, server.conninfo);
        if (err.failed()) {
            showServerError(server.conninfo, err);
            return false;
        }
    } else if (const store::FileOpen o = store::openLocalFile(kMain, m_paths.mainDbPath, store::DbKind::Main);
               o.error.failed()) {
        showLoadError(m_paths.mainDbPath, o);
        return false;
    }
    m_mainOpen = true;
    if (const store::FileOpen o = store::openLocalFile(kWork, m_paths.workDbPath, store::DbKind::Work);
        o.error.failed()) {
        store::abandonLocalFile(kMain);
        unload();
        showLoadError(m_paths.workDbPath, o);
        return false;
    }
    m_workOpen = true;
    qCInfo(store::lcApp).noquote() << "opened" << m_paths.workDbPath << "and"
                                   << (server.present ? store::describeServer(server.conninfo)
                                                      : m_paths.mainDbPath);
    // A work file of an earlier version gets what this one keeps there.
    if (const store::Error e = store::addMissingTables(WorkDb(), store::DbKind::Work); e.failed()) {
        store::abandonLocalFile(kMain);
        store::abandonLocalFile(kWork);
        unload();
        showLoadError(m_paths.workDbPath, {e});
        return false;
    }
    // The full check runs when the rule of the files' records asks for it. The work file is
    // written by the start itself: a required check of it runs now. The main file's runs beside
    // the window; a required one holds its writes until it passes.
    // A check that is only due (not required) waits until the window is on screen.
    m_dueChecks.clear();
    const store::CheckNeed workNeed = store::checkNeedOf(kWork);
    if (workNeed == store::CheckNeed::Required) {
        if (const store::Error e = store::startPageCheck(kWork, m_paths.workDbPath, workNeed).result();
            e.failed()) {
            store::abandonLocalFile(kMain);
            store::abandonLocalFile(kWork);
            unload();
            // Whatever stopped it, a required check that did not pass is told as damage.
            showLoadError(m_paths.workDbPath, {store::Error(e.reason(), store::ErrorKind::Damaged)});
            return false;
        }
    } else if (workNeed == store::CheckNeed::Background) {
        m_dueChecks << std::pair{QString(kWork), m_paths.workDbPath};
    }
    if (!server.present) {
        const store::CheckNeed need = store::checkNeedOf(kMain);
        if (need == store::CheckNeed::Required)
            watchPageCheck(store::startPageCheck(kMain, m_paths.mainDbPath, need), m_paths.mainDbPath);
        else if (need == store::CheckNeed::Background)
            m_dueChecks << std::pair{QString(kMain), m_paths.mainDbPath};
    }
    if (isVisible())
        startDueChecks();
    showTeam(server.present ? server.conninfo : QString());
    app::offerBackup(m_codes->cmdバックアップ, MainDb());

    // The code grid shows the first category: reading it leaves the work table as it is when it
    // holds that category already (clearing it first rewrote it twice at every start).
    FormInit();
    // Clear日報, unless the report a session that did not close left unregistered is taken back.
    m_report->startReport();
    Readコードマスタ();
    // The evening's report starts with its creation date.
    m_report->Dt日付->setFocus();
    return true;
}

void FrmTesvan::showTeam(const QString& conninfo)
{
    // On a team server the title names the server and who is signed in, and the tabs write
    // only what that member may.
    std::optional<store::Member> member;
    QString title = app::kCaption;
    if (!conninfo.isEmpty()) {
        if (const store::SignedIn s = store::signedInMember(MainDb()); s.found)
            member = s.member;
        title += QStringLiteral(" - ") + store::describeServer(conninfo);
        if (member)
            title += QStringLiteral(" - ") + member->氏名;
    }
    setWindowTitle(title);
    m_title = title;
    // A standby that took over from the primary is only named in the title: the work goes on.
    store::setServerNoteSink([window = QPointer<FrmTesvan>(this)](const QString& note) {
        QMetaObject::invokeMethod(
            qApp,
            [window, note] {
                if (!window)
                    return;
                window->m_title += QStringLiteral(" - ") + note;
                window->setWindowTitle(window->m_title);
            },
            Qt::QueuedConnection);
    });
    m_report->setMember(member);
    m_list->setMember(member);
    m_codes->setMaintains(!member || member->maintains());
    // The review's tab, made only for a member of a server that keeps the review.
    const bool review = member && store::hasReview(MainDb());
    if (review && !m_team) {
        m_team = new TeamTab;
        m_team->setObjectName(QStringLiteral("Frameチーム"));
        m_team->attach(this);
        SSTab1->addTab(m_team, QStringLiteral("チーム"));
        // The count shows on the tab's caption and in the title; nothing opens over the typing.
        connect(m_team, &TeamTab::noticesChanged, this, [this](int count) {
            SSTab1->setTabText(SSTab1->indexOf(m_team), count > 0 ? QStringLiteral("チーム (%1)").arg(count)
                                                                  : QStringLiteral("チーム"));
            setWindowTitle(count > 0 ? m_title + QStringLiteral(" - 通知 %1").arg(count) : m_title);
        });
        m_team->pollNotices();
    } else if (!review && m_team) {
        SSTab1->removeTab(SSTab1->indexOf(m_team));
        delete m_team;
        m_team = nullptr;
    }
}

void FrmTesvan::showLoadError(const QString& path, const store::FileOpen& why)
{
    qCWarning(store::lcApp).noquote() << "not opened:" << path << why.error.reason();
    Msg::ShowMsg(MsgId::その他_注意, app::openFailureText(path, why, m_paths.dataFolder));
}

namespace {
// libpq indents the continuation lines of its messages with tabs.
QString tidyLines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    for (QString& l : lines)
        l = l.trimmed();
    return lines.join(u'\n');
}
} // namespace

void FrmTesvan::showServerError(const QString& conninfo, const store::Error& reason)
{
    qCWarning(store::lcApp).noquote()
        << "server not opened:" << store::describeServer(conninfo) << reason.reason();
    const QString setting = QDir::toNativeSeparators(m_paths.dataFolder + store::kServerFileName);
    const QString tool =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/tesvan-initdb"));
    Msg::ShowMsg(
        MsgId::その他_注意,
        QStringLiteral(
            "データベースサーバーに接続できないため、終了します。\n\nサーバー: %1\n設定ファイル: %2\n\n"
            "サーバーが動いているか、ネットワークと、ユーザー名および ~/.pgpass のパスワードを"
            "確かめてください。表がまだないデータベースには、次のコマンドで作成できます:\n  %3 --server '…'"
            "\n\n（原因）\n%4")
            .arg(conninfo.isEmpty() ? QStringLiteral("（設定を読み取れません）")
                                    : store::describeServer(conninfo),
                 setting, tool, tidyLines(reason.reason())));
}

void FrmTesvan::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!m_dueChecks.isEmpty())
        app::AfterFirstShown::run(this, [this] { startDueChecks(); });
    // A search index to make again is made with the window on screen, where it shows how far.
    if (m_mainOpen && !store::isServer(MainDb()))
        app::AfterFirstShown::run(this, [this] {
            if (m_mainOpen)
                m_indexRebuild->startIfNeeded(MainDb());
        });
}

void FrmTesvan::startDueChecks()
{
    const QList<std::pair<QString, QString>> due = std::exchange(m_dueChecks, {});
    for (const auto& [connection, path] : due)
        if (QSqlDatabase::database(connection, false).isOpen())
            watchPageCheck(store::startPageCheck(connection, path, store::CheckNeed::Background), path);
}

void FrmTesvan::watchPageCheck(const QFuture<store::Error>& check, const QString& path)
{
    auto* watcher = new QFutureWatcher<store::Error>(this);
    connect(watcher, &QFutureWatcher<store::Error>::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        if (watcher->future().resultCount() == 0)
            return;
        const store::Error e = watcher->future().result();
        // A check that found the search index damaged (and the file whole) has it made again.
        if (e.ok() && m_mainOpen && !store::isServer(MainDb()))
            m_indexRebuild->startIfNeeded(MainDb());
        if (e.ok())
            return;
        Msg::ShowMsg(MsgId::その他_注意, app::damageText(path, e, m_paths.dataFolder));
    });
    watcher->setFuture(check);
}

bool FrmTesvan::openReport(const QString& name, const QString& yyyymmdd, int lineNo)
{
    if (!m_report->settleUnregistered(ReportTab::Leaving::Open))
        return false;
    SSTab1->setCurrentIndex(0);
    m_report->openReport(name, yyyymmdd, lineNo);
    return true;
}

search::SearchWindow* FrmTesvan::searchWindow() const
{
    return m_search;
}

void FrmTesvan::showSearch()
{
    if (!m_search) {
        m_search = new search::SearchWindow(this, this);
        m_search->setNames(m_names);
    }
    m_search->showAndFocus();
}

void FrmTesvan::showHint(const QString& ctlName)
{
    hint::HintKey& key = hint::sharedKey();
    key.HintFormName = objectName();
    key.HintCtlName = ctlName;
    key.HintFormTitle = windowTitle();
    key.tabCaption = SSTab1->tabText(SSTab1->currentIndex());
    if (!m_hint)
        m_hint = new Hint(kWork, this);
    m_hint->showForButton();
}

void FrmTesvan::bringToFront()
{
    app::bringForward(this);
}

void FrmTesvan::Clear設定()
{
    m_codes->Clear設定();
}

void FrmTesvan::Readコードマスタ()
{
    m_codes->Readコードマスタ();
}

void FrmTesvan::Data初期化()
{
    // On a server this would wipe every user's reports: not one user's command.
    if (store::isServer(MainDb())) {
        Msg::ShowMsg(
            MsgId::その他_注意,
            QStringLiteral("データベースサーバーのデータはチーム全員のものです。ここからは初期化できません。"
                           "初期化が必要なときは、サーバーの管理者に依頼してください。"));
        return;
    }
    if (!Msg::ShowMsg(MsgId::その他_確認, QStringLiteral("すべてのデータを初期化します。")))
        return;
    if (!app::awaitFileChecks(this, {MainDb()}))
        return;
    if (const store::Error e = app::initialiseData(MainDb()); e.failed()) {
        app::tellFailure(QStringLiteral("データを初期化"), e);
        return;
    }
    // No listed report and no offered name is left.
    m_list->dropAllRows();
    refreshPickLists();
    if (m_search)
        m_search->refresh();
    Msg::ShowMsg(MsgId::その他_メッセージ, QStringLiteral("すべてのデータを初期化しました"));
}

void FrmTesvan::Clear日報()
{
    m_report->Clear日報();
}

void FrmTesvan::FormInit()
{
    // 1. Notices.
    m_codes->lblInfo->setText(QStringLiteral("営業日報 Tesvan Ver %1（最終更新 %2）\n"
                                             "作成日と氏名を指定して、日報の読込・登録・印刷を行います。")
                                  .arg(app::kVersion, kLastUpdate));
    m_codes->lblSupport->setText(QStringLiteral("お問い合わせは、システム担当者までご連絡ください。"));

    // 2. The grid sources, bound to the work database, in this order.
    m_report->bindSources(kWork);
    m_list->bindSources(kWork);
    m_codes->bindSources(kWork);

    // 3.-5. The report grid, its date inputs and editors; 6. the list grid; 7. the code grid
    // and 8. its category list.
    m_report->setupGrid();
    m_list->setupGrid();
    m_codes->setupGrid();
}

void FrmTesvan::SetComb()
{
    const codes::PickLists lists = m_pickLists.load(MainDb(), WorkDb());
    m_report->setPickLists(lists.所属, lists.氏名, lists.tablesChanged);
    m_list->setPickLists(lists.氏名);
    m_names = lists.氏名;
    if (m_search)
        m_search->setNames(m_names);
    if (lists.error.failed())
        app::tellFailure(QStringLiteral("選択リストを作成"), lists.error);
}

void FrmTesvan::refreshPickLists()
{
    const QList<Combo*> typed{m_report->cmb所属, m_report->cmb氏名, m_list->cmb氏名選択};
    QStringList texts;
    for (const Combo* c : typed)
        texts << c->currentText();
    SetComb();
    for (int i = 0; i < typed.size(); ++i)
        typed[i]->setEditText(texts[i]);
}

void FrmTesvan::followCategory(const codes::CategoryState& stored)
{
    const codes::CategoryPick pick = codes::followCategory(WorkDb(), stored);
    const auto refill = [&](Combo* c) {
        const QString typed = c->currentText();
        app::fillPickList(c, pick.names);
        c->setEditText(typed);
    };
    if (stored.category == store::k所属) {
        refill(m_report->cmb所属);
    } else if (stored.category == store::k氏名) {
        refill(m_report->cmb氏名);
        refill(m_list->cmb氏名選択);
        m_names = pick.names;
        if (m_search)
            m_search->setNames(m_names);
    } else if (pick.tableChanged) {
        m_report->pickTableChanged(stored.category);
    }
    if (pick.error.failed())
        app::tellFailure(QStringLiteral("選択リストを作成"), pick.error);
}

void FrmTesvan::endSession()
{
    if (m_ending)
        return;
    m_ending = true;
    Msg::dismissAll();
    finishEnding(0);
}

void FrmTesvan::finishEnding(int attempt)
{
    // A modal box or dialog runs an event loop of its own, and the code that opened it goes on
    // once it returns: the files close only after every such loop has, and the start has ended.
    constexpr int kWaits = 100;
    if (m_loading || (QThread::currentThread()->loopLevel() > 1 && attempt < kWaits)) {
        for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
        QTimer::singleShot(20, this, [this, attempt] { finishEnding(m_loading ? attempt : attempt + 1); });
        return;
    }
    close();
}

void FrmTesvan::closeEvent(QCloseEvent* e)
{
    if (m_ending) {
        m_report->keepForNextStart();
    } else if (!m_report->settleUnregistered(ReportTab::Leaving::Close)) {
        e->ignore();
        return;
    }
    // What is still being typed in a grid stays in its work table for the next start.
    for (DataGrid* g : findChildren<DataGrid*>())
        g->commitPending();
    unload();
    // Every other window closes with the main window, last opened first.
    // Guarded: a window that deletes itself on close (a print preview) may take others with it.
    QList<QPointer<QWidget>> tops;
    for (QWidget* w : QApplication::topLevelWidgets())
        tops << w;
    for (auto it = tops.crbegin(); it != tops.crend(); ++it) {
        QWidget* w = *it;
        if (w && w != this && w->objectName() != objectName() && w->isVisible()) {
            w->close();
            QCoreApplication::processEvents();
        }
    }
    e->accept();
    app::TerminateWindowProcess(this);
}

void FrmTesvan::unload()
{
    m_report->filesClosing();
    m_dueChecks.clear();
    m_indexRebuild->stop();
    m_pickLists.forget();
    if (m_mainOpen) {
        store::closeDatabase(kMain);
        m_mainOpen = false;
    }
    if (m_workOpen) {
        store::closeDatabase(kWork);
        m_workOpen = false;
    }
}
