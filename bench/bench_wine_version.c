/* Per-query cost of reading one version field with the system's own version
 * functions (Wine's, when run under Wine), for each file on the command line:
 *   bench_wine_version.exe [--queries N] FIELD FILE...
 * A query is what GetFileVersion does on Windows: GetFileVersionInfoSizeA,
 * GetFileVersionInfoA into a fresh buffer, VerQueryValueA of
 * \StringFileInfo\040904E4\FIELD and, for FileVersion when that string is
 * missing, the product version of the fixed record. A Unix path (starting
 * with '/') is read through drive Z:. Each query is timed on its own with
 * QueryPerformanceCounter; prints one tab-separated line per file:
 *   wine  <file as given>  <median ns per query>  <answer> */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int CompareLongLong(const void *a, const void *b)
{
    long long x = *(const long long *)a, y = *(const long long *)b;
    return (x > y) - (x < y);
}

/* The answer as a heap string, or null. */
static char *Query(const char *path, const char *field)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return NULL;
    char *block = calloc(size + 2, 1);
    char *answer = NULL;
    if (block != NULL && GetFileVersionInfoA(path, handle, size + 1, block)) {
        char sub_block[128];
        snprintf(sub_block, sizeof sub_block, "\\StringFileInfo\\040904E4\\%s", field);
        void *value = NULL;
        UINT length = 0;
        VS_FIXEDFILEINFO *fixed = NULL;
        if (VerQueryValueA(block, sub_block, &value, &length) && value != NULL && length != 0) {
            answer = _strdup(value);
        } else if (_stricmp(field, "FileVersion") == 0 &&
                   VerQueryValueA(block, "\\", (void **)&fixed, &length) && fixed != NULL &&
                   length >= sizeof *fixed) {
            answer = malloc(4 * 6);
            if (answer != NULL)
                snprintf(answer, 4 * 6, "%u.%u.%u.%u", (unsigned)HIWORD(fixed->dwProductVersionMS),
                         (unsigned)LOWORD(fixed->dwProductVersionMS),
                         (unsigned)HIWORD(fixed->dwProductVersionLS),
                         (unsigned)LOWORD(fixed->dwProductVersionLS));
        }
    }
    free(block);
    return answer;
}

int main(int argc, char **argv)
{
    int queries = 500;
    int arg = 1;
    if (arg + 1 < argc && strcmp(argv[arg], "--queries") == 0) {
        queries = atoi(argv[arg + 1]);
        arg += 2;
    }
    if (argc - arg < 2 || queries < 1) {
        fprintf(stderr, "usage: bench_wine_version [--queries N] FIELD FILE...\n");
        return 2;
    }
    const char *field = argv[arg++];
    long long *samples = malloc(sizeof samples[0] * (size_t)queries);
    LARGE_INTEGER frequency;
    if (samples == NULL || !QueryPerformanceFrequency(&frequency))
        return 1;
    int status = 0;
    for (; arg < argc; arg++) {
        char path[MAX_PATH + 8];
        snprintf(path, sizeof path, "%s%s", argv[arg][0] == '/' ? "Z:" : "", argv[arg]);
        char *answer = Query(path, field);
        if (answer == NULL) {
            fprintf(stderr, "bench_wine_version: no %s in %s\n", field, argv[arg]);
            status = 1;
            continue;
        }
        for (int i = 0; i < queries; i++) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            char *value = Query(path, field);
            QueryPerformanceCounter(&end);
            free(value);
            samples[i] = (end.QuadPart - start.QuadPart) * 1000000000 / frequency.QuadPart;
        }
        qsort(samples, (size_t)queries, sizeof samples[0], CompareLongLong);
        printf("wine\t%s\t%lld\t%s\n", argv[arg], samples[queries / 2], answer);
        fflush(stdout);
        free(answer);
    }
    free(samples);
    return status;
}
