#include "widetext.h"

#include <windows.h>

std::wstring WideFromUtf8(std::string_view utf8)
{
    const int length = static_cast<int>(utf8.size());
    const int size
        = length > 0 ? MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0) : 0;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide)
{
    const int length = static_cast<int>(wide.size());
    const int size = length > 0
        ? WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)
        : 0;
    std::string utf8(static_cast<std::size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string SystemMessage(unsigned long error)
{
    wchar_t *text = nullptr;
    DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                             | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                         nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    while (length > 0
           && (text[length - 1] == L' ' || text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    const std::string message
        = length > 0 ? Utf8FromWide(std::wstring_view(text, length)) : std::to_string(error);
    LocalFree(text);
    return message;
}
