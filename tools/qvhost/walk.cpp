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

// Reads queued files until the listing is over and the queue empty: a run
// at a time, its share of the queue, taken and finished with one lock each.
void Work(Walk &walk)
{
    std::vector<WalkItem> items;
    std::vector<FileOutput> outputs;
    for (;;) {
        items.clear();
        outputs.clear();
        {
            std::unique_lock lock(walk.mutex);
            walk.work.wait(lock, [&] { return !walk.queue.empty() || walk.listing_over; });
            if (walk.queue.empty())
                return;
            const size_t take = std::clamp<size_t>(walk.queue.size() / walk.jobs, 1, kWalkRun);
            for (size_t i = 0; i < take; i++) {
                items.push_back(std::move(walk.queue.front()));
                walk.queue.pop_front();
            }
            walk.queued.store(walk.queue.size(), std::memory_order_relaxed);
        }
        for (const WalkItem &item : items) {
            FileOutput output = (*walk.command)(item.path, {});
            if (output.status == FileStatus::missing)
                output = (*walk.command)(item.path, SystemReason(item.path));
            outputs.push_back(std::move(output));
        }
        Finish(walk, items, outputs);
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
// all is printed; the worst status printed. Takes every result that is in
// order at once, and writes their lines with one call.
FileStatus PrintInOrder(Walk &walk)
{
    Progress progress;
    FileStatus worst = FileStatus::ok;
    std::vector<WalkResult> results;
    std::string text;
    for (;;) {
        results.clear();
        {
            std::unique_lock lock(walk.mutex);
            const auto next = [&] {
                return walk.done[walk.printed % walk.window].filled ||
                       (walk.listing_over && walk.printed == walk.listed);
            };
            const bool in = walk.ready.wait_for(lock, std::chrono::milliseconds(200), next);
            Draw(progress, walk.counts);
            if (!in)
                continue;
            for (;;) {
                WalkResult &slot = walk.done[walk.printed % walk.window];
                if (!slot.filled)
                    break;
                slot.filled = false;
                results.push_back(std::move(slot));
                walk.printed++;
            }
            if (results.empty())
                break; // the listing is over and everything printed
        }
        walk.room.notify_one();
        text.clear();
        for (const WalkResult &result : results) {
            if (result.shown) {
                Clear(progress, true);
                text += result.output.text;
                worst = std::max(worst, result.output.status);
            }
            if (!result.note.empty()) {
                Clear(progress, false);
                Write(text);
                text.clear();
                fflush(stdout);
                fputs(result.note.c_str(), stderr);
            }
        }
        Write(text);
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
    walk.jobs = jobs;
    walk.window = kWalkRun * (4 + size_t{jobs});
    walk.done.resize(walk.window);
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
