#include <QApplication>

#include <gtest/gtest.h>

// Widget tests share one application object. They run on the offscreen platform unless told
// otherwise, so that listing the tests during the build needs no display either.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
