#pragma once

#include "portlink.h"
#include "processstats.h"
#include "programrun.h"
#include "pseudoterminal.h"
#include "windowdriver.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Orvanta running in the working directory on a pseudo-terminal linked as COM1, as a user
// starts it: the port settings dialog is answered with OK, then the main window opens the port.
// Everything the device end sends, through Send or a feeder given Record(), is recorded in
// sent.bin for the log check. Qt counts the window's repaints (QT_DEBUG_FPS) on the program's
// standard error. Throws std::runtime_error when the program does not come up.
class COrvantaUnderTest
{
public:
    static constexpr const char *RECORD_PATH = "sent.bin";
    static constexpr const char *LOG_DIRECTORY = "DATALOG";

    explicit COrvantaUnderTest(const std::string &orvantaPath);
    ~COrvantaUnderTest();
    COrvantaUnderTest(const COrvantaUnderTest &) = delete;
    COrvantaUnderTest &operator=(const COrvantaUnderTest &) = delete;

    pid_t Pid() const { return m_program.Pid(); }
    CProcessStats Stats() const { return CProcessStats(m_program.Pid()); }
    CPseudoTerminal &Device() { return m_device; }
    std::FILE *Record() const { return m_record; }
    const CWindowDriver &Driver() const { return m_driver; }
    Window MainWindow() const { return m_mainWindow; }

    // Sends the bytes at once and records them; returns when the last one left the device end.
    std::chrono::steady_clock::time_point Send(const std::string &bytes);
    bool Click(int controlId) const;
    // Until the program has taken every byte sent: its logs and its journal hold them all.
    bool WaitUntilTaken();
    // The bytes in the program's log folder: every log, and the journal of what came since the
    // last display clear.
    static std::uint64_t KeptBytes();
    // Closes the window with its close button and waits for the program to end; its exit status.
    std::optional<int> Close();
    // The repaint rates Qt reported, one for each stretch of about five seconds.
    std::vector<double> RepaintRates() const;

private:
    CPseudoTerminal m_device {CPseudoTerminal::OtherEnd::ReleasedRaw};
    // Made before the program starts, which opens COM1 at once.
    CPortLink m_link;
    std::FILE *m_record;
    CWindowDriver m_driver;
    CProgramRun m_program;
    Window m_mainWindow = 0;
};
