// The portable build's file access: POSIX descriptors read with pread.
#define _FILE_OFFSET_BITS 64
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

static_assert(sizeof(off_t) == 8, "files past 2 GiB need a 64-bit off_t");

namespace qv::platform {

struct PlatformFile {
    int fd;
};

// Not blocking: a FIFO opens at once (and then fails to read) instead of
// waiting for a writer.
FileHandle PlatformOpenFile(const char *path, PathForm /*form: bytes either way*/)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    FileHandle file(memory::NewHeapObject<PlatformFile>(fd));
    if (!file)
        close(fd);
    return file;
}

void PlatformCloseFile(PlatformFile *file)
{
    if (file == nullptr)
        return;
    close(file->fd);
    memory::DeleteHeapObject(file);
}

// Only regular files have a length to go by.
std::optional<uint64_t> PlatformFileLength(PlatformFile &file)
{
    struct stat info;
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

// One read: a regular file gives fewer bytes than asked only at its end, so
// there is no second read just to learn that.
std::optional<std::size_t> PlatformReadAt(PlatformFile &file, uint64_t offset,
                                          std::span<uint8_t> out)
{
    if (offset > static_cast<uint64_t>(INT64_MAX) ||
        out.size() > static_cast<std::size_t>(SSIZE_MAX))
        return std::nullopt;
    ssize_t n;
    do
        n = pread(file.fd, out.data(), out.size(), static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return std::nullopt;
    return static_cast<std::size_t>(n);
}

} // namespace qv::platform
