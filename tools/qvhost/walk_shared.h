// What the walk's lister, workers and printer share (walk.cpp,
// walk_list.cpp), under one mutex. Files pass between them in runs, so
// that the lock is taken and a thread woken once a run, not once a file.
#ifndef QV_TOOLS_QVHOST_WALK_SHARED_H
#define QV_TOOLS_QVHOST_WALK_SHARED_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "files.h"
#include "options.h"

namespace qvhost {

// A regular file for a worker to read; `number` is its place in the output.
struct WalkItem {
    uint64_t number = 0;
    std::string path;
    bool given = false; // a FILE of the command line: printed whatever it is
};

struct WalkResult {
    FileOutput output;
    bool shown = false;  // printed on stdout
    std::string note;    // a line for stderr, printed in the output's order
    bool filled = false; // its slot holds a result not yet printed
};

// What the summary counts: PE/NE images read; other files, files not
// regular and links not followed; files and folders that cannot be read.
struct WalkCounts {
    uint64_t read = 0;
    uint64_t skipped = 0;
    uint64_t unreadable = 0;
};

// The most files the lister hands over, or a worker takes, at once.
constexpr size_t kWalkRun = 32;

struct Walk {
    const Options *options = nullptr;
    const FileCommand *command = nullptr;
    unsigned jobs = 1;
    std::mutex mutex;
    std::condition_variable work;   // the queue has files, or the listing is over
    std::condition_variable room;   // the output moved on: the window has room
    std::condition_variable ready;  // the next result to print may be in
    std::deque<WalkItem> queue;     // listed, not yet taken by a worker
    std::atomic<size_t> queued = 0; // queue.size(), for the lister to read unlocked
    // Finished, not yet printed: number N in slot N % window. At most a
    // window is listed ahead of the output, so no two share a slot.
    std::vector<WalkResult> done;
    uint64_t listed = 0;  // numbers handed out
    uint64_t printed = 0; // the next number to print
    size_t window = 64;   // at most this many listed ahead of the output
    bool listing_over = false;
    WalkCounts counts;
};

// Lists every FILE's tree, queues its regular files and posts what needs
// no worker; then marks the listing over.
void ListTree(Walk &walk);

// A worker's results for a run of items, in the same order: counted, and
// kept until their turn.
void Finish(Walk &walk, std::vector<WalkItem> &items, std::vector<FileOutput> &outputs);

// Why the file at `path` cannot be opened and read, in the system's words;
// empty when it now can.
std::string SystemReason(const std::string &path);

} // namespace qvhost

#endif
