// Runs the built simulator in a temporary directory and talks to it through its link, the way
// Orvanta opens a port.

#include "generatedframes.h"
#include "simoptions.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Generous: these bound a hang, they do not measure speed.
constexpr std::chrono::milliseconds PATIENCE = 20s;
// A simulator that spins uses about all of this span on the processor, one that sleeps in the
// kernel next to none of it. A wake-up or two go to noticing a close; one that looks for a
// program every 100 ms wakes four or five times.
constexpr auto QUIET_SPAN = 500ms;
constexpr auto QUIET_CPU_TIME = 50ms;
constexpr long long QUIET_WAKE_UPS = 2;

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left
        = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long>(0, left.count()));
}

bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline)
{
    pollfd watched {fd, POLLIN, 0};
    return ::poll(&watched, 1, RemainingMs(deadline)) == 1;
}

class CTempDir
{
public:
    CTempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "orvanta-sim-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~CTempDir() { fs::remove_all(m_path); }
    const fs::path &Path() const { return m_path; }

private:
    fs::path m_path;
};

// The simulator as a child process in `dir`, with its stdout and stderr on pipes.
class CSimProcess
{
public:
    CSimProcess(const fs::path &dir, const std::vector<std::string> &args)
    {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        m_pid = ::fork();
        if (m_pid == 0)
            Exec(dir, args, out[1], err[1]);
        ::close(out[1]);
        ::close(err[1]);
        m_stdout = out[0];
        m_stderr = err[0];
        m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    }

    ~CSimProcess()
    {
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_pidFd);
        ::close(m_stdout);
        ::close(m_stderr);
    }

    pid_t Pid() const { return m_pid; }
    std::optional<std::string> StdoutLine() { return ReadLine(m_stdout, m_outBuffer); }
    std::optional<std::string> StderrLine() { return ReadLine(m_stderr, m_errBuffer); }
    void Signal(int number) { ::kill(m_pid, number); }

    // The wait status once the process has ended, nothing if it runs on past our patience.
    std::optional<int> Exit()
    {
        if (!m_status && WaitReadable(m_pidFd, std::chrono::steady_clock::now() + PATIENCE)) {
            int status = 0;
            if (::waitpid(m_pid, &status, 0) == m_pid)
                m_status = status;
        }
        return m_status;
    }

private:
    [[noreturn]] static void Exec(const fs::path &dir, const std::vector<std::string> &args,
                                  int out, int err)
    {
        // The child starts with the stop signals at their defaults, as from a shell.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const int number : {SIGINT, SIGTERM, SIGHUP})
            ::signal(number, SIG_DFL);
        std::vector<char *> argv {const_cast<char *>(ORVANTA_SIM_PATH)};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (::chdir(dir.c_str()) == 0 && ::dup2(devNull, 0) == 0 && ::dup2(out, 1) == 1
            && ::dup2(err, 2) == 2)
            ::execv(ORVANTA_SIM_PATH, argv.data());
        ::_exit(127);
    }

    static std::optional<std::string> ReadLine(int fd, std::string &buffer)
    {
        const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
        for (;;) {
            if (const std::size_t end = buffer.find('\n'); end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return line;
            }
            char chunk[1024];
            if (!WaitReadable(fd, deadline))
                return std::nullopt;
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_stdout = -1;
    int m_stderr = -1;
    std::string m_outBuffer;
    std::string m_errBuffer;
    std::optional<int> m_status;
};

// Opens a port the way Orvanta does: exclusive, raw, blocking reads after the open.
class CPort
{
public:
    explicit CPort(const fs::path &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios mode {};
        const bool ready = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(m_fd, TIOCEXCL) == 0
            && ::tcgetattr(m_fd, &mode) == 0;
        ::cfmakeraw(&mode);
        ::cfsetspeed(&mode, B115200);
        if (!ready || ::tcsetattr(m_fd, TCSANOW, &mode) != 0
            || ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    // Lets go of the exclusive claim first, as Orvanta does: it outlasts the close while another
    // descriptor is open, such as the master.
    ~CPort()
    {
        if (m_fd < 0)
            return;
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }

    bool IsOpen() const { return m_fd >= 0; }

    // Reads until `count` bytes came, the other end hung up, or patience ran out.
    std::string Read(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
        std::string bytes;
        while (bytes.size() < count && WaitReadable(m_fd, deadline)) {
            char chunk[4096];
            const ssize_t got = ::read(m_fd, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    void Write(const std::string &bytes)
    {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    int Waiting() const
    {
        int waiting = 0;
        ::ioctl(m_fd, FIONREAD, &waiting);
        return waiting;
    }

private:
    int m_fd = -1;
};

std::vector<std::string_view> Views(const std::vector<std::string> &args)
{
    return {args.begin(), args.end()};
}

std::string ExpectedBytes(const std::vector<std::string> &args)
{
    const SimOptionsResult parsed = ParseSimOptions(Views(args));
    EXPECT_TRUE(parsed.options) << parsed.error;
    CGeneratedFrames stream(*parsed.options, *parsed.options->seed);
    std::string bytes;
    stream.AppendFrames(bytes, *parsed.options->frameCount);
    return bytes;
}

bool ExitedCleanly(const std::optional<int> &status)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

bool Exists(const fs::path &entry)
{
    return fs::exists(fs::symlink_status(entry));
}

// Whether a descriptor of the process leads to the terminal that `port` names: one whose device
// number is the terminal's, which is what makes a program find the port busy.
bool HoldsThePort(pid_t pid, const fs::path &port)
{
    struct stat terminal = {};
    EXPECT_EQ(::stat(port.c_str(), &terminal), 0);
    for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        struct stat target = {};
        if (::stat(fd.path().c_str(), &target) == 0 && S_ISCHR(target.st_mode)
            && target.st_rdev == terminal.st_rdev)
            return true;
    }
    return false;
}

struct Load
{
    std::chrono::nanoseconds cpu {};
    long long wakeUps = 0;
};

// The time the simulator, a process of one thread, has run, and how often the scheduler has put
// it on a processor.
Load LoadSoFar(pid_t pid)
{
    long long ranNs = 0;
    long long waitedNs = 0;
    Load load;
    std::ifstream("/proc/" + std::to_string(pid) + "/schedstat") >> ranNs >> waitedNs
        >> load.wakeUps;
    load.cpu = std::chrono::nanoseconds(ranNs);
    return load;
}

Load LoadOverQuietSpan(pid_t pid)
{
    const Load before = LoadSoFar(pid);
    std::this_thread::sleep_for(QUIET_SPAN);
    const Load after = LoadSoFar(pid);
    return {after.cpu - before.cpu, after.wakeUps - before.wakeUps};
}

// The byte count of the summary that the simulator notes once it has sent everything.
std::optional<std::size_t> SentBytes(CSimProcess &sim)
{
    const std::optional<std::string> summary = sim.StderrLine();
    if (!summary)
        return std::nullopt;
    std::smatch bytes;
    if (!std::regex_search(*summary, bytes, std::regex(R"(^orvanta-sim: sent .*?(\d+) bytes in )")))
        return std::nullopt;
    return std::stoull(bytes[1]);
}

// Starts the simulator and waits for its start line, which it writes once its link is there.
class SimTest : public ::testing::Test
{
protected:
    CSimProcess &Start(const std::vector<std::string> &args)
    {
        m_sim.emplace(m_dir.Path(), args);
        const std::optional<std::string> started = m_sim->StderrLine();
        EXPECT_TRUE(started) << "no start line";
        return *m_sim;
    }

    fs::path Link(const std::string &name = "COM1") const { return m_dir.Path() / name; }

    CTempDir m_dir;
    std::optional<CSimProcess> m_sim;
};

struct StreamCase
{
    const char *name;
    std::vector<std::string> args;
};

const StreamCase STREAM_CASES[] = {
    {"XyzAt12Bit",
     {"--form", "xyz", "--bits", "12", "--count", "40", "--rate", "2000", "--seed", "11"}},
    {"XyNoiseAt16BitByBytes",
     {"--form", "xy", "--x", "noise", "--bits", "16", "--count", "40", "--byte-rate", "30000",
      "--seed", "12"}},
    {"XSpoiledAt8BitAtMax",
     {"--form", "x", "--bits", "8", "--count", "60", "--max", "--malformed", "0.3", "--seed",
      "13"}},
    {"MoreThanTheTerminalHolds", {"--count", "3000", "--max", "--seed", "14"}},
};

TEST_F(SimTest, DeliversTheRequestedFramesThroughItsLinkThenRemovesIt)
{
    for (const StreamCase &row : STREAM_CASES) {
        SCOPED_TRACE(row.name);
        CSimProcess &sim = Start(row.args);
        const std::string expected = ExpectedBytes(row.args);
        {
            CPort port(Link());
            ASSERT_TRUE(port.IsOpen());
            EXPECT_EQ(port.Read(expected.size()), expected);
            EXPECT_EQ(SentBytes(sim), expected.size()) << "bytes after the last frame";
        }
        // It stays until the program closes the port: unread bytes would go with the terminal.
        EXPECT_TRUE(ExitedCleanly(sim.Exit()));
        EXPECT_FALSE(Exists(Link()));
    }
}

TEST_F(SimTest, SendsWholeFramesForTheDuration)
{
    CSimProcess &sim = Start({"--duration", "0.3", "--rate", "200", "--form", "xy"});
    std::string bytes;
    {
        CPort port(Link());
        ASSERT_TRUE(port.IsOpen());
        const std::optional<std::size_t> sent = SentBytes(sim);
        ASSERT_TRUE(sent);
        bytes = port.Read(*sent);
        EXPECT_EQ(bytes.size(), *sent);
    }
    EXPECT_TRUE(ExitedCleanly(sim.Exit()));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.size() % 12, 0u);
    for (std::size_t frame = 0; frame < bytes.size(); frame += 12)
        ASSERT_EQ(bytes.substr(frame, 1) + bytes.substr(frame + 5, 1) + bytes.substr(frame + 10, 2),
                  "XY\r\n");
    EXPECT_FALSE(Exists(Link()));
}

TEST_F(SimTest, PrintsWhatTheProgramSendsOnItsOwnLine)
{
    CSimProcess &sim = Start({"--link", "COM7", "--seed", "1"});
    CPort port(Link("COM7"));
    ASSERT_TRUE(port.IsOpen());
    port.Write("AT?\r\x82\xa0\\");
    EXPECT_EQ(sim.StdoutLine(), "received: AT?\\x0D\\x82\\xA0\\\\");
    sim.Signal(SIGINT);
    EXPECT_TRUE(ExitedCleanly(sim.Exit()));
    EXPECT_FALSE(Exists(Link("COM7")));
}

TEST_F(SimTest, StopsOnASignalWhileNobodyTakesItsFrames)
{
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::sigabbrev_np(number));
        CSimProcess &sim = Start({"--max"});
        {
            // Opened and never read: the terminal fills up and the simulator's writes wait.
            CPort port(Link());
            ASSERT_TRUE(port.IsOpen());
            const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
            while (port.Waiting() < 4095 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            ASSERT_GE(port.Waiting(), 4095);
            sim.Signal(number);
            EXPECT_TRUE(ExitedCleanly(sim.Exit()));
        }
        EXPECT_FALSE(Exists(Link()));
    }
}

TEST_F(SimTest, ReplaysAFileByteForByte)
{
    std::string recorded;
    for (int i = 0; i < 5000; ++i)
        recorded += static_cast<char>(i * 7 % 256);
    const fs::path file = m_dir.Path() / "recorded.txt";
    std::ofstream(file, std::ios::binary) << recorded;

    CSimProcess &sim = Start({"--replay", file.string(), "--byte-rate", "300000"});
    {
        CPort port(Link());
        ASSERT_TRUE(port.IsOpen());
        EXPECT_EQ(port.Read(recorded.size()), recorded);
    }
    EXPECT_TRUE(ExitedCleanly(sim.Exit()));
    EXPECT_FALSE(Exists(Link()));
}

// A program closes its port and opens it again, to choose another or to take up a lost line.
// The simulator must hold no descriptor of the port meanwhile, or the program would find it busy,
// and must sleep while nobody has it; the stream picks up where it stopped, and what the program
// left unread when it closed the port is still there when it opens it again.
TEST_F(SimTest, FollowsAProgramThatClosesAndReopensThePortWithoutHoldingIt)
{
    const std::vector<std::string> args {"--count", "600", "--rate", "3000", "--seed", "21"};
    CSimProcess &sim = Start(args);
    const std::string expected = ExpectedBytes(args);
    EXPECT_FALSE(HoldsThePort(sim.Pid(), Link()));
    std::string received;
    for (int round = 1; round <= 5; ++round) {
        SCOPED_TRACE(round);
        {
            CPort port(Link());
            ASSERT_TRUE(port.IsOpen());
            received += port.Read(expected.size() / 8);
            EXPECT_FALSE(HoldsThePort(sim.Pid(), Link()));
        }
        const Load closed = LoadOverQuietSpan(sim.Pid());
        EXPECT_LT(closed.cpu, QUIET_CPU_TIME) << "it spins while nobody has the port";
        EXPECT_LE(closed.wakeUps, QUIET_WAKE_UPS) << "it wakes while nobody has the port";
        EXPECT_FALSE(HoldsThePort(sim.Pid(), Link()));
    }
    {
        CPort port(Link());
        ASSERT_TRUE(port.IsOpen());
        received += port.Read(expected.size() - received.size());
        EXPECT_EQ(SentBytes(sim), expected.size());
        EXPECT_LT(LoadOverQuietSpan(sim.Pid()).cpu, QUIET_CPU_TIME)
            << "it spins while it waits for the close";
    }
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the stream differs across the reopens";
    EXPECT_TRUE(ExitedCleanly(sim.Exit()));
    EXPECT_FALSE(Exists(Link()));
}

TEST_F(SimTest, RefusesAnEntryInTheWayAndLeavesIt)
{
    std::ofstream(Link()) << "keep";
    CSimProcess sim(m_dir.Path(), {"--count", "1"});
    const std::optional<std::string> message = sim.StderrLine();
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("COM1 exists"), std::string::npos) << *message;
    const std::optional<int> status = sim.Exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
    std::ifstream kept(Link());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
}

} // namespace
