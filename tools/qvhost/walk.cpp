// The walk: one thread lists the tree (walk_list.cpp), -j workers read the
// files, and the main thread prints the results in the listing's order,
// with progress and the counts on stderr.
#include "walk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

#include "output.h"
#include "walk_shared.h"

namespace qvhost {
namespace {

using Clock = std::chrono::steady_clock;

// Reads queued files until the listing is over and the queue empty.
void Work(Walk &walk)
{
    for (;;) {
        std::unique_lock lock(walk.mutex);
        walk.changed.wait(lock, [&] { return !walk.queue.empty() || walk.listing_over; });
        if (walk.queue.empty())
            return;
        WalkItem item = std::move(walk.queue.front());
        walk.queue.pop_front();
        lock.unlock();
        FileOutput output = (*walk.command)(item.path, {});
        if (output.status == FileStatus::missing)
            output = (*walk.command)(item.path, SystemReason(item.path));
        Finish(walk, item, std::move(output));
    }
}

// The progress line on stderr, when it is a terminal: "files seen, PE/NE
// read, files/s", redrawn over itself at most every 200 ms, and taken away
// before other text reaches the terminal.
struct Progress {
    bool terminal = isatty(STDERR_FILENO) != 0;
    bool stdout_terminal = isatty(STDOUT_FILENO) != 0;
    bool drawn = false;
    Clock::time_point start = Clock::now();
    Clock::time_point shown = start;
};

void Draw(Progress &p, const WalkCounts &counts)
{
    if (!p.terminal || Clock::now() - p.shown < std::chrono::milliseconds(200))
        return;
    p.shown = Clock::now();
    const double seconds = std::chrono::duration<double>(p.shown - p.start).count();
    const uint64_t seen = counts.read + counts.skipped + counts.unreadable;
    fprintf(stderr, "\r%llu files seen, %llu PE/NE read, %.0f files/s\033[K",
            static_cast<unsigned long long>(seen), static_cast<unsigned long long>(counts.read),
            seconds > 0 ? static_cast<double>(seen) / seconds : 0.0);
    p.drawn = true;
}

void Clear(Progress &p, bool for_stdout)
{
    if (p.drawn && (!for_stdout || p.stdout_terminal)) {
        fputs("\r\033[K", stderr);
        p.drawn = false;
    }
}

// Prints each result when its turn comes, until the listing is over and
// all is printed; the worst status printed.
FileStatus PrintInOrder(Walk &walk)
{
    Progress progress;
    FileStatus worst = FileStatus::ok;
    std::unique_lock lock(walk.mutex);
    for (;;) {
        const bool next = walk.changed.wait_for(lock, std::chrono::milliseconds(200), [&] {
            return walk.done.contains(walk.printed) ||
                   (walk.listing_over && walk.printed == walk.listed);
        });
        Draw(progress, walk.counts);
        if (!next)
            continue;
        auto found = walk.done.find(walk.printed);
        if (found == walk.done.end())
            break; // the listing is over and everything printed
        WalkResult result = std::move(found->second);
        walk.done.erase(found);
        walk.printed++;
        lock.unlock();
        walk.changed.notify_all();
        if (result.shown) {
            Clear(progress, true);
            Write(result.output.text);
            worst = std::max(worst, result.output.status);
        }
        if (!result.note.empty()) {
            Clear(progress, false);
            fflush(stdout);
            fputs(result.note.c_str(), stderr);
        }
        lock.lock();
    }
    Clear(progress, false);
    return worst;
}

} // namespace

int WalkFiles(const Options &o, const FileCommand &command)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs = o.jobs != 0 ? o.jobs : cores;
    Walk walk;
    walk.options = &o;
    walk.command = &command;
    walk.window = 64 + 16 * size_t{jobs};
    // The lister and at least one worker, or qvhost cannot walk; fewer
    // workers than asked when the system gives no more threads.
    std::vector<std::thread> threads;
    try {
        threads.emplace_back(ListTree, std::ref(walk));
        for (unsigned i = 0; i < jobs; i++)
            threads.emplace_back(Work, std::ref(walk));
    } catch (const std::system_error &) {
        if (threads.size() < 2) {
            fputs("qvhost: cannot start the walk's threads\n", stderr);
            std::quick_exit(2);
        }
    }
    const FileStatus worst = PrintInOrder(walk);
    for (std::thread &thread : threads)
        thread.join();
    fflush(stdout);
    fprintf(stderr, "qvhost: %llu PE/NE files read, %llu skipped, %llu could not be read\n",
            static_cast<unsigned long long>(walk.counts.read),
            static_cast<unsigned long long>(walk.counts.skipped),
            static_cast<unsigned long long>(walk.counts.unreadable));
    return StatusExit(worst);
}

} // namespace qvhost
