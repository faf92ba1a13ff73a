// The log and the journal where the system is Windows: share modes decide who may open a file,
// and a reader does not stop a rename.
#include "datalogtesting.h"

#include <windows.h>

namespace {

HANDLE OpenShared(const std::string &path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileW(Utf8Path(path).wstring().c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// As the viewer opens a log or the journal.
HANDLE OpenAsViewer(const std::string &path)
{
    return OpenShared(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      OPEN_EXISTING);
}

} // namespace

std::uint64_t FileIdentity(const std::string &path)
{
    const HANDLE file = OpenShared(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING);
    BY_HANDLE_FILE_INFORMATION information {};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32)
        | information.nFileIndexLow;
}

const std::vector<ArrangementCase> SYSTEM_UNOPENABLE_JOURNAL_CASES = {
    {"held open without sharing by another program",
     [] {
         const HANDLE file = OpenShared(JOURNAL, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
         return [file] { CloseHandle(file); };
     }},
};

// A copy that fails part-way needs a disk that fills, which no test here arranges.
const std::vector<FailedCopyCase> SYSTEM_FAILED_COPY_CASES;

namespace {

// The viewer holds the journal open: the clear renames it into the new log all the same, and
// the viewer reads on in the same file, under the log's name now.
TEST_F(ReceiveJournal, IsRenamedIntoALogWhileTheViewerReadsIt)
{
    CReceiveJournal journal("DATALOG", NEVER_BY_ITSELF);
    ASSERT_TRUE(journal.Open());
    journal.Append("X0100\r\n", 7);
    ASSERT_TRUE(journal.Flush());
    const HANDLE viewer = OpenAsViewer(JOURNAL);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);

    EXPECT_TRUE(Clear(journal, RECOVERED_LOG, 7));
    EXPECT_EQ(ContentsOf(RECOVERED_LOG), "X0100\r\n");
    char read[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(viewer, read, sizeof read, &got, nullptr));
    EXPECT_EQ(std::string(read, got), "X0100\r\n");
    CloseHandle(viewer);
}

} // namespace
