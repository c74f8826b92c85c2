// Per-query cost of reading one version field with the system's own version
// functions (Wine's, when run under Wine), for each file on the command line:
//   bench_wine_version.exe [--queries N] FIELD FILE...
// A query is what GetFileVersion does on Windows: GetFileVersionInfoSizeA,
// GetFileVersionInfoA into a fresh buffer, VerQueryValueA of
// \StringFileInfo\040904E4\FIELD and, for FileVersion when that string is
// missing, the product version of the fixed record. A Unix path (starting
// with '/') is read through drive Z:. Each query is timed on its own with
// QueryPerformanceCounter; prints one tab-separated line per file:
//   wine  <file as given>  <median ns per query>  <answer>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The answer, or nothing when the file has none.
std::optional<std::string> Query(const std::string &path, const std::string &field)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size + 2, '\0');
    if (!GetFileVersionInfoA(path.c_str(), handle, size + 1, block.data()))
        return std::nullopt;
    const std::string sub_block = "\\StringFileInfo\\040904E4\\" + field;
    void *value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), sub_block.c_str(), &value, &length) && value != nullptr &&
        length != 0)
        return std::string(static_cast<const char *>(value));
    if (_stricmp(field.c_str(), "FileVersion") != 0 ||
        !VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
    return std::to_string(HIWORD(fixed->dwProductVersionMS)) + '.' +
           std::to_string(LOWORD(fixed->dwProductVersionMS)) + '.' +
           std::to_string(HIWORD(fixed->dwProductVersionLS)) + '.' +
           std::to_string(LOWORD(fixed->dwProductVersionLS));
}

} // namespace

int main(int argc, char **argv)
{
    int queries = 500;
    int arg = 1;
    if (arg + 1 < argc && std::strcmp(argv[arg], "--queries") == 0) {
        queries = std::atoi(argv[arg + 1]);
        arg += 2;
    }
    if (argc - arg < 2 || queries < 1) {
        std::fprintf(stderr, "usage: bench_wine_version [--queries N] FIELD FILE...\n");
        return 2;
    }
    const std::string field = argv[arg++];
    std::vector<long long> samples(static_cast<size_t>(queries));
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency))
        return 1;
    int status = 0;
    for (; arg < argc; arg++) {
        const std::string path = (argv[arg][0] == '/' ? "Z:" : "") + std::string(argv[arg]);
        const std::optional<std::string> answer = Query(path, field);
        if (!answer) {
            std::fprintf(stderr, "bench_wine_version: no %s in %s\n", field.c_str(), argv[arg]);
            status = 1;
            continue;
        }
        for (long long &sample : samples) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            const std::optional<std::string> value = Query(path, field);
            QueryPerformanceCounter(&end);
            sample = (end.QuadPart - start.QuadPart) * 1000000000 / frequency.QuadPart;
        }
        std::sort(samples.begin(), samples.end());
        std::printf("wine\t%s\t%lld\t%s\n", argv[arg], samples[samples.size() / 2],
                    answer->c_str());
        std::fflush(stdout);
    }
    return status;
}
