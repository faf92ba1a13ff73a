#include "simoptions.h"

#include "deviceframe.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>

namespace {

// An option's handler stores its value and returns an error, empty when the value is good.
using ApplyValue
    = std::function<std::string(SimOptions &, std::string_view option, std::string_view value)>;

struct OptionEntry
{
    std::string_view name;
    bool takesValue;
    ApplyValue apply;
};

template<typename Number> std::optional<Number> ParseNumber(std::string_view text)
{
    Number number {};
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(number))
            return std::nullopt;
    }
    return number;
}

std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

// Stores a real number that must lie within [low, high]; `lowOpen` excludes `low` itself.
ApplyValue RealIn(double SimOptions::*field, double low, double high, bool lowOpen)
{
    return [=](SimOptions &options, std::string_view option, std::string_view value) {
        const std::optional<double> number = ParseNumber<double>(value);
        if (!number)
            return std::string(option) + ": " + Quoted(value) + " is not a number";
        if (*number > high || *number < low || (lowOpen && *number == low)) {
            std::ostringstream range;
            range << option << " must be " << (lowOpen ? "above " : "at least ") << low
                  << " and at most " << high;
            return range.str();
        }
        options.*field = *number;
        return std::string();
    };
}

ApplyValue WholeNumber(std::optional<std::uint64_t> SimOptions::*field, std::uint64_t low)
{
    return [=](SimOptions &options, std::string_view option, std::string_view value) {
        const std::optional<std::uint64_t> number = ParseNumber<std::uint64_t>(value);
        if (!number || *number < low)
            return std::string(option) + " needs a whole number of at least " + std::to_string(low)
                + ", not " + Quoted(value);
        options.*field = *number;
        return std::string();
    };
}

template<typename Field> ApplyValue NonEmpty(Field SimOptions::*field, std::string_view what)
{
    return [=](SimOptions &options, std::string_view option, std::string_view value) {
        if (value.empty())
            return std::string(option) + " needs " + std::string(what);
        options.*field = std::string(value);
        return std::string();
    };
}

template<typename Choice> struct Named
{
    std::string_view name;
    Choice value;
};

constexpr Named<FrameForm> FORMS[]
    = {{"x", FrameForm::X}, {"xy", FrameForm::XY}, {"xyz", FrameForm::XYZ}};
constexpr Named<Waveform> WAVEFORMS[] = {{"sine", Waveform::Sine},
                                         {"triangle", Waveform::Triangle},
                                         {"square", Waveform::Square},
                                         {"noise", Waveform::Noise},
                                         {"constant", Waveform::Constant}};
constexpr Named<int> BIT_LENGTHS[] = {{"16", 16}, {"14", 14}, {"12", 12}, {"10", 10}, {"8", 8}};

template<typename Choice, std::size_t N> std::string ChoiceList(const Named<Choice> (&choices)[N])
{
    std::string list;
    for (const Named<Choice> &choice : choices)
        list += (list.empty() ? "" : "|") + std::string(choice.name);
    return list;
}

template<typename Choice, std::size_t N, typename Store>
ApplyValue OneOf(const Named<Choice> (&choices)[N], Store store)
{
    return [=, &choices](SimOptions &options, std::string_view option, std::string_view value) {
        for (const Named<Choice> &choice : choices) {
            if (choice.name == value) {
                store(options, choice.value);
                return std::string();
            }
        }
        return std::string(option) + " takes " + ChoiceList(choices) + ", not " + Quoted(value);
    };
}

ApplyValue WaveformOf(int channel)
{
    return OneOf(WAVEFORMS,
                 [channel](SimOptions &options, Waveform w) { options.waveforms[channel] = w; });
}

// --rate and --byte-rate: a rate above 0, up to what the line carries.
ApplyValue PaceAt(Pace pace)
{
    const ApplyValue storeRate = RealIn(&SimOptions::rate, 0, MAX_BYTE_RATE, true);
    return [=](SimOptions &options, std::string_view option, std::string_view value) {
        options.pace = pace;
        return storeRate(options, option, value);
    };
}

ApplyValue SetPaceToMax()
{
    return [](SimOptions &options, std::string_view, std::string_view) {
        options.pace = Pace::Max;
        return std::string();
    };
}

ApplyValue Set(bool SimOptions::*field)
{
    return [=](SimOptions &options, std::string_view, std::string_view) {
        options.*field = true;
        return std::string();
    };
}

std::string StoreDuration(SimOptions &options, std::string_view option, std::string_view value)
{
    const std::optional<double> seconds = ParseNumber<double>(value);
    if (!seconds || *seconds <= 0)
        return std::string(option) + " needs a number of seconds above 0, not " + Quoted(value);
    options.durationSeconds = *seconds;
    return {};
}

const std::vector<OptionEntry> &OptionTable()
{
    static const std::vector<OptionEntry> table = {
        {"--form", true, OneOf(FORMS, [](SimOptions &o, FrameForm form) { o.form = form; })},
        {"--x", true, WaveformOf(0)},
        {"--y", true, WaveformOf(1)},
        {"--z", true, WaveformOf(2)},
        {"--amplitude", true, RealIn(&SimOptions::amplitude, 0, 1, false)},
        {"--period", true,
         RealIn(&SimOptions::periodFrames, MIN_PERIOD_FRAMES, MAX_PERIOD_FRAMES, false)},
        {"--bits", true, OneOf(BIT_LENGTHS, [](SimOptions &o, int bits) { o.bits = bits; })},
        {"--rate", true, PaceAt(Pace::FrameRate)},
        {"--byte-rate", true, PaceAt(Pace::ByteRate)},
        {"--max", false, SetPaceToMax()},
        {"--duration", true, StoreDuration},
        {"--count", true, WholeNumber(&SimOptions::frameCount, 1)},
        {"--malformed", true, RealIn(&SimOptions::malformedShare, 0, 1, false)},
        {"--seed", true, WholeNumber(&SimOptions::seed, 0)},
        {"--replay", true, NonEmpty(&SimOptions::replayFile, "a file name")},
        {"--link", true, NonEmpty(&SimOptions::linkName, "a name")},
        {"--quiet", false, Set(&SimOptions::quiet)},
        {"--help", false, Set(&SimOptions::help)},
    };
    return table;
}

const OptionEntry *FindOption(std::string_view name)
{
    if (name == "-h")
        name = "--help";
    for (const OptionEntry &entry : OptionTable()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

// The first of `names` that was given, or nothing.
std::optional<std::string_view> FirstGiven(const std::set<std::string_view> &given,
                                           std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names) {
        if (given.count(name))
            return name;
    }
    return std::nullopt;
}

std::string CheckExclusive(const std::set<std::string_view> &given,
                           std::initializer_list<std::string_view> names)
{
    int count = 0;
    for (std::string_view name : names)
        count += static_cast<int>(given.count(name));
    if (count < 2)
        return {};
    std::string list;
    for (std::string_view name : names)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list + ": give only one";
}

std::string CheckReplay(const std::set<std::string_view> &given)
{
    if (!given.count("--replay"))
        return {};
    if (given.count("--rate"))
        return "--rate counts frames; --replay sends bytes, paced by --byte-rate or --max";
    const std::optional<std::string_view> generatorOption
        = FirstGiven(given,
                     {"--form", "--x", "--y", "--z", "--amplitude", "--period", "--bits", "--count",
                      "--malformed", "--seed"});
    if (generatorOption)
        return std::string(*generatorOption)
            + " shapes generated frames; --replay sends the file"
              " as it stands";
    return {};
}

std::string CheckChannels(const SimOptions &options, const std::set<std::string_view> &given)
{
    const std::string_view channelOptions[] = {"--x", "--y", "--z"};
    for (int channel = ChannelCount(options.form); channel < CHANNEL_COUNT; ++channel) {
        if (given.count(channelOptions[channel]))
            return std::string(channelOptions[channel]) + ": the frames of --form "
                + std::string(FormName(options.form)) + " do not carry that channel";
    }
    return {};
}

std::string CheckLineCapacity(const SimOptions &options)
{
    if (options.pace != Pace::FrameRate || options.replayFile)
        return {};
    const double bytesPerSecond = options.rate * FrameLength(options.form);
    if (bytesPerSecond <= MAX_BYTE_RATE)
        return {};
    std::ostringstream message;
    message << "--rate " << options.rate << " with " << FrameLength(options.form)
            << "-byte frames needs " << bytesPerSecond
            << " bytes a second; the line carries at most " << MAX_BYTE_RATE;
    return message.str();
}

std::string CheckCombinations(SimOptions &options, const std::set<std::string_view> &given)
{
    for (const std::string &error :
         {CheckExclusive(given, {"--rate", "--byte-rate", "--max"}),
          CheckExclusive(given, {"--duration", "--count"}), CheckReplay(given),
          CheckChannels(options, given), CheckLineCapacity(options)}) {
        if (!error.empty())
            return error;
    }
    // A replay keeps the frame rate's default only as bytes: 100 XYZ frames a second.
    if (options.replayFile && options.pace == Pace::FrameRate) {
        options.pace = Pace::ByteRate;
        options.rate *= FrameLength(FrameForm::XYZ);
    }
    return {};
}

struct Argument
{
    std::string_view name;
    std::optional<std::string_view> inlineValue;
};

// "--rate=250" is "--rate" with the value "250".
Argument SplitArgument(std::string_view argument)
{
    const std::size_t equals = argument.find('=');
    if (!argument.starts_with("--") || equals == std::string_view::npos)
        return {argument, std::nullopt};
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

SimOptionsResult Failure(std::string error)
{
    return {std::nullopt, std::move(error)};
}

} // namespace

SimOptionsResult ParseSimOptions(const std::vector<std::string_view> &args)
{
    SimOptions options;
    std::set<std::string_view> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto [name, inlineValue] = SplitArgument(args[i]);
        const OptionEntry *entry = FindOption(name);
        if (!entry)
            return Failure("unknown option " + Quoted(args[i]));
        if (!given.insert(entry->name).second)
            return Failure(std::string(entry->name) + " is given twice");
        std::string_view value;
        if (entry->takesValue) {
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return Failure(std::string(entry->name) + " needs a value");
        } else if (inlineValue) {
            return Failure(std::string(entry->name) + " takes no value");
        }
        if (std::string error = entry->apply(options, entry->name, value); !error.empty())
            return Failure(std::move(error));
    }
    if (options.help)
        return {options, {}};
    if (std::string error = CheckCombinations(options, given); !error.empty())
        return Failure(std::move(error));
    return {options, {}};
}

std::string_view FormName(FrameForm form)
{
    for (const Named<FrameForm> &choice : FORMS) {
        if (choice.value == form)
            return choice.name;
    }
    return {};
}

std::string_view WaveformName(Waveform waveform)
{
    for (const Named<Waveform> &choice : WAVEFORMS) {
        if (choice.value == waveform)
            return choice.name;
    }
    return {};
}

std::string SimUsage()
{
    return R"(Usage: orvanta-sim [OPTION]...
A simulated measuring device: streams frames such as "X07FFY0801Z0ABC" CR LF on a
pseudo-terminal and links it as COM1 in the working directory, where Orvanta opens it.
With no options it sends XYZ frames (X sine, Y triangle, Z square) at 12 bit, 100 frames a
second, until Ctrl+C. What Orvanta sends back is printed on stdout, one line per read:
printable text as it is, a backslash as \\, other bytes as \xNN.

Frames
  --form x|xy|xyz        channels in each frame (default xyz)
  --x WAVE, --y WAVE, --z WAVE
                         waveform of a channel: sine|triangle|square|noise|constant
                         (defaults sine, triangle, square); Y and Z run a third and two
                         thirds of a period behind X, so the traces do not overlap
  --amplitude A          0 to 1 (default 0.9): peak to peak as a share of full scale,
                         centred on mid scale; a constant sits at A times full scale
  --period FRAMES        frames in one period of every waveform, at least 2 (default 125,
                         three periods on one sweep of Orvanta's graph)
  --bits 16|14|12|10|8   bit length whose full range the values use (default 12); the
                         digits above it are sent as zero
  --malformed SHARE      0 to 1 (default 0): the share of frames sent spoiled, with a digit
                         that is not hexadecimal, without the CR, with garbage bytes in
                         front, or cut short
  --seed N               seed of the noise and of the spoiling, to repeat a run; printed at
                         the start when not given

Pace (give one; the line carries at most 300000 bytes a second, 3 Mbaud with 8N1)
  --rate FRAMES/S        frames a second (default 100)
  --byte-rate B/S        bytes a second, spread evenly, so frames may arrive in pieces
  --max                  as fast as the reader takes them

Length (default: until Ctrl+C)
  --duration SECONDS     stop generating after this time, counted from the first open
  --count FRAMES         stop after this many frames, spoiled ones included
  Once everything is sent the simulator prints its summary; it exits when the program
  closes the port, since closing the terminal throws away what is not read yet.

Replay
  --replay FILE          send the bytes of FILE (a log Orvanta wrote, say) instead of
                         generated frames, at --byte-rate (default 1700, which is 100 XYZ
                         frames a second) or --max, then stop; --duration cuts it short

Port and output
  --link NAME            name of the link to the pseudo-terminal (default COM1); an
                         existing entry is replaced only when it is a link that an earlier
                         run left behind, pointing at a pseudo-terminal that is gone
  --quiet                no start line, progress line or summary on stderr (progress is
                         shown only when stderr is a terminal)
  -h, --help             this text

While a program has the port open and does not read, the terminal's buffer (about 20 KB)
fills and the simulator waits: nothing is dropped. While no program has the port open, nothing
falls due: the stream starts with the first open and picks up where it stopped at every later
one. The simulator keeps nothing of the port open itself, so the port is never busy.

Examples
  orvanta-sim --form xyz --x sine --y triangle --z square --rate 100
  orvanta-sim --link COM3 --form x --x noise --bits 16 --rate 1000
  orvanta-sim --max --count 100000 --malformed 0.01
  orvanta-sim --replay DATALOG/COM1_2026_12_7_18_5_DataLogger.txt --byte-rate 11520
)";
}
