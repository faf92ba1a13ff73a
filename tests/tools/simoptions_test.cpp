#include "simoptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

SimOptionsResult Parse(const std::vector<std::string_view> &args)
{
    return ParseSimOptions(args);
}

TEST(SimOptions, DefaultsShowThreeDifferentLiveTraces)
{
    const SimOptionsResult result = Parse({});
    ASSERT_TRUE(result.options) << result.error;
    const SimOptions &options = *result.options;
    EXPECT_EQ(options.form, FrameForm::XYZ);
    EXPECT_NE(options.waveforms[0], options.waveforms[1]);
    EXPECT_NE(options.waveforms[1], options.waveforms[2]);
    EXPECT_NE(options.waveforms[0], options.waveforms[2]);
    EXPECT_EQ(options.bits, 12);
    EXPECT_EQ(options.pace, Pace::FrameRate);
    EXPECT_EQ(options.rate, 100);
    EXPECT_FALSE(options.durationSeconds);
    EXPECT_FALSE(options.frameCount);
    EXPECT_EQ(options.malformedShare, 0);
    EXPECT_FALSE(options.replayFile);
    EXPECT_EQ(options.linkName, "COM1");
}

struct ValidCase
{
    const char *name;
    std::vector<std::string_view> args;
    std::function<void(const SimOptions &)> check;
};

const ValidCase VALID_CASES[] = {
    {"FormX", {"--form", "x"}, [](const SimOptions &o) { EXPECT_EQ(o.form, FrameForm::X); }},
    {"Waveforms",
     {"--x", "noise", "--y", "constant", "--z", "sine"},
     [](const SimOptions &o) {
         EXPECT_EQ(o.waveforms[0], Waveform::Noise);
         EXPECT_EQ(o.waveforms[1], Waveform::Constant);
         EXPECT_EQ(o.waveforms[2], Waveform::Sine);
     }},
    {"YOnTwoChannels",
     {"--form", "xy", "--y", "square"},
     [](const SimOptions &o) { EXPECT_EQ(o.waveforms[1], Waveform::Square); }},
    {"ValueAfterEquals", {"--rate=250"}, [](const SimOptions &o) { EXPECT_EQ(o.rate, 250); }},
    {"FractionalRate", {"--rate", "0.5"}, [](const SimOptions &o) { EXPECT_EQ(o.rate, 0.5); }},
    {"XFramesUpToTheLineLimit",
     {"--form", "x", "--rate", "42857"},
     [](const SimOptions &o) { EXPECT_EQ(o.rate, 42857); }},
    {"ByteRateAtTheLineLimit",
     {"--byte-rate", "300000"},
     [](const SimOptions &o) {
         EXPECT_EQ(o.pace, Pace::ByteRate);
         EXPECT_EQ(o.rate, 300000);
     }},
    {"Max", {"--max"}, [](const SimOptions &o) { EXPECT_EQ(o.pace, Pace::Max); }},
    {"Bits8", {"--bits", "8"}, [](const SimOptions &o) { EXPECT_EQ(o.bits, 8); }},
    {"Bits16", {"--bits", "16"}, [](const SimOptions &o) { EXPECT_EQ(o.bits, 16); }},
    {"AmplitudeEnds",
     {"--amplitude", "0", "--period", "2"},
     [](const SimOptions &o) {
         EXPECT_EQ(o.amplitude, 0);
         EXPECT_EQ(o.periodFrames, 2);
     }},
    {"Duration",
     {"--duration", "2.5"},
     [](const SimOptions &o) { EXPECT_EQ(o.durationSeconds, 2.5); }},
    {"Count", {"--count", "1"}, [](const SimOptions &o) { EXPECT_EQ(o.frameCount, 1u); }},
    {"MalformedAll",
     {"--malformed", "1"},
     [](const SimOptions &o) { EXPECT_EQ(o.malformedShare, 1); }},
    {"Seed",
     {"--seed", "18446744073709551615"},
     [](const SimOptions &o) { EXPECT_EQ(o.seed, 18446744073709551615u); }},
    {"ReplayPacedInBytes",
     {"--replay", "log.txt"},
     [](const SimOptions &o) {
         EXPECT_EQ(o.replayFile, "log.txt");
         EXPECT_EQ(o.pace, Pace::ByteRate);
         EXPECT_EQ(o.rate, 1700);
     }},
    {"ReplayAtMaxForAWhile",
     {"--replay", "log.txt", "--max", "--duration", "3"},
     [](const SimOptions &o) { EXPECT_EQ(o.pace, Pace::Max); }},
    {"LinkAndQuiet",
     {"--link", "COM3", "--quiet"},
     [](const SimOptions &o) {
         EXPECT_EQ(o.linkName, "COM3");
         EXPECT_TRUE(o.quiet);
     }},
    {"HelpBeforeAnyCheck",
     {"--max", "--count", "5", "-h"},
     [](const SimOptions &o) { EXPECT_TRUE(o.help); }},
};

TEST(SimOptions, AcceptsEveryOptionInRange)
{
    for (const ValidCase &row : VALID_CASES) {
        SCOPED_TRACE(row.name);
        const SimOptionsResult result = Parse(row.args);
        ASSERT_TRUE(result.options) << result.error;
        row.check(*result.options);
    }
}

struct InvalidCase
{
    const char *name;
    std::vector<std::string_view> args;
    const char *errorMentions;
};

const InvalidCase INVALID_CASES[] = {
    {"UnknownOption", {"--frobnicate"}, "unknown option '--frobnicate'"},
    {"Positional", {"COM1"}, "unknown option 'COM1'"},
    {"MissingValue", {"--rate"}, "--rate needs a value"},
    {"NotANumber", {"--rate", "fast"}, "'fast' is not a number"},
    {"TrailingJunk", {"--rate", "100Hz"}, "'100Hz' is not a number"},
    {"Infinite", {"--amplitude", "inf"}, "'inf' is not a number"},
    {"NotANumberAtAll", {"--rate", "nan"}, "'nan' is not a number"},
    {"ZeroRate", {"--rate", "0"}, "--rate must be above 0"},
    {"NegativeRate", {"--byte-rate", "-5"}, "--byte-rate must be above 0"},
    {"ByteRateAboveTheLine", {"--byte-rate", "300001"}, "at most 300000"},
    {"FrameRateAboveTheLine", {"--rate", "17648"}, "the line carries at most 300000"},
    {"TwoPaces", {"--rate", "100", "--max"}, "give only one"},
    {"DurationAndCount", {"--duration", "1", "--count", "5"}, "give only one"},
    {"CountZero", {"--count", "0"}, "--count needs a whole number of at least 1"},
    {"CountFraction", {"--count", "1.5"}, "--count needs a whole number"},
    {"CountNegative", {"--count", "-1"}, "--count needs a whole number"},
    {"DurationZero", {"--duration", "0"}, "--duration needs a number of seconds above 0"},
    {"OddBitLength", {"--bits", "11"}, "--bits takes 16|14|12|10|8, not '11'"},
    {"UnknownForm", {"--form", "xz"}, "--form takes x|xy|xyz"},
    {"UnknownWaveform", {"--x", "saw"}, "--x takes sine|triangle|square|noise|constant"},
    {"AmplitudeAboveOne", {"--amplitude", "1.5"}, "--amplitude must be"},
    {"AmplitudeNegative", {"--amplitude", "-0.1"}, "--amplitude must be"},
    {"MalformedAboveOne", {"--malformed", "2"}, "--malformed must be"},
    {"PeriodTooShort", {"--period", "1"}, "--period must be at least 2"},
    {"ZOnTwoChannels", {"--form", "xy", "--z", "sine"}, "--z: the frames of --form xy"},
    {"YOnOneChannel", {"--y", "sine", "--form", "x"}, "--y: the frames of --form x"},
    {"ReplayInFrames", {"--replay", "log.txt", "--rate", "100"}, "--rate counts frames"},
    {"ReplayWithAForm", {"--replay", "log.txt", "--form", "x"}, "--form shapes generated"},
    {"ReplayCounted", {"--replay", "log.txt", "--count", "3"}, "--count shapes generated"},
    {"ReplayWithoutFile", {"--replay", ""}, "--replay needs a file name"},
    {"EmptyLink", {"--link="}, "--link needs a name"},
    {"FlagWithValue", {"--quiet=yes"}, "--quiet takes no value"},
    {"GivenTwice", {"--rate", "100", "--rate", "200"}, "--rate is given twice"},
};

TEST(SimOptions, RejectsBadInputWithAMessageNamingIt)
{
    for (const InvalidCase &row : INVALID_CASES) {
        SCOPED_TRACE(row.name);
        const SimOptionsResult result = Parse(row.args);
        EXPECT_FALSE(result.options);
        EXPECT_NE(result.error.find(row.errorMentions), std::string::npos) << result.error;
    }
}

TEST(SimOptions, UsageExplainsEveryOption)
{
    const std::string usage = SimUsage();
    for (const char *option :
         {"--form", "--x", "--y", "--z", "--amplitude", "--period", "--bits", "--rate",
          "--byte-rate", "--max", "--duration", "--count", "--malformed", "--seed", "--replay",
          "--link", "--quiet", "--help", "orvanta-sim --form xyz --x sine --y triangle --z square"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

} // namespace
