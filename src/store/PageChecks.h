#pragma once
// Which full check of a file each connection is held to, and whether it lets a write through.
// Integrity.h runs the checks; this is the record a Transaction asks before it writes.
#include "store/Error.h"

#include <QFuture>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>
#include <thread>

struct sqlite3;

namespace store {

enum class CheckNeed { None, Background, Required };

// One check of a file: its result to come, its thread, and the connection it reads through while
// it runs (so that forgetting the check can interrupt it).
struct PageCheck {
    QFuture<Error> future;
    std::thread thread;
    CheckNeed need = CheckNeed::Required;
    QMutex liveLock;         // guards live and stopped
    sqlite3* live = nullptr; // the check's connection while it runs
    bool stopped = false;
    ~PageCheck()
    {
        if (thread.joinable())
            thread.join();
    }
};

// The check a connection is now held to, in place of an earlier one (which the caller forgot).
void keepPageCheck(const QString& connection, std::shared_ptr<PageCheck> check);

// The file behind connection is known to be damaged: every write is refused.
void refuseWrites(const QString& connection, const Error& reason);

// Success when nothing may stop a write through connection: no check was started, a
// background one is still running, or it passed (waiting for a required one while it runs).
// Otherwise the check's failure.
Error writeAllowed(const QString& connection);

// The required check a write through connection would wait for, while it still runs.
std::optional<QFuture<Error>> runningRequiredCheck(const QString& connection);

// Stops a running check of connection at once and forgets it; the connection is being closed.
// Returns the damage a finished check found, if any.
Error forgetPageCheck(const QString& connection);

} // namespace store
