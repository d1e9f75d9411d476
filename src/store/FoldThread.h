#pragma once
// A thread of its own that folds a file's write-ahead log into the file (a checkpoint), so that
// the commit which filled the log returns at once: copying a thousand pages and syncing the
// file took the window's thread 50-200 ms. The thread has a connection of its own to the file,
// opened at its first job, which never folds anything on its close.
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct sqlite3;

namespace store {

class FoldThread {
  public:
    // fullSync: the file's commits sync the log (the main file); the fold syncs as they do.
    FoldThread(const QString& path, bool fullSync);
    // Waits for the job that runs, then closes the connection.
    ~FoldThread();
    FoldThread(const FoldThread&) = delete;
    FoldThread& operator=(const FoldThread&) = delete;

    // Runs job on the thread with its connection (null when the file could not be opened),
    // unless a job is still running or waiting: false then, and job is not run.
    bool post(std::function<void(sqlite3*)> job);
    // Returns once no job runs or waits.
    void waitIdle();

  private:
    void run();

    const QByteArray m_path;
    const bool m_fullSync;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::function<void(sqlite3*)> m_job;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace store
