#include "figurereporter.h"

void CFigureReporter::ReportRuns(const std::vector<Run> &reports)
{
    for (const Run &run : reports) {
        auto &figures = m_figures[run.run_name.function_name];
        for (const auto &[name, counter] : run.counters)
            figures[name] = counter.value;
    }
    ConsoleReporter::ReportRuns(reports);
}

std::optional<double> CFigureReporter::Figure(const std::string &run,
                                              const std::string &counter) const
{
    const auto figures = m_figures.find(run);
    if (figures == m_figures.end())
        return std::nullopt;
    const auto figure = figures->second.find(counter);
    if (figure == figures->second.end())
        return std::nullopt;
    return figure->second;
}

bool RunBenchmarks(int &argc, char **argv, CFigureReporter &reporter)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}
