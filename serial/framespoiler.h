#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

// Spoils a share of the frames the way a noisy line or a confused device would, so that the
// receiving side's tolerance can be watched: a digit that is not hexadecimal, a missing CR,
// garbage bytes in front of the frame, or a frame cut short.
enum class Spoil { NonHexDigit, MissingCarriageReturn, GarbageBefore, CutShort };
inline constexpr int SPOIL_KINDS = 4;

// Garbage never holds NUL, DC1 or DC3: a NUL ends the received text on the other side and the
// flow control characters would stop or start its output, which a noisy line does not do.
bool IsGarbageByte(unsigned char byte);
inline constexpr int MAX_GARBAGE_BYTES = 8;

// `frame` is a well-formed frame of any form, CR LF included.
std::string SpoilFrame(std::string_view frame, Spoil kind, std::mt19937_64 &random);

class CFrameSpoiler
{
public:
    CFrameSpoiler(double share, std::uint64_t seed);

    // The frame as it goes out: spoiled with probability `share`, otherwise unchanged.
    std::string Pass(std::string frame);

private:
    std::mt19937_64 m_random;
    std::bernoulli_distribution m_spoils;
};
