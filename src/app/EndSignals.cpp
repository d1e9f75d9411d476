#include "app/EndSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <iterator>
#include <utility>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};
bool g_handled[std::size(kSignals)] = {};

extern "C" void onEndSignal(int signal)
{
    // Only what is safe in a signal handler: one write, errno as it was.
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        int last = 0;
        ssize_t n;
        while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
            last = bytes[n - 1];
        if (last)
            emit received(last);
    });
    struct sigaction sa = {};
    sa.sa_handler = onEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        // A signal the program was started to ignore (nohup, a background job's Ctrl+C) stays so.
        struct sigaction before = {};
        ::sigaction(kSignals[i], nullptr, &before);
        if (kSignals[i] != SIGTERM && before.sa_handler == SIG_IGN)
            continue;
        g_handled[i] = ::sigaction(kSignals[i], &sa, nullptr) == 0;
    }
}

EndSignals::~EndSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        if (std::exchange(g_handled[i], false))
            ::sigaction(kSignals[i], &sa, nullptr);
}

} // namespace app
