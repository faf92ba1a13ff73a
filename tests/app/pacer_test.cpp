#include "pacer.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A pacer at 40 ms on a clock and a timer that the test moves by hand.
class Pacer : public ::testing::Test
{
protected:
    bool Ask() { return m_pacer.HoldBack(); }
    void At(std::chrono::milliseconds time) { m_now = CPacer::Clock::time_point(time); }
    // The timer goes off: the test's clock moves to when it was due.
    void TimerGoesOff()
    {
        ASSERT_TRUE(m_timerDue.has_value());
        m_now = *std::exchange(m_timerDue, std::nullopt);
        m_pacer.TimerExpired();
    }

    CPacer::Clock::time_point m_now {};
    std::optional<CPacer::Clock::time_point> m_timerDue;
    std::vector<CPacer::Clock::time_point> m_runs;
    std::function<void()> m_duringRun;
    CPacer m_pacer {[] { return std::chrono::nanoseconds(40ms); },
                    [this] {
                        m_runs.push_back(m_now);
                        if (m_duringRun)
                            m_duringRun();
                    },
                    {[this](std::chrono::nanoseconds delay) { m_timerDue = m_now + delay; },
                     [this] { m_timerDue.reset(); }},
                    [this] { return m_now; }};
};

TEST_F(Pacer, PassesAfterAQuietSpellAndHoldsWhatComesSooner)
{
    At(100ms);
    EXPECT_FALSE(Ask()) << "the first ask";
    At(110ms);
    EXPECT_TRUE(Ask());
    ASSERT_TRUE(m_timerDue.has_value());
    EXPECT_EQ(*m_timerDue, CPacer::Clock::time_point(140ms)) << "due when the interval is over";
    At(130ms);
    EXPECT_TRUE(Ask()) << "served by the run already due";
    EXPECT_EQ(*m_timerDue, CPacer::Clock::time_point(140ms));
    TimerGoesOff();
    EXPECT_EQ(m_runs, std::vector {CPacer::Clock::time_point(140ms)}) << "one run for both asks";

    At(150ms);
    EXPECT_TRUE(Ask()) << "the interval counts from the held run";
    TimerGoesOff();
    At(300ms);
    EXPECT_FALSE(Ask()) << "a quiet spell again";
    EXPECT_EQ(m_runs.size(), 2u);
}

TEST_F(Pacer, TheRunMayAskAgainAndADroppedAskNeverRuns)
{
    At(0ms);
    ASSERT_FALSE(Ask());
    At(10ms);
    ASSERT_TRUE(Ask());
    bool askedDuringRun = true;
    m_duringRun = [&] { askedDuringRun = Ask(); };
    TimerGoesOff();
    EXPECT_FALSE(askedDuringRun) << "the run does what it asks for";
    m_duringRun = nullptr;

    At(45ms);
    ASSERT_TRUE(Ask());
    m_pacer.Drop();
    EXPECT_FALSE(m_timerDue.has_value()) << "the timer is stopped";
    m_pacer.TimerExpired();
    EXPECT_EQ(m_runs.size(), 1u) << "a timer that went off late runs nothing dropped";
}

} // namespace
