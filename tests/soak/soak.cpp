// Loads QVSETUP.dll and calls every export many times, then reports the
// process's private memory before and after. Growth of 64 KiB or more
// fails.
//   soak.exe CALLS FILE_CALLS FIXTURE...
// Each export but GetFileVersion is called CALLS times; GetFileVersion
// FILE_CALLS times, cycling over the fixtures and fields.
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "fixture_path.h"
#include "host_table.h"
#include "module_beside.h"
#include "qvsetup.h"
#include "watchdog.h"

namespace {

// The table a script hands each call: one variable set, room for seven more.
void ResetTable(HostTable &t, const char *parameters)
{
    t.Reset();
    t.Append("%FILEVERSION%", "4.72.3110");
    t.Parameters(parameters);
}

constexpr const char *kFields[] = {"FileVersion", "CompanyName", "ProductVersion", "Comments"};

// The exports in the order of their ordinals (module/qvsetup.def).
using Exports = std::array<QvSetupExport, 5>;

void Run(const Exports &exports, long calls, long file_calls, std::span<char *const> fixtures)
{
    HostTable t(8, 64, 1024);
    for (long i = 0; i < calls; i++) {
        ResetTable(t, (i & 1) ? "4.72.3110, 5.0.2614.3500" : "1.2.3, 1.2.3.0");
        exports[2](t.block());
        exports[1](t.block());
        exports[3](t.block());
    }
    const long count = static_cast<long>(fixtures.size());
    for (long i = 0; i < file_calls; i++) {
        const std::string parameters =
            HostPath(fixtures[i % count]) + ", " + kFields[(i / count) % std::size(kFields)];
        ResetTable(t, parameters.c_str());
        exports[(i & 1) ? 4 : 0](t.block());
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
    LoadedModule *module = LoadModuleBesideProgram();
    Exports exports;
    for (unsigned i = 0; i < exports.size(); i++) {
        exports[i] = module ? FindModuleExport(module, "", i + 1) : nullptr;
        if (exports[i] == nullptr) {
            std::fprintf(stderr, "soak: cannot find export %u\n", i + 1);
            return 2;
        }
    }
    // A short warm-up first: the heap and the loader settle.
    Run(exports, 1000, 100, fixtures);
    const SIZE_T before = CommittedBytes();
    Run(exports, calls, file_calls, fixtures);
    const SIZE_T after = CommittedBytes();
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
