#include "openfailure.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>

namespace {

constexpr const char *ABSENT
    = "デバイスが見つかりません。アダプタが接続されているか確認してください。";
constexpr const char *DENIED = "システムのエラー：Permission denied";

// /dev/null belongs to group root (0); the faked group lists say where the user stands.
TEST(OpenFailureText, NamesTheCauseFromTheError)
{
    const CTempWorkDir workDir;
    WriteBytes("free", {});
    using Groups = std::vector<gid_t>;
    const HostView outside {"/proc", Groups {1000}, Groups {1000}};
    const HostView joined {"/proc", Groups {1000}, Groups {1000, 0}};
    const HostView member {"/proc", Groups {1000, 0}, Groups {1000, 0}};
    const struct
    {
        int error;
        const char *path;
        const HostView &host;
        const char *expected;
    } cases[] = {
        {ENOENT, "", outside, ABSENT},
        {ENXIO, "/dev/ttyUSB0", outside, ABSENT},
        {EBUSY, "free", outside, "他のプログラムがポートを使用中です。"},
        {EIO, "free", outside, "システムのエラー：Input/output error"},
        {EACCES, "/dev/null", outside,
         "デバイスはグループ root のメンバーだけが使えます。\n"
         "次のコマンドで参加し、ログインし直してください。\n"
         "sudo adduser \"$USER\" root"},
        {EACCES, "/dev/null", joined,
         "グループ root には参加済みですが、ログインし直すまで有効になりません。"},
        {EACCES, "/dev/null", member, DENIED},
        {EACCES, "missing", outside, DENIED},
    };
    for (const auto &row : cases)
        EXPECT_EQ(DescribeOpenFailure({row.error, row.path}, row.host), row.expected) << row.path;
}

// A child named "portholder" opens path (and flocks it, if asked) and holds it until the test
// closes the returned socket, or its process ends.
std::pair<pid_t, int> Hold(const std::string &path, bool lock)
{
    int link[2] = {-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, link), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(link[0]); // so that the read below ends when the test closes its end
        prctl(PR_SET_NAME, "portholder");
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        char byte = fd >= 0 && (!lock || flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
        if (write(link[1], &byte, 1) == 1)
            static_cast<void>(read(link[1], &byte, 1));
        _exit(0);
    }
    close(link[1]);
    char byte = 0;
    EXPECT_TRUE(read(link[0], &byte, 1) == 1 && byte == 'y') << "the child holds " << path;
    return {pid, link[0]};
}

// The holder is found through the lock alone (a view of /proc without descriptors), and through
// a descriptor alone (no lock, the port reached through a link).
TEST(OpenFailureText, BusyNamesTheProgramHoldingTheLockOrTheDevice)
{
    const CTempWorkDir workDir;
    int master = -1;
    int slave = -1;
    char tty[64] {};
    ASSERT_EQ(openpty(&master, &slave, tty, nullptr, nullptr), 0);
    close(slave); // else this process would be found holding the terminal
    std::filesystem::create_symlink(tty, "COM3");
    std::filesystem::create_directory("locksonly");
    std::filesystem::create_symlink("/proc/locks", "locksonly/locks");
    const struct
    {
        bool lock;
        const char *opened;
        const char *procRoot;
    } cases[] = {{true, tty, "locksonly"}, {false, "COM3", "/proc"}};
    for (const auto &row : cases) {
        const auto [pid, release] = Hold(tty, row.lock);
        const std::string process = "/" + std::to_string(pid);
        std::filesystem::create_directory("locksonly" + process);
        std::filesystem::create_symlink("/proc" + process + "/comm",
                                        "locksonly" + process + "/comm");
        const int error = row.lock ? EWOULDBLOCK : EBUSY; // flock() refused, or TIOCEXCL
        EXPECT_EQ(DescribeOpenFailure({error, row.opened}, {row.procRoot, {}, {}}),
                  "portholder (プロセスID " + std::to_string(pid) + ") がポートを使用中です。")
            << row.opened;
        close(release);
        waitpid(pid, nullptr, 0);
    }
    close(master);
}

} // namespace
