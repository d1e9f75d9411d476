#include "ui/Background.h"

#include "store/Integrity.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <limits>
#include <thread>

namespace app {
namespace {
int g_showAfter = 500;
} // namespace

struct Background::Run final : JobContext {
    store::ConnectionRecipe recipe;
    std::function<std::any(JobContext&)> job;
    std::function<void(std::any&)> done;
    std::function<void(const store::Error&)> failed;
    std::thread thread;
    std::atomic<bool> stop = false;
    std::atomic<int> done_ = 0, total = 0;
    std::mutex lock; // guards connection against cancel() from the user-interface thread
    store::WorkerConnection* connection = nullptr;
    std::any result;
    store::Error openError;

    QSqlDatabase db() const override { return connection ? connection->db() : QSqlDatabase(); }
    bool cancelled() const override { return stop; }
    void progress(int d, int t) override
    {
        done_ = d;
        total = t;
    }
    void interrupt()
    {
        stop = true;
        std::lock_guard guard(lock);
        if (connection)
            connection->interrupt();
    }
};

void Background::setShowAfter(int ms)
{
    g_showAfter = ms;
}

Background::Background(QWidget* owner, const QString& name, const QString& label) : QObject(owner)
{
    m_bar = new QWidget(owner);
    m_bar->setObjectName(name);
    m_label = new QLabel(label, m_bar);
    m_progress = new QProgressBar(m_bar);
    m_progress->setRange(0, 0);
    m_progress->setMaximumWidth(160);
    m_progress->setTextVisible(false);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), m_bar);
    m_cancel->setObjectName(name + QStringLiteral("キャンセル"));
    m_cancel->setAutoDefault(false);
    auto* row = new QHBoxLayout(m_bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_label);
    row->addWidget(m_progress);
    row->addWidget(m_cancel);
    m_bar->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        cancel();
        emit cancelledByUser();
    });
    m_showLater = new QTimer(this);
    m_showLater->setSingleShot(true);
    connect(m_showLater, &QTimer::timeout, this, [this] {
        if (m_current)
            m_bar->show();
    });
    // The bar follows the job's progress while it shows.
    m_poll = new QTimer(this);
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, [this] {
        if (!m_current)
            return;
        const int total = m_current->total;
        m_progress->setRange(0, qMax(0, total));
        if (total > 0)
            m_progress->setValue(qMin(int(m_current->done_), total));
    });
}

Background::~Background()
{
    cancel();
    for (const std::shared_ptr<Run>& r : m_ending)
        if (r->thread.joinable())
            r->thread.join();
}

void Background::setLabel(const QString& label)
{
    m_label->setText(label);
}

bool Background::isRunning() const
{
    return m_current != nullptr;
}

void Background::launch(const QSqlDatabase& db, std::function<std::any(JobContext&)> job,
                        std::function<void(std::any&)> done, std::function<void(const store::Error&)> failed)
{
    const bool wasRunning = isRunning();
    if (m_current) {
        m_current->interrupt();
        m_ending.push_back(std::move(m_current));
    }
    reap();
    auto run = std::make_shared<Run>();
    run->recipe = store::recipeOf(db);
    run->job = std::move(job);
    run->done = std::move(done);
    run->failed = std::move(failed);
    m_current = run;
    QPointer<Background> self(this);
    run->thread = std::thread([run, self] {
        {
            store::WorkerConnection connection(run->recipe);
            if (connection.error().failed()) {
                run->openError = connection.error();
            } else {
                {
                    std::lock_guard guard(run->lock);
                    run->connection = &connection;
                }
                if (!run->stop)
                    run->result = run->job(*run);
                std::lock_guard guard(run->lock);
                run->connection = nullptr;
            }
        }
        // self is only read on the user-interface thread, where it lives.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [run, self] {
                if (self)
                    self->finished(run);
            },
            Qt::QueuedConnection);
    });
    m_progress->setRange(0, 0);
    m_showLater->start(g_showAfter);
    m_poll->start();
    if (!wasRunning)
        emit runningChanged(true);
}

void Background::cancel()
{
    if (!m_current)
        return;
    m_current->interrupt();
    m_ending.push_back(std::move(m_current));
    m_current.reset();
    m_showLater->stop();
    m_poll->stop();
    m_bar->hide();
    reap();
    emit runningChanged(false);
}

void Background::finished(const std::shared_ptr<Run>& run)
{
    if (run->thread.joinable())
        run->thread.join();
    reap();
    if (run != m_current)
        return; // cancelled or replaced: its result is not wanted
    m_current.reset();
    m_showLater->stop();
    m_poll->stop();
    m_bar->hide();
    emit runningChanged(false);
    if (run->openError.failed()) {
        if (run->failed)
            run->failed(run->openError);
    } else if (!run->stop) {
        run->done(run->result);
    }
}

// Threads of cancelled jobs that have ended are joined; the others end on their own.
void Background::reap()
{
    std::erase_if(m_ending, [](const std::shared_ptr<Run>& r) {
        if (!r->thread.joinable())
            return true;
        return false;
    });
}

bool awaitFileChecks(QWidget* parent, std::initializer_list<QSqlDatabase> dbs)
{
    for (const QSqlDatabase& db : dbs) {
        const std::optional<QFuture<store::Error>> check = store::runningRequiredCheck(db.connectionName());
        if (!check)
            continue;
        QProgressDialog dialog(QStringLiteral("前回の終了が正常でなかったため、ファイルを検査しています。"
                                              "検査が終わりしだい続けます…"),
                               QStringLiteral("キャンセル"), 0, 0, parent);
        dialog.setObjectName(QStringLiteral("dlgファイル検査"));
        dialog.setWindowTitle(QStringLiteral("ファイルの検査"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        // Shown once the wait is worth a word (its own timer starts with a range it lacks).
        dialog.setMinimumDuration(std::numeric_limits<int>::max());
        QTimer::singleShot(g_showAfter, &dialog, [&dialog] { dialog.show(); });
        QEventLoop loop;
        QFutureWatcher<store::Error> watcher;
        QObject::connect(&watcher, &QFutureWatcher<store::Error>::finished, &loop, &QEventLoop::quit);
        QObject::connect(&dialog, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
        watcher.setFuture(*check);
        if (!check->isFinished())
            loop.exec();
        if (!check->isFinished())
            return false;
    }
    return true;
}

} // namespace app
