// The main of test programs that need no Qt event loop.
#include "testisolation.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    IsolateFromTheMachine();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
