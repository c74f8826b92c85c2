/* The portable build: the project's own version-resource reader, and file
 * access for it. */
#define _FILE_OFFSET_BITS 64
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../fileinfo/version_resource.h"
#include "platform.h"

/* One query's session: the file whose size was asked for stays open, so
 * the read that follows for the same path does not find it again; the
 * block last read and its length bound the queries on it. */
struct VersionApi {
    VersionFile *file;
    char *path;
    const void *block;
    uint32_t block_length;
};

VersionApi *OpenVersionApi(void)
{
    return calloc(1, sizeof(VersionApi));
}

static void ForgetFile(VersionApi *api)
{
    CloseVersionFile(api->file);
    free(api->path);
    api->file = NULL;
    api->path = NULL;
}

void CloseVersionApi(VersionApi *api)
{
    if (api == NULL)
        return;
    ForgetFile(api);
    free(api);
}

uint32_t VersionInfoSize(VersionApi *api, const char *path, uint32_t *handle)
{
    *handle = 0;
    ForgetFile(api);
    api->file = OpenVersionFile(path);
    if (api->file == NULL)
        return 0;
    api->path = strdup(path);
    if (api->path == NULL) {
        ForgetFile(api);
        return ReadVersionInfoSize(path, handle);
    }
    return VersionFileInfoSize(api->file);
}

int VersionInfo(VersionApi *api, const char *path, uint32_t handle, uint32_t length, void *data)
{
    api->block = data;
    api->block_length = length;
    if (api->file != NULL && strcmp(api->path, path) == 0)
        return ReadVersionFile(api->file, length, data);
    return ReadVersionInfo(path, handle, length, data);
}

/* Only the block last read can be queried: its length is known. */
int VersionQuery(VersionApi *api, const void *block, const char *sub_block, void **buffer,
                 unsigned *length)
{
    if (block == NULL || block != api->block)
        return 0;
    return QueryVersionValue(block, api->block_length, sub_block, buffer, length);
}

struct PlatformFile {
    int fd;
};

/* Not blocking: a FIFO opens at once (and then fails to read) instead of
 * waiting for a writer. */
PlatformFile *OpenFileReadOnly(const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return NULL;
    PlatformFile *file = malloc(sizeof *file);
    if (file == NULL) {
        close(fd);
        return NULL;
    }
    file->fd = fd;
    return file;
}

/* Only regular files have a length to go by. */
int GetFileLength(PlatformFile *file, uint64_t *size)
{
    struct stat info;
    if (fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return 0;
    *size = (uint64_t)info.st_size;
    return 1;
}

/* One read: a regular file gives fewer bytes than asked only at its end,
 * so there is no second read just to learn that. */
long ReadFileAt(PlatformFile *file, uint64_t offset, void *buffer, size_t length)
{
    if (offset > (uint64_t)INT64_MAX || length > (size_t)LONG_MAX)
        return -1;
    ssize_t n;
    do
        n = pread(file->fd, buffer, length, (off_t)offset);
    while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : (long)n;
}

void CloseFile(PlatformFile *file)
{
    if (file == NULL)
        return;
    close(file->fd);
    free(file);
}
