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

struct Lister {
    Walk &walk;
    std::vector<Folder> path; // the folders being listed, outermost first
    dev_t root_device = 0;    // the FILE's, for -x
};

// The next number, once the output is less than a window behind.
uint64_t TakeNumber(Walk &walk, std::unique_lock<std::mutex> &lock)
{
    walk.changed.wait(lock, [&] { return walk.listed - walk.printed < walk.window; });
    return walk.listed++;
}

void Queue(Lister &l, std::string path, bool given)
{
    std::unique_lock lock(l.walk.mutex);
    const uint64_t number = TakeNumber(l.walk, lock);
    l.walk.queue.push_back({number, std::move(path), given});
    lock.unlock();
    l.walk.changed.notify_all();
}

// A result the lister has itself: a file or folder it cannot read, shown
// with the system's reason, or a note on stderr alone.
void Post(Lister &l, const std::string &path, int error, std::string note = {})
{
    WalkResult result;
    if (error != 0) {
        result.output = (*l.walk.command)(path, std::strerror(error));
        result.shown = true;
    }
    result.note = std::move(note);
    std::unique_lock lock(l.walk.mutex);
    const uint64_t number = TakeNumber(l.walk, lock);
    (error != 0 ? l.walk.counts.unreadable : l.walk.counts.skipped)++;
    l.walk.done.emplace(number, std::move(result));
    lock.unlock();
    l.walk.changed.notify_all();
}

void Skip(Lister &l)
{
    std::lock_guard lock(l.walk.mutex);
    l.walk.counts.skipped++;
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
    Lister l{walk, {}};
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
    {
        std::lock_guard lock(walk.mutex);
        walk.listing_over = true;
    }
    walk.changed.notify_all();
}

void Finish(Walk &walk, const WalkItem &item, FileOutput output)
{
    WalkResult result;
    result.shown =
        item.given || walk.options->all || output.image || output.status == FileStatus::missing;
    result.output = std::move(output);
    {
        std::lock_guard lock(walk.mutex);
        const FileOutput &o = result.output;
        (o.status == FileStatus::missing ? walk.counts.unreadable
         : o.image                       ? walk.counts.read
                                         : walk.counts.skipped)++;
        walk.done.emplace(item.number, std::move(result));
    }
    walk.changed.notify_all();
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
