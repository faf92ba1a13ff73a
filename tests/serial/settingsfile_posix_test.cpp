// rs232c.ini where the system is POSIX: a save keeps the file's permissions and respects
// another holder's lock, a full disk and a directory that takes no new file.
#include "settingsfiletesting.h"
#include "unprivilegedrun.h"

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST_F(SettingsFile, SaveReplacesTheOldFileAndKeepsItsPermissions)
{
    WriteBytes(SETTINGS_FILE_NAME, Bytes(124, 0x55));
    ASSERT_EQ(chmod(SETTINGS_FILE_NAME, 0640), 0);

    ASSERT_TRUE(WriteSettingsFile(Custom()));
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), Encoded(Custom()));
    struct stat status
    {
    };
    ASSERT_EQ(stat(SETTINGS_FILE_NAME, &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(CTempWorkDir::Entries(), std::set<std::string> {SETTINGS_FILE_NAME});
}

// Another open file description holds the lock, as another program would.
std::function<void()> LockFile()
{
    const int fd = open(SETTINGS_FILE_NAME, O_RDONLY | O_CLOEXEC);
    flock(fd, LOCK_EX);
    return [fd] { close(fd); };
}

std::function<void()> MakeDirectoryReadOnly()
{
    chmod(".", 0555);
    return [] { chmod(".", 0755); };
}

// A file size limit below the record makes the write stop part way, as a full disk would.
std::function<void()> LimitFileSize()
{
    rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 50;
    setrlimit(RLIMIT_FSIZE, &limited);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    return [previous, previousHandler] {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    };
}

TEST_F(SettingsFile, ReadOnlyDirectoryIsLeftAsItWas)
{
    const auto check = [] { ExpectSaveRefused(MakeDirectoryReadOnly); };
    EXPECT_TRUE(PassesInUnprivilegedChild(check));
}

} // namespace

const std::vector<UnwritableCase> SYSTEM_UNWRITABLE_CASES = {
    {"locked file", LockFile},
    {"failed write", LimitFileSize},
};
