// orvanta-sim: a simulated measuring device on a pseudo-terminal, for working on Orvanta without
// an instrument on the desk. `orvanta-sim --help` explains the options.

#include "console.h"
#include "deviceframe.h"
#include "generatedframes.h"
#include "portlink.h"
#include "pseudoterminal.h"
#include "replaystream.h"
#include "simoptions.h"
#include "simulator.h"
#include "stopsignals.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <random>
#include <sstream>

namespace {

constexpr int EXIT_USAGE = 2;

std::string DescribePace(const SimOptions &options)
{
    std::ostringstream pace;
    switch (options.pace) {
    case Pace::FrameRate:
        pace << options.rate << " frames/s";
        break;
    case Pace::ByteRate:
        pace << options.rate << " B/s";
        break;
    case Pace::Max:
        pace << "as fast as the reader takes them";
        break;
    }
    if (options.frameCount)
        pace << ", " << *options.frameCount << " frames";
    if (options.durationSeconds)
        pace << ", for " << *options.durationSeconds << " s";
    return pace.str();
}

std::string DescribeFrames(const SimOptions &options, std::uint64_t seed)
{
    std::ostringstream frames;
    frames << FormName(options.form) << " frames (";
    const char letters[] = "XYZ";
    for (int channel = 0; channel < ChannelCount(options.form); ++channel)
        frames << (channel ? ", " : "") << letters[channel] << ' '
               << WaveformName(options.waveforms[channel]);
    frames << "), " << options.bits << " bit, " << DescribePace(options);
    if (options.malformedShare > 0)
        frames << ", " << options.malformedShare * 100 << "% spoiled";
    frames << ", seed " << seed;
    return frames.str();
}

std::string DescribeReplay(const SimOptions &options, const CReplayStream &replay)
{
    std::ostringstream text;
    text << "replaying " << *options.replayFile << " (" << replay.Size() << " bytes), "
         << DescribePace(options);
    return text.str();
}

int Simulate(const SimOptions &options)
{
    // Blocked before the link exists, so that no stop signal can leave the link behind.
    CStopSignals stopSignals;
    // A closed stdout must not end the program before it removes its link.
    std::signal(SIGPIPE, SIG_IGN);

    const std::uint64_t seed = options.seed.value_or(std::random_device {}());
    std::optional<CReplayStream> replay;
    std::optional<CGeneratedFrames> frames;
    if (options.replayFile)
        replay.emplace(*options.replayFile);
    else
        frames.emplace(options, seed);
    CByteSource &source = replay ? static_cast<CByteSource &>(*replay) : *frames;

    CPseudoTerminal terminal(CPseudoTerminal::OtherEnd::ReleasedRaw);
    CPortLink link(options.linkName, terminal.SlavePath());
    CConsole console(options.quiet);
    console.Note(link.Name() + " -> " + terminal.SlavePath() + ": "
                 + (replay ? DescribeReplay(options, *replay) : DescribeFrames(options, seed))
                 + "; Ctrl+C stops");

    CSimulator simulator(options, terminal, source, frames ? &*frames : nullptr, stopSignals,
                         console);
    simulator.Run();
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const SimOptionsResult parsed = ParseSimOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "orvanta-sim: %s\nTry 'orvanta-sim --help'.\n", parsed.error.c_str());
        return EXIT_USAGE;
    }
    if (parsed.options->help) {
        std::fputs(SimUsage().c_str(), stdout);
        return EXIT_SUCCESS;
    }
    try {
        return Simulate(*parsed.options);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "orvanta-sim: %s\n", error.what());
        return EXIT_FAILURE;
    }
}
