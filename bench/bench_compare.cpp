// Comparing version strings: glibc strverscmp as the yardstick,
// CompareVersionStrings, and the whole CompareVersions export (split,
// compare, write into a 16-entry table). Prints each one's ratio to
// strverscmp after the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host_table.h"
#include "version/version_numbers.h"

namespace {

struct Pair {
    const char *first;
    const char *second;
};

const Pair kPairs[] = {
    {"4.72.3110", "5.0.2614.3500"},
    {"1.2.3", "1.2.4"},
    {"10.0.19041.1", "10.0.19041.2"},
    {"10.0.19041.1", "10.0.19041.1"},
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
            benchmark::DoNotOptimize(strverscmp(p.first, p.second));
}

void CompareStrings(benchmark::State &state)
{
    for (auto _ : state)
        for (const Pair &p : kPairs)
            benchmark::DoNotOptimize(CompareVersionStrings(p.first, p.second));
}

void CompareExport(benchmark::State &state)
{
    HostTable table(16);
    for (int i = 0; i < 15; i++)
        table.Append("%Var" + std::to_string(i) + "%", "value");
    for (auto _ : state) {
        for (const char *parameters : kParameters) {
            table.block()->ParameterText = parameters;
            benchmark::DoNotOptimize(CompareVersions(table.block()));
        }
    }
}

BENCHMARK(Strverscmp);
BENCHMARK(CompareStrings);
BENCHMARK(CompareExport);

// Collects per-iteration times to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration)
                times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    void PrintRatios() const
    {
        double base = times_.at("Strverscmp");
        std::printf("\nratio to strverscmp (same run, %zu pairs per iteration):\n",
                    sizeof kPairs / sizeof kPairs[0]);
        for (const char *name : {"CompareStrings", "CompareExport"})
            std::printf("  %-16s %6.2fx  (goal %s)\n", name, times_.at(name) / base,
                        std::strcmp(name, "CompareStrings") == 0 ? "<= 2x" : "<= 15x");
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
