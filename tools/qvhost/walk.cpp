// The walk: one thread lists the tree (walk_list.cpp), -j workers read the
// files, and the main thread prints the results in the listing's order,
// with progress and the counts on stderr.
#include "walk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// "files seen, PE/NE read, files/s", over itself on a terminal.
void ShowProgress(const WalkCounts &counts, Clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const uint64_t seen = counts.read + counts.skipped + counts.unreadable;
    char line[160];
    std::snprintf(line, sizeof line, "\r%llu files seen, %llu PE/NE read, %.0f files/s\033[K",
                  static_cast<unsigned long long>(seen),
                  static_cast<unsigned long long>(counts.read),
                  seconds > 0 ? static_cast<double>(seen) / seconds : 0.0);
    fputs(line, stderr);
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
    std::vector<std::thread> threads;
    threads.emplace_back(ListTree, std::ref(walk));
    for (unsigned i = 0; i < jobs; i++)
        threads.emplace_back(Work, std::ref(walk));

    const bool terminal = isatty(STDERR_FILENO) != 0;
    const auto start = Clock::now();
    auto shown = start;
    FileStatus worst = FileStatus::ok;
    std::unique_lock lock(walk.mutex);
    for (;;) {
        const bool next = walk.changed.wait_for(lock, std::chrono::milliseconds(200), [&] {
            return walk.done.contains(walk.printed) ||
                   (walk.listing_over && walk.printed == walk.listed);
        });
        if (terminal && Clock::now() - shown > std::chrono::milliseconds(200)) {
            ShowProgress(walk.counts, start);
            shown = Clock::now();
        }
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
            if (terminal)
                fputs("\r\033[K", stderr);
            Write(result.output.text);
            worst = std::max(worst, result.output.status);
        }
        if (!result.note.empty()) {
            fflush(stdout);
            fputs(result.note.c_str(), stderr);
        }
        lock.lock();
    }
    const WalkCounts counts = walk.counts;
    lock.unlock();
    for (std::thread &thread : threads)
        thread.join();
    fflush(stdout);
    if (terminal)
        fputs("\r\033[K", stderr);
    fprintf(stderr, "qvhost: %llu PE/NE files read, %llu skipped, %llu could not be read\n",
            static_cast<unsigned long long>(counts.read),
            static_cast<unsigned long long>(counts.skipped),
            static_cast<unsigned long long>(counts.unreadable));
    return StatusExit(worst);
}

} // namespace qvhost
