#include "datalogtesting.h"
#include "logdirectory.h"

#include <chrono>
#include <string>

namespace {

using namespace std::chrono;

TEST_F(LogFile, AppendsClearsOfOneMinuteToOneFile)
{
    ASSERT_EQ(AppendToLog(2, Segments({"first\r\n"})), LogWriteResult::Written);
    m_now = NOW + seconds {59} + milliseconds {999};
    ASSERT_EQ(AppendToLog(2, Segments({"second"})), LogWriteResult::Written);
    m_now = NOW + minutes {1};
    ASSERT_EQ(AppendToLog(2, Segments({"third"})), LogWriteResult::Written);

    EXPECT_EQ(ContentsOf(LOG_COM3), "first\r\nsecond");
    EXPECT_EQ(ContentsOf("./DATALOG/COM3_2026_12_7_18_6_DataLogger.txt"), "third");
}

TEST_F(LogFile, CreatesTheFileForAnEmptyTextAndLeavesAnExistingOneAlone)
{
    ASSERT_EQ(AppendToLog(2, Segments({})), LogWriteResult::Written);
    ASSERT_TRUE(fs::is_regular_file(LOG_COM3));
    EXPECT_EQ(fs::file_size(LOG_COM3), 0u);

    ASSERT_EQ(AppendToLog(2, Segments({"abc"})), LogWriteResult::Written);
    ASSERT_EQ(AppendToLog(2, Segments({""})), LogWriteResult::Written);
    EXPECT_EQ(ContentsOf(LOG_COM3), "abc");
}

TEST_F(LogFile, FailsToOpenAFileThatAnotherWriterHolds)
{
    ASSERT_EQ(AppendToLog(2, Segments({"earlier"})), LogWriteResult::Written);
    std::uint64_t length = 0;
    const FileHandle holder = OpenLockedRegularFile(LOG_COM3, OPEN_APPENDING, length);
    ASSERT_NE(holder, NO_FILE);

    EXPECT_EQ(AppendToLog(2, Segments({"blocked"})), LogWriteResult::OpenFailed);
    EXPECT_EQ(ContentsOf(LOG_COM3), "earlier");

    CloseFile(holder);
    EXPECT_EQ(AppendToLog(2, Segments({"+later"})), LogWriteResult::Written);
    EXPECT_EQ(ContentsOf(LOG_COM3), "earlier+later");
}

TEST_F(LogFile, FailsToOpenWhenAFileNamedDatalogIsInTheWay)
{
    WriteFile("DATALOG", "not a directory");
    EXPECT_EQ(AppendToLog(2, Segments({"text"})), LogWriteResult::OpenFailed);
    EXPECT_TRUE(fs::is_regular_file("DATALOG"));
    EXPECT_EQ(ContentsOf("DATALOG"), "not a directory");
}

TEST_F(LogFile, EnsuresTheDirectoryOnlyWhereNothingElseIsInTheWay)
{
    EXPECT_TRUE(EnsureDirectory("DATALOG"));
    EXPECT_TRUE(IsDirectory("DATALOG"));
    EXPECT_TRUE(EnsureDirectory("DATALOG"));

    WriteFile("occupied", "x");
    EXPECT_FALSE(EnsureDirectory("occupied"));
    EXPECT_FALSE(EnsureDirectory("missing/child"));
}

} // namespace
