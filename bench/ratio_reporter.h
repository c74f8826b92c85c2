// A console reporter that also keeps each benchmark's time per iteration,
// so a program can print ratios measured side by side in one run. With
// --benchmark_repetitions it keeps the fastest repetition: other work on
// the machine only ever adds time.
#ifndef QV_BENCH_RATIO_REPORTER_H
#define QV_BENCH_RATIO_REPORTER_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration) {
                auto [it, added] = times_.emplace(run.benchmark_name(), run.GetAdjustedRealTime());
                if (!added && run.GetAdjustedRealTime() < it->second)
                    it->second = run.GetAdjustedRealTime();
            }
    }

    // Time per iteration of the benchmark `name`; 0 when it did not run.
    double Time(const std::string &name) const
    {
        auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> times_;
};

#endif
