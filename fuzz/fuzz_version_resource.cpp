// Fuzzes the version-resource reader through QueryVersionField and
// QueryVersionFieldEx: the input bytes become a file, and a few fields are
// asked of it. (On Windows the same code asks the system's version functions.)
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "fileinfo/version_field.h"

namespace {

constexpr std::array<std::string_view, 3> kFields = {"FileVersion", "CompanyName", "ProductName"};

void QueryFields(const char *path)
{
    for (const std::string_view field : kFields) {
        qv::fileinfo::QueryVersionField(path, field);
        qv::fileinfo::QueryVersionFieldEx(path, field);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
#ifdef _WIN32
    const char *name = "qv_fuzz_input.dll";
    FILE *f = std::fopen(name, "wb");
    if (f == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) == 0 && written)
        QueryFields(name);
    std::remove(name);
#else
    // A path with a folder in it goes through the data-file lookup first; a
    // bare name without an extension (made in the working directory) only
    // through the file parser.
    char name[] = "qv_fuzz_XXXXXX", path[64];
    const int fds[] = {memfd_create("version", MFD_CLOEXEC), mkstemp(name)};
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fds[0]);
    for (const int fd : fds) {
        if (fd >= 0 && (size == 0 || write(fd, data, size) == static_cast<ssize_t>(size)))
            QueryFields(fd == fds[0] ? path : name);
        if (fd >= 0)
            close(fd);
    }
    if (fds[1] >= 0)
        unlink(name);
#endif
    return 0;
}
