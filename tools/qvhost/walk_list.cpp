// The walk's lister: each FILE's tree depth first, each folder's entries
// sorted by name in byte order. Symbolic links are followed only with -L,
// and then a folder already on the current path (the same device and inode)
// is not entered again; with -x, folders on another file system are not
// entered. Only regular files go to the workers; the lister's own findings
// (a folder or entry it cannot read, a loop) take their place in the output.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "walk_shared.h"

namespace qvhost {
namespace {

struct Folder {
    dev_t device;
    ino_t inode;
};

// A file listed, or the lister's own result, waiting to be handed over
// with the rest of its run.
struct Listed {
    std::string path;
    bool given = false;
    bool posted = false; // `result` is final: no worker reads it
    bool unreadable = false;
    WalkResult result;
};

struct Lister {
    Walk &walk;
    std::vector<Folder> path; // the folders being listed, outermost first
    dev_t root_device = 0;    // the FILE's, for -x
    std::vector<Listed> run;  // not yet handed over
    uint64_t skipped = 0;     // entries skipped since the last hand-over
};

// Numbers the run and hands it over with one lock, once the output is far
// enough behind for all of it to fit in the window.
void HandOver(Lister &l)
{
    Walk &walk = l.walk;
    bool posted = false;
    bool queued = false;
    {
        std::unique_lock lock(walk.mutex);
        walk.room.wait(lock,
                       [&] { return walk.window - (walk.listed - walk.printed) >= l.run.size(); });
        walk.counts.skipped += l.skipped;
        for (Listed &listed : l.run) {
            const uint64_t number = walk.listed++;
            if (!listed.posted) {
                walk.queue.push_back({number, std::move(listed.path), listed.given});
                queued = true;
                continue;
            }
            (listed.unreadable ? walk.counts.unreadable : walk.counts.skipped)++;
            WalkResult &slot = walk.done[number % walk.window];
            slot = std::move(listed.result);
            slot.filled = true;
            posted = true;
        }
        walk.queued.store(walk.queue.size(), std::memory_order_relaxed);
    }
    l.run.clear();
    l.skipped = 0;
    if (queued)
        walk.work.notify_all();
    if (posted)
        walk.ready.notify_one();
}

void Queue(Lister &l, std::string path, bool given)
{
    Listed listed;
    listed.path = std::move(path);
    listed.given = given;
    l.run.push_back(std::move(listed));
    if (l.run.size() >= kWalkRun)
        HandOver(l);
}

// A result the lister has itself: a file or folder it cannot read, shown
// with the system's reason, or a note on stderr alone.
void Post(Lister &l, const std::string &path, int error, std::string note = {})
{
    Listed listed;
    listed.posted = true;
    listed.unreadable = error != 0;
    if (error != 0) {
        listed.result.output = (*l.walk.command)(path, std::strerror(error));
        listed.result.shown = true;
    }
    listed.result.note = std::move(note);
    l.run.push_back(std::move(listed));
    if (l.run.size() >= kWalkRun)
        HandOver(l);
}

void Skip(Lister &l)
{
    l.skipped++;
}

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

void Visit(Lister &l, const std::string &path, unsigned char type);

// The folder's entries, sorted; false (and errno) when it cannot be read.
bool ReadFolder(DIR *dir, std::vector<std::pair<std::string, unsigned char>> &entries)
{
    errno = 0;
    while (const dirent *entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.emplace_back(name, entry->d_type);
        errno = 0;
    }
    std::ranges::sort(entries);
    return errno == 0;
}

void WalkFolder(Lister &l, const std::string &path)
{
    // Reading a folder may take a while: the workers, when idle, get what
    // is listed so far rather than wait for a whole run.
    if (!l.run.empty() && l.walk.queued.load(std::memory_order_relaxed) == 0)
        HandOver(l);
    DIR *dir = opendir(path.c_str());
    struct stat folder {};
    if (dir == nullptr || fstat(dirfd(dir), &folder) != 0) {
        const int error = errno;
        if (dir != nullptr)
            closedir(dir);
        return Post(l, path, error);
    }
    const bool loop = std::ranges::any_of(l.path, [&](const Folder &f) {
        return f.device == folder.st_dev && f.inode == folder.st_ino;
    });
    const bool elsewhere = l.walk.options->one_file_system && folder.st_dev != l.root_device;
    if (loop || elsewhere) {
        closedir(dir);
        if (loop)
            Post(l, path, 0, "qvhost: " + path + ": a folder loop, not entered again\n");
        return;
    }
    std::vector<std::pair<std::string, unsigned char>> entries;
    const bool read = ReadFolder(dir, entries);
    const int error = errno;
    closedir(dir);
    l.path.push_back({folder.st_dev, folder.st_ino});
    for (const auto &[name, type] : entries)
        Visit(l, Join(path, name), type);
    l.path.pop_back();
    if (!read)
        Post(l, path, error);
}

// An entry: a folder is entered, a regular file queued, anything else (a
// link not followed, a device, a pipe, a socket) counted as skipped.
void Visit(Lister &l, const std::string &path, unsigned char type)
{
    if (type == DT_UNKNOWN || (type == DT_LNK && l.walk.options->follow_links)) {
        struct stat entry {};
        const int status =
            l.walk.options->follow_links ? stat(path.c_str(), &entry) : lstat(path.c_str(), &entry);
        if (status != 0)
            return Post(l, path, errno);
        type = S_ISDIR(entry.st_mode) ? DT_DIR : S_ISREG(entry.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR)
        return WalkFolder(l, path);
    if (type == DT_REG)
        return Queue(l, path, false);
    Skip(l);
}

} // namespace

void ListTree(Walk &walk)
{
    Lister l{walk, {}, 0, {}, 0};
    for (std::string_view file : walk.options->files) {
        const std::string path(file);
        struct stat given {};
        // A FILE is taken as it names, links followed; what is not a folder
        // is read as given.
        if (stat(path.c_str(), &given) == 0 && S_ISDIR(given.st_mode)) {
            l.root_device = given.st_dev;
            WalkFolder(l, path);
        } else {
            Queue(l, path, true);
        }
    }
    HandOver(l);
    {
        std::lock_guard lock(walk.mutex);
        walk.listing_over = true;
    }
    walk.work.notify_all();
    walk.ready.notify_one();
}

void Finish(Walk &walk, std::vector<WalkItem> &items, std::vector<FileOutput> &outputs)
{
    {
        std::lock_guard lock(walk.mutex);
        for (size_t i = 0; i < items.size(); i++) {
            FileOutput &o = outputs[i];
            (o.status == FileStatus::missing ? walk.counts.unreadable
             : o.image                       ? walk.counts.read
                                             : walk.counts.skipped)++;
            WalkResult &slot = walk.done[items[i].number % walk.window];
            slot.shown =
                items[i].given || walk.options->all || o.image || o.status == FileStatus::missing;
            slot.output = std::move(o);
            slot.note.clear();
            slot.filled = true;
        }
    }
    walk.ready.notify_one();
}

std::string SystemReason(const std::string &path)
{
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return std::strerror(errno);
    char byte = 0;
    const bool read = pread(file, &byte, 1, 0) >= 0;
    const int error = errno;
    close(file);
    return read ? std::string() : std::strerror(error);
}

} // namespace qvhost
