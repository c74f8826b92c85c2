// Prints what the three version-information operations answer for each
// file of a list: on Windows (under Wine) the system's own functions, on
// the portable build the project's reader. compare_with_wine.sh compares
// the two outputs.
//   query_versions LISTFILE [FIRST]
// LISTFILE names one file a line; FIRST skips the lines before it. Each
// file's report starts with "FILE n name" and ends with "END n", so that a
// run that dies on a file can be resumed after it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#define GetSize(path, handle) GetFileVersionInfoSizeA(path, handle)
#define GetInfo(path, handle, length, data) GetFileVersionInfoA(path, handle, length, data)
#define Query(block, size, sub, buffer, length) VerQueryValueA(block, sub, buffer, length)
typedef DWORD Handle;
#else
#include "fileinfo/version_resource.h"
#define GetSize(path, handle) qv::fileinfo::reader::VersionInfoSize(path, handle)
#define GetInfo(path, handle, length, data) qv::fileinfo::reader::VersionInfoRead(path, handle, length, data)
#define Query(block, size, sub, buffer, length) qv::fileinfo::reader::VersionValueQuery(block, size, sub, buffer, length)
typedef uint32_t Handle;
#endif

static const char *const kSubBlocks[] = {
    "\\",
    "\\StringFileInfo\\040904E4\\FileVersion",
    "\\StringFileInfo\\040904E4\\CompanyName",
    "\\StringFileInfo\\040904E4\\FileDescription",
    "\\StringFileInfo\\040904E4\\InternalName",
    "\\StringFileInfo\\040904E4\\LegalCopyright",
    "\\StringFileInfo\\040904E4\\OriginalFilename",
    "\\StringFileInfo\\040904E4\\ProductName",
    "\\StringFileInfo\\040904E4\\ProductVersion",
    "\\StringFileInfo\\040904E4\\Comments",
    "\\VarFileInfo\\Translation",
};

static const char *BaseName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p != '\0'; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

static uint32_t Checksum(const unsigned char *p, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; i++)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

static void Report(const char *path)
{
    Handle handle = 7;
    uint32_t size = GetSize(path, &handle);
    printf("size %lu handle %lu\n", (unsigned long)size, (unsigned long)handle);
    if (size == 0 || size > 0x100000)
        return;
    // As the module's caller does: size + 1 bytes into a zeroed buffer.
    auto *block = static_cast<unsigned char *>(calloc((size_t)size + 2, 1));
    if (block == NULL)
        return;
    int ok = GetInfo(path, 0, size + 1, block) != 0;
    printf("info %d checksum %08lx\n", ok, (unsigned long)Checksum(block, (size_t)size + 1));
    for (size_t i = 0; ok && i < sizeof kSubBlocks / sizeof kSubBlocks[0]; i++) {
        void *pointer = NULL;
        unsigned length = 12345;
        int found = Query(block, size + 1, kSubBlocks[i], &pointer, &length) != 0;
        printf("%s %d %u", kSubBlocks[i], found, length);
        const auto *p = static_cast<const unsigned char *>(pointer);
        if (found && p != NULL) {
            size_t shown = length > 256 ? 256 : length;
            if (p >= block && p <= block + size + 1 && shown <= (size_t)(block + size + 1 - p)) {
                printf(" at %ld :", (long)(p - block));
                for (size_t j = 0; j < shown; j++)
                    printf(" %02x", p[j]);
            } else {
                printf(" outside");
            }
        }
        printf("\n");
    }
    free(block);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: query_versions LISTFILE [FIRST]\n");
        return 2;
    }
    FILE *list = fopen(argv[1], "r");
    if (list == NULL)
        return 1;
    long first = argc > 2 ? atol(argv[2]) : 0;
    char line[4096];
    for (long n = 0; fgets(line, sizeof line, list) != NULL; n++) {
        line[strcspn(line, "\r\n")] = '\0';
        if (n < first || line[0] == '\0')
            continue;
        printf("FILE %ld %s\n", n, BaseName(line));
        fflush(stdout);
        Report(line);
        printf("END %ld\n", n);
        fflush(stdout);
    }
    fclose(list);
    return 0;
}
