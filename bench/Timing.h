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
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_START_INSTRUMENTATION
#endif

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
    std::string state; // what the files and the window held when it was timed
    double ours, floor, ratio, target;
    std::string unit = "ms";
};
inline std::vector<RowOut> g_rows;

inline int g_runs = 12;
inline std::string g_only; // --only TEXT: just the rows whose name holds it

inline bool skipped(const std::string& what)
{
    return !g_only.empty() && what.find(g_only) == std::string::npos;
}

inline void addRow(const RowOut& r)
{
    g_rows.push_back(r);
    std::fprintf(stderr, "  %-52s %9.2f %9.2f  %5.2f x  [%s]\n", r.what.c_str(), r.ours, r.floor, r.ratio,
                 r.state.c_str());
}

// One side of a comparison: the operation from the click until the grid holds its rows, and
// the window catching up after it (posted events, layout, painting), when it draws.
struct Side {
    std::function<void()> op;
    std::function<void()> draw{};
};

// Under valgrind --tool=callgrind --collect-atstart=no --instr-atstart=no, BENCH_CALLGRIND names what is
// counted: "ours" or "floor" (the operation), "ours-draw" or "floor-draw" (the drawing after it).
inline std::string g_collect = [] {
    const char* v = std::getenv("BENCH_CALLGRIND");
    return std::string(v ? v : "");
}();

inline void counted(bool on, const std::function<void()>& f)
{
    // With --instr-atstart=no the data is made at near full speed; instrumented from here on.
    static bool instrumented = false;
    if (!g_collect.empty() && !instrumented) {
        instrumented = true;
        CALLGRIND_START_INSTRUMENTATION;
    }
    if (on)
        CALLGRIND_TOGGLE_COLLECT;
    f();
    if (on)
        CALLGRIND_TOGGLE_COLLECT;
}

// Run before each side, untimed, after the case's own set-up: both windows repainted whole and
// every posted event handled, so that each side starts from the same screen and caches.
inline std::function<void()> g_calm;

struct Case {
    std::string what;
    std::string state;
    Side ours, floor;
    std::function<void()> before{}; // puts the files and the window into the state, untimed
    int runs = 0;
    double target = 1.5;
};

// Ours and the floor alternate their order, A B B A A B ..., each after the same set-up, and
// the first pair of each order is a warm-up. Each row is the median of both sides and the
// median of the ratios pair by pair. With drawing, two rows more: the drawing alone, and the
// click to the rows painted.
inline void compare(const Case& c)
{
    if (skipped(c.what))
        return;
    const int runs = c.runs > 0 ? c.runs : g_runs;
    const bool drawn = c.ours.draw && c.floor.draw;
    std::vector<double> a, b, r, da, db, dr, ta, tb, tr;
    for (int i = 0; i < runs + 2; ++i) {
        double t[2][2] = {};
        const bool oursFirst = (i % 4 == 0 || i % 4 == 3);
        for (int k = 0; k < 2; ++k) {
            const int side = (k == 0) == oursFirst ? 0 : 1;
            const Side& s = side == 0 ? c.ours : c.floor;
            if (c.before)
                c.before();
            if (g_calm)
                g_calm();
            const std::string name = side == 0 ? "ours" : "floor";
            double t0 = nowMs();
            counted(g_collect == name, s.op);
            t[side][0] = nowMs() - t0;
            if (drawn) {
                t0 = nowMs();
                counted(g_collect == name + "-draw", s.draw);
                t[side][1] = nowMs() - t0;
            }
        }
        if (i < 2)
            continue; // warm-up, one of each order
        a.push_back(t[0][0]);
        b.push_back(t[1][0]);
        r.push_back(t[0][0] / t[1][0]);
        da.push_back(t[0][1]);
        db.push_back(t[1][1]);
        dr.push_back(t[0][1] / t[1][1]);
        ta.push_back(t[0][0] + t[0][1]);
        tb.push_back(t[1][0] + t[1][1]);
        tr.push_back((t[0][0] + t[0][1]) / (t[1][0] + t[1][1]));
    }
    addRow({c.what, c.state, median(a), median(b), median(r), c.target});
    if (!drawn)
        return;
    addRow({"  then drawn (the grid against a bare QTableView)", c.state, median(da), median(db), median(dr),
            c.target});
    addRow({"  click to the rows painted", c.state, median(ta), median(tb), median(tr), c.target});
}

inline void alone(const std::string& what, const std::string& state, const std::function<void()>& op,
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
    g_rows.push_back({what, state, median(a), 0, 0, 0});
    std::fprintf(stderr, "  %-52s %9.2f\n", what.c_str(), median(a));
}

// ---- start-up: whole processes ----

struct Started {
    double shownMs;
    double peakMb;
};

// Runs exe (found on PATH when it names no folder) with argv and envp, its standard output read
// whole; started: the clock just before it was spawned.
struct Ran {
    std::string out;
    int status = 0;
    rusage ru{};
    double started = 0;
};

inline Ran runReading(const char* exe, char* const argv[], char* const envp[])
{
    int out[2];
    if (pipe(out) != 0)
        die("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    Ran r;
    r.started = nowMs();
    pid_t pid = 0;
    if (posix_spawnp(&pid, exe, &fa, nullptr, argv, envp) != 0)
        die(std::string("spawn ") + exe);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    char buf[256];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        r.out.append(buf, size_t(n));
    close(out[0]);
    wait4(pid, &r.status, 0, &r.ru);
    return r;
}

inline Started startOnce(const std::string& exePath, int run)
{
    const char* exe = exePath.c_str();
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
    const Ran ran = runReading(exe, argv, envp.data());
    const std::string& text = ran.out;
    const int status = ran.status;
    const rusage& ru = ran.ru;
    const double t0 = ran.started;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty())
        die(std::string(exe) + " did not show its window and exit 0: " + text);
    const double shown = std::stod(text) / 1e6;
    return {shown - t0, double(ru.ru_maxrss) / 1024.0};
}

// The program against two yardsticks, whose order turns each run (a warm-up of the first two
// runs: the program's first start on a folder may write its blank state): bare, a window of the
// same shape, look and font; plain, an empty window of the same size with Qt's defaults. Each
// start is timed to its first complete frame.
inline void startup(const std::string& state, const std::string& exe, const std::string& bare,
                    const std::string& plain, int runs, double target)
{
    std::vector<double> ta, tb, tp, r, rp, ma, mb, mp, rm, rmp;
    const std::string* exes[3] = {&exe, &bare, &plain};
    for (int i = 0; i < runs + 2; ++i) {
        Started s[3];
        for (int k = 0; k < 3; ++k) {
            const int side = (i + k) % 3;
            s[side] = startOnce(*exes[side], i * 3 + k);
        }
        if (i < 2)
            continue;
        ta.push_back(s[0].shownMs);
        tb.push_back(s[1].shownMs);
        tp.push_back(s[2].shownMs);
        r.push_back(s[0].shownMs / s[1].shownMs);
        rp.push_back(s[0].shownMs / s[2].shownMs);
        ma.push_back(s[0].peakMb);
        mb.push_back(s[1].peakMb);
        mp.push_back(s[2].peakMb);
        rm.push_back(s[0].peakMb / s[1].peakMb);
        rmp.push_back(s[0].peakMb / s[2].peakMb);
    }
    addRow({"start-up to the first complete frame", state, median(ta), median(tb), median(r), target});
    addRow({"  against a bare Qt window of the same size", state, median(ta), median(tp), median(rp), 0});
    addRow({"start-up peak memory", state, median(ma), median(mb), median(rm), target, "MB"});
    addRow(
        {"  against a bare Qt window of the same size", state, median(ma), median(mp), median(rmp), 0, "MB"});
}

} // namespace bench
