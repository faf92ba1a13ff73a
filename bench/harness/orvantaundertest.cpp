#include "orvantaundertest.h"

#include "templates.h"
#include "texts.h"

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
// Longer than the reader's read interval of 20 ms, so its last chunk has been handed over.
constexpr auto READ_INTERVAL_MARGIN = 200ms;
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

bool COrvantaUnderTest::WaitUntilTaken()
{
    const bool taken
        = WaitUntil([&] { return m_device.BytesWaitingForReader() == 0; }, TAKE_TIMEOUT);
    std::this_thread::sleep_for(READ_INTERVAL_MARGIN);
    return taken;
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
