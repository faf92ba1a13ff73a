#pragma once

#include "frameoptions.h"

#include <array>
#include <cstdint>
#include <string>

// The device's frames: "X07FF", "X07FFY0801" or "X07FFY0801Z0ABC" followed by CR LF. Each
// channel is four upper-case hexadecimal digits holding a raw value of the chosen bit length;
// the bits above it are zero, as a converter of that width leaves them.

int ChannelCount(FrameForm form);
int FrameLength(FrameForm form);

// The largest raw value of a bit length: 2^bits - 1.
std::uint32_t FullScale(int bits);

// Values above the bit length's full scale are sent as full scale.
std::array<char, 4> ChannelDigits(std::uint32_t raw, int bits);

// One frame of the form, CR LF included; values of channels the form lacks are ignored.
std::string FormatFrame(FrameForm form, const std::array<std::uint32_t, CHANNEL_COUNT> &raw,
                        int bits);
