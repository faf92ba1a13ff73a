#include "openfailure.h"
#include "portholder.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <pty.h>

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
        const CPortHolder holder(tty, row.lock);
        const std::string process = "/" + std::to_string(holder.Pid());
        std::filesystem::create_directory("locksonly" + process);
        std::filesystem::create_symlink("/proc" + process + "/comm",
                                        "locksonly" + process + "/comm");
        const int error = row.lock ? EWOULDBLOCK : EBUSY; // flock() refused, or TIOCEXCL
        EXPECT_EQ(DescribeOpenFailure({error, row.opened}, {row.procRoot, {}, {}}),
                  holder.BusyText())
            << row.opened;
    }
    close(master);
}

} // namespace
