#pragma once

#include <string>
#include <string_view>

// The program keeps its texts and paths in UTF-8 on every system; Windows' calls take UTF-16.
// Bytes that are not UTF-8 become U+FFFD, so a name never reaches the system cut short.

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's own sentence for an error code, in the user's language, on one line and without
// the line end it comes with; the code's number where the system has none.
std::string SystemMessage(unsigned long error);
