// The main of test programs that need a QApplication: widgets, clipboard, fonts, events.
#include "testisolation.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    IsolateFromTheMachine();
    // Test discovery runs the program at build time, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
