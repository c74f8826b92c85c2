// Ends a Windows test program (status 4) whose work has run too long or
// (when asked) made the process commit too much memory: a run that would
// hang, or take the machine's memory, fails instead and says where it was.
#ifndef QV_TESTS_WATCHDOG_H
#define QV_TESTS_WATCHDOG_H

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>

// The process's private committed memory (its commit charge), 0 when it
// cannot be measured. Wine 8 leaves PrivateUsage at 0 but keeps
// PagefileUsage, which Windows defines as the same commit charge.
inline SIZE_T CommittedBytes()
{
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof c;
    return GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c) ? c.PagefileUsage : 0;
}

struct Watchdog {
    ULONGLONG limit_ms = 20000; // longest one piece of work may run
    SIZE_T memory_limit = 0;    // most the process may commit meanwhile; 0: no limit
    // Says where the program was, given "hang: ..." or "memory: ...".
    void (*report)(const char *what) = nullptr;
    std::atomic<bool> busy{false};
    std::atomic<ULONGLONG> since{0};

    // A piece of work starts (and its clock), or ends.
    void Begin()
    {
        since = GetTickCount64();
        busy = true;
    }
    void End() { busy = false; }
};

inline DWORD WINAPI WatchdogThread(void *arg)
{
    Watchdog &w = *static_cast<Watchdog *>(arg);
    for (char what[96];; Sleep(100)) {
        if (w.busy && GetTickCount64() - w.since > w.limit_ms)
            std::snprintf(what, sizeof what, "hang: it has run for %llu s", w.limit_ms / 1000);
        else if (w.busy && w.memory_limit != 0 && CommittedBytes() > w.memory_limit)
            std::snprintf(what, sizeof what, "memory: the process has committed more than %llu MiB",
                          static_cast<unsigned long long>(w.memory_limit >> 20));
        else
            continue;
        if (w.busy) {
            w.report(what);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// Watches `w` from a thread of its own for the rest of the process.
inline void StartWatchdog(Watchdog &w)
{
    CloseHandle(CreateThread(nullptr, 0, WatchdogThread, &w, 0, nullptr));
}

#endif
