/* Fuzzes the version-resource reader through QueryVersionField: the input
 * bytes become a file, and a few fields are asked of it. (On Windows the
 * same code asks the system's version functions.) */
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "fileinfo/version_field.h"

static const char *const kFields[] = {"FileVersion", "CompanyName", "ProductName"};

static void QueryFields(const char *path)
{
    for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; i++)
        free(QueryVersionField(path, kFields[i]));
}

#ifdef _WIN32
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *name = "qv_fuzz_input.dll";
    FILE *f = fopen(name, "wb");
    if (f == NULL)
        return 0;
    int written = fwrite(data, 1, size, f) == size;
    if (fclose(f) == 0 && written)
        QueryFields(name);
    remove(name);
    return 0;
}
#else
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* A path with a folder in it goes through the data-file lookup first;
     * a bare name without an extension (made in the working directory) only
     * through the file parser. */
    int fd = memfd_create("version", MFD_CLOEXEC);
    if (fd >= 0) {
        if (size == 0 || write(fd, data, size) == (ssize_t)size) {
            char path[64];
            snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
            QueryFields(path);
        }
        close(fd);
    }
    char name[] = "qv_fuzz_XXXXXX";
    fd = mkstemp(name);
    if (fd >= 0) {
        if (size == 0 || write(fd, data, size) == (ssize_t)size)
            QueryFields(name);
        close(fd);
        unlink(name);
    }
    return 0;
}
#endif
