#pragma once
// A TCP proxy on the loopback address in front of a server's Unix socket that holds back every
// chunk for a fixed time in each direction, so that a server on this machine answers as one
// across a network would (the kernel's netem is not at hand here). It counts the client's
// flights: the times the client sent after the server had last spoken, which are the round trips
// an operation waited for.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DelayProxy {
  public:
    // Listens on 127.0.0.1 at a port of the kernel's choosing; port() is 0 when it could not.
    DelayProxy(std::string unixSocket, int delayMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return m_port; }
    long flights() const { return m_flights.load(); }
    void resetFlights() { m_flights = 0; }

  private:
    void acceptLoop();
    void pump(int from, int to, bool up);

    std::string m_target;
    int m_delayMs;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_flights{0};
    std::atomic<int> m_lastUp{0}; // 1: the client spoke last, 0: the server (or nobody)
    std::mutex m_lock;            // guards m_threads and m_fds
    std::vector<std::thread> m_threads;
    std::vector<int> m_fds;
    std::thread m_acceptor;
};
