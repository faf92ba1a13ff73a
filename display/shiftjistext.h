#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Turns received bytes into text, one UTF-16 unit for every character, so that each shown
// character leads back to its bytes. A character is a lead byte with the trail byte after it, or
// one byte of its own. Bytes that are not valid Shift_JIS (a stray lead byte, a pair the table
// lacks, a single byte outside ASCII and half-width katakana) become U+FFFD, never a converter's
// own substitute or nothing at all. Control bytes are taken by their byte value. ASCII and
// half-width katakana are the same on every system; only double-byte characters need the system's
// table, which is asked once for each and remembered. Not locked: it belongs to one thread.
class CShiftJisText
{
public:
    enum class Controls {
        AsPictures, // U+2400 + byte (U+2421 for DEL), TAB kept: for display
        AsIs, // the control character itself: for copying
    };

    // A double-byte character's one UTF-16 unit from the system's table, or 0 when it has none.
    using PairTable = std::function<char16_t(unsigned char lead, unsigned char trail)>;

    explicit CShiftJisText(PairTable table);

    // When `starts` is given it receives, for every unit of the result, the offset of the
    // character's first byte in `bytes`, and bytes.size() after the last.
    std::u16string Decode(std::string_view bytes, Controls controls,
                          std::vector<std::size_t> *starts = nullptr);

private:
    char16_t Pair(unsigned char lead, unsigned char trail);

    PairTable m_table;
    // By lead << 8 | trail; 0 until the character is first met.
    std::vector<char16_t> m_pairs;
};
