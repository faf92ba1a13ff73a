#include "deviceframe.h"

#include <algorithm>

namespace {

constexpr char CHANNEL_LETTERS[CHANNEL_COUNT] = {'X', 'Y', 'Z'};
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr int DIGITS_PER_CHANNEL = 4;

} // namespace

int ChannelCount(FrameForm form)
{
    switch (form) {
    case FrameForm::X:
        return 1;
    case FrameForm::XY:
        return 2;
    case FrameForm::XYZ:
        break;
    }
    return 3;
}

int FrameLength(FrameForm form)
{
    return ChannelCount(form) * (1 + DIGITS_PER_CHANNEL) + 2;
}

std::uint32_t FullScale(int bits)
{
    return (std::uint32_t {1} << bits) - 1;
}

std::array<char, 4> ChannelDigits(std::uint32_t raw, int bits)
{
    const std::uint32_t value = std::min(raw, FullScale(bits));
    std::array<char, DIGITS_PER_CHANNEL> digits {};
    for (int i = 0; i < DIGITS_PER_CHANNEL; ++i)
        digits[i] = HEX_DIGITS[(value >> (4 * (DIGITS_PER_CHANNEL - 1 - i))) & 0xF];
    return digits;
}

std::string FormatFrame(FrameForm form, const std::array<std::uint32_t, CHANNEL_COUNT> &raw,
                        int bits)
{
    std::string frame;
    frame.reserve(FrameLength(form));
    for (int channel = 0; channel < ChannelCount(form); ++channel) {
        frame += CHANNEL_LETTERS[channel];
        const std::array<char, 4> digits = ChannelDigits(raw[channel], bits);
        frame.append(digits.begin(), digits.end());
    }
    frame += "\r\n";
    return frame;
}
