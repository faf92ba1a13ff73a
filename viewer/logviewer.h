#pragma once

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class CRecording;
class CViewerPlot;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The window that looks back at one log file: the plot of the whole run or any part of it, a bar
// of commands (reload, CSV of the whole file or of what is shown, a picture of the plot), the bit
// length, a readout of the frame under the pointer and a bar that shows how far the recording's
// scan has read. The scan runs on the recording's thread and a CSV file is written on a thread of
// its own; both reach the window only through calls queued to its thread by name, which carry
// nothing: the scan's figures are read under its lock, the writer's outcome once it has ended.
class CLogViewer : public QWidget
{
    Q_OBJECT

public:
    explicit CLogViewer(const QString &path, QWidget *parent = nullptr);
    ~CLogViewer() override;

    // Opens the file and starts reading it; false with the reason, for the user, on failure.
    bool Open(std::string &failure);

    void OnReload();
    void OnSaveAllCsv();
    void OnSaveVisibleCsv();
    void OnSavePicture();
    void OnSelchangeBitLength();

    CViewerPlot &Plot() const { return *m_plot; }
    QString ReadoutText() const;
    // Whether the window still shows the scan's progress: once it does not, the plot holds
    // every frame of the file as it stood.
    bool Scanning() const;
    bool WritingCsv() const { return m_csvWriter.joinable(); }

private:
    QWidget *MakeCommandBar();
    QWidget *MakeStatusBar();
    void PostScanProgress();
    Q_INVOKABLE void OnQueuedScanProgress();
    void OnScanProgress();
    void ShowReadout(std::int64_t frame);
    QString SuggestedFile(const char *suffix) const;
    // Without a last frame, the whole file, however far its scan has got.
    void SaveCsv(std::int64_t first, std::optional<std::int64_t> last);
    Q_INVOKABLE void OnCsvWritten();

    QString m_path;
    std::unique_ptr<CRecording> m_recording;
    std::int32_t m_code;
    CViewerPlot *m_plot = nullptr;
    QComboBox *m_comboBitLength = nullptr;
    QLabel *m_readout = nullptr;
    QProgressBar *m_scanProgress = nullptr;
    QWidget *m_csvProgress = nullptr;
    QWidget *m_commandBar = nullptr;
    // Set while a progress call waits in the window's queue, so that the scan queues one at most.
    std::atomic<bool> m_progressQueued {false};
    std::thread m_csvWriter;
    // What the writer leaves for the window, read once the window has joined it.
    bool m_csvWritten = false;
    std::string m_csvFailure;
};

// Opens the log at `path` in a viewer window of its own and shows it; reports a file that cannot
// be read in a message box and returns nullptr. The window deletes itself when it closes; with a
// parent it is a window of its own all the same, and goes with the parent.
CLogViewer *OpenLogViewer(const QString &path, QWidget *parent = nullptr);
