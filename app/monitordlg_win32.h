#pragma once

#include "legendview_win32.h"
#include "monitor.h"
#include "monitorwindow.h"
#include "plotrenderer_win32.h"
#include "plotview_win32.h"
#include "receivedtextview_win32.h"
#include "receivemessages_win32.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>

// The main window on Windows: a dialog that the dialog manager makes from the main window's
// template, in which the window's behaviour (CMonitor) runs. The dialog procedure hands the
// buttons, the window menu's About, the timers and the reader's posted messages to the
// behaviour's handlers; the window paints the graph and the received text, and shows the message
// boxes and the dialogs the behaviour asks for.
class CMonitorDlg : private CMonitorWindow
{
public:
    explicit CMonitorDlg(std::shared_ptr<CLineControl> lineControl = SystemLineControl());
    ~CMonitorDlg() override;
    CMonitorDlg(const CMonitorDlg &) = delete;
    CMonitorDlg &operator=(const CMonitorDlg &) = delete;

    // Makes the window and its controls, hidden; the behaviour is bound but not started.
    HWND Create();
    // Makes, initialises and runs the window modally; returns at once when start-up ended it.
    int DoModal();

    HWND Window() const { return m_hWnd; }
    CMonitor &Monitor() { return m_monitor; }
    // Whether the behaviour has ended the window's run.
    bool Ended() const { return m_ended; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCommand(int id, int code);
    void OnInitWindow();
    void OnPortsSignalled();
    void OnContextMenu(LPARAM position);
    void OnOpenLog();
    void OnDropFiles(HDROP drop);
    void ArmPortWait();
    void DisarmPortWait();

    std::string ControlText(int id) const override;
    void SetControlText(int id, const std::string &text) override;
    void ReceivedTextChanged() override;
    void SetTitle(const std::string &text) override;
    void FocusControl(int id) override;
    void FillList(int id, std::span<const char *const> items, int selected) override;
    int SelectedItem(int id) const override;
    void DrawLegends() override;
    void DrawGrid() override;
    void DrawTraces() override;
    void StartTimer(int id, std::chrono::milliseconds period) override;
    void KillTimer(int id) override;
    MessageAnswer ShowMessage(const std::string &text, MessageButtons buttons,
                              const std::string &informativeText) override;
    void RunPortSettings() override;
    void ShowAbout() override;
    void EndDialog() override;
    void WatchPorts(WatchSignal signal) override;
    void StopWatchingPorts() override;
    void TakePostedChunks() override;
    void WaitShowingProgress(const std::function<bool(std::chrono::milliseconds)> &waitFinished,
                             const WriteProgress &progress) override;

    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    // The graph draws with these pens; the window keeps them for its whole life.
    PlotPens m_pens;
    // Made before the behaviour and gone after it, which stops the thread that posts through it.
    CWindowMessages m_readerMessages;
    CMonitor m_monitor;
    // The views paint into the template's controls, which they take over once those exist.
    CPlotView m_plot {m_monitor.Samples(), m_pens};
    CLegendView m_legendX {TraceChannel::X};
    CLegendView m_legendY {TraceChannel::Y};
    CLegendView m_legendZ {TraceChannel::Z};
    std::unique_ptr<CReceivedTextWindow> m_receivedView;
    bool m_ended = false;
    // The port watch's signal while the behaviour waits for a lost port, and the system's wait
    // on it, which posts WM_PORTS_SIGNALLED to the window once the signal is set.
    WatchSignal m_watchSignal = NO_WATCH_SIGNAL;
    HANDLE m_portWait = nullptr;
};
