#include "openfailure.h"

#include "texts.h"

#include <string>

namespace {

std::string Utf8(const wchar_t *text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The system's own sentence for the error, in the user's language, without its line break; the
// number where the system has none.
std::string SystemWords(DWORD error)
{
    wchar_t *message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    std::wstring words = length > 0 ? std::wstring(message, length) : std::wstring();
    LocalFree(message);
    while (!words.empty()
           && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' '))
        words.pop_back();
    if (words.empty())
        return std::to_string(error);
    return Utf8(words.data(), static_cast<int>(words.size()));
}

} // namespace

// The system keeps a port for one opener and does not say who holds it.
std::string DescribeOpenFailure(const OpenFailure &failure, const HostView &)
{
    if (failure.stillClosing)
        return Strings::OPEN_FAILURE_STILL_CLOSING;
    switch (failure.error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return Strings::OPEN_FAILURE_BUSY;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Strings::OPEN_FAILURE_NOT_PRESENT;
    default:
        return FillIn(Strings::OPEN_FAILURE_SYSTEM_ERROR,
                      {SystemWords(static_cast<DWORD>(failure.error))});
    }
}
