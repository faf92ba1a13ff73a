// Logs where the system is Linux: a FIFO and a device under a log's name are refused.
#include "recording.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include <sys/stat.h>

namespace {

// Nothing but a regular file is read: a FIFO without a writer would block the open, /dev/zero
// would never end.
TEST(Recording, OpenFailsWithTheReasonForAnythingButAFile)
{
    const CTempWorkDir workDir;
    std::filesystem::create_directory("folder");
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    for (const auto &[path, reason] : {std::pair {"missing.log", "No such file or directory"},
                                       {"folder", "Is a directory"},
                                       {"fifo", "通常のファイルではありません"},
                                       {"/dev/zero", "通常のファイルではありません"}}) {
        SCOPED_TRACE(path);
        CRecording recording(path);
        std::string failure;
        EXPECT_FALSE(recording.Open(failure));
        EXPECT_EQ(failure, std::string("ログファイルがオープンできません：") + reason);
        recording.WaitForScan();
        EXPECT_EQ(recording.FrameCount(), 0);
    }
}

} // namespace
