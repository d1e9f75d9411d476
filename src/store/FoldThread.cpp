#include "store/FoldThread.h"

#include <QFile>
#include <sqlite3.h>

namespace store {

FoldThread::FoldThread(const QString& path, bool fullSync)
    : m_path(QFile::encodeName(path)), m_fullSync(fullSync), m_thread([this] { run(); })
{
}

FoldThread::~FoldThread()
{
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool FoldThread::post(std::function<void(sqlite3*)> job)
{
    {
        std::lock_guard guard(m_lock);
        if (m_busy || m_stop)
            return false;
        m_job = std::move(job);
        m_busy = true;
    }
    m_wake.notify_all();
    return true;
}

void FoldThread::waitIdle()
{
    std::unique_lock guard(m_lock);
    m_wake.wait(guard, [this] { return !m_busy; });
}

void FoldThread::run()
{
    sqlite3* h = nullptr;
    bool opened = false;
    std::unique_lock guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_busy || m_stop; });
        if (!m_busy)
            break;
        std::function<void(sqlite3*)> job = std::move(m_job);
        m_job = nullptr;
        guard.unlock();
        if (!opened) {
            opened = true;
            // A writer, since a checkpoint writes the file; it never makes one, and its close
            // leaves the log to the connection that wrote it.
            if (sqlite3_open_v2(m_path.constData(), &h, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
                sqlite3_db_config(h, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
                sqlite3_exec(h, m_fullSync ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL",
                             nullptr, nullptr, nullptr);
                // The first read opens the log (a checkpoint on a connection that never read
                // may find no log to fold).
                sqlite3_exec(h, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
            } else {
                sqlite3_close(h);
                h = nullptr;
            }
        }
        job(h);
        guard.lock();
        m_busy = false;
        m_wake.notify_all();
    }
    guard.unlock();
    if (h)
        sqlite3_close(h);
}

} // namespace store
