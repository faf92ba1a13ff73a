#include "shiftjisdecoder.h"

namespace {

// What the converter puts in place of a byte that it cannot decode.
constexpr char16_t CONVERTER_SUBSTITUTE = 0x1A;

} // namespace

CShiftJisDecoder::CShiftJisDecoder()
    : m_decoder("Shift_JIS", QStringConverter::Flag::Stateless)
    , m_text([this](unsigned char lead, unsigned char trail) { return Pair(lead, trail); })
{ }

QString CShiftJisDecoder::Decode(std::string_view bytes, Controls controls,
                                 std::vector<std::size_t> *starts)
{
    const std::u16string text = m_text.Decode(bytes, controls, starts);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

char16_t CShiftJisDecoder::Pair(unsigned char lead, unsigned char trail)
{
    const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
    const QString decoded = m_decoder.decode(QByteArrayView(pair, 2));
    const bool single = decoded.size() == 1 && decoded[0].unicode() != CONVERTER_SUBSTITUTE;
    return single ? decoded[0].unicode() : 0;
}
