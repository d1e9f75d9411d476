#include "search/SearchWindow.h"

#include "search/CommentsPage.h"
#include "search/CountsPage.h"
#include "search/HighlightDelegate.h"
#include "search/ResultsModel.h"
#include "list/ListStore.h"
#include "msg/Msg.h"
#include "msg/MsgCatalogue.h"
#include "ui/Background.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"
#include "store/Review.h"
#include "store/TextIndex.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace search {
namespace {
QString number(qint64 n)
{
    return QLocale(QLocale::Japanese).toString(n);
}
} // namespace

SearchWindow::SearchWindow(TabContext* context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("Frm検索"));
    setWindowTitle(QStringLiteral("日報検索"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(buildCriteria());
    buildPages();
    layout->addWidget(Tab検索, 1);
    layout->addLayout(buildButtons());
    setKeys();
    // The count reads every matching line, on a worker: typing on cancels it and starts it again
    // after a short pause, so a burst of keys counts once.
    m_countLater = new QTimer(this);
    m_countLater->setSingleShot(true);
    m_countLater->setInterval(150);
    connect(m_countLater, &QTimer::timeout, this, [this] { runCount(m_generation); });
    setMinimumSize(720, 420);
    resize(1040, 620);
    app::returnFocusOnClose(this);
    updateButtons();
}

SearchWindow::~SearchWindow()
{
    // Children go in the order they were made: the pages before the bars, whose cancel would
    // otherwise tell this window of it after its pages are gone.
    for (app::Background* b : {m_count, m_tally, m_output}) {
        b->disconnect(this);
        b->cancel();
    }
}

QLayout* SearchWindow::buildCriteria()
{
    dtp期間From = new DateInput(this);
    dtp期間From->setObjectName(QStringLiteral("dtp期間From"));
    dtp期間To = new DateInput(this);
    dtp期間To->setObjectName(QStringLiteral("dtp期間To"));
    for (DateInput* d : {dtp期間From, dtp期間To}) {
        d->setArrowsStepDays(true);
        d->setToolTip(QStringLiteral("空欄なら期限なし。F4 でカレンダー"));
    }
    // A year-less end of the period belongs near its start.
    dtp期間To->setReferenceDate([this] { return dtp期間From->date(); });
    cmb氏名検索 = app::makeNameCombo(QStringLiteral("cmb氏名検索"), this);
    cmb氏名検索->setMinimumWidth(150);
    cmb氏名検索->setToolTip(QStringLiteral("空欄なら全員"));
    txtキーワード = new QLineEdit(this);
    txtキーワード->setObjectName(QStringLiteral("txtキーワード"));
    txtキーワード->setClearButtonEnabled(true);
    txtキーワード->setPlaceholderText(
        QStringLiteral("内容・訪問先・担当・備考（空白で区切ると、すべてを含む行）"));
    txtキーワード->setMinimumWidth(200);
    chkコメントも検索 = new QCheckBox(QStringLiteral("コメントも検索"), this);
    chkコメントも検索->setObjectName(QStringLiteral("chkコメントも検索"));
    chkコメントも検索->setToolTip(
        QStringLiteral("キーワードを含むコメントを「コメント」のページに表示します (Alt+M)"));
    chkコメントも検索->setShortcut(QKeySequence(Qt::ALT | Qt::Key_M));
    chkコメントも検索->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(app::makeLabelFor(QStringLiteral("期間"), dtp期間From, this));
    row->addWidget(dtp期間From);
    row->addWidget(app::makeLabel(QStringLiteral("〜"), this));
    app::nameInput(dtp期間To, QStringLiteral("期間の終わり"));
    row->addWidget(dtp期間To);
    row->addSpacing(10);
    row->addWidget(app::makeLabelFor(QStringLiteral("氏名"), cmb氏名検索, this));
    row->addWidget(cmb氏名検索);
    row->addSpacing(10);
    row->addWidget(app::makeLabelFor(QStringLiteral("キーワード"), txtキーワード, this));
    row->addWidget(txtキーワード, 1);
    row->addWidget(chkコメントも検索);

    connect(dtp期間From, &DateInput::dateChanged, this, [this] { criteriaChanged(); });
    connect(dtp期間To, &DateInput::dateChanged, this, [this] { criteriaChanged(); });
    // A text that is no date changes no date, but the result must say so.
    connect(dtp期間From, &QLineEdit::editingFinished, this, [this] { criteriaChanged(); });
    connect(dtp期間To, &QLineEdit::editingFinished, this, [this] { criteriaChanged(); });
    connect(cmb氏名検索, &QComboBox::editTextChanged, this, [this] { criteriaChanged(); });
    connect(txtキーワード, &QLineEdit::textChanged, this, [this] { criteriaChanged(); });
    connect(chkコメントも検索, &QCheckBox::toggled, this, [this] { criteriaChanged(); });
    return row;
}

void SearchWindow::buildPages()
{
    m_model = new ResultsModel(this);
    Grid検索 = new QTableView(this);
    Grid検索->setObjectName(QStringLiteral("Grid検索"));
    app::nameInput(Grid検索, QStringLiteral("検索結果"));
    Grid検索->setModel(m_model);
    Grid検索->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid検索->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid検索->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid検索->setWordWrap(false);
    Grid検索->setTabKeyNavigation(false);
    Grid検索->verticalHeader()->setVisible(false);
    Grid検索->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Grid検索->horizontalHeader()->setStretchLastSection(true);
    Grid検索->horizontalHeader()->setHighlightSections(false);
    const int widths[ResultsModel::ColCount] = {90, 52, 100, 150, 90, 380, 120};
    for (int c = 0; c < ResultsModel::ColCount; ++c)
        Grid検索->setColumnWidth(c, widths[c]);
    // The order is the query's (the rows come a page at a time): a header click asks again.
    QHeaderView* header = Grid検索->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(ResultsModel::ColDate, Qt::DescendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) { sortByColumn(column, order); });
    m_highlight = new HighlightDelegate(ResultsModel::ColText, this);
    Grid検索->setItemDelegate(m_highlight);
    Grid検索->setToolTip(QStringLiteral("Enter またはダブルクリックで、その日報を営業日報の画面に開きます"));
    // Activation is a double click or Enter, as in the list of reports.
    connect(Grid検索, &QAbstractItemView::activated, this,
            [this](const QModelIndex& i) { openRow(i.row()); });
    connect(m_model, &ResultsModel::fetchFailed, this,
            [this](const store::Error& e) { showFailure(QStringLiteral("続きの検索結果を読込"), e); });

    Tab集計 = new CountsPage(this);
    Tab集計->setObjectName(QStringLiteral("Tab集計"));
    Tab検索 = new QTabWidget(this);
    Tab検索->setObjectName(QStringLiteral("Tab検索"));
    Tab検索->addTab(Grid検索, QStringLiteral("検索結果"));
    Tab検索->addTab(Tab集計, QStringLiteral("集計"));
    // Added as a page while the tick asks for it.
    Tabコメント = new CommentsPage(this);
    Tabコメント->hide();
    connect(Tabコメント, &CommentsPage::reportPicked, this, [this](const QString& name, const QDate& day) {
        if (m_context->openReport(name, day.toString(QStringLiteral("yyyyMMdd"))))
            app::bringForward(m_context->mainWindow());
    });
    connect(Tab検索, &QTabWidget::currentChanged, this, [this] {
        if (Tab検索->currentWidget() == Tab集計 && m_countsStale)
            loadCounts();
        updateButtons();
    });
    connect(Tab集計, &CountsPage::choiceChanged, this, [this] { loadCounts(); });
    connect(Tab集計, &CountsPage::placePicked, this, [this](const QString& p) { narrowToPlace(p); });
    connect(Tab集計, &CountsPage::namePicked, this,
            [this](const QString& n, const QDate& from, const QDate& to) { narrowToName(n, from, to); });
}

QLayout* SearchWindow::buildButtons()
{
    lbl件数 = app::makeLabel(QString(), this, QStringLiteral("lbl件数"));
    lbl出力結果 = app::makeLabel(QString(), this, QStringLiteral("lbl出力結果"));
    lbl出力結果->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdCSV出力 = app::makeButton(QStringLiteral("cmdCSV出力"), QStringLiteral("CSV出力"), this,
                                 QStringLiteral("表示中の検索結果または集計表を CSV ファイルに書き出します"));
    cmdPDF出力 =
        app::makeButton(QStringLiteral("cmdPDF出力"), QStringLiteral("PDF出力"), this,
                        QStringLiteral("検索結果の日報を、印刷と同じ形で 1 つの PDF に書き出します"));
    cmd閉じる = app::makeButton(QStringLiteral("cmd閉じる"), QStringLiteral("閉じる"), this,
                                QStringLiteral("検索画面を閉じます (Esc)"));
    m_count = new app::Background(this, QStringLiteral("prg件数"), QStringLiteral("数えています…"));
    m_tally = new app::Background(this, QStringLiteral("prg集計"), QStringLiteral("集計しています…"));
    m_output = new app::Background(this, QStringLiteral("prg出力"), QStringLiteral("書き出しています…"));
    for (app::Background* b : {m_count, m_tally, m_output})
        connect(b, &app::Background::runningChanged, this, [this] { updateButtons(); });
    connect(m_output, &app::Background::cancelledByUser, this,
            [this] { lbl出力結果->setText(QStringLiteral("%1 の書き出しを取り消しました").arg(m_writing)); });
    connect(cmdCSV出力, &QPushButton::clicked, this, [this] { exportCsv(); });
    connect(cmdPDF出力, &QPushButton::clicked, this, [this] { exportPdf(); });
    connect(cmd閉じる, &QPushButton::clicked, this, [this] { close(); });
    auto* row = new QHBoxLayout;
    row->addWidget(lbl件数);
    row->addWidget(m_count->bar());
    row->addWidget(m_tally->bar());
    row->addSpacing(16);
    row->addWidget(lbl出力結果, 1);
    row->addWidget(m_output->bar());
    row->addWidget(cmdCSV出力);
    row->addWidget(cmdPDF出力);
    row->addSpacing(16);
    row->addWidget(cmd閉じる);
    return row;
}

void SearchWindow::setKeys()
{
    setTabOrder(dtp期間From, dtp期間To);
    setTabOrder(dtp期間To, cmb氏名検索);
    setTabOrder(cmb氏名検索, txtキーワード);
    setTabOrder(txtキーワード, Grid検索);
    setTabOrder(Grid検索, cmdCSV出力);
    setTabOrder(cmdCSV出力, cmdPDF出力);
    setTabOrder(cmdPDF出力, cmd閉じる);

    // Enter moves on through the criteria, and from the keywords into the result.
    connect(dtp期間From, &QLineEdit::returnPressed, this, [this] { dtp期間To->setFocus(); });
    connect(dtp期間To, &QLineEdit::returnPressed, this, [this] { cmb氏名検索->setFocus(); });
    connect(cmb氏名検索, &Combo::keyDown, this, [this](int* key, Qt::KeyboardModifiers mods) {
        if (*key == Qt::Key_Return && !(mods & ~Qt::KeypadModifier)) {
            *key = 0;
            txtキーワード->setFocus();
        }
    });
    connect(txtキーワード, &QLineEdit::returnPressed, this, [this] {
        if (m_queued)
            runSearch();
        Grid検索->setFocus();
        if (!Grid検索->currentIndex().isValid() && m_model->rowCount() > 0)
            Grid検索->setCurrentIndex(m_model->index(0, ResultsModel::ColDate));
    });
    // Ctrl+F here, too, goes back to the keywords.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] { showAndFocus(); });
}

void SearchWindow::keyPressEvent(QKeyEvent* e)
{
    // Escape that no control took (a typed date being dropped, an open list) closes the window.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void SearchWindow::showAndFocus()
{
    const bool first = !isVisible() && m_generation == 0;
    chkコメントも検索->setVisible(store::hasReview(m_context->mainDb()));
    app::bringForward(this);
    if (Tab検索->currentWidget() != Grid検索 && Tab検索->currentWidget() != Tab集計 &&
        Tab検索->currentWidget() != Tabコメント)
        Tab検索->setCurrentWidget(Grid検索);
    txtキーワード->setFocus(Qt::ShortcutFocusReason);
    txtキーワード->selectAll();
    if (first)
        runSearch();
}

void SearchWindow::setNames(const QStringList& names)
{
    const QString typed = cmb氏名検索->currentText();
    const QSignalBlocker quiet(cmb氏名検索);
    app::fillPickList(cmb氏名検索, names);
    cmb氏名検索->setEditText(typed);
}

void SearchWindow::refresh()
{
    if (m_generation > 0)
        runSearch();
}

Criteria SearchWindow::criteria() const
{
    Criteria c;
    c.from = dtp期間From->date();
    c.to = dtp期間To->date();
    c.name = cmb氏名検索->currentText().trimmed();
    c.keywords = txtキーワード->text();
    c.sortBy = m_sortBy;
    c.descending = m_descending;
    return c;
}

void SearchWindow::sortByColumn(int column, Qt::SortOrder order)
{
    const int shown = m_sortBy == SortBy::Name    ? ResultsModel::ColName
                      : m_sortBy == SortBy::Place ? ResultsModel::ColPlace
                                                  : ResultsModel::ColDate;
    SortBy by;
    if (column == ResultsModel::ColDate)
        by = SortBy::Date;
    else if (column == ResultsModel::ColName)
        by = SortBy::Name;
    else if (column == ResultsModel::ColPlace)
        by = SortBy::Place;
    else
        by = m_sortBy; // no order of its own: the indicator goes back
    const bool descending = by != m_sortBy || column == shown ? order == Qt::DescendingOrder : m_descending;
    {
        const QSignalBlocker quiet(Grid検索->horizontalHeader());
        const int now = by == SortBy::Name    ? ResultsModel::ColName
                        : by == SortBy::Place ? ResultsModel::ColPlace
                                              : ResultsModel::ColDate;
        Grid検索->horizontalHeader()->setSortIndicator(now,
                                                       descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    if (by == m_sortBy && descending == m_descending)
        return;
    m_sortBy = by;
    m_descending = descending;
    if (m_generation > 0)
        runSearch();
}

void SearchWindow::criteriaChanged()
{
    if (m_queued)
        return;
    m_queued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_queued)
            runSearch();
    });
}

void SearchWindow::runSearch()
{
    m_queued = false;
    ++m_generation;
    m_countLater->stop();
    m_count->cancel();
    m_tally->cancel();
    m_totalsKnown = false;
    m_countsStale = true;
    lbl出力結果->clear();
    if (dtp期間From->isInvalid() || dtp期間To->isInvalid()) {
        m_model->clear();
        lbl件数->setText(QStringLiteral("期間の日付が正しくありません"));
        updateButtons();
        return;
    }
    const Criteria c = criteria();
    m_highlight->setKeywords(keywordsOf(c));
    // Keywords are looked up in the index; while it is made again (the main window shows how
    // far) a search would read every line, for seconds at each key typed.
    if (!keywordsOf(c).isEmpty() && store::textIndexRebuilding(m_context->mainDb())) {
        m_model->clear();
        lbl件数->setText(
            MsgCatalogue::describe(MsgId::その他_索引作成中,
                                   QStringLiteral("%1%").arg(store::textIndexPercent(m_context->mainDb())))
                .text);
        updateButtons();
        return;
    }
    findComments(c);
    const store::Error e = m_model->setCriteria(m_context->mainDb(), c);
    if (e.failed()) {
        lbl件数->setText(QStringLiteral("検索できませんでした"));
        showFailure(QStringLiteral("日報を検索"), e);
        updateButtons();
        return;
    }
    m_lastFailure.clear();
    const int shown = m_model->rowCount();
    lbl件数->setText(m_model->canFetchMore({}) ? QStringLiteral("該当 %1 行以上").arg(number(shown))
                                               : QStringLiteral("該当 %1 行").arg(number(shown)));
    if (shown > 0)
        Grid検索->scrollToTop();
    updateButtons();
    // The first rows are painted before the count, which reads every matching line.
    m_countLater->start();
}

void SearchWindow::findComments(const Criteria& c)
{
    const bool asked = chkコメントも検索->isChecked() && !chkコメントも検索->isHidden();
    const int page = Tab検索->indexOf(Tabコメント);
    if (!asked) {
        if (page >= 0)
            Tab検索->removeTab(page);
        return;
    }
    if (const store::Error e = Tabコメント->find(m_context->mainDb(), c); e.failed())
        showFailure(QStringLiteral("コメントを検索"), e);
    if (page < 0)
        Tab検索->addTab(Tabコメント, Tabコメント->caption());
    else
        Tab検索->setTabText(page, Tabコメント->caption());
}

void SearchWindow::runCount(quint64 generation)
{
    if (generation != m_generation || m_queued)
        return;
    using Counted = std::pair<store::Error, Totals>;
    const Criteria c = m_model->criteria();
    const auto failed = [this](const store::Error& e) { showFailure(QStringLiteral("検索結果を数える"), e); };
    m_count->start<Counted>(
        m_context->mainDb(),
        [c](app::JobContext& job) {
            Totals t;
            const store::Error e = countLines(job.db(), c, &t);
            return Counted{e, t};
        },
        [this, generation, failed](const Counted& r) {
            if (generation != m_generation)
                return;
            if (r.first.failed()) {
                failed(r.first);
                return;
            }
            m_totals = r.second;
            m_totalsKnown = true;
            lbl件数->setText(QStringLiteral("該当 %1 行（%2 件の日報）")
                                 .arg(number(m_totals.lines), number(m_totals.reports)));
            if (Tab検索->currentWidget() == Tab集計 && m_countsStale)
                loadCounts();
            updateButtons();
        },
        failed);
}

void SearchWindow::loadCounts()
{
    if (m_queued || m_generation == 0)
        return;
    m_countsStale = false;
    if (dtp期間From->isInvalid() || dtp期間To->isInvalid()) {
        m_tally->cancel();
        Tab集計->clear();
        return;
    }
    const Criteria c = m_model->criteria();
    const CountsPage::View v = Tab集計->view();
    const Period p = Tab集計->period();
    const QStringList notVisits = Tab集計->notVisits();
    const auto failed = [this](const store::Error& e) {
        Tab集計->clear();
        showFailure(QStringLiteral("検索結果を集計"), e);
    };
    m_tally->start<CountsPage::Counts>(
        m_context->mainDb(),
        [c, v, p, notVisits](app::JobContext& job) {
            return CountsPage::count(job.db(), c, v, p, notVisits);
        },
        [this, failed](const CountsPage::Counts& r) {
            if (!Tab集計->show(r) && r.error.failed())
                failed(r.error);
            updateButtons();
        },
        failed);
    updateButtons();
}

void SearchWindow::showFailure(const QString& what, const store::Error& e)
{
    // Typing on while the database is locked would otherwise tell the same at every key.
    if (e.reason() == m_lastFailure)
        return;
    m_lastFailure = e.reason();
    app::tellFailure(what, e);
}

void SearchWindow::updateButtons()
{
    // While a file is written, another waits; a count table is written once it is counted.
    const bool rows = m_model->rowCount() > 0 && !m_output->isRunning();
    cmdPDF出力->setEnabled(rows);
    // The コメント page is no table of lines: CSV writes the result or the counts, not it.
    cmdCSV出力->setEnabled(Tab検索->currentWidget() == Tab集計
                               ? !m_output->isRunning() && !m_tally->isRunning() && !m_countsStale &&
                                     Tab集計->rowCount() > 0
                               : rows && Tab検索->currentWidget() != Tabコメント);
}

void SearchWindow::narrowToPlace(const QString& place)
{
    // The place joins the keywords (quoted words are not kept apart, so each word of it does).
    QString words = txtキーワード->text().trimmed();
    const QStringList have = keywordsOf(criteria());
    const QStringList adds = keywordsOf(Criteria{{}, {}, {}, place});
    bool all = !adds.isEmpty();
    for (const QString& a : adds)
        all = all && have.contains(a);
    if (!all)
        txtキーワード->setText(words.isEmpty() ? place : words + u' ' + place);
    Tab検索->setCurrentWidget(Grid検索);
    runSearch();
    Grid検索->setFocus();
}

void SearchWindow::narrowToName(const QString& name, const QDate& from, const QDate& to)
{
    // The period of the bar within the period asked for already.
    const QDate f = dtp期間From->date().isValid() ? qMax(from, dtp期間From->date()) : from;
    const QDate t = dtp期間To->date().isValid() ? qMin(to, dtp期間To->date()) : to;
    {
        const QSignalBlocker a(dtp期間From), b(dtp期間To), c(cmb氏名検索);
        dtp期間From->setDate(f);
        dtp期間To->setDate(t);
        cmb氏名検索->setEditText(name);
    }
    Tab検索->setCurrentWidget(Grid検索);
    runSearch();
    Grid検索->setFocus();
}

bool SearchWindow::openRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return false;
    const Hit h = m_model->hit(row);
    const list::StoredResult r = list::isStored(m_context->mainDb(), h.作成日, h.氏名);
    if (r.error.failed()) {
        app::tellFailure(QStringLiteral("日報を読込"), r.error);
        return false;
    }
    if (!r.stored) {
        // Deleted since it was found (by another user on a team server, say).
        Msg::ShowMsg(MsgId::その他_検索日報なし, h.作成日.toString(QStringLiteral("yyyy/MM/dd ")) + h.氏名);
        runSearch();
        return false;
    }
    if (!m_context->openReport(h.氏名, h.作成日.toString(QStringLiteral("yyyyMMdd")), h.行番号))
        return false;
    app::bringForward(m_context->mainWindow());
    return true;
}

} // namespace search
