// What the walk's lister, workers and printer share (walk.cpp,
// walk_list.cpp), under one mutex.
#ifndef QV_TOOLS_QVHOST_WALK_SHARED_H
#define QV_TOOLS_QVHOST_WALK_SHARED_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

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
    bool shown = false; // printed on stdout
    std::string note;   // a line for stderr, printed in the output's order
};

// What the summary counts: PE/NE images read; other files, files not
// regular and links not followed; files and folders that cannot be read.
struct WalkCounts {
    uint64_t read = 0;
    uint64_t skipped = 0;
    uint64_t unreadable = 0;
};

struct Walk {
    const Options *options = nullptr;
    const FileCommand *command = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<WalkItem> queue;          // listed, not yet taken by a worker
    std::map<uint64_t, WalkResult> done; // finished, not yet printed
    uint64_t listed = 0;                 // numbers handed out
    uint64_t printed = 0;                // the next number to print
    size_t window = 64;                  // at most this many listed ahead of the output
    bool listing_over = false;
    WalkCounts counts;
};

// Lists every FILE's tree, queues its regular files and posts what needs
// no worker; then marks the listing over.
void ListTree(Walk &walk);

// A worker's result for `item`: counted, and kept until its turn.
void Finish(Walk &walk, const WalkItem &item, FileOutput output);

// Why the file at `path` cannot be opened and read, in the system's words;
// empty when it now can.
std::string SystemReason(const std::string &path);

} // namespace qvhost

#endif
