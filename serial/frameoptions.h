#pragma once

#include <array>
#include <cstdint>
#include <optional>

// What generated device frames carry: the form, each channel's waveform, its size and period,
// the bit length, and how many frames there are and how many are spoiled. The defaults show three
// different live traces on the graph: XYZ frames at 12 bit, X a sine, Y a triangle and Z a
// square, three periods to a sweep.

enum class FrameForm { X, XY, XYZ };
enum class Waveform { Sine, Triangle, Square, Noise, Constant };

inline constexpr int CHANNEL_COUNT = 3;
// The device's own pace: frames a second.
inline constexpr double DEFAULT_FRAME_RATE = 100;

struct FrameOptions
{
    FrameForm form = FrameForm::XYZ;
    std::array<Waveform, CHANNEL_COUNT> waveforms {Waveform::Sine, Waveform::Triangle,
                                                   Waveform::Square};
    // Peak to peak as a share of full scale around mid scale; a constant's level.
    double amplitude = 0.9;
    double periodFrames = 125;
    int bits = 12;
    // No end when not given.
    std::optional<std::uint64_t> frameCount;
    double malformedShare = 0;
};
