#include "list/ListTab.h"

#include "ui/Background.h"
#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"
#include "ui/Controls.h"
#include "ui/NaturalOrder.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/grid/ColumnTable.h"
#include "list/ListStore.h"
#include "msg/Msg.h"
#include "store/Dates.h"
#include "store/Review.h"

#include <QCheckBox>
#include <QShortcut>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

ListTab::ListTab(QWidget* parent) : QWidget(parent)
{
    using app::makeButton;
    cmb氏名選択 = app::makeNameCombo(QStringLiteral("cmb氏名選択"), this);
    cmb氏名選択->setMinimumWidth(200);
    cmd一覧読込 =
        makeButton(QStringLiteral("cmd一覧読込"), QStringLiteral("読込"), this, QStringLiteral("一覧を読込"));
    // Every report's lines, not one person's headers: the search window (Ctrl+F everywhere).
    cmd検索 = makeButton(QStringLiteral("cmd検索"), QStringLiteral("検索"), this,
                         QStringLiteral("すべての日報の行を、期間・氏名・キーワードで検索します (Ctrl+F)"));
    connect(cmd検索, &QPushButton::clicked, this, [this] { m_context->showSearch(); });
    cmdHint2 = app::makeHintButton(QStringLiteral("cmdHint2"), this);
    connect(cmdHint2, &QPushButton::clicked, this, [this] { m_context->showHint(cmdHint2->objectName()); });
    chk未読のみ = new QCheckBox(QStringLiteral("未読のみ"), this);
    chk未読のみ->setObjectName(QStringLiteral("chk一覧未読のみ"));
    chk未読のみ->setToolTip(QStringLiteral("まだ読んでいない、他のメンバーの日報だけを一覧にします (Alt+U)"));
    // Alt+U on this tab only: the チーム tab and 日報一覧 both have the tick, and a key two visible
    // or hidden buttons of one window hold only moves the focus between them.
    auto* unread = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_U), this);
    unread->setContext(Qt::WidgetWithChildrenShortcut);
    connect(unread, &QShortcut::activated, this, [this] {
        if (chk未読のみ->isVisible())
            chk未読のみ->click();
    });
    chk未読のみ->hide();
    // The list is read again as the tick says: the tick is a filter, as the name is.
    connect(chk未読のみ, &QCheckBox::toggled, this, [this] { Read一覧(); });
    auto* top = new QHBoxLayout;
    top->addWidget(app::makeLabelFor(QStringLiteral("氏　名"), cmb氏名選択, this));
    top->addWidget(cmb氏名選択);
    top->addWidget(cmd一覧読込);
    top->addWidget(chk未読のみ);
    top->addWidget(cmd検索);
    top->addStretch(1);
    top->addWidget(cmdHint2);

    dat一覧 = new DataSource(this);
    dat一覧->setObjectName(QStringLiteral("dat一覧"));
    Grid一覧 = new DataGrid(this);
    Grid一覧->setObjectName(QStringLiteral("Grid一覧"));
    app::nameInput(Grid一覧, QStringLiteral("日報の一覧"));

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

    connect(cmd一覧読込, &QPushButton::clicked, this, [this] { Read一覧(); });
    // Enter in the name filter and F5 read the list, as on the entry tab.
    cmd一覧読込->setShortcut(QKeySequence(Qt::Key_F5));
    connect(cmb氏名選択, &Combo::keyDown, this, [this](int* key, Qt::KeyboardModifiers mods) {
        // The combo reports both Enter keys as Qt::Key_Return.
        if (*key == Qt::Key_Return && !(mods & ~Qt::KeypadModifier)) {
            *key = 0;
            cmd一覧読込->click();
        }
    });
    connect(cmd一覧クリア, &QPushButton::clicked, this, [this] { Clear一覧(); });
    connect(cmd一覧削除, &QPushButton::clicked, this, [this] { Delete日報一覧(); });
    connect(cmd選択, &QPushButton::clicked, this, [this] { openSelected(); });
    // A double click or Enter on a row opens it, as the 選択 button does; the tick box keeps
    // its own click.
    connect(Grid一覧, &DataGrid::cellAction, this, [this] {
        if (Grid一覧->col() != ColCheck)
            openSelected();
    });
    connect(Grid一覧, &DataGrid::keyDown, this, [this](int* key, Qt::KeyboardModifiers mods) {
        if (*key == Qt::Key_Return && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))) {
            *key = 0;
            openSelected();
        }
    });
    // A click on a caption sorts by its column, as a spreadsheet does.
    Grid一覧->horizontalHeader()->setSectionsClickable(true);
    connect(Grid一覧->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int col) { sortByColumn(col); });
    connect(Grid一覧, &DataGrid::writeFailed, this,
            [](int, const store::Error& e) { app::tellFailure(QStringLiteral("チェックを保存"), e); });
}

void ListTab::bindSources(const QString& workConnection)
{
    dat一覧->setDatabase(workConnection);
    dat一覧->setRecordSource(QStringLiteral("w一覧"));
    // A team's years are a hundred thousand rows: the grid fetches the rows it shows.
    dat一覧->setFetchOnDemand(true);
}

void ListTab::setupGrid()
{
    const Qt::Alignment centre = Qt::AlignHCenter;
    GridColumn tick{"チェック", {}, 345.2599, centre};
    tick.checkBox = true;
    // The listed key is what 削除 deletes and 選択 opens: it is shown, never edited.
    QList<GridColumn> columns = inEnumOrder<ColTitle, ColCheck, ColDate, ColName, ColDept, ColTitle>(
        tick, GridColumn{"作成日", "作成日", 1409.953, centre, "yyyy/mm/dd"},
        GridColumn{"氏名", "氏　名", 2055.118, Qt::AlignLeft}, GridColumn{"所属", "所　属", 1560.189, centre},
        GridColumn{"タイトル", "タイトル", 5009.953});
    m_lastColumn = ColTitle;
    // On a team server who changed each report last, and when, as the server recorded it.
    if (m_member) {
        if (const store::Error e = list::addChangeColumns(m_context->workDb()); e.failed())
            app::tellFailure(QStringLiteral("日報の一覧に最終更新の列を用意"), e);
        else
            m_lastColumn = ColChangedAt;
    }
    chk未読のみ->setVisible(m_lastColumn == ColChangedAt && store::hasReview(m_context->mainDb()));
    if (m_lastColumn == ColChangedAt)
        columns << GridColumn{list::kChangedBy, "更新者", 1560.189, Qt::AlignLeft}
                << GridColumn{list::kChangedAt, "更新日時", 1900, centre};
    for (int c = ColDate; c <= m_lastColumn; ++c)
        columns[c].locked = true;
    // The text columns share a wider window.
    for (int c = ColName; c <= m_lastColumn; ++c)
        columns[c].stretch = true;
    applyColumns(Grid一覧, dat一覧, columns);
    // The list is not read again at start: it shows what the last run left in it, once its tab
    // is first shown (counting a long list's rows is no part of opening the window).
    m_shownPending = true;
}

void ListTab::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (m_shownPending)
        refreshList();
}

void ListTab::setPickLists(const QStringList& names)
{
    app::fillPickList(cmb氏名選択, names);
}

void ListTab::refreshList()
{
    m_shownPending = false;
    if (const store::Error err = dat一覧->refresh(); err.failed()) {
        app::tellFailure(QStringLiteral("日報の一覧を表示"), err);
        return;
    }
    applySort();
    // The rows in sight are fetched as part of the operation rather than while painting.
    if (isVisible() && dat一覧->rowCount() > 0) {
        const int top = qMax(0, Grid一覧->rowAt(0));
        dat一覧->rowId(top);
        dat一覧->rowId(qMax(top, Grid一覧->rowAt(Grid一覧->viewport()->height() - 1)));
    }
}

void ListTab::Read一覧()
{
    const QString filter = cmb氏名選択->currentText();
    const list::ReadResult r = list::readList(m_context->mainDb(), m_context->workDb(), filter,
                                              list::Copy::Auto, &m_versions, chk未読のみ->isChecked());
    if (r.error.failed())
        app::tellFailure(QStringLiteral("日報の一覧を読込"), r.error);
    else
        m_readFor = filter;
    dropSort();
    refreshList();
}

void ListTab::sortByColumn(int col)
{
    if (col < ColDate || col > m_lastColumn)
        return;
    m_sortOrder =
        col == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = col;
    applySort();
}

void ListTab::applySort()
{
    QHeaderView* header = Grid一覧->horizontalHeader();
    header->setSortIndicatorShown(m_sortColumn >= 0);
    if (m_sortColumn < 0)
        return;
    header->setSortIndicator(m_sortColumn, m_sortOrder);
    // The report the cursor is on stays under it.
    const qint64 current = Grid一覧->isEof() ? -1 : dat一覧->rowId(Grid一覧->row());
    const Qt::SortOrder order = m_sortOrder;
    if (const store::Error e = dat一覧->sortRows(
            Grid一覧->fields().value(m_sortColumn),
            [order](const QList<QVariant>& values) { return app::naturalOrder(values, order); });
        e.failed()) {
        app::tellFailure(QStringLiteral("日報の一覧を並べ替え"), e);
        return;
    }
    for (int r = 0; current >= 0 && r < dat一覧->rowCount(); ++r)
        if (dat一覧->rowId(r) == current) {
            Grid一覧->setRow(r);
            break;
        }
}

void ListTab::dropSort()
{
    m_sortColumn = -1;
    Grid一覧->horizontalHeader()->setSortIndicatorShown(false);
}

void ListTab::Clear一覧()
{
    cmb氏名選択->setEditText(QString());
    m_readFor.reset();
    m_versions.clear();
    dropSort();
    if (const store::Error e = list::clearList(m_context->workDb()); e.failed())
        app::tellFailure(QStringLiteral("日報の一覧をクリア"), e);
    refreshList();
}

void ListTab::Delete日報一覧()
{
    // A tick still being set in the current row counts: the user ticked it. A failed write was
    // told by the grid's writeFailed.
    if (Grid一覧->commitPending().failed())
        return;
    int ticked = 0;
    if (const store::Error e = list::tickedCount(m_context->workDb(), ticked); e.failed()) {
        app::tellFailure(QStringLiteral("チェックした日報を確認"), e);
        return;
    }
    if (ticked == 0) {
        Msg::ShowMsg(MsgId::行指定_指定なし, QString());
        Grid一覧->setFocus();
        return;
    }
    // Another member's report is refused before anything is asked or deleted (the server would
    // refuse it too, the whole deletion with it).
    if (m_member) {
        QStringList others;
        if (const store::Error e = list::tickedOfOthers(m_context->workDb(), m_member->氏名, &others);
            e.failed()) {
            app::tellFailure(QStringLiteral("チェックした日報を確認"), e);
            return;
        }
        if (!others.isEmpty()) {
            Msg::ShowMsg(MsgId::削除_他者の日報, others.join(QStringLiteral("、")));
            return;
        }
    }
    // Deleted reports cannot be brought back: ask first, No being the default.
    if (!Msg::ShowMsg(MsgId::削除_伝票確認2, QStringLiteral("指定されたデータ")))
        return;
    if (!app::awaitFileChecks(this, {m_context->mainDb(), m_context->workDb()}))
        return;
    const list::DeleteResult r =
        list::deleteTickedReports(m_context->mainDb(), m_context->workDb(), &m_versions);
    if (r.stale)
        Msg::ShowMsg(MsgId::削除_他者変更, store::describeChange(r.newer));
    else if (r.error.failed())
        app::tellFailure(r.stored ? QStringLiteral("チェックした日報は削除しましたが、一覧からその行を消去")
                                  : QStringLiteral("チェックした日報を削除"),
                         r.error);
    refreshList();
}

void ListTab::openSelected()
{
    const int row = Grid一覧->row();
    if (row < 0 || Grid一覧->isEof() || row >= dat一覧->rowCount())
        return;
    const QString name = Grid一覧->columnText(ColName);
    const QString dateText = Grid一覧->columnText(ColDate);
    if (name.isEmpty() || dateText.isEmpty())
        return;
    const QDate date = store::toDate(Grid一覧->columnValue(ColDate));
    if (!date.isValid() || !stillStored(name, date))
        return;
    m_context->openReport(name, date.toString(QStringLiteral("yyyyMMdd")));
}

bool ListTab::stillStored(const QString& name, const QDate& date)
{
    const list::StoredResult r = list::isStored(m_context->mainDb(), date, name);
    if (r.error.failed()) {
        app::tellFailure(QStringLiteral("日報を読込"), r.error);
        return false;
    }
    if (r.stored)
        return true;
    // Deleted since the list was read (by another user on a team server, say).
    const QString report = date.toString(QStringLiteral("yyyy/MM/dd ")) + name;
    if (const store::Error e = list::dropListed(m_context->workDb(), date, name); e.failed())
        app::tellFailure(report + QStringLiteral(" の日報はもうありませんが、一覧からその行を消去"), e);
    else
        Msg::ShowMsg(MsgId::その他_日報なし, report);
    refreshList();
    return false;
}

void ListTab::showRegistered(const QDate& date, const QString& name, const QString& dept,
                             const QString& title)
{
    // One's own report is never unread by oneself: an unread-only list does not gain it.
    const bool add = m_readFor && (m_readFor->isEmpty() || *m_readFor == name) && !chk未読のみ->isChecked();
    // This window's own 登録 is not a change the list has to guard against.
    m_versions.remove(list::listKey(store::dateValue(date), name));
    // The change just made, as the server stamped it (a failed read leaves the columns empty).
    store::Stamp stamp;
    if (m_lastColumn == ColChangedAt &&
        store::readStamp(m_context->mainDb(), store::dateValue(date), name, &stamp).failed())
        stamp = {};
    if (const store::Error e =
            list::showRegistered(m_context->workDb(), {date, name, dept, title}, add, stamp);
        e.failed())
        app::tellFailure(QStringLiteral("日報は登録しましたが、日報の一覧に表示"), e);
    refreshList();
}

void ListTab::dropAllRows()
{
    if (const store::Error e = list::clearList(m_context->workDb()); e.failed())
        app::tellFailure(QStringLiteral("データは初期化しましたが、日報の一覧をクリア"), e);
    refreshList();
}
