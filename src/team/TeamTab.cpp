#include "team/TeamTab.h"

#include "ui/Controls.h"
#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kFixedColumns = 2; // 所属, 氏名

QColor colourOf(store::DayState s)
{
    switch (s) {
    case store::DayState::Missing:
        return QColor(0xf8, 0xd7, 0xd7);
    case store::DayState::Submitted:
        return QColor(0xfd, 0xf1, 0xc8);
    case store::DayState::Returned:
        return QColor(0xf5, 0xc0, 0x90);
    case store::DayState::Approved:
        return QColor(0xd4, 0xee, 0xd4);
    default:
        return {};
    }
}

} // namespace

TeamTab::TeamTab(QWidget* parent) : QWidget(parent)
{
    grd提出状況 = new QTableWidget(this);
    grd提出状況->setObjectName(QStringLiteral("grd提出状況"));
    app::nameInput(grd提出状況, QStringLiteral("提出状況"));
    grd提出状況->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grd提出状況->setSelectionMode(QAbstractItemView::SingleSelection);
    grd提出状況->setSelectionBehavior(QAbstractItemView::SelectItems);
    grd提出状況->verticalHeader()->hide();
    grd提出状況->installEventFilter(this);
    lbl期間 = app::makeLabel(QString(), this, QStringLiteral("lbl期間"));
    chk未読のみ = new QCheckBox(QStringLiteral("未読のみ"), this);
    chk未読のみ->setObjectName(QStringLiteral("chk未読のみ"));
    // Alt+U on this tab only: the チーム tab and 日報一覧 both have the tick, and a key two visible
    // or hidden buttons of one window hold only moves the focus between them.
    auto* unread = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_U), this);
    unread->setContext(Qt::WidgetWithChildrenShortcut);
    connect(unread, &QShortcut::activated, chk未読のみ, &QCheckBox::click);
    cmd前週 = app::makeButton(QStringLiteral("cmd前週"), QStringLiteral("前週"), this,
                              QStringLiteral("前の週を表示します (Ctrl+PgUp)"));
    cmd次週 = app::makeButton(QStringLiteral("cmd次週"), QStringLiteral("次週"), this,
                              QStringLiteral("次の週を表示します (Ctrl+PgDown)"));
    cmd更新 = app::makeButton(QStringLiteral("cmd更新"), QStringLiteral("更新"), this,
                              QStringLiteral("提出状況を読み直します (F5)"));
    cmd一括確認 = app::makeButton(QStringLiteral("cmd一括確認"), QStringLiteral("一括確認"), this,
                                  QStringLiteral("選んだ日の日報をすべて既読にします (Ctrl+K)"));
    cmd前週->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    cmd次週->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    cmd更新->setShortcut(QKeySequence(Qt::Key_F5));
    cmd一括確認->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));

    auto* top = new QHBoxLayout;
    top->addWidget(cmd前週);
    top->addWidget(lbl期間);
    top->addWidget(cmd次週);
    top->addStretch(1);
    top->addWidget(chk未読のみ);
    top->addWidget(cmd一括確認);
    top->addWidget(cmd更新);
    lst通知 = new QListWidget(this);
    lst通知->setObjectName(QStringLiteral("lst通知"));
    app::nameInput(lst通知, QStringLiteral("通知"));
    lst通知->setMaximumHeight(110);
    lst通知->installEventFilter(this);
    cmd通知確認 = app::makeButton(QStringLiteral("cmd通知確認"), QStringLiteral("通知を確認済にする"), this,
                                  QStringLiteral("通知の件数を 0 にします (Ctrl+Shift+K)"));
    cmd通知確認->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    auto* noticeBar = new QHBoxLayout;
    noticeBar->addWidget(app::makeLabelFor(QStringLiteral("通知"), lst通知, this));
    noticeBar->addStretch(1);
    noticeBar->addWidget(cmd通知確認);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->addLayout(top);
    layout->addWidget(grd提出状況, 1);
    layout->addLayout(noticeBar);
    layout->addWidget(lst通知);
    m_poll = new QTimer(this);
    m_poll->setInterval(60 * 1000);
    connect(m_poll, &QTimer::timeout, this, [this] { pollNotices(); });
    connect(cmd通知確認, &QPushButton::clicked, this, [this] { noticesSeen(); });
    connect(lst通知, &QListWidget::itemActivated, this, [this] { openNotice(); });

    connect(cmd前週, &QPushButton::clicked, this, [this] { moveWeek(-1); });
    connect(cmd次週, &QPushButton::clicked, this, [this] { moveWeek(1); });
    connect(cmd更新, &QPushButton::clicked, this, [this] { refresh(); });
    connect(cmd一括確認, &QPushButton::clicked, this, [this] { markDayRead(); });
    connect(chk未読のみ, &QCheckBox::toggled, this, [this] { fill(); });
    connect(grd提出状況, &QTableWidget::cellDoubleClicked, this, [this] { openCurrent(); });
}

void TeamTab::attach(TabContext* context)
{
    m_context = context;
    m_poll->start();
}

void TeamTab::pollNotices()
{
    if (!m_context)
        return;
    // A server away is told by the operation the user starts, not by a box over their typing.
    QList<store::Notice> read;
    if (store::readNotices(m_context->mainDb(), &read).failed())
        return;
    m_notices = read;
    lst通知->clear();
    for (const store::Notice& n : m_notices) {
        QString line = QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(n.at.toLocalTime().toString(QStringLiteral("MM/dd HH:mm")), n.by, n.what,
                                n.day.toString(QStringLiteral("MM/dd")), n.name);
        if (!n.text.isEmpty())
            line += QStringLiteral("：") + n.text.simplified();
        lst通知->addItem(line);
    }
    emit noticesChanged(int(m_notices.size()));
}

void TeamTab::noticesSeen()
{
    if (!m_context)
        return;
    if (const store::Error e = store::markNoticesSeen(m_context->mainDb()); e.failed())
        app::tellFailure(QStringLiteral("通知を確認済に"), e);
    pollNotices();
}

void TeamTab::openNotice()
{
    const int row = lst通知->currentRow();
    if (!m_context || row < 0 || row >= m_notices.size())
        return;
    const store::Notice n = m_notices[row];
    m_context->openReport(n.name, n.day.toString(QStringLiteral("yyyyMMdd")));
}

void TeamTab::showWeek(const QDate& last)
{
    m_last = last;
    refresh();
}

void TeamTab::moveWeek(int by)
{
    showWeek(m_last.addDays(by * kDays));
}

void TeamTab::refresh()
{
    if (!m_context)
        return;
    if (!m_last.isValid())
        m_last = QDate::currentDate();
    if (const store::Error e =
            store::readSubmissions(m_context->mainDb(), m_last.addDays(1 - kDays), kDays, &m_shown);
        e.failed())
        app::tellFailure(QStringLiteral("提出状況を読込"), e);
    fill();
}

void TeamTab::fill()
{
    const QPoint was(grd提出状況->currentColumn(), grd提出状況->currentRow());
    lbl期間->setText(QStringLiteral("%1 ～ %2")
                         .arg(m_shown.first.toString(QStringLiteral("yyyy/MM/dd")),
                              m_last.toString(QStringLiteral("yyyy/MM/dd"))));
    QStringList captions{QStringLiteral("所属"), QStringLiteral("氏名")};
    for (int d = 0; d < kDays; ++d) {
        const QDate day = m_shown.first.addDays(d);
        QString caption = QLocale(QLocale::Japanese).toString(day, QStringLiteral("MM/dd(ddd)"));
        if (store::Submissions::dueOn(day))
            caption += QStringLiteral("\n提出 %1 / %2").arg(m_shown.submitted(d)).arg(m_shown.due(d));
        captions << caption;
    }
    // Unread only: members with a report this member has not read yet.
    QList<const store::MemberDays*> rows;
    for (const store::MemberDays& m : m_shown.members)
        if (!chk未読のみ->isChecked() || m.days.contains(store::DayState::Submitted))
            rows << &m;
    grd提出状況->clear();
    grd提出状況->setColumnCount(kFixedColumns + kDays);
    grd提出状況->setHorizontalHeaderLabels(captions);
    grd提出状況->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const store::MemberDays& m = *rows[r];
        // The 所属 once per group.
        const bool first = r == 0 || rows[r - 1]->所属 != m.所属;
        grd提出状況->setItem(r, 0, new QTableWidgetItem(first ? m.所属 : QString()));
        grd提出状況->setItem(r, 1, new QTableWidgetItem(m.氏名));
        for (int d = 0; d < kDays; ++d) {
            auto* cell = new QTableWidgetItem(store::dayStateText(m.days.value(d)));
            cell->setTextAlignment(Qt::AlignCenter);
            if (const QColor c = colourOf(m.days.value(d)); c.isValid())
                cell->setBackground(c);
            grd提出状況->setItem(r, kFixedColumns + d, cell);
        }
    }
    grd提出状況->resizeColumnsToContents();
    grd提出状況->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grd提出状況->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    grd提出状況->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    // Days off take the room of their caption only.
    for (int d = 0; d < kDays; ++d)
        if (!store::Submissions::dueOn(m_shown.first.addDays(d)))
            grd提出状況->horizontalHeader()->setSectionResizeMode(kFixedColumns + d,
                                                                  QHeaderView::ResizeToContents);
    if (!rows.isEmpty()) {
        const int row = std::clamp(was.y(), 0, int(rows.size()) - 1);
        // At first the latest day a report is due, where the morning's look starts.
        int col = was.x();
        if (col < kFixedColumns) {
            col = kFixedColumns + kDays - 1;
            while (col > kFixedColumns &&
                   !store::Submissions::dueOn(m_shown.first.addDays(col - kFixedColumns)))
                --col;
        }
        grd提出状況->setCurrentCell(row, col);
    }
}

void TeamTab::openCurrent()
{
    const int r = grd提出状況->currentRow(), c = grd提出状況->currentColumn();
    if (!m_context || r < 0 || c < kFixedColumns)
        return;
    const QString name = grd提出状況->item(r, 1)->text();
    const QDate day = m_shown.first.addDays(c - kFixedColumns);
    m_context->openReport(name, day.toString(QStringLiteral("yyyyMMdd")));
}

void TeamTab::markDayRead()
{
    const int c = grd提出状況->currentColumn();
    if (!m_context || c < kFixedColumns)
        return;
    // The members shown: with the unread filter on, those of the list.
    QStringList names;
    for (int r = 0; r < grd提出状況->rowCount(); ++r)
        names << grd提出状況->item(r, 1)->text();
    if (names.isEmpty())
        return;
    const QDate day = m_shown.first.addDays(c - kFixedColumns);
    if (const store::Error e = store::markDayRead(m_context->mainDb(), day, names); e.failed())
        app::tellFailure(QStringLiteral("一括確認"), e);
    refresh();
}

bool TeamTab::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == lst通知 && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openNotice();
            return true;
        }
    }
    if (watched == grd提出状況 && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrent();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
