#pragma once
// Work that may outlast a glance, run off the user-interface thread: the job runs on a thread
// of its own with a connection of its own to the database (store::WorkerConnection), its
// result is handed to the user-interface thread, and after half a second a bar with キャンセル
// shows that it is running. A job cancelled, replaced by a newer one, or outlived by its
// owner is interrupted and its result dropped; a job writes nothing that stays when it fails
// (its files go through QSaveFile), so a cancelled one leaves nothing half written.
#include "store/Error.h"
#include "store/WorkerConnection.h"

#include <QObject>
#include <QSqlDatabase>
#include <QWidget>

#include <any>
#include <functional>
#include <initializer_list>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace app {

// What a job sees on its thread.
class JobContext {
  public:
    virtual ~JobContext() = default;
    // The job's own connection, like the one it was started with.
    virtual QSqlDatabase db() const = 0;
    virtual bool cancelled() const = 0;
    // How far it is (shown in the bar); callable from the job's thread at any pace.
    virtual void progress(int done, int total) = 0;
};

class Background : public QObject {
    Q_OBJECT
  public:
    // The bar is made here, named name (its キャンセル button name + "キャンセル"); the owner
    // places it (bar()) where the work's result will show. label says what runs.
    Background(QWidget* owner, const QString& name, const QString& label);
    ~Background() override;

    // Runs job(context) on a worker with a connection like db; done(result) then runs on this
    // thread, unless the job was cancelled or another start came first. A connection that
    // cannot be opened is the job's failure: failed(reason) runs instead.
    template <class R>
    void start(const QSqlDatabase& db, std::function<R(JobContext&)> job, std::function<void(R)> done,
               std::function<void(const store::Error&)> failed)
    {
        launch(
            db, [job = std::move(job)](JobContext& c) { return std::any(job(c)); },
            [done = std::move(done)](std::any& r) { done(std::any_cast<R&>(r)); }, std::move(failed));
    }

    // The running job stops: its statement is interrupted and its result dropped.
    void cancel();
    bool isRunning() const;
    QWidget* bar() const { return m_bar; }
    void setLabel(const QString& label);

    // How long a job runs before the bar shows (ms); tests shorten it.
    static void setShowAfter(int ms);

  signals:
    // A job began or ended (done, failed or cancelled): what must wait is enabled again.
    void runningChanged(bool running);
    // The user pressed キャンセル.
    void cancelledByUser();

  private:
    struct Run;
    void launch(const QSqlDatabase& db, std::function<std::any(JobContext&)> job,
                std::function<void(std::any&)> done, std::function<void(const store::Error&)> failed);
    void finished(const std::shared_ptr<Run>& run);
    void reap();

    QWidget* m_bar = nullptr;
    QLabel* m_label = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    class QTimer* m_showLater = nullptr;
    class QTimer* m_poll = nullptr;
    std::shared_ptr<Run> m_current;
    std::vector<std::shared_ptr<Run>> m_ending; // cancelled, still running on their threads
};

// Before a write through any of dbs: a full check of its file that must pass first and still
// runs (after an end that was not clean) is waited for with a progress dialog, the window
// painting meanwhile; false when the user chose キャンセル (nothing is then written).
bool awaitFileChecks(QWidget* parent, std::initializer_list<QSqlDatabase> dbs);

} // namespace app
