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
 * the read that follows for the same path does not find it again. */
struct VersionApi {
    VersionFile *file;
    char *path;
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
    if (api->file != NULL && strcmp(api->path, path) == 0)
        return ReadVersionFile(api->file, length, data);
    return ReadVersionInfo(path, handle, length, data);
}

int VersionQuery(VersionApi *api, const void *block, const char *sub_block, void **buffer,
                 unsigned *length)
{
    (void)api;
    return QueryVersionValue(block, sub_block, buffer, length);
}

struct PlatformFile {
    int fd;
    uint64_t size; /* taken when the file is opened */
};

PlatformFile *OpenFileReadOnly(const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return NULL;
    }
    PlatformFile *file = malloc(sizeof *file);
    if (file == NULL) {
        close(fd);
        return NULL;
    }
    file->fd = fd;
    file->size = (uint64_t)info.st_size;
    return file;
}

int GetFileLength(PlatformFile *file, uint64_t *size)
{
    *size = file->size;
    return 1;
}

long ReadFileAt(PlatformFile *file, uint64_t offset, void *buffer, size_t length)
{
    if (offset > (uint64_t)INT64_MAX || length > (size_t)LONG_MAX)
        return -1;
    /* Nothing past the end: no read just to learn that it is there. */
    if (offset >= file->size)
        return 0;
    if (length > file->size - offset)
        length = (size_t)(file->size - offset);
    size_t done = 0;
    while (done < length) {
        ssize_t n = pread(file->fd, (char *)buffer + done, length - done,
                          (off_t)(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += (size_t)n;
    }
    return (long)done;
}

void CloseFile(PlatformFile *file)
{
    if (file == NULL)
        return;
    close(file->fd);
    free(file);
}
