#include "commandline.h"

#include "csvexport.h"
#include "portchoicetables.h"
#include "portlist.h"
#include "recording.h"
#include "samplebuffers.h"
#include "texts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int FAILURE = 1;

// The values of --bits, in the order of their codes 1 to 5.
constexpr const char *BIT_LENGTH_NAMES[] = {"16", "14", "12", "10", "8"};

// Columns are lined up by characters, not bytes; a path may hold letters beyond ASCII.
std::size_t CharacterCount(const std::string &text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string PaddedTo(const std::string &text, std::size_t width)
{
    return text + std::string(width - std::min(width, CharacterCount(text)) + 2, ' ');
}

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// A backslash before what an escape holds would read as an escape itself.
bool ReadsAsEscape(const std::string &text, std::size_t at)
{
    const std::size_t next = at + 1;
    return next < text.size() && (text[next] == 'x' || text[next] == '\\' || IsControl(text[next]));
}

// A device's name may hold a line end or a terminal's escape; written as \x0a, \x1b and so on,
// it stays on its line. A backslash is written twice where it would start such an escape, so
// that no name reads as another, and Windows' names (USB\VID_0403&PID_6001\A50285BI) stay as
// they are.
std::string Escaped(const std::string &text)
{
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            escaped += ReadsAsEscape(text, i) ? "\\\\" : "\\";
        } else if (IsControl(c)) {
            const auto byte = static_cast<unsigned char>(c);
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// A port's label comes last: it holds full-width letters, which would upset any column after it;
// why its number is not kept follows it.
int ListPorts()
{
    PortList list = CurrentPortList();
    std::size_t reachesWidth = 1;
    for (PortTarget &target : list.ports) {
        target.reaches = Escaped(target.reaches);
        reachesWidth = std::max(reachesWidth, CharacterCount(target.reaches));
    }
    for (std::uint32_t i = 0; i < list.ports.size(); ++i) {
        const PortTarget &target = list.ports[i];
        std::string line = PaddedTo(PORT_CHOICE_TABLES.port[i].text, 5)
            + PaddedTo(target.reaches.empty() ? "-" : target.reaches, reachesWidth)
            + (target.present ? Strings::PORT_PRESENT : Strings::PORT_ABSENT) + "  "
            + Escaped(target.label);
        if (!target.notKept.empty())
            line += "  " + Escaped(target.notKept);
        std::puts(line.c_str());
    }
    for (const std::string &device : list.unlisted)
        std::puts(Escaped(device).c_str());
    return 0;
}

int RejectOption(const std::string &option)
{
    std::fprintf(stderr, "%s%s\n%s", Strings::UNKNOWN_OPTION, option.c_str(), Strings::USAGE);
    return USAGE_ERROR;
}

int RejectValue(const char *reason, const std::string &value)
{
    std::fprintf(stderr, "%s%s\n%s", reason, value.c_str(), Strings::USAGE);
    return USAGE_ERROR;
}

int Fail(const std::string &reason)
{
    std::fprintf(stderr, "%s\n", reason.c_str());
    return FAILURE;
}

// --csv FILE [--bits N], with `at` the index of --csv: the whole file as CSV on standard output.
int ExportCsv(const std::vector<std::string> &arguments, std::size_t at)
{
    if (at + 1 >= arguments.size())
        return RejectValue(Strings::OPTION_VALUE_MISSING, arguments[at]);
    const std::string &path = arguments[at + 1];
    std::int32_t code = BIT_LENGTH_12;
    for (std::size_t i = at + 2; i < arguments.size(); ++i) {
        const std::string &option = arguments[i];
        if (option != "--bits")
            return RejectOption(option);
        if (++i == arguments.size())
            return RejectValue(Strings::OPTION_VALUE_MISSING, option);
        const auto *name = std::find_if(std::begin(BIT_LENGTH_NAMES), std::end(BIT_LENGTH_NAMES),
                                        [&](const char *bits) { return arguments[i] == bits; });
        if (name == std::end(BIT_LENGTH_NAMES))
            return RejectValue(Strings::BIT_LENGTH_INVALID, arguments[i]);
        code = static_cast<std::int32_t>(name - std::begin(BIT_LENGTH_NAMES)) + 1;
    }
    CRecording recording(path);
    std::string failure;
    if (!recording.Open(failure))
        return Fail(failure);
    if (!WriteWholeCsv(recording, code, stdout, failure))
        return Fail(failure);
    return 0;
}

} // namespace

std::optional<int> RunCommandLine(const std::vector<std::string> &arguments, WindowChoice &choice)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string &option = arguments[i];
        if (option == "--list-ports")
            return ListPorts();
        if (option == "--help") {
            std::fputs(Strings::USAGE, stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("%s %s\n", Strings::APP_NAME, ORVANTA_VERSION);
            return 0;
        }
        if (option == "--view") {
            if (i + 1 == arguments.size())
                return RejectValue(Strings::OPTION_VALUE_MISSING, option);
            choice.viewPath = arguments[++i];
            continue;
        }
        if (option == "--demo") {
            choice.demo = true;
            continue;
        }
        if (option == "--csv")
            return ExportCsv(arguments, i);
        if (option.starts_with("--"))
            return RejectOption(option);
    }
    return std::nullopt;
}
