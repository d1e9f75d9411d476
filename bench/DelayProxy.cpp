#include "DelayProxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}
} // namespace

DelayProxy::DelayProxy(std::string unixSocket, int delayMs)
    : m_target(std::move(unixSocket)), m_delayMs(delayMs)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listen, 16) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    m_port = ntohs(a.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

DelayProxy::~DelayProxy()
{
    m_stop = true;
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(m_lock);
        threads.swap(m_threads);
    }
    for (std::thread& t : threads)
        t.join();
    for (int fd : m_fds)
        ::close(fd);
    if (m_listen >= 0)
        ::close(m_listen);
}

void DelayProxy::acceptLoop()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un u{};
        u.sun_family = AF_UNIX;
        std::strncpy(u.sun_path, m_target.c_str(), sizeof u.sun_path - 1);
        if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&u), sizeof u) != 0) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            continue;
        }
        std::lock_guard guard(m_lock);
        m_fds.insert(m_fds.end(), {client, server});
        m_threads.emplace_back([this, client, server] { pump(client, server, true); });
        m_threads.emplace_back([this, client, server] { pump(server, client, false); });
    }
}

// Reads what arrives on from and writes it to `to` delayMs later, in order. An end of input is
// passed on once everything before it was.
void DelayProxy::pump(int from, int to, bool up)
{
    struct Chunk {
        Clock::time_point due;
        std::string bytes;
    };
    std::deque<Chunk> queue;
    bool open = true;
    char buffer[65536];
    while (!m_stop && (open || !queue.empty())) {
        int wait = 50;
        if (!queue.empty()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(queue.front().due - Clock::now())
                    .count();
            wait = int(std::max<long long>(0, std::min<long long>(left, 50)));
        }
        pollfd p{from, short(open ? POLLIN : 0), 0};
        const int n = ::poll(&p, 1, wait);
        if (n > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
            if (got > 0) {
                // The client sending after the server spoke is the start of a round trip.
                if (up && m_lastUp.exchange(1) == 0)
                    ++m_flights;
                if (!up)
                    m_lastUp = 0;
                queue.push_back(
                    {Clock::now() + std::chrono::milliseconds(m_delayMs), std::string(buffer, size_t(got))});
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                open = false;
            }
        }
        while (!queue.empty() && queue.front().due <= Clock::now()) {
            if (!writeAll(to, queue.front().bytes.data(), queue.front().bytes.size())) {
                queue.clear();
                open = false;
                break;
            }
            queue.pop_front();
        }
    }
    ::shutdown(to, SHUT_WR);
}
