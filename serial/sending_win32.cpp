#include "sending.h"

#include "widetext.h"

#include <windows.h>

namespace {

constexpr UINT WINDOWS_31J = 932;

// Code page 932 has no character outside the Basic Multilingual Plane, and the converter would
// mark each half of a surrogate pair; one mark stands for one character, as the user typed one.
std::wstring OneUnitPerCharacter(std::wstring wide)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < wide.size(); ++i, ++kept) {
        const bool pair
            = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]);
        wide[kept] = pair ? L'\uFFFD' : wide[i];
        i += pair ? 1 : 0;
    }
    wide.resize(kept);
    return wide;
}

} // namespace

// No best fit: a character that code page 932 has not becomes "?", never a look-alike that
// would send the device something else than the user typed.
std::string EncodeWindows31j(std::string_view text)
{
    const std::wstring wide = OneUnitPerCharacter(WideFromUtf8(text));
    if (wide.empty())
        return {};
    const int wideLength = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(WINDOWS_31J, WC_NO_BEST_FIT_CHARS, wide.data(),
                                           wideLength, nullptr, 0, "?", nullptr);
    std::string encoded(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(WINDOWS_31J, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, encoded.data(),
                        length, "?", nullptr);
    return encoded;
}
