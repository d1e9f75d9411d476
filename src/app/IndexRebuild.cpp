#include "app/IndexRebuild.h"

#include "msg/MsgCatalogue.h"
#include "store/TextIndex.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>

#include <algorithm>
#include <QProgressBar>

namespace app {
namespace {
// A part's time: short enough that typing between two parts feels none of them.
constexpr qint64 kPartMs = 25;
// After a part that could not be written (the file busy, a check still running): a pause.
constexpr int kRetryMs = 1000;
} // namespace

IndexRebuild::IndexRebuild(QTabWidget* tabs) : QObject(tabs), m_tabs(tabs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &IndexRebuild::step);
}

void IndexRebuild::startIfNeeded(const QSqlDatabase& main)
{
    if (!main.isOpen() || !store::textIndexRebuilding(main))
        return;
    m_connection = main.connectionName();
    if (!m_shown) {
        m_shown = new QWidget;
        auto* row = new QHBoxLayout(m_shown);
        row->setContentsMargins(0, 0, 4, 0);
        auto* label = new QLabel(m_shown);
        label->setObjectName(QStringLiteral("lbl索引作成"));
        label->setText(MsgCatalogue::describe(MsgId::その他_索引作成中, QString()).title);
        m_bar = new QProgressBar(m_shown);
        m_bar->setObjectName(QStringLiteral("prg索引作成"));
        m_bar->setRange(0, 100);
        m_bar->setMaximumWidth(160);
        row->addWidget(label);
        row->addWidget(m_bar);
        m_tabs->setCornerWidget(m_shown, Qt::TopRightCorner);
    }
    m_bar->setValue(store::textIndexPercent(main));
    m_shown->show();
    if (!m_timer.isActive())
        m_timer.start(0);
}

void IndexRebuild::stop()
{
    m_timer.stop();
    if (m_shown)
        m_shown->hide();
    m_connection.clear();
}

void IndexRebuild::step()
{
    const QSqlDatabase main = QSqlDatabase::database(m_connection, false);
    if (!main.isOpen())
        return stop();
    QElapsedTimer took;
    took.start();
    const store::RebuildStep s = store::rebuildTextIndexStep(main, m_lines);
    if (s.error.failed()) {
        m_timer.start(kRetryMs);
        return;
    }
    const qint64 ms = qMax<qint64>(1, took.elapsed());
    m_lines = int(std::clamp<qint64>(m_lines * kPartMs / ms, 100, 20000));
    m_bar->setValue(s.total > 0 ? int(s.done * 100 / s.total) : 100);
    if (s.finished) {
        stop();
        emit finished();
        return;
    }
    m_timer.start(0);
}

} // namespace app
