#pragma once

#include "frameoptions.h"

#include <array>
#include <cstdint>
#include <random>

// The raw values of the three channels, frame after frame. Each channel follows its waveform with
// the period counted in frames, so the shape on Orvanta's sweep is the same at any rate. Y and Z
// run a third and two thirds of a period behind X. Values use the full range of the bit length:
// at amplitude 1 a waveform swings from 0 to full scale.
class CSignalGenerator
{
public:
    CSignalGenerator(const FrameOptions &options, std::uint64_t seed);

    // The values of the next frame; the first call gives frame 0.
    std::array<std::uint32_t, CHANNEL_COUNT> NextValues();

private:
    // The level of a channel at a point of its period, as a share of full scale (0 to 1).
    double Level(Waveform waveform, double phase);
    double Shape(Waveform waveform, double phase);

    FrameOptions m_options;
    std::mt19937_64 m_noise;
    std::uniform_real_distribution<double> m_noiseShape {-1.0, 1.0};
    std::uint64_t m_frame = 0;
};
