// The watch that a wait for a lost port relies on: it reports a change in a watched folder, also
// in one that did not exist when the wait began or that was removed and made again, and reports
// nothing while nothing changes.
#include "portwatch.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

struct Step
{
    const char *what;
    std::function<void()> act;
    bool changed;
};

TEST(PortWatch, ReportsChangesInFoldersThatComeAndGo)
{
    CTempWorkDir workDir;
    fs::create_directory("dev");
    CPortWatch watch({fs::absolute("dev"), fs::absolute("dev/serial/by-id")});
    ASSERT_GE(watch.Descriptor(), 0);

    const Step steps[] = {
        {"nothing yet", [] {}, false},
        {"a node made", [] { fs::create_symlink("/dev/null", "dev/ttyUSB0"); }, true},
        {"nothing since", [] {}, false},
        {"an unwatched folder", [] { fs::create_directory("elsewhere"); }, false},
        {"the folder above the links", [] { fs::create_directories("dev/serial/by-id"); }, true},
        {"a link in a folder made since",
         [] { fs::create_symlink("../../ttyUSB0", "dev/serial/by-id/usb-FTDI-if00"); }, true},
        {"a link removed", [] { fs::remove("dev/serial/by-id/usb-FTDI-if00"); }, true},
        {"the folder removed", [] { fs::remove_all("dev/serial"); }, true},
        {"and made again", [] { fs::create_directories("dev/serial/by-id"); }, true},
        {"a link in it", [] { fs::create_symlink("../../ttyUSB0", "dev/serial/by-id/x"); }, true},
        {"a folder made in it", [] { fs::create_directory("dev/serial/by-id/sub"); }, true},
        {"inside that one", [] { fs::create_directory("dev/serial/by-id/sub/deeper"); }, false},
    };
    for (const Step &step : steps) {
        step.act();
        EXPECT_EQ(watch.TakeChanges(), step.changed) << step.what;
    }
}

} // namespace
