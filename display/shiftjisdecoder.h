#pragma once

#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <string_view>
#include <vector>

// Turns received bytes into text with QStringDecoder("Shift_JIS"), one UTF-16 unit for every
// character, so that each shown character leads back to its bytes. Bytes that are not valid
// Shift_JIS (a stray lead byte included) become U+FFFD, never the converter's own substitute or
// nothing at all. Control bytes are taken by their byte value, not from the converter, whose
// table exchanges some of them. Each character is asked of the converter once and remembered.
// Not locked: it belongs to one thread.
class CShiftJisDecoder
{
public:
    enum class Controls {
        AsPictures, // U+2400 + byte (U+2421 for DEL), TAB kept: for display
        AsIs, // the control character itself: for copying
    };

    CShiftJisDecoder();

    // When `starts` is given it receives, for every unit of the result, the offset of the
    // character's first byte in `bytes`, and bytes.size() after the last.
    QString Decode(std::string_view bytes, Controls controls,
                   std::vector<std::size_t> *starts = nullptr);

private:
    char16_t Character(std::string_view bytes);

    QStringDecoder m_decoder;
    // By code (the byte, or lead << 8 | trail); 0 until the character is first met.
    std::vector<char16_t> m_characters;
};
