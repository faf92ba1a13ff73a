#include "framespoiler.h"

#include <algorithm>

namespace {

// Printable bytes that are not hexadecimal digits and not channel letters.
constexpr std::string_view NON_HEX_BYTES = "GHIJKLMNOPQRSTUVWghijklmnopqrstuvw#*?:;= ";
constexpr char DC1 = 0x11;
constexpr char DC3 = 0x13;

std::size_t Below(std::size_t limit, std::mt19937_64 &random)
{
    return std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
}

bool IsChannelLetter(char byte)
{
    return byte == 'X' || byte == 'Y' || byte == 'Z';
}

std::string ReplaceADigit(std::string frame, std::mt19937_64 &random)
{
    const std::size_t digitsEnd = frame.size() - 2;
    std::size_t position;
    do {
        position = Below(digitsEnd, random);
    } while (IsChannelLetter(frame[position]));
    frame[position] = NON_HEX_BYTES[Below(NON_HEX_BYTES.size(), random)];
    return frame;
}

std::string Garbage(std::mt19937_64 &random)
{
    std::uniform_int_distribution<int> byteValue(1, 255);
    std::string garbage(1 + Below(MAX_GARBAGE_BYTES, random), '\0');
    for (char &byte : garbage) {
        do {
            byte = static_cast<char>(byteValue(random));
        } while (!IsGarbageByte(static_cast<unsigned char>(byte)));
    }
    return garbage;
}

} // namespace

bool IsGarbageByte(unsigned char byte)
{
    return byte != 0 && byte != DC1 && byte != DC3;
}

std::string SpoilFrame(std::string_view frame, Spoil kind, std::mt19937_64 &random)
{
    std::string spoiled(frame);
    switch (kind) {
    case Spoil::NonHexDigit:
        return ReplaceADigit(std::move(spoiled), random);
    case Spoil::MissingCarriageReturn:
        spoiled.erase(spoiled.size() - 2, 1);
        return spoiled;
    case Spoil::GarbageBefore:
        return Garbage(random) + spoiled;
    case Spoil::CutShort:
        // At least the letter X stays and at least the CR LF goes.
        spoiled.resize(1 + Below(spoiled.size() - 2, random));
        return spoiled;
    }
    return spoiled;
}

CFrameSpoiler::CFrameSpoiler(double share, std::uint64_t seed)
    : m_random(seed)
    , m_spoils(std::clamp(share, 0.0, 1.0))
{ }

std::string CFrameSpoiler::Pass(std::string frame)
{
    if (!m_spoils(m_random))
        return frame;
    const auto kind = static_cast<Spoil>(Below(SPOIL_KINDS, m_random));
    return SpoilFrame(frame, kind, m_random);
}
