// Comparing version strings: glibc strverscmp as the yardstick,
// CompareVersionStrings, and the whole CompareVersions export (split,
// compare, write into a 16-entry table). Prints each one's ratio to
// strverscmp after the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "host_table.h"
#include "ratio_reporter.h"
#include "version/version_numbers.h"

namespace {

// Views, as the export hands its items over; their texts are terminated
// for strverscmp.
struct Pair {
    std::string_view first;
    std::string_view second;
};

// Equal texts at two addresses: strverscmp answers a string compared with
// itself at once, which no call of the export ever asks.
const char kEqualFirst[] = "10.0.19041.1";
const char kEqualSecond[] = "10.0.19041.1";

const Pair kPairs[] = {
    {"4.72.3110", "5.0.2614.3500"},
    {"1.2.3", "1.2.4"},
    {"10.0.19041.1", "10.0.19041.2"},
    {kEqualFirst, kEqualSecond},
};

const char *const kParameters[] = {
    "4.72.3110, 5.0.2614.3500",
    "1.2.3, 1.2.4",
    "10.0.19041.1, 10.0.19041.2",
    "10.0.19041.1, 10.0.19041.1",
};

void Strverscmp(benchmark::State &state)
{
    for (auto _ : state)
        for (const Pair &p : kPairs)
            benchmark::DoNotOptimize(strverscmp(p.first.data(), p.second.data()));
}

void CompareStrings(benchmark::State &state)
{
    for (auto _ : state)
        for (const Pair &p : kPairs)
            benchmark::DoNotOptimize(qv::version::CompareVersionStrings(p.first, p.second));
}

void CompareExport(benchmark::State &state)
{
    HostTable table(16);
    for (int i = 0; i < 15; i++)
        table.Append("%Var" + std::to_string(i) + "%", "value");
    for (auto _ : state) {
        for (const char *parameters : kParameters) {
            table.Parameters(parameters);
            benchmark::DoNotOptimize(CompareVersions(table.block()));
        }
    }
}

BENCHMARK(Strverscmp);
BENCHMARK(CompareStrings);
BENCHMARK(CompareExport);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double base = reporter.Time("Strverscmp");
    if (base > 0) {
        std::printf("\nratio to strverscmp (same run, %zu pairs per iteration):\n",
                    sizeof kPairs / sizeof kPairs[0]);
        std::printf("  CompareStrings   %6.2fx  (goal <= 1.2x)\n",
                    reporter.Time("CompareStrings") / base);
        std::printf("  CompareExport    %6.2fx  (goal <= 5x)\n",
                    reporter.Time("CompareExport") / base);
    }
    benchmark::Shutdown();
    return 0;
}
