// Logs where the system is Windows: the refusals in the system's words, and a journal with a name
// beyond ASCII that its writer holds open while it is viewed.
#include "recording.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

// A folder is refused by the system's open itself, in its words for it.
std::vector<std::pair<std::string, std::string>> MakeRefusedPaths()
{
    std::filesystem::create_directory("folder");
    return {{"missing.log", "File not found."},
            {"folder", "Access denied."},
            {"NUL", "通常のファイルではありません"}};
}

namespace {

// The writer lets others read only, as a journal's writer does; it is read and read on as it
// grows, under a name given in UTF-8.
TEST(Recording, ReadsAJournalThatItsWriterHoldsOpen)
{
    const CTempWorkDir workDir;
    const HANDLE writer = CreateFileW(L"測定ログ.log", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const auto append = [writer](const std::string &text) {
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(writer, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        ASSERT_EQ(written, text.size());
    };
    append("X0001\r\nX0002Y0003\r\n");
    CRecording recording("測定ログ.log");
    std::string failure;
    ASSERT_TRUE(recording.Open(failure)) << failure;
    recording.WaitForScan();
    EXPECT_EQ(recording.FrameCount(), 2);
    append("X0004Y0005Z0006\r\n");
    recording.Reload();
    recording.WaitForScan();
    EXPECT_EQ(recording.FileSize(), 36);
    ASSERT_EQ(recording.FrameCount(), 3);
    EXPECT_EQ(recording.Frames(2, 1).at(0).bytePosition, 19);
    CloseHandle(writer);
}

} // namespace
