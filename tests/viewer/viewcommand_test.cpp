// The viewer alone, as --view starts it: the built program, and the application in this process
// closed as a user closes the window.

#include "monitorapp.h"
#include "tempworkdir.h"
#include "viewertesting.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

bool HoldsOpen(pid_t pid, const fs::path &path)
{
    std::error_code error;
    for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (fs::read_symlink(fd.path(), error) == path)
            return true;
    return false;
}

// The offscreen platform comes with the tests' environment.
TEST(ViewerCommand, ViewOpensTheFile)
{
    const CTempWorkDir workDir;
    WriteFile("run.txt", Repeated("X07FFY0801Z0ABC\r\n", 100));
    const fs::path log = fs::current_path() / "run.txt";
    char *const argv[] = {const_cast<char *>(ORVANTA_PATH), const_cast<char *>("--view"),
                          const_cast<char *>("run.txt"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, ORVANTA_PATH, nullptr, nullptr, argv, environ), 0);

    // The process's table of open files changes without telling anyone: it is looked at again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool opened = false;
    while (!(opened = HoldsOpen(pid, log)) && std::chrono::steady_clock::now() < deadline
           && waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(opened);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Closing the viewer's window ends the application, which writes no settings file and makes no
// log folder on its way out.
TEST(ViewerCommand, ClosingTheViewerEndsItWithoutSettingsOrLogFolder)
{
    const CTempWorkDir workDir;
    WriteFile("run.txt", Repeated("X07FFY0801Z0ABC\r\n", 100));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "orvanta";
    char *argv[] = {name, nullptr};
    CMonitorApp app(argc, argv);
    // Handled once the viewer is up and the application waits for events.
    QTimer::singleShot(0, &app, [] {
        for (QWidget *window : QApplication::topLevelWidgets())
            window->close();
    });
    EXPECT_EQ(app.ViewLog("run.txt"), 0);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    EXPECT_FALSE(fs::exists("rs232c.ini"));
    EXPECT_FALSE(fs::exists("DATALOG"));
}

} // namespace
