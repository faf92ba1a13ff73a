#pragma once

#include "shiftjistext.h"

#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <string_view>
#include <vector>

// Received bytes as a QString by the rules of CShiftJisText, with QStringDecoder("Shift_JIS") as
// the table of double-byte characters. Not locked: it belongs to one thread.
class CShiftJisDecoder
{
public:
    using Controls = CShiftJisText::Controls;

    CShiftJisDecoder();

    // When `starts` is given it receives, for every unit of the result, the offset of the
    // character's first byte in `bytes`, and bytes.size() after the last.
    QString Decode(std::string_view bytes, Controls controls,
                   std::vector<std::size_t> *starts = nullptr);

private:
    char16_t Pair(unsigned char lead, unsigned char trail);

    QStringDecoder m_decoder;
    CShiftJisText m_text;
};
