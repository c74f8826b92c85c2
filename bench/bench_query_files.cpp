// Per-query cost of reading one version field with the portable build, and
// of the floor under it, for each file named on the command line:
//   bench_query_files [--check] [--queries N] [--floor-bytes N] FIELD FILE...
// For each file, prints one line per measurement, tab-separated:
//   ours   <file>  <median ns per query>  <answer>
//   floor  <file>  <median ns per query>  <bytes read>
// "ours" is QueryVersionField(file, FIELD) in this process; "floor" opens
// the file, preads its first --floor-bytes bytes (default: the whole file)
// and closes it. Each query and each floor read is timed on its own, the
// two taking turns; the median of --queries (default 2000) is printed.
// --check only prints each file and its answer (or nothing after the tab
// when there is none), without timing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileinfo/version_field.h"

static long long NowNs()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000 + t.tv_nsec;
}

static int CompareLongLong(const void *a, const void *b)
{
    long long x = *(const long long *)a, y = *(const long long *)b;
    return (x > y) - (x < y);
}

static long long Median(long long *samples, int count)
{
    qsort(samples, (size_t)count, sizeof samples[0], CompareLongLong);
    return samples[count / 2];
}

/* Times one query and then one floor read, `count` times in turn, so that
 * both see the same state of the machine. The medians go to `ours` and
 * `floor`; returns 0 when the file cannot be read. */
static int TimeBoth(const char *path, const char *field, char *buffer, size_t bytes,
                    long long *ours_samples, long long *floor_samples, int count, long long *ours,
                    long long *floor)
{
    for (int i = 0; i < count; i++) {
        long long start = NowNs();
        const auto value = qv::fileinfo::QueryVersionField(path, field);
        long long middle = NowNs();
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        ssize_t n = fd >= 0 ? pread(fd, buffer, bytes, 0) : -1;
        if (fd >= 0)
            close(fd);
        long long end = NowNs();
        if (n != (ssize_t)bytes)
            return 0;
        ours_samples[i] = middle - start;
        floor_samples[i] = end - middle;
    }
    *ours = Median(ours_samples, count);
    *floor = Median(floor_samples, count);
    return 1;
}

int main(int argc, char **argv)
{
    int check = 0, queries = 2000;
    long long floor_bytes = 0;
    int arg = 1;
    for (; arg < argc && strncmp(argv[arg], "--", 2) == 0; arg++) {
        if (strcmp(argv[arg], "--check") == 0)
            check = 1;
        else if (strcmp(argv[arg], "--queries") == 0 && arg + 1 < argc)
            queries = atoi(argv[++arg]);
        else if (strcmp(argv[arg], "--floor-bytes") == 0 && arg + 1 < argc)
            floor_bytes = atoll(argv[++arg]);
        else
            break;
    }
    if (argc - arg < 2 || queries < 1 || floor_bytes < 0) {
        fprintf(stderr, "usage: bench_query_files [--check] [--queries N] [--floor-bytes N] "
                        "FIELD FILE...\n");
        return 2;
    }
    const char *field = argv[arg++];
    auto *samples = static_cast<long long *>(malloc(sizeof(long long) * 2 * (size_t)queries));
    if (samples == nullptr)
        return 1;
    int status = 0;
    for (; arg < argc; arg++) {
        const char *path = argv[arg];
        const auto value = qv::fileinfo::QueryVersionField(path, field);
        const char *answer = value.get();
        if (check) {
            printf("%s\t%s\n", path, answer ? answer : "");
            continue;
        }
        struct stat st;
        if (answer == nullptr || stat(path, &st) != 0) {
            fprintf(stderr, "bench_query_files: no %s in %s\n", field, path);
            status = 1;
            continue;
        }
        size_t bytes =
            (size_t)(floor_bytes > 0 && floor_bytes < st.st_size ? floor_bytes : st.st_size);
        auto *buffer = static_cast<char *>(malloc(bytes ? bytes : 1));
        long long ours = 0, floor = 0;
        int ok = buffer != nullptr && TimeBoth(path, field, buffer, bytes, samples,
                                               samples + queries, queries, &ours, &floor);
        free(buffer);
        if (ok) {
            printf("ours\t%s\t%lld\t%s\n", path, ours, answer);
            printf("floor\t%s\t%lld\t%zu\n", path, floor, bytes);
            fflush(stdout);
        } else {
            fprintf(stderr, "bench_query_files: cannot read %s\n", path);
            status = 1;
        }
    }
    free(samples);
    return status;
}
