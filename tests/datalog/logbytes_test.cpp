// What a log holds does not depend on the system: the received bytes, unchanged, wherever the
// working directory is.
#include "datalogtesting.h"

#include <string>
#include <vector>

namespace {

// No line end is translated, no end-of-file mark (0x1A) or NUL ends the text, and nothing is
// added: a clear that renames the journal into a new log, an append from memory and a clear
// that copies the journal onto the log's end. An append from memory takes its pieces in turn,
// an empty one among them.
TEST_F(LogFile, HoldsTheReceivedBytesUnchangedOnEverySystem)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    const std::string received[] = {"X0100\r\n", std::string("\n\r\x1A\0", 4), "\x82\xA0"};
    for (const std::string &chunk : received)
        journal.Append(chunk.data(), chunk.size());
    ASSERT_TRUE(Clear(journal, LOG_COM3, 13));
    ASSERT_EQ(AppendToLog(2, Segments({"\xFF", "", "\r\n"})), LogWriteResult::Written);
    ASSERT_TRUE(journal.IsOpen());
    journal.Append("Y\n", 2);
    ASSERT_TRUE(Clear(journal, LOG_COM3, 2));

    const std::vector<unsigned char> expected = {
        0x58, 0x30, 0x31, 0x30, 0x30, 0x0D, 0x0A, // X0100 CR LF
        0x0A, 0x0D, 0x1A, 0x00, // LF CR SUB NUL
        0x82, 0xA0, // あ in Shift_JIS
        0xFF, 0x0D, 0x0A, // appended from memory
        0x59, 0x0A, // copied onto the end
    };
    EXPECT_EQ(ReadBytes(LOG_COM3), expected);
}

// In a working directory with a Japanese name, into a log with one: the journal, a clear that
// renames and one that copies, and a start after a copy that was killed part-way.
TEST(JapaneseFolder, TakesTheJournalClearsAndRecovery)
{
    CTempWorkDir workDir;
    fs::create_directory(Utf8Path("測定データ"));
    fs::current_path(Utf8Path("測定データ"));
    const std::string log = "DATALOG/受信ログ.txt";
    {
        CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
        ASSERT_TRUE(journal.Open());
        journal.Append("X0100\r\n", 7);
        ASSERT_TRUE(journal.Flush());
        EXPECT_EQ(ContentsOf(JOURNAL), "X0100\r\n");
        ASSERT_TRUE(Clear(journal, log, 7));
        journal.Append("X0200\r\n", 7);
        ASSERT_TRUE(Clear(journal, log, 7));
        EXPECT_EQ(ContentsOf(Utf8Path(log)), "X0100\r\nX0200\r\n");
    }

    // Killed after part of "X0300" reached the log: the log is cut back and the journal whole
    // goes into the log of the next start.
    WriteFile(Utf8Path(log), "X0100\r\nX0200\r\nX03");
    WriteFile(JOURNAL, "X0300\r\n");
    WriteFile(RECORD, "14 7\n" + log + "\n" + JOURNAL + "\n");
    CReceiveJournal nextStart("DATALOG");
    EXPECT_EQ(nextStart.Recover("DATALOG/回復.txt"), JournalRecovery::Recovered);
    EXPECT_EQ(ContentsOf(Utf8Path(log)), "X0100\r\nX0200\r\n");
    EXPECT_EQ(ContentsOf(Utf8Path("DATALOG/回復.txt")), "X0300\r\n");
    EXPECT_FALSE(fs::exists(RECORD));
}

} // namespace
