#include "signalgenerator.h"

#include "deviceframe.h"

#include <algorithm>
#include <cmath>
#include <numbers>

CSignalGenerator::CSignalGenerator(const FrameOptions &options, std::uint64_t seed)
    : m_options(options)
    , m_noise(seed)
{ }

std::array<std::uint32_t, CHANNEL_COUNT> CSignalGenerator::NextValues()
{
    const double fullScale = FullScale(m_options.bits);
    const double period = m_options.periodFrames;
    // Frames within the period, kept exact while they are whole numbers, so that a channel
    // lands on the same points as X a whole number of frames later.
    const double position = std::fmod(static_cast<double>(m_frame), period);
    std::array<std::uint32_t, CHANNEL_COUNT> values {};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        double behind = position - channel * period / CHANNEL_COUNT;
        if (behind < 0)
            behind += period;
        const double level = Level(m_options.waveforms[channel], behind / period);
        values[channel] = static_cast<std::uint32_t>(std::lround(level * fullScale));
    }
    ++m_frame;
    return values;
}

double CSignalGenerator::Level(Waveform waveform, double phase)
{
    const double amplitude = m_options.amplitude;
    if (waveform == Waveform::Constant)
        return amplitude;
    return std::clamp(0.5 + 0.5 * amplitude * Shape(waveform, phase), 0.0, 1.0);
}

// One period of the waveform from -1 to 1, rising through 0 at phase 0 like a sine.
double CSignalGenerator::Shape(Waveform waveform, double phase)
{
    switch (waveform) {
    case Waveform::Sine:
        return std::sin(2 * std::numbers::pi * phase);
    case Waveform::Triangle:
        if (phase < 0.25)
            return 4 * phase;
        if (phase < 0.75)
            return 2 - 4 * phase;
        return 4 * phase - 4;
    case Waveform::Square:
        return phase < 0.5 ? 1 : -1;
    case Waveform::Noise:
        return m_noiseShape(m_noise);
    case Waveform::Constant:
        break;
    }
    return 0;
}
