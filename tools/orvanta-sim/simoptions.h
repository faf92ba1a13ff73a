#pragma once

#include "frameoptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The simulator's command line: what it sends, how fast, for how long and where it plugs in.

// Frames a second, bytes a second, or as fast as the reader takes them.
enum class Pace { FrameRate, ByteRate, Max };

// A 3 Mbaud line with 8N1 framing spends ten bits on each byte.
inline constexpr double MAX_BYTE_RATE = 300000;
inline constexpr double MIN_PERIOD_FRAMES = 2;
inline constexpr double MAX_PERIOD_FRAMES = 1e9;

// The frames it makes, and how it sends them.
struct SimOptions : FrameOptions
{
    Pace pace = Pace::FrameRate;
    // Frames or bytes a second, as `pace` says; unused with Pace::Max.
    double rate = DEFAULT_FRAME_RATE;
    std::optional<double> durationSeconds;
    std::optional<std::uint64_t> seed;
    std::optional<std::string> replayFile;
    std::string linkName = "COM1";
    bool quiet = false;
    bool help = false;
};

struct SimOptionsResult
{
    std::optional<SimOptions> options;
    std::string error;
};

// The arguments after the program name. Rejects unknown options, values out of range, options
// given twice and combinations that contradict each other.
SimOptionsResult ParseSimOptions(const std::vector<std::string_view> &args);

std::string SimUsage();

std::string_view FormName(FrameForm form);
std::string_view WaveformName(Waveform waveform);
