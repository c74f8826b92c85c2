// Ends a Windows test program whose work has run too long, or (when asked)
// has made the process commit too much memory: a run that would hang, or
// take the machine's memory, fails instead and says where it was.
#ifndef QV_TESTS_WATCHDOG_H
#define QV_TESTS_WATCHDOG_H

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>

// The process's private committed memory (its commit charge). Wine 8 leaves
// PrivateUsage at 0 but keeps PagefileUsage, which Windows defines as the
// same commit charge. 0 when it cannot be measured.
inline SIZE_T CommittedBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
               ? counters.PagefileUsage
               : 0;
}

struct Watchdog {
    ULONGLONG limit_ms = 20000; // longest one piece of work may run
    SIZE_T memory_limit = 0;    // most the process may commit meanwhile; 0: no limit
    UINT status = 4;            // the process's exit status when it is ended
    // Prints where the program was, given "hang: ..." or "memory: ...".
    void (*report)(const char *what) = nullptr;
    std::atomic<bool> busy{false};
    std::atomic<ULONGLONG> since{0};

    // A piece of work starts (its clock with it), or ends.
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
    char what[96];
    for (;;) {
        Sleep(100);
        if (!w.busy)
            continue;
        if (GetTickCount64() - w.since > w.limit_ms)
            std::snprintf(what, sizeof what, "hang: it has run for %lu s",
                          static_cast<unsigned long>(w.limit_ms / 1000));
        else if (w.memory_limit != 0 && CommittedBytes() > w.memory_limit)
            std::snprintf(what, sizeof what, "memory: the process has committed more than %lu MiB",
                          static_cast<unsigned long>(w.memory_limit >> 20));
        else
            continue;
        if (!w.busy)
            continue;
        if (w.report != nullptr)
            w.report(what);
        std::fflush(stdout);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), w.status);
    }
}

// Watches `w` from a thread of its own for the rest of the process.
inline void StartWatchdog(Watchdog &w)
{
    CloseHandle(CreateThread(nullptr, 0, WatchdogThread, &w, 0, nullptr));
}

#endif
