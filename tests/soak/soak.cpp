// Loads QVSETUP.dll and calls every export many times, then reports the
// process's private memory before and after. Growth of 64 KiB or more
// fails.
//   soak.exe CALLS FILE_CALLS FIXTURE...
// Each export but GetFileVersion is called CALLS times; GetFileVersion
// FILE_CALLS times, cycling over the fixtures and fields.
#include <windows.h>
#include <psapi.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "loader/module_loader.h"
#include "qvsetup.h"

namespace {

// The process's private committed memory (its commit charge). Wine 8
// leaves PrivateUsage at 0 but keeps PagefileUsage, which Windows defines
// as the same commit charge.
SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PagefileUsage;
}

struct Table {
    char names[8][64];
    char values[8][1024];
    HostParamBlock block;
};

void ResetTable(Table &t, const char *parameters)
{
    t.block = {};
    t.block.VariableCapacity = 8;
    t.block.NameWidth = sizeof t.names[0];
    t.block.ValueWidth = sizeof t.values[0];
    t.block.NameSlots = t.names[0];
    t.block.ValueSlots = t.values[0];
    t.block.ParameterText = parameters;
    std::strcpy(t.names[0], "%FILEVERSION%");
    std::strcpy(t.values[0], "4.72.3110");
    t.block.VariableCount = 1;
}

constexpr std::array<const char *, 4> kFields = {"FileVersion", "CompanyName", "ProductVersion",
                                                 "Comments"};

// The exports by ordinal: GetFileVersion, NormalizeMSIEVersion,
// CompareVersions, IsQarvellClientRunning, GetFileVersionEx.
using Exports = std::array<QvSetupExport, 5>;

void Run(const Exports &exports, long calls, long file_calls, std::span<char *const> fixtures)
{
    Table t;
    for (long i = 0; i < calls; i++) {
        ResetTable(t, (i & 1) ? "4.72.3110, 5.0.2614.3500" : "1.2.3, 1.2.3.0");
        exports[2](&t.block);
        exports[1](&t.block);
        exports[3](&t.block);
    }
    const long count = static_cast<long>(fixtures.size());
    std::array<char, 4096> parameters;
    for (long i = 0; i < file_calls; i++) {
        std::snprintf(parameters.data(), parameters.size(), "%s, %s", fixtures[i % count],
                      kFields[(i / count) % kFields.size()]);
        ResetTable(t, parameters.data());
        exports[(i & 1) ? 4 : 0](&t.block);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: soak CALLS FILE_CALLS FIXTURE...\n");
        return 2;
    }
    const long calls = std::atol(argv[1]);
    const long file_calls = std::atol(argv[2]);
    const std::span<char *const> fixtures(argv + 3, static_cast<size_t>(argc - 3));
    char module_path[MAX_PATH];
    LoadedModule *module = nullptr;
    if (DefaultModulePath(module_path, sizeof module_path))
        module = OpenModule(module_path);
    constexpr std::array<const char *, 5> kNames = {"GetFileVersion", "NormalizeMSIEVersion",
                                                    "CompareVersions", "IsQarvellClientRunning",
                                                    "GetFileVersionEx"};
    Exports exports;
    for (size_t i = 0; i < exports.size(); i++) {
        exports[i] = module ? FindModuleExport(module, kNames[i], 0) : nullptr;
        if (exports[i] == nullptr) {
            std::fprintf(stderr, "soak: cannot find %s\n", kNames[i]);
            return 2;
        }
    }
    // A short warm-up first: the heap and the loader settle.
    Run(exports, 1000, 100, fixtures);
    const SIZE_T before = PrivateBytes();
    Run(exports, calls, file_calls, fixtures);
    const SIZE_T after = PrivateBytes();
    const long growth = static_cast<long>(after) - static_cast<long>(before);
    std::printf("soak: %ld calls of each export, %ld of GetFileVersion; private bytes %lu -> %lu "
                "(growth %ld bytes)\n",
                calls, file_calls, static_cast<unsigned long>(before),
                static_cast<unsigned long>(after), growth);
    CloseModule(module);
    if (before == 0 || after == 0) {
        std::fprintf(stderr, "soak: the process's memory cannot be measured\n");
        return 1;
    }
    return growth < 64 * 1024 ? 0 : 1;
}
