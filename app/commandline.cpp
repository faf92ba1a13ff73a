#include "commandline.h"

#include "portchoicetables.h"
#include "portdiscovery.h"
#include "texts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int USAGE_ERROR = 2;

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

// A port's label comes last: it holds full-width letters, which would upset any column after it.
int ListPorts()
{
    const PortRoots roots = DefaultPortRoots();
    const std::vector<SerialAdapter> unnumbered = DiscoverPorts(roots);
    std::vector<PortTarget> targets;
    std::size_t reachesWidth = 1;
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i) {
        targets.push_back(ResolvePort(roots, i));
        reachesWidth = std::max(reachesWidth, CharacterCount(targets.back().reaches));
    }
    for (std::uint32_t i = 0; i < PORT_COUNT; ++i) {
        const PortTarget &target = targets[i];
        const std::string line = PaddedTo(PORT_CHOICE_TABLES.port[i].text, 5)
            + PaddedTo(target.reaches.empty() ? "-" : target.reaches, reachesWidth)
            + (target.present ? Strings::PORT_PRESENT : Strings::PORT_ABSENT) + "  " + target.label;
        std::puts(line.c_str());
    }
    for (const SerialAdapter &adapter : unnumbered)
        std::printf("%s: %s\n", Strings::PORT_NUMBERS_EXHAUSTED, adapter.description.c_str());
    return 0;
}

int RejectOption(const std::string &option)
{
    std::fprintf(stderr, "%s%s\n%s", Strings::UNKNOWN_OPTION, option.c_str(), Strings::USAGE);
    return USAGE_ERROR;
}

int RejectMissingValue(const std::string &option)
{
    std::fprintf(stderr, "%s%s\n%s", Strings::OPTION_VALUE_MISSING, option.c_str(), Strings::USAGE);
    return USAGE_ERROR;
}

} // namespace

std::optional<int> RunCommandLine(int argc, char **argv, std::string &viewPath)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
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
            if (i + 1 == argc)
                return RejectMissingValue(option);
            viewPath = argv[++i];
            continue;
        }
        if (option.starts_with("--"))
            return RejectOption(option);
    }
    return std::nullopt;
}
