#include "framespoiler.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <string>

namespace {

const std::string FRAMES[] = {"X07FFY0801Z0ABC\r\n", "X07FFY0801\r\n", "X07FF\r\n"};

bool IsDigitPosition(std::size_t position, const std::string &frame)
{
    return position < frame.size() - 2 && position % 5 != 0;
}

void ExpectOneNonHexDigit(const std::string &frame, const std::string &spoiled)
{
    ASSERT_EQ(spoiled.size(), frame.size());
    int changed = 0;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (spoiled[i] == frame[i])
            continue;
        ++changed;
        EXPECT_TRUE(IsDigitPosition(i, frame)) << "changed byte " << i;
        EXPECT_FALSE(std::isxdigit(static_cast<unsigned char>(spoiled[i]))) << spoiled[i];
    }
    EXPECT_EQ(changed, 1);
}

void ExpectNoCarriageReturn(const std::string &frame, const std::string &spoiled)
{
    EXPECT_EQ(spoiled, frame.substr(0, frame.size() - 2) + "\n");
}

void ExpectGarbageInFront(const std::string &frame, const std::string &spoiled)
{
    ASSERT_GT(spoiled.size(), frame.size());
    ASSERT_LE(spoiled.size(), frame.size() + MAX_GARBAGE_BYTES);
    EXPECT_EQ(spoiled.substr(spoiled.size() - frame.size()), frame);
    for (std::size_t i = 0; i < spoiled.size() - frame.size(); ++i) {
        const auto byte = static_cast<unsigned char>(spoiled[i]);
        EXPECT_NE(byte, 0x00);
        EXPECT_NE(byte, 0x11);
        EXPECT_NE(byte, 0x13);
    }
}

void ExpectCutShort(const std::string &frame, const std::string &spoiled)
{
    ASSERT_GE(spoiled.size(), 1u);
    ASSERT_LE(spoiled.size(), frame.size() - 2);
    EXPECT_EQ(spoiled, frame.substr(0, spoiled.size()));
}

struct SpoilCase
{
    const char *name;
    Spoil kind;
    std::function<void(const std::string &, const std::string &)> check;
};

const SpoilCase SPOIL_CASES[] = {
    {"NonHexDigit", Spoil::NonHexDigit, ExpectOneNonHexDigit},
    {"MissingCarriageReturn", Spoil::MissingCarriageReturn, ExpectNoCarriageReturn},
    {"GarbageBefore", Spoil::GarbageBefore, ExpectGarbageInFront},
    {"CutShort", Spoil::CutShort, ExpectCutShort},
};

TEST(FrameSpoiler, SpoilsEachFormInTheWayAsked)
{
    std::mt19937_64 random(5);
    for (const SpoilCase &row : SPOIL_CASES) {
        for (const std::string &frame : FRAMES) {
            SCOPED_TRACE(std::string(row.name) + " " + std::to_string(frame.size()));
            for (int i = 0; i < 200; ++i)
                row.check(frame, SpoilFrame(frame, row.kind, random));
        }
    }
}

// Which way a frame was spoiled, told from the result alone.
std::string KindOf(const std::string &frame, const std::string &sent)
{
    if (sent == frame)
        return "clean";
    if (sent.size() == frame.size())
        return "digit";
    if (sent.size() == frame.size() - 1)
        return "no CR";
    if (sent.size() > frame.size())
        return "garbage";
    return "cut";
}

std::map<std::string, int> PassMany(double share, int frames)
{
    CFrameSpoiler spoiler(share, 9);
    std::map<std::string, int> kinds;
    for (int i = 0; i < frames; ++i)
        ++kinds[KindOf(FRAMES[0], spoiler.Pass(FRAMES[0]))];
    return kinds;
}

TEST(FrameSpoiler, SpoilsTheShareAskedForInEveryWay)
{
    const int frames = 20000;
    EXPECT_EQ(PassMany(0, frames)["clean"], frames);
    EXPECT_EQ(PassMany(1, frames)["clean"], 0);

    std::map<std::string, int> kinds = PassMany(0.2, frames);
    EXPECT_NEAR(frames - kinds["clean"], 0.2 * frames, 0.01 * frames);
    for (const char *kind : {"digit", "no CR", "garbage", "cut"})
        EXPECT_NEAR(kinds[kind], 0.05 * frames, 0.01 * frames) << kind;
}

} // namespace
