#pragma once

#include "fakewindow.h"
#include "filecontents.h"
#include "portsettings.h"
#include "pseudoterminal.h"
#include "receivedtext.h"
#include "templates.h"
#include "tempworkdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// What the tests of the main window's behaviour share: a fresh working directory for each test,
// the window that runs there, and the logs it wrote.

const char *const DEFAULT_PORT_INFO = " COM1 ,   9600 BPS , 8 BITS , No PARITY , 1 STOP , No FLOW";

inline std::string Bytes(const CReceivedText &text)
{
    std::string bytes;
    text.CopyRange(0, text.Size(), bytes);
    return bytes;
}

inline void WriteFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class MonitorRun : public ::testing::Test
{
protected:
    // A start of the program, with a settings file read afresh; the window before has let go of
    // the port when this one opens it.
    CFakeWindow &StartWindow(std::shared_ptr<CLineControl> lineControl = SystemLineControl())
    {
        m_window.reset();
        g_settingsLoaded = 0;
        m_window = std::make_unique<CFakeWindow>(std::move(lineControl));
        m_window->portSettings = m_portSettings;
        Monitor().OnInitDialog();
        return *m_window;
    }
    CFakeWindow &Window() { return *m_window; }
    CMonitor &Monitor() { return m_window->Monitor(); }

    // A chunk as the reader hands it over.
    void Receive(const std::string &bytes) { Monitor().OnReceivedData(bytes); }
    std::string Received() { return Bytes(Monitor().ReceivedText()); }
    std::string Status() { return m_window->Text(IDC_STATUS); }
    bool ReceivedWithin(std::size_t size)
    {
        return m_window->WaitFor([&] { return Monitor().ReceivedText().Size() >= size; });
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const CFakeWindow::Message &message : m_window->messages)
            texts.push_back(message.text);
        return texts;
    }

    static std::vector<std::string> LogFiles()
    {
        std::vector<std::string> names;
        if (std::filesystem::is_directory("DATALOG")) {
            for (const auto &entry : std::filesystem::directory_iterator("DATALOG")) {
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The logs' bytes in the order they were written: a run whose clears fall in two minutes
    // writes two logs.
    static std::string LogBytes()
    {
        std::vector<std::filesystem::path> files;
        for (const std::string &name : LogFiles())
            files.push_back(std::filesystem::path("DATALOG") / name);
        if (files.empty())
            return "<0 log files>";
        std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) {
            return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
        });
        std::string bytes;
        for (const std::filesystem::path &file : files)
            bytes += Contents(file.string());
        return bytes;
    }

    CTempWorkDir m_workDir;
    // What the user does in the settings dialog at start-up, set before StartWindow.
    std::function<void()> m_portSettings;
    std::unique_ptr<CFakeWindow> m_window;
};
