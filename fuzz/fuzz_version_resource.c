/* Fuzzes the version-resource reader through QueryVersionField: the input
 * bytes become a file, and a few fields are asked of it.
 *
 * With -DQV_FUZZ_REPLAY it is a plain program instead, running each file
 * named on the command line (or each file of each directory named). */
#define _GNU_SOURCE
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "fileinfo/version_field.h"

static const char *const kFields[] = {"FileVersion", "CompanyName", "ProductName"};

static void QueryFields(const char *path)
{
    for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; i++)
        free(QueryVersionField(path, kFields[i]));
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* A memfd path has no extension, so only the file parser sees it; a
     * temporary ".dll" file goes through the data-file lookup first. */
    int fd = memfd_create("version", MFD_CLOEXEC);
    if (fd >= 0) {
        if (size == 0 || write(fd, data, size) == (ssize_t)size) {
            char path[64];
            snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
            QueryFields(path);
        }
        close(fd);
    }
    char name[] = "/tmp/qv_fuzz_XXXXXX.dll";
    fd = mkstemps(name, 4);
    if (fd >= 0) {
        if (size == 0 || write(fd, data, size) == (ssize_t)size)
            QueryFields(name);
        close(fd);
        unlink(name);
    }
    return 0;
}

#ifdef QV_FUZZ_REPLAY
static int RunFile(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL)
        return 1;
    uint8_t *data = NULL;
    size_t size = 0, capacity = 0;
    for (;;) {
        if (size == capacity) {
            capacity = capacity ? capacity * 2 : 4096;
            uint8_t *grown = realloc(data, capacity);
            if (grown == NULL)
                break;
            data = grown;
        }
        size_t n = fread(data + size, 1, capacity - size, f);
        if (n == 0)
            break;
        size += n;
    }
    fclose(f);
    LLVMFuzzerTestOneInput(data, size);
    free(data);
    return 0;
}

int main(int argc, char **argv)
{
    int failed = 0, count = 0;
    for (int i = 1; i < argc; i++) {
        DIR *dir = opendir(argv[i]);
        if (dir == NULL) {
            failed |= RunFile(argv[i]);
            count++;
            continue;
        }
        struct dirent *entry;
        while ((entry = readdir(dir)) != NULL) {
            if (entry->d_name[0] == '.')
                continue;
            char path[4096];
            snprintf(path, sizeof path, "%s/%s", argv[i], entry->d_name);
            failed |= RunFile(path);
            count++;
        }
        closedir(dir);
    }
    printf("replayed %d inputs\n", count);
    return failed;
}
#endif
