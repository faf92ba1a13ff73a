#include "shiftjistext.h"

#include "shiftjis.h"

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;
constexpr char16_t CONTROL_PICTURES = 0x2400;
constexpr char16_t DELETE_PICTURE = 0x2421;
constexpr unsigned char DEL = 0x7F;
constexpr unsigned char FIRST_HALF_WIDTH_KATAKANA = 0xA1;
constexpr unsigned char LAST_HALF_WIDTH_KATAKANA = 0xDF;
constexpr char16_t HALF_WIDTH_KATAKANA = 0xFF61;

bool IsControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == DEL;
}

char16_t ControlCharacter(unsigned char byte, CShiftJisText::Controls controls)
{
    if (controls == CShiftJisText::Controls::AsIs || byte == '\t')
        return byte;
    return byte == DEL ? DELETE_PICTURE : static_cast<char16_t>(CONTROL_PICTURES + byte);
}

char16_t SingleByteCharacter(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (byte >= FIRST_HALF_WIDTH_KATAKANA && byte <= LAST_HALF_WIDTH_KATAKANA)
        return static_cast<char16_t>(HALF_WIDTH_KATAKANA + (byte - FIRST_HALF_WIDTH_KATAKANA));
    return REPLACEMENT;
}

} // namespace

CShiftJisText::CShiftJisText(PairTable table)
    : m_table(std::move(table))
    , m_pairs(0x10000, 0)
{ }

std::u16string CShiftJisText::Decode(std::string_view bytes, Controls controls,
                                     std::vector<std::size_t> *starts)
{
    std::u16string text;
    text.reserve(bytes.size());
    if (starts)
        starts->clear();
    for (std::size_t at = 0; at < bytes.size();) {
        if (starts)
            starts->push_back(at);
        const auto first = static_cast<unsigned char>(bytes[at]);
        if (ShiftJisCharacterLength(bytes, at) == 2) {
            text.push_back(Pair(first, static_cast<unsigned char>(bytes[at + 1])));
            at += 2;
            continue;
        }
        text.push_back(IsControlByte(first) ? ControlCharacter(first, controls)
                                            : SingleByteCharacter(first));
        ++at;
    }
    if (starts)
        starts->push_back(bytes.size());
    return text;
}

char16_t CShiftJisText::Pair(unsigned char lead, unsigned char trail)
{
    char16_t &known = m_pairs[static_cast<std::size_t>(lead << 8 | trail)];
    if (known == 0) {
        const char16_t fromTable = m_table(lead, trail);
        known = fromTable != 0 ? fromTable : REPLACEMENT;
    }
    return known;
}
