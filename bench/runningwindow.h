#pragma once

#include "framesource.h"
#include "monitordlg.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The main window in process, as the user has it after start-up, in a working directory of its
// own whose COM1 leads to a given path. The settings dialog and any message box answer at once.

// A COM1 that leads nowhere: the window runs without port, as when the device is unplugged.
inline constexpr const char *NO_DEVICE = "no-such-device";
inline constexpr std::size_t CHUNK_SIZE = 4095;

void RunEventLoopFor(int milliseconds);
bool RunEventLoopUntil(const std::function<bool()> &done, int timeoutMs);

class CRunningWindow
{
public:
    explicit CRunningWindow(const std::string &portPath);
    ~CRunningWindow();

    CMonitorDlg &Dialog() { return *m_dialog; }
    QWidget &Control(int id);
    qreal ScreenRate() const;
    // The working directory, which holds DATALOG/.
    QString WorkDir() const { return m_workDir.path(); }

    // The next chunk of the frame stream, as the reader hands it over.
    QByteArray NextChunk();
    // Delivers a chunk the way the reader's event is delivered.
    void Receive(QByteArray chunk);
    // Receives chunks until the text holds `bytes`, letting the window repaint as it goes.
    void FillTo(std::uint64_t bytes);

private:
    QTemporaryDir m_workDir;
    QString m_previousDir;
    std::unique_ptr<CMonitorDlg> m_dialog;
    CFrameSource m_source;
    std::string m_chunk;
};
