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

int OpenVersionApi(VersionApi *api)
{
    memset(api, 0, sizeof *api);
    api->GetSize = ReadVersionInfoSize;
    api->GetInfo = ReadVersionInfo;
    api->Query = QueryVersionValue;
    return 1;
}

void CloseVersionApi(VersionApi *api)
{
    memset(api, 0, sizeof *api);
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
