#pragma once
// Timing for the benchmark: ours against the floor in turn, the rows of the table, and
// start-up timed as whole processes.
#include "Floor.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

// ---- timing ----

inline double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct RowOut {
    std::string what;
    double ours, floor, ratio, target;
    std::string unit = "ms";
    double drawn = 0; // the window's drawing after the operation, when timed
};
inline std::vector<RowOut> g_rows;

inline int g_runs = 11;
inline std::string g_only; // --only TEXT: just the rows whose name holds it

inline bool skipped(const std::string& what)
{
    return !g_only.empty() && what.find(g_only) == std::string::npos;
}

// Ours and the floor in turn; before runs untimed ahead of each of them. draw, when given, is
// the window catching up after ours (posted events, layout and painting): timed on its own,
// since the floor draws nothing.
inline void pairDrawn(const std::string& what, const std::function<void()>& ours,
                      const std::function<void()>& draw, const std::function<void()>& floor,
                      const std::function<void()>& before = {}, int runs = 0, double target = 1.5)
{
    if (skipped(what))
        return;
    runs = runs > 0 ? runs : g_runs;
    std::vector<double> a, b, r, d;
    for (int i = 0; i < runs + 1; ++i) {
        if (before)
            before();
        double t = nowMs();
        ours();
        const double ta = nowMs() - t;
        t = nowMs();
        if (draw)
            draw();
        const double td = nowMs() - t;
        if (before)
            before();
        t = nowMs();
        floor();
        const double tb = nowMs() - t;
        if (i == 0)
            continue; // warm-up
        a.push_back(ta);
        b.push_back(tb);
        r.push_back(ta / tb);
        d.push_back(td);
    }
    g_rows.push_back({what, median(a), median(b), median(r), target, "ms", draw ? median(d) : 0});
    std::fprintf(stderr, "  %-44s %9.2f %9.2f  %5.2f x", what.c_str(), median(a), median(b), median(r));
    if (draw)
        std::fprintf(stderr, "  drawn %.2f", median(d));
    std::fprintf(stderr, "\n");
}

inline void pair(const std::string& what, const std::function<void()>& ours,
                 const std::function<void()>& floor, const std::function<void()>& before = {}, int runs = 0,
                 double target = 1.5)
{
    pairDrawn(what, ours, {}, floor, before, runs, target);
}

inline void alone(const std::string& what, const std::function<void()>& op,
                  const std::function<void()>& before = {}, int runs = 0)
{
    if (skipped(what))
        return;
    runs = runs > 0 ? runs : g_runs;
    std::vector<double> a;
    for (int i = 0; i < runs + 1; ++i) {
        if (before)
            before();
        const double t = nowMs();
        op();
        if (i > 0)
            a.push_back(nowMs() - t);
    }
    g_rows.push_back({what, median(a), 0, 0, 0});
    std::fprintf(stderr, "  %-44s %9.2f\n", what.c_str(), median(a));
}

// ---- start-up: whole processes ----

struct Started {
    double shownMs;
    double peakMb;
};

inline Started startOnce(const char* exe, int run)
{
    int out[2];
    if (pipe(out) != 0)
        die("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.emplace_back("TESVAN_EXIT_WHEN_SHOWN=1");
    env.emplace_back("TESVAN_INSTANCE=tesvan-bench-" + std::to_string(getpid()) + "-" + std::to_string(run));
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(exe), nullptr};
    const double t0 = nowMs();
    pid_t pid = 0;
    if (posix_spawn(&pid, exe, &fa, nullptr, argv, envp.data()) != 0)
        die(std::string("spawn ") + exe);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty())
        die(std::string(exe) + " did not show its window and exit 0: " + text);
    const double shown = std::stod(text) / 1e6;
    return {shown - t0, double(ru.ru_maxrss) / 1024.0};
}

inline void startup(int runs)
{
    std::vector<double> ta, tb, r, ma, mb, rm;
    for (int i = 0; i < runs + 1; ++i) {
        const Started a = startOnce(TESVAN_EXE, i);
        const Started b = startOnce(BARE_EXE, i);
        if (i == 0)
            continue;
        ta.push_back(a.shownMs);
        tb.push_back(b.shownMs);
        r.push_back(a.shownMs / b.shownMs);
        ma.push_back(a.peakMb);
        mb.push_back(b.peakMb);
        rm.push_back(a.peakMb / b.peakMb);
    }
    g_rows.push_back({"start-up to the shown window", median(ta), median(tb), median(r), 1.3});
    g_rows.push_back({"start-up peak memory", median(ma), median(mb), median(rm), 1.3, "MB"});
    std::fprintf(stderr, "  start-up %9.2f %9.2f %5.2f x; memory %.1f %.1f MB\n", median(ta), median(tb),
                 median(r), median(ma), median(mb));
}

} // namespace bench
