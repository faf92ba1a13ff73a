#include "orvantaundertest.h"

#include "templates.h"
#include "texts.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char *STDERR_PATH = "orvanta.err";
constexpr int WINDOW_TIMEOUT_MS = 20'000;
constexpr int CLOSE_TIMEOUT_MS = 120'000;
constexpr auto PORT_TIMEOUT = 10s;
constexpr auto TAKE_TIMEOUT = 30s;
constexpr auto SETTLE_TIME = 1s;
constexpr const char *FPS_PREFIX = "FPS: ";

template<typename Predicate> bool WaitUntil(Predicate done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

COrvantaUnderTest::COrvantaUnderTest(const std::string &orvantaPath)
    : m_link("COM1", m_device.SlavePath())
    , m_record(std::fopen(RECORD_PATH, "wb"))
    , m_program({orvantaPath}, {"QT_DEBUG_FPS=1"}, "orvanta.out", STDERR_PATH)
{
    const std::optional<Window> settings
        = m_driver.WaitForWindow(PORT_SETTINGS_TEMPLATE.caption, WINDOW_TIMEOUT_MS);
    if (!settings || !m_driver.Click(*settings, PORT_SETTINGS_TEMPLATE, IDC_SETTINGS_OK))
        throw std::runtime_error("the port settings dialog did not come up");
    const std::optional<Window> main
        = m_driver.WaitForWindow(Strings::MAIN_TITLE, WINDOW_TIMEOUT_MS);
    if (!main)
        throw std::runtime_error("the main window did not come up");
    m_mainWindow = *main;
    const CProcessStats stats = Stats();
    if (!WaitUntil([&] { return stats.HasOpen(m_device.SlavePath()); }, PORT_TIMEOUT))
        throw std::runtime_error("Orvanta did not open COM1");
    std::this_thread::sleep_for(SETTLE_TIME);
}

COrvantaUnderTest::~COrvantaUnderTest()
{
    if (m_record)
        std::fclose(m_record);
}

std::chrono::steady_clock::time_point COrvantaUnderTest::Send(const std::string &bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), m_record);
    m_device.Send(bytes);
    return std::chrono::steady_clock::now();
}

bool COrvantaUnderTest::Click(int controlId) const
{
    return m_driver.Click(m_mainWindow, MAIN_TEMPLATE, controlId);
}

// The line cannot tell: the device end holds no descriptor of the slave, since Orvanta refuses
// a port that another process holds, and one opened now to ask would fail against Orvanta's
// exclusive claim, or make a reopen of the port fail as busy. Orvanta itself can: a byte reaches
// its journal only after the reader read it and the window took it in, and a display clear
// moves the journal into a log, so once the folder holds as many bytes as the record, every
// byte sent has been taken.
bool COrvantaUnderTest::WaitUntilTaken()
{
    std::fflush(m_record);
    const std::uint64_t sent = std::filesystem::file_size(RECORD_PATH);
    return WaitUntil([&] { return KeptBytes() >= sent; }, TAKE_TIMEOUT);
}

std::uint64_t COrvantaUnderTest::KeptBytes()
{
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto &file : std::filesystem::directory_iterator(LOG_DIRECTORY, error)) {
        // A journal that a clear renames into a log is gone under its old name for a moment.
        std::error_code gone;
        const std::uintmax_t size = file.file_size(gone);
        if (!gone)
            total += size;
    }
    return total;
}

std::optional<int> COrvantaUnderTest::Close()
{
    std::fflush(m_record);
    if (!Click(IDC_CANCEL))
        return std::nullopt;
    return m_program.WaitForExit(CLOSE_TIMEOUT_MS);
}

std::vector<double> COrvantaUnderTest::RepaintRates() const
{
    std::vector<double> rates;
    std::ifstream errors(STDERR_PATH);
    std::string line;
    while (std::getline(errors, line)) {
        if (line.rfind(FPS_PREFIX, 0) == 0)
            rates.push_back(std::stod(line.substr(std::char_traits<char>::length(FPS_PREFIX))));
    }
    return rates;
}
