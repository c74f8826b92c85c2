// The least any reader of a whole tree does: walks FOLDER, opens each
// regular file, reads its first 4 KiB and closes it, on N worker threads
// (default: the processors this process may run on).
//   walk_floor [-j N] FOLDER
// Symbolic links are not followed. The main thread walks and hands the
// paths to the workers as it finds them, so walking and reading overlap as
// in a streaming reader. Prints, when done:
//   files=<regular files> read=<opened and read> bytes=<bytes read> failed=<not opened or read>
// Exit status: 0, or 2 on bad usage or when FOLDER cannot be opened.
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kReadBytes = 4096;

// Paths waiting to be read, filled by the walker.
struct Queue {
    std::mutex lock;
    std::condition_variable ready;
    std::deque<std::string> paths;
    bool walked = false;
};

struct Totals {
    std::atomic<unsigned long long> read{0};
    std::atomic<unsigned long long> bytes{0};
    std::atomic<unsigned long long> failed{0};
};

void Push(Queue &queue, std::string path)
{
    {
        std::lock_guard guard(queue.lock);
        queue.paths.push_back(std::move(path));
    }
    queue.ready.notify_one();
}

// Regular files under `folder`, depth first; returns how many.
unsigned long long Walk(const std::string &folder, Queue &queue)
{
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    unsigned long long files = 0;
    while (const dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        std::string path = folder + "/" + entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info;
            if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            files += Walk(path, queue);
        } else if (type == DT_REG) {
            files++;
            Push(queue, std::move(path));
        }
    }
    closedir(dir);
    return files;
}

void Work(Queue &queue, Totals &totals)
{
    std::vector<char> buffer(kReadBytes);
    for (;;) {
        std::string path;
        {
            std::unique_lock guard(queue.lock);
            queue.ready.wait(guard, [&] { return !queue.paths.empty() || queue.walked; });
            if (queue.paths.empty())
                return;
            path = std::move(queue.paths.front());
            queue.paths.pop_front();
        }
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        ssize_t got = fd < 0 ? -1 : read(fd, buffer.data(), buffer.size());
        if (fd >= 0)
            close(fd);
        if (got < 0) {
            totals.failed++;
            continue;
        }
        totals.read++;
        totals.bytes += static_cast<unsigned long long>(got);
    }
}

unsigned DefaultWorkers()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    unsigned workers = DefaultWorkers();
    int next = 1;
    if (argc > 2 && strcmp(argv[1], "-j") == 0) {
        std::string_view text = argv[2];
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), workers);
        if (error != std::errc() || end != text.data() + text.size() || workers == 0 ||
            workers > 1024) {
            fprintf(stderr, "walk_floor: -j wants a number from 1 to 1024\n");
            return 2;
        }
        next = 3;
    }
    if (argc != next + 1) {
        fprintf(stderr, "usage: walk_floor [-j N] FOLDER\n");
        return 2;
    }
    std::string folder = argv[next];
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        fprintf(stderr, "walk_floor: %s: not a folder\n", folder.c_str());
        return 2;
    }
    Queue queue;
    Totals totals;
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; i++)
        threads.emplace_back(Work, std::ref(queue), std::ref(totals));
    unsigned long long files = Walk(folder, queue);
    {
        std::lock_guard guard(queue.lock);
        queue.walked = true;
    }
    queue.ready.notify_all();
    for (std::thread &thread : threads)
        thread.join();
    printf("files=%llu read=%llu bytes=%llu failed=%llu\n", files, totals.read.load(),
           totals.bytes.load(), totals.failed.load());
    return 0;
}
