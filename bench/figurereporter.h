#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The console report of Google Benchmark, keeping each run's figures (rates and counters) by
// the benchmark's name, so that a benchmark program can print figures of two runs side by side
// and their ratio once every run is over.
class CFigureReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &reports) override;

    // A counter of the run named `run`; bytes_per_second and items_per_second are counters too.
    std::optional<double> Figure(const std::string &run, const std::string &counter) const;

private:
    std::map<std::string, std::map<std::string, double>> m_figures;
};

// Runs the benchmarks the command line selects into `reporter`; false when the command line
// holds arguments that Google Benchmark does not know.
bool RunBenchmarks(int &argc, char **argv, CFigureReporter &reporter);
