#include "openfailure.h"

std::string FillIn(std::string_view format, std::initializer_list<std::string_view> values)
{
    std::string text;
    for (std::size_t at = 0; at < format.size(); ++at) {
        const bool marked = format[at] == '%' && at + 1 < format.size();
        const std::size_t index = marked ? static_cast<std::size_t>(format[at + 1] - '1') : 0;
        if (marked && index < values.size()) {
            text += values.begin()[index];
            ++at;
        } else {
            text += format[at];
        }
    }
    return text;
}
