#include "shiftjisdecoder.h"

#include "shiftjis.h"

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;
// What the converter puts in place of a byte that it cannot decode.
constexpr char16_t CONVERTER_SUBSTITUTE = 0x1A;
constexpr char16_t CONTROL_PICTURES = 0x2400;
constexpr char16_t DELETE_PICTURE = 0x2421;
constexpr unsigned char DEL = 0x7F;

bool IsControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == DEL;
}

char16_t ControlCharacter(unsigned char byte, CShiftJisDecoder::Controls controls)
{
    if (controls == CShiftJisDecoder::Controls::AsIs || byte == '\t')
        return byte;
    return byte == DEL ? DELETE_PICTURE : static_cast<char16_t>(CONTROL_PICTURES + byte);
}

std::size_t CharacterLength(std::string_view bytes, std::size_t at)
{
    const bool pair = IsShiftJisLeadByte(static_cast<unsigned char>(bytes[at]))
        && at + 1 < bytes.size() && IsShiftJisTrailByte(static_cast<unsigned char>(bytes[at + 1]));
    return pair ? 2 : 1;
}

unsigned CharacterCode(std::string_view character)
{
    const auto first = static_cast<unsigned char>(character[0]);
    return character.size() == 1 ? first : first << 8 | static_cast<unsigned char>(character[1]);
}

} // namespace

CShiftJisDecoder::CShiftJisDecoder()
    : m_decoder("Shift_JIS", QStringConverter::Flag::Stateless)
    , m_characters(0x10000, 0)
{ }

QString CShiftJisDecoder::Decode(std::string_view bytes, Controls controls,
                                 std::vector<std::size_t> *starts)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    if (starts)
        starts->clear();
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = CharacterLength(bytes, at);
        const auto first = static_cast<unsigned char>(bytes[at]);
        text.append(QChar(IsControlByte(first) ? ControlCharacter(first, controls)
                                               : Character(bytes.substr(at, length))));
        if (starts)
            starts->push_back(at);
        at += length;
    }
    if (starts)
        starts->push_back(bytes.size());
    return text;
}

// A lead byte without its trail byte reaches the converter alone; it answers with nothing, and
// that is not valid Shift_JIS either.
char16_t CShiftJisDecoder::Character(std::string_view bytes)
{
    char16_t &known = m_characters[CharacterCode(bytes)];
    if (known == 0) {
        const QString decoded
            = m_decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        const bool single = decoded.size() == 1 && decoded[0].unicode() != CONVERTER_SUBSTITUTE;
        known = single ? decoded[0].unicode() : REPLACEMENT;
    }
    return known;
}
