#include "datalogtesting.h"

#include <memory>
#include <string>
#include <vector>

namespace {

TEST_F(ReceiveJournal, KeepsEveryByteInTheOrderAppended)
{
    const std::vector<std::string> chunks = {
        "X07FFY0801Z0ABC\r\n",
        "",
        std::string("\0\0X\0", 4),
        "\x82\xA0\x83\x8D\x83\x4F\r\n", // Shift_JIS
        "\x80\xFE\xFF\n\r",
        std::string(4095, '\x11'),
        "X0100\r\n",
    };
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    std::string expected;
    for (const std::string &chunk : chunks) {
        journal.Append(chunk.data(), chunk.size());
        expected += chunk;
    }
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(ContentsOf(JOURNAL), expected);

    journal.Append("more", 4);
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(ContentsOf(JOURNAL), expected + "more");
}

TEST_F(ReceiveJournal, ClearEmptiesTheFileAndDropsWhatIsQueued)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    journal.Append("written", 7);
    ASSERT_TRUE(journal.Flush());
    journal.Append("queued", 6);
    journal.Clear();
    EXPECT_EQ(fs::file_size(JOURNAL), 0u);

    journal.Append("after", 5);
    EXPECT_TRUE(journal.Flush());
    EXPECT_EQ(ContentsOf(JOURNAL), "after");
}

TEST_F(ReceiveJournal, CloseWritesWhatIsQueuedAndKeepsIt)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    journal.Append("queued", 6);
    journal.Close();
    EXPECT_FALSE(journal.IsOpen());
    EXPECT_EQ(ContentsOf(JOURNAL), "queued");

    journal.Append("closed", 6);
    EXPECT_FALSE(journal.Flush());
    EXPECT_EQ(ContentsOf(JOURNAL), "queued");
}

// A new log becomes the journal's file itself, an existing one gets the bytes copied onto its
// end; either way the journal serves this run afterwards, empty.
TEST_F(ReceiveJournal, RecoverMovesALeftoverIntoTheLog)
{
    const std::string leftover
        = std::string("X07FFY0801Z0ABC\r\n\0\x82\xA0\xFF", 21) + std::string(100000, '\xA5');
    for (const char *earlier : {"", "earlier"}) {
        SCOPED_TRACE(earlier);
        fs::create_directory("DATALOG");
        if (*earlier)
            WriteFile(RECOVERED_LOG, earlier);
        WriteFile(JOURNAL, leftover);

        CReceiveJournal journal("DATALOG");
        EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Recovered);
        EXPECT_EQ(ContentsOf(RECOVERED_LOG), earlier + leftover);
        ASSERT_TRUE(journal.Open());
        journal.Append("new", 3);
        EXPECT_TRUE(journal.Flush());
        EXPECT_EQ(ContentsOf(JOURNAL), "new");
        journal.Close();
        fs::remove_all("DATALOG");
    }
}

TEST_F(ReceiveJournal, RecoverFindsNothingWhereNoRunLeftBytes)
{
    CReceiveJournal holder("DATALOG", NEVER_BY_ITSELF);
    const struct
    {
        const char *name;
        std::function<void()> prepare;
        const char *journalAfter;
    } rows[] = {
        {"no log directory", [] {}, nullptr},
        {"no journal", [] { fs::create_directory("DATALOG"); }, nullptr},
        {"an empty journal",
         [] {
             fs::create_directory("DATALOG");
             WriteFile(JOURNAL, "");
         },
         ""},
        {"a journal that another run holds",
         [&holder] {
             holder.Open();
             holder.Append("in use", 6);
             holder.Flush();
         },
         "in use"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.prepare();
        CReceiveJournal journal("DATALOG");
        EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Nothing);
        EXPECT_FALSE(fs::exists(RECOVERED_LOG));
        if (row.journalAfter)
            EXPECT_EQ(ContentsOf(JOURNAL), row.journalAfter);
        else
            EXPECT_FALSE(fs::exists(JOURNAL));
        holder.Close();
        fs::remove_all("DATALOG");
    }
}

TEST_F(ReceiveJournal, KeepsALeftoverThatTheLogDidNotTakeForTheNextStart)
{
    fs::create_directory("DATALOG");
    WriteFile(JOURNAL, "left behind");
    // A directory in the log's place takes neither a rename nor a copy.
    fs::create_directory(RECOVERED_LOG);
    CReceiveJournal journal("DATALOG");
    EXPECT_EQ(journal.Recover(RECOVERED_LOG), JournalRecovery::Failed);
    EXPECT_EQ(ContentsOf(JOURNAL), "left behind");

    // This run neither mixes its bytes into the leftover nor empties it.
    EXPECT_TRUE(TakesNothing(journal));
    EXPECT_EQ(ContentsOf(JOURNAL), "left behind");

    fs::remove(RECOVERED_LOG);
    CReceiveJournal nextStart("DATALOG");
    EXPECT_EQ(nextStart.Recover(RECOVERED_LOG), JournalRecovery::Recovered);
    EXPECT_EQ(ContentsOf(RECOVERED_LOG), "left behind");
}

// Nothing of this run goes where the journal cannot be opened, nor into a journal that another
// run holds.
TEST_F(ReceiveJournal, TakesNothingWhereTheJournalCannotBeOpened)
{
    std::vector<ArrangementCase> cases = {
        {"a file named DATALOG",
         [] {
             fs::remove("DATALOG");
             WriteFile("DATALOG", "not a directory");
             return [] {};
         }},
        {"a directory named .journal",
         [] {
             fs::create_directories(JOURNAL);
             return [] {};
         }},
        {"a journal that another run holds",
         [] {
             auto first = std::make_shared<CReceiveJournal>("DATALOG", NEVER_BY_ITSELF);
             first->Open();
             first->Append("first", 5);
             first->Flush();
             return [first] {
                 EXPECT_EQ(ContentsOf(JOURNAL), "first");
                 first->Close();
             };
         }},
    };
    cases.insert(cases.end(), SYSTEM_UNOPENABLE_JOURNAL_CASES.begin(),
                 SYSTEM_UNOPENABLE_JOURNAL_CASES.end());
    for (const ArrangementCase &row : cases) {
        SCOPED_TRACE(row.name);
        fs::create_directory("DATALOG");
        const auto undo = row.arrange();
        CReceiveJournal journal("DATALOG");
        EXPECT_TRUE(TakesNothing(journal));
        undo();
        fs::remove_all("DATALOG");
    }
}

} // namespace
