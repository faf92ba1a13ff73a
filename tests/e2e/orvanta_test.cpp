// The built program as a user meets it: started in a fresh working directory on an X server of
// its own (Xvfb), with a pseudo-terminal linked as COM1 whose device end the test holds, and
// driven from the keyboard with xdotool. There is no window manager, so each window is given the
// keyboard focus directly before keys go to it.
#include "filecontents.h"
#include "pseudoterminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: these bound a hang, they do not measure speed.
constexpr std::chrono::milliseconds PATIENCE = 30s;

const char *const SETTINGS_TITLE = "^ポートの設定$";
const char *const MAIN_TITLE = "^Orvanta \\(VER 3\\.00\\)   $";
const std::string JOURNAL = "DATALOG/.journal";

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long>(0, left.count()));
}

bool WaitReadable(int fd, Clock::time_point deadline)
{
    pollfd wait {fd, POLLIN, 0};
    return poll(&wait, 1, RemainingMs(deadline)) == 1;
}

bool OnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string directories = path ? path : "";
    for (std::size_t start = 0; start <= directories.size();) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos)
            end = directories.size();
        if (access((directories.substr(start, end - start) + '/' + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// The log files in DATALOG, by name.
std::vector<fs::path> LogFiles()
{
    std::vector<fs::path> logs;
    for (const fs::directory_entry &entry : fs::directory_iterator("DATALOG")) {
        if (entry.path().filename().string().ends_with("_DataLogger.txt"))
            logs.push_back(entry.path());
    }
    return logs;
}

// Device frames broken now and then by bytes that are no text: NUL, a Shift_JIS character and
// bytes that are not Shift_JIS at all, all of which the log must keep as they came.
std::string MakeStream(std::size_t frames)
{
    std::string stream;
    for (unsigned i = 0; i < frames; ++i) {
        char frame[32];
        std::snprintf(frame, sizeof frame, "X%04XY%04XZ%04X\r\n", (i * 13) & 0xFFF, (i * 7) & 0xFFF,
                      i & 0xFFF);
        stream += frame;
        if (i % 50 == 0)
            stream += std::string("\0\x82\xA0\xFF\x80", 5);
    }
    return stream;
}

// rs232c.ini after a run on the default settings: COM1, 9600 bit/s, 8 data bits, no parity,
// 1 stop bit, no flow control.
std::string DefaultSettingsRecord()
{
    std::string record(124, '\0');
    record.replace(4, 2, "\x80\x25");
    record[8] = 8;
    const std::pair<std::size_t, std::string> texts[] = {
        {28, "COM1"}, {44, "  9600"}, {60, "8"}, {76, "No"}, {92, "1"}, {108, "No"},
    };
    for (const auto &[offset, text] : texts)
        record.replace(offset, text.size(), text);
    return record;
}

// A child process. Its environment is this one's with `environment` ("NAME=value") on top; its
// stdout goes to a pipe when `captureOutput` is set; `handedFd` becomes its descriptor 3. It
// is killed if it still runs when the object goes.
class CProcess
{
public:
    CProcess(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
             bool captureOutput, int handedFd = -1)
    {
        std::vector<std::string> variables = environment;
        for (char **variable = environ; *variable; ++variable) {
            if (!Overridden(*variable, environment))
                variables.emplace_back(*variable);
        }
        const std::vector<char *> args = Pointers(argv);
        const std::vector<char *> env = Pointers(variables);
        int out[2] = {-1, -1};
        if (captureOutput && pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");

        m_pid = fork();
        if (m_pid == 0) {
            // Only calls that are safe between fork and exec.
            if ((out[1] >= 0 && dup2(out[1], STDOUT_FILENO) != STDOUT_FILENO)
                || (handedFd >= 0 && dup2(handedFd, 3) != 3))
                _exit(126);
            // dup2 onto itself keeps close-on-exec.
            if (handedFd == 3)
                fcntl(3, F_SETFD, 0);
            close_range(handedFd >= 0 ? 4 : 3, ~0u, 0);
            execvpe(args[0], args.data(), env.data());
            _exit(127);
        }
        if (out[1] >= 0)
            close(out[1]);
        m_out = out[0];
        m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    }
    ~CProcess()
    {
        Kill();
        if (m_out >= 0)
            close(m_out);
        if (m_pidFd >= 0)
            close(m_pidFd);
    }
    CProcess(const CProcess &) = delete;
    CProcess &operator=(const CProcess &) = delete;

    pid_t Pid() const { return m_pid; }

    // Everything it writes on stdout until it closes it or the deadline passes.
    std::string Output(Clock::time_point deadline)
    {
        std::string output;
        char chunk[4096];
        while (m_out >= 0 && WaitReadable(m_out, deadline)) {
            const ssize_t got = read(m_out, chunk, sizeof chunk);
            if (got <= 0)
                break;
            output.append(chunk, static_cast<std::size_t>(got));
        }
        return output;
    }

    // The wait status once it has ended; nothing if it still runs at the deadline.
    std::optional<int> Exit(Clock::time_point deadline)
    {
        if (!m_status && WaitReadable(m_pidFd, deadline)) {
            int status = 0;
            if (waitpid(m_pid, &status, 0) == m_pid)
                m_status = status;
        }
        return m_status;
    }

    void Kill() { Stop(SIGKILL); }

    // Sends `signal` and waits for the end; a process that outlives our patience is killed.
    void Stop(int signal)
    {
        if (m_status || m_pid <= 0)
            return;
        kill(m_pid, signal);
        if (signal != SIGKILL && Exit(Clock::now() + PATIENCE))
            return;
        kill(m_pid, SIGKILL);
        int status = 0;
        if (waitpid(m_pid, &status, 0) == m_pid)
            m_status = status;
    }

private:
    static bool Overridden(const std::string &variable, const std::vector<std::string> &environment)
    {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        for (const std::string &own : environment) {
            if (own.starts_with(name))
                return true;
        }
        return false;
    }

    static std::vector<char *> Pointers(const std::vector<std::string> &strings)
    {
        std::vector<char *> pointers;
        for (const std::string &text : strings)
            pointers.push_back(const_cast<char *>(text.c_str()));
        pointers.push_back(nullptr);
        return pointers;
    }

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_out = -1;
    std::optional<int> m_status;
};

// An X server on a display number that it picks itself among the free ones, so that tests
// running side by side never meet.
class CXServer
{
public:
    CXServer()
    {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        m_server.emplace(std::vector<std::string> {"Xvfb", "-displayfd", "3", "-nolisten", "tcp",
                                                   "-screen", "0", "1280x1024x24"},
                         std::vector<std::string> {}, false, ready[1]);
        close(ready[1]);
        std::string number;
        char digit;
        const auto deadline = Clock::now() + PATIENCE;
        while (WaitReadable(ready[0], deadline) && read(ready[0], &digit, 1) == 1 && digit != '\n')
            number += digit;
        close(ready[0]);
        if (!number.empty() && AcceptsClients(":" + number, deadline))
            m_display = ":" + number;
    }
    // Ended with SIGTERM, the server removes its lock file and socket for the next one.
    ~CXServer() { m_server->Stop(SIGTERM); }

    // Empty when the server did not come up.
    const std::string &Display() const { return m_display; }

private:
    // Whether a client gets through to `display` before the deadline; tried again while not.
    static bool AcceptsClients(const std::string &display, Clock::time_point deadline)
    {
        do {
            CProcess client({"xdotool", "getdisplaygeometry"}, {"DISPLAY=" + display}, true);
            client.Output(deadline);
            const std::optional<int> status = client.Exit(deadline);
            if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
                return true;
            poll(nullptr, 0, 20);
        } while (Clock::now() < deadline);
        return false;
    }

    std::optional<CProcess> m_server;
    std::string m_display;
};

// Each test runs in a fresh working directory with its own X server and a device on COM1.
class Orvanta : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *tool : {"Xvfb", "xdotool"}) {
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed (tools/setup installs it)";
        }
        std::string pattern = (fs::temp_directory_path() / "orvanta-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_directory = pattern;
        m_previous = fs::current_path();
        fs::current_path(m_directory);
        m_device.emplace();
        m_device->LinkAs("COM1");
        m_xserver.emplace();
        ASSERT_FALSE(m_xserver->Display().empty()) << "Xvfb did not start";
    }

    void TearDown() override
    {
        m_program.reset();
        m_xserver.reset();
        m_device.reset();
        if (!m_directory.empty()) {
            fs::current_path(m_previous);
            fs::remove_all(m_directory);
        }
    }

    virtual std::vector<std::string> Environment() const
    {
        return {"DISPLAY=" + m_xserver->Display(), "QT_QPA_PLATFORM=xcb"};
    }

    // Runs xdotool with `args` until the deadline; its output when it succeeds.
    std::optional<std::string> TryXdotool(std::vector<std::string> args, Clock::time_point deadline)
    {
        args.insert(args.begin(), "xdotool");
        CProcess tool(args, Environment(), true);
        std::string output = tool.Output(deadline);
        const std::optional<int> status = tool.Exit(deadline);
        if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
            return std::nullopt;
        return output;
    }

    // Runs xdotool with `args`; its output, or a failure when it fails or does not finish.
    std::string Xdotool(const std::vector<std::string> &args)
    {
        const std::optional<std::string> output = TryXdotool(args, Clock::now() + PATIENCE);
        if (!output)
            ADD_FAILURE() << "xdotool " << args.front() << " failed or hung" << ProgramState();
        return output.value_or(std::string());
    }

    // Waits until a visible window with a title that matches `title` is there, then gives it
    // the keyboard focus.
    void FocusWindow(const char *title)
    {
        const auto deadline = Clock::now() + PATIENCE;
        std::optional<std::string> found;
        // A window that goes away while xdotool walks the window tree (the settings dialog as
        // it closes, say) ends the search with an X error; the next search passes it by.
        while (!found && Clock::now() < deadline) {
            found = TryXdotool({"search", "--sync", "--onlyvisible", "--name", title}, deadline);
            if (!found)
                poll(nullptr, 0, 20);
        }
        ASSERT_TRUE(found) << "no window " << title << ProgramState();
        const std::string window = found->substr(0, found->find('\n'));
        Xdotool({"windowfocus", "--sync", window});
    }

    void Keys(std::vector<std::string> keys)
    {
        keys.insert(keys.begin(), {"key", "--delay", "30"});
        Xdotool(keys);
    }

    // Starts the program and answers its port settings dialog with space on OK, then waits for
    // the main window and gives it the focus.
    void StartToMainWindow()
    {
        m_program.emplace(std::vector<std::string> {ORVANTA_PATH}, Environment(), false);
        FocusWindow(SETTINGS_TITLE);
        if (HasFatalFailure())
            return;
        Keys({"space"});
        FocusWindow(MAIN_TITLE);
    }

    std::string ProgramState()
    {
        if (!m_program)
            return {};
        const std::optional<int> status = m_program->Exit(Clock::now());
        return status ? "; the program has ended with wait status " + std::to_string(*status)
                      : "; the program runs";
    }

    // Waits until the program has ended by itself; false if it runs on or failed.
    bool EndedCleanly()
    {
        const std::optional<int> status = m_program->Exit(Clock::now() + PATIENCE);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    fs::path m_directory;
    fs::path m_previous;
    std::optional<CPseudoTerminal> m_device;
    std::optional<CXServer> m_xserver;
    std::optional<CProcess> m_program;
};

TEST_F(Orvanta, ReceivesSendsAndLogsDrivenFromTheKeyboard)
{
    StartToMainWindow();
    ASSERT_FALSE(HasFatalFailure());

    const std::string stream = MakeStream(2000);
    m_device->Send(stream);
    // The journal holds a chunk once the window has taken it in.
    ASSERT_TRUE(WaitForContents(JOURNAL, stream, PATIENCE));

    // The focus starts on the cancel button; the send box is nine tab stops on.
    Keys(std::vector<std::string>(9, "Tab"));
    Xdotool({"type", "--delay", "30", "hello 123"});
    // Swallowed: no line break in the send box, and the window stays open.
    Keys({"Return", "Escape"});
    // Back to the send button, and press it.
    Keys({"shift+Tab", "space"});
    EXPECT_EQ(m_device->Receive(9, PATIENCE), "hello 123");
    EXPECT_EQ(m_device->BytesWaiting(), 0u);

    // On past the send box and the send clear button to the cancel button, which closes.
    Keys({"Tab", "Tab", "Tab", "space"});
    ASSERT_TRUE(EndedCleanly());

    const std::vector<fs::path> logs = LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Contents(logs.front()) == stream) << "the log does not hold the stream";
    EXPECT_EQ(Contents(JOURNAL), "");
    EXPECT_EQ(Contents("rs232c.ini"), DefaultSettingsRecord());
}

TEST_F(Orvanta, TheNextStartLogsWhatAKilledRunHadReceived)
{
    StartToMainWindow();
    ASSERT_FALSE(HasFatalFailure());
    const std::string stream = MakeStream(3000);
    m_device->Send(stream);
    ASSERT_TRUE(WaitForContents(JOURNAL, stream, PATIENCE));
    m_program->Kill();
    EXPECT_FALSE(fs::exists("rs232c.ini"));
    EXPECT_TRUE(LogFiles().empty());

    // A killed run leaves the pseudo-terminal exclusive, which only root may open again; a real
    // port is released with the last descriptor. The device is plugged in anew.
    ASSERT_EQ(unlink("COM1"), 0);
    m_device.emplace();
    m_device->LinkAs("COM1");

    StartToMainWindow();
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<fs::path> logs = LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Contents(logs.front()) == stream) << "the log does not hold the stream";
    EXPECT_EQ(Contents(JOURNAL), "");

    // The focus starts on the cancel button.
    Keys({"space"});
    EXPECT_TRUE(EndedCleanly());
}

} // namespace

namespace {

// A USB adapter as the program finds it: a link named as /dev/serial/by-id names one, in a
// folder handed over by ORVANTA_SERIAL_DEVICES, with its COM number kept in the ports folder.
// Unplugged, the device hangs up and its link goes; plugged in again, the link comes back and
// leads to a new device node.
class OrvantaWithAdapter : public Orvanta
{
protected:
    void SetUp() override
    {
        Orvanta::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(unlink("COM1"), 0);
        fs::create_directories("devices");
        fs::create_directories("config/orvanta/ports");
        fs::create_symlink(m_directory / "devices" / ADAPTER, "config/orvanta/ports/COM1");
        PlugIn();
    }

    std::vector<std::string> Environment() const override
    {
        std::vector<std::string> environment = Orvanta::Environment();
        environment.push_back("ORVANTA_SERIAL_DEVICES=" + (m_directory / "devices").string());
        environment.push_back("XDG_CONFIG_HOME=" + (m_directory / "config").string());
        return environment;
    }

    void PlugIn() { fs::create_symlink(m_device->SlavePath(), fs::path("devices") / ADAPTER); }

    void Unplug()
    {
        m_device->HangUp();
        fs::remove(fs::path("devices") / ADAPTER);
    }

    static constexpr const char *ADAPTER = "usb-Orvanta_Test_Adapter_0001-if00-port0";
};

TEST_F(OrvantaWithAdapter, PulledOutAndPluggedBackMidStreamLosesNothing)
{
    StartToMainWindow();
    ASSERT_FALSE(HasFatalFailure());

    const std::string before = MakeStream(2000);
    m_device->Send(before);
    ASSERT_TRUE(WaitForContents(JOURNAL, before, PATIENCE));
    Unplug();

    m_device.emplace();
    PlugIn();
    // Taken up again, the port drops what came before its settings were in place.
    ASSERT_TRUE(m_device->InputDiscardedWithin(PATIENCE))
        << "the port was not taken up again" << ProgramState();
    const std::string after = MakeStream(1000);
    m_device->Send(after);
    ASSERT_TRUE(WaitForContents(JOURNAL, before + after, PATIENCE));

    // The focus stays on the cancel button, which closes.
    Keys({"space"});
    ASSERT_TRUE(EndedCleanly());
    const std::vector<fs::path> logs = LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Contents(logs.front()) == before + after) << "the log does not hold both streams";
}

} // namespace
