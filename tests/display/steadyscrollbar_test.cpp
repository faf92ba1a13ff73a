#include "steadyscrollbar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class SteadyScrollBar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar.resize(16, 300);
        bar.setRange(0, 1'000'000);
        bar.setPageStep(10);
        bar.installEventFilter(&counter);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        ASSERT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }));
    }

    // Whether the bar repaints, given the chance, after `change`.
    template<typename Change> bool Repaints(Change change)
    {
        QCoreApplication::processEvents();
        const int before = counter.paints;
        change();
        QCoreApplication::processEvents();
        return counter.paints > before;
    }

    struct CPaintCounter : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
        int paints = 0;
    } counter;
    CSteadyScrollBar bar {Qt::Vertical};
};

TEST_F(SteadyScrollBar, LeavesASliderThatStaysPutAlone)
{
    // The slider of a long range is at its least length and stays at the top.
    EXPECT_FALSE(Repaints([&] { bar.setMaximum(1'000'240); }));
    EXPECT_FALSE(Repaints([&] { bar.setPageStep(11); }));
    // Nor does a value that keeps to the end of a growing range.
    bar.setValue(bar.maximum());
    EXPECT_FALSE(Repaints([&] { bar.SetRangeKeepingValueAtEnd(0, 1'000'480); }));
    EXPECT_EQ(bar.value(), 1'000'480);
}

TEST_F(SteadyScrollBar, RepaintsWhatItShowsDifferently)
{
    using Step = std::function<void(CSteadyScrollBar &)>;
    struct Row
    {
        const char *name;
        Step before;
        Step change;
    };
    const Step nothing = [](CSteadyScrollBar &) {};
    const Row rows[] = {
        {"a range that lengthens the slider", nothing, [](auto &b) { b.setRange(0, 20); }},
        {"a page that lengthens the slider", nothing, [](auto &b) { b.setPageStep(500'000); }},
        {"a new value", nothing, [](auto &b) { b.setValue(500'000); }},
        {"a value at the end that is no longer the end", [](auto &b) { b.setValue(b.maximum()); },
         [](auto &b) { b.setMaximum(b.maximum() + 1); }},
        {"no range left", nothing, [](auto &b) { b.setRange(0, 0); }},
        {"a value kept at the end of a short range", nothing,
         [](auto &b) { b.SetRangeKeepingValueAtEnd(0, 20); }},
    };
    for (const Row &row : rows) {
        bar.setRange(0, 1'000'000);
        bar.setPageStep(10);
        bar.setValue(0);
        row.before(bar);
        QCoreApplication::processEvents();
        EXPECT_TRUE(Repaints([&] { row.change(bar); })) << row.name;
    }
}

} // namespace
