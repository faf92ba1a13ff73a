#pragma once

#include "monitor.h"
#include "monitorwindow.h"
#include "pacer.h"
#include "receivemessages.h"

#include <QBasicTimer>
#include <QDialog>
#include <QIcon>
#include <QPen>

#include <array>
#include <chrono>
#include <memory>

class QSocketNotifier;
class CLegendView;
class CPlotView;
class CReceivedTextView;

// The main window on Linux: a Qt dialog built from the main window's template, in which the
// window's behaviour (CMonitor) runs. It creates and paints the controls, runs the timers, posts
// the reader's messages to itself and hands each to its handler, and shows the message boxes,
// the menus and the dropped logs.
class CMonitorDlg : public QDialog, private CMonitorWindow
{
    Q_OBJECT

public:
    explicit CMonitorDlg(QWidget *parent = nullptr,
                         std::shared_ptr<CLineControl> lineControl = SystemLineControl());
    ~CMonitorDlg() override;

    // Initialises, then runs the window modally; returns at once when start-up ended it.
    int DoModal();

    CMonitor &Monitor() { return m_monitor; }
    const CMonitor &Monitor() const { return m_monitor; }

    // Opens a log chosen in a file dialog, which starts in the log folder, in a viewer.
    void OnOpenLog();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void reject() override;

private:
    QWidget *MakeControl(int id);
    void ConnectCommands();
    void Repaint();

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

    QIcon m_hIcon;
    // The plotting area draws with these pens; the window keeps them for its whole life.
    QPen m_penX;
    QPen m_penY;
    QPen m_penZ;
    QPen m_penGrid;
    // Made before the behaviour and gone after it, which stops the thread that reports to it.
    CWindowEvents m_readerEvents {this};
    CMonitor m_monitor;
    CLegendView *m_legendZ = nullptr;
    CLegendView *m_legendY = nullptr;
    CLegendView *m_legendX = nullptr;
    CPlotView *m_plot = nullptr;
    CReceivedTextView *m_receivedView = nullptr;
    // By timer number; number 0 is not used.
    std::array<QBasicTimer, SHOW_RECEIVED_TIMER + 1> m_timers;
    QBasicTimer m_repaintTimer;
    CPacer m_repaintPacer;
    QSocketNotifier *m_portWatchNotifier = nullptr;
};

// One frame of the window's screen.
std::chrono::nanoseconds ScreenFrameInterval(const QWidget &window);
