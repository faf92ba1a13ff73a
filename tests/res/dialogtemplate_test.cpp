#include "dialogtemplate.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogTemplate, ConvertsDialogUnitsAtOneAndAHalfPixels)
{
    EXPECT_EQ(DluToPixels(2), 3);
    EXPECT_EQ(DluToPixels(638), 957);
    // The plotting area leaves a client of at least 801 x 521 pixels inside its frame.
    EXPECT_GE(DluToPixels(542) - 6, 801);
    EXPECT_GE(DluToPixels(354) - 6, 521);
}

} // namespace
