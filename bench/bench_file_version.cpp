// GetFileVersion on the portable build, per query, side by side in one run:
//   small     a small DLL with a version resource (the all_fields fixture)
//   large     the same DLL with 512 MiB appended
//   floor     open the small DLL, pread all of its bytes, close
// Prints large/small and small/floor, and the peak memory of qvhost
// answering a query on the large file.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileinfo/version_field.h"
#include "ratio_reporter.h"

extern char **environ;

namespace {

struct Files {
    std::string folder;
    std::string small;
    std::string large;
    off_t small_size = 0;
};

Files g_files; // set up once in main, read by the benchmarks

bool CopyFile(const std::string &from, const std::string &to)
{
    FILE *in = std::fopen(from.c_str(), "rb");
    FILE *out = std::fopen(to.c_str(), "wb");
    bool ok = in && out;
    char buffer[65536];
    size_t n;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, out) == n;
    if (in)
        std::fclose(in);
    if (out)
        ok = std::fclose(out) == 0 && ok;
    return ok;
}

bool MakeFiles(const std::string &fixture)
{
    char folder[] = "/tmp/qv-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return false;
    g_files.folder = folder;
    g_files.small = g_files.folder + "/small.dll";
    g_files.large = g_files.folder + "/large.dll";
    struct stat st;
    if (!CopyFile(fixture, g_files.small) || !CopyFile(fixture, g_files.large) ||
        stat(g_files.small.c_str(), &st) != 0)
        return false;
    g_files.small_size = st.st_size;
    // 512 MiB of zeros after the image, as an installer's appended payload.
    int fd = open(g_files.large.c_str(), O_WRONLY);
    std::vector<char> zeros(1 << 20);
    bool ok = fd >= 0 && lseek(fd, 0, SEEK_END) >= 0;
    for (int i = 0; ok && i < 512; i++)
        ok = write(fd, zeros.data(), zeros.size()) == ssize_t(zeros.size());
    if (fd >= 0)
        close(fd);
    return ok;
}

void RemoveFiles()
{
    unlink(g_files.small.c_str());
    unlink(g_files.large.c_str());
    rmdir(g_files.folder.c_str());
}

void Query(benchmark::State &state, const std::string *path)
{
    for (auto _ : state) {
        const auto value = qv::fileinfo::QueryVersionField(path->c_str(), "CompanyName");
        if (!value) {
            state.SkipWithError("no answer");
            break;
        }
        benchmark::DoNotOptimize(value.get());
    }
}

void Floor(benchmark::State &state)
{
    std::vector<char> buffer(size_t(g_files.small_size));
    for (auto _ : state) {
        int fd = open(g_files.small.c_str(), O_RDONLY | O_CLOEXEC);
        benchmark::DoNotOptimize(pread(fd, buffer.data(), buffer.size(), 0));
        close(fd);
    }
}

// Peak resident memory (KiB) of `qvhost GetFileVersion '<file>, CompanyName'`.
long PeakMemoryOfQvhost(const std::string &qvhost, const std::string &file)
{
    std::string parameters = file + ", CompanyName";
    const char *argv[] = {qvhost.c_str(), "GetFileVersion", parameters.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = 0;
    struct rusage usage = {};
    bool ok =
        posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), environ) == 0 &&
        wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return ok ? usage.ru_maxrss : -1;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (!MakeFiles(QV_BENCH_FIXTURE)) {
        std::fprintf(stderr, "cannot make the benchmark files\n");
        RemoveFiles();
        return 1;
    }
    benchmark::RegisterBenchmark("GetFileVersion/small", Query, &g_files.small);
    benchmark::RegisterBenchmark("GetFileVersion/large_512MiB", Query, &g_files.large);
    benchmark::RegisterBenchmark("Floor/open_pread_close", Floor);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double small = reporter.Time("GetFileVersion/small");
    double large = reporter.Time("GetFileVersion/large_512MiB");
    double floor = reporter.Time("Floor/open_pread_close");
    long small_kib = PeakMemoryOfQvhost(QV_BENCH_QVHOST, g_files.small);
    long large_kib = PeakMemoryOfQvhost(QV_BENCH_QVHOST, g_files.large);
    RemoveFiles();
    if (small > 0 && floor > 0) {
        std::printf("\nratios (same run):\n");
        std::printf("  large/small  %6.2fx  (goal <= 1.2x)\n", large / small);
        std::printf("  small/floor  %6.2fx  (goal <= 2x; floor reads the %lld-byte file once)\n",
                    small / floor, (long long)g_files.small_size);
    }
    std::printf("peak memory of qvhost GetFileVersion: small %ld KiB, 512 MiB file %ld KiB "
                "(goal < 8192 KiB)\n",
                small_kib, large_kib);
    benchmark::Shutdown();
    return 0;
}
