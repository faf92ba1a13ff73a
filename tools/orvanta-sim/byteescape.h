#pragma once

#include <string>
#include <string_view>

// Bytes shown as one line of text: printable ASCII as it is, a backslash as \\, every other
// byte (control characters, CR, LF, Shift_JIS halves) as \xNN with upper-case digits.
std::string EscapeBytes(std::string_view bytes);
