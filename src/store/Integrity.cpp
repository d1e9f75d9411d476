#include "store/Integrity.h"

#include "store/FullCheck.h"
#include "store/LocalFile.h"
#include "store/Log.h"

#include <QMutex>
#include <QPromise>
#include <memory>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace store {
namespace {

// The check of a file that is in no hurry yields the processor and the disk to everything else.
void lowestPriority()
{
#ifdef Q_OS_LINUX
    const auto tid = pid_t(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, id_t(tid), 19);
    constexpr int whoProcess = 1, classIdle = 3, classShift = 13;
    ::syscall(SYS_ioprio_set, whoProcess, tid, classIdle << classShift);
#endif
}

} // namespace

Error checkPages(const QString& path)
{
    const CheckOutcome o = runFullCheck(path, nullptr);
    if (o.error.ok())
        notePagesChecked(path);
    return o.error;
}

QFuture<Error> startPageCheck(const QString& connection, const QString& path, CheckNeed need)
{
    forgetPageCheck(connection);
    auto promise = std::make_shared<QPromise<Error>>();
    auto check = std::make_shared<PageCheck>();
    check->future = promise->future();
    check->need = need;
    promise->start();
    check->thread = std::thread([promise, path, need, raw = check.get()] {
        if (need == CheckNeed::Background)
            lowestPriority();
        const CheckOutcome o = runFullCheck(path, raw, need == CheckNeed::Required);
        if (o.error.failed())
            qCWarning(lcStore).noquote() << "full check of" << path << "failed:" << o.error.reason();
        else if (!o.interrupted)
            qCInfo(lcStore).noquote() << "full check of" << path << "passed";
        if (o.error.ok() && !o.interrupted)
            notePagesChecked(path);
        promise->addResult(o.error);
        promise->finish();
    });
    keepPageCheck(connection, check);
    return check->future;
}

} // namespace store
