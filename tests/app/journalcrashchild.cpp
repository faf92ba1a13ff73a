// The program that the journal's crash test kills: the main window on COM1 of its working
// directory, every modal step answered at once. It writes "ready" on stdout once the port is
// open, then, after each received chunk, the number of bytes received so far, one line each, so
// the test knows what had arrived and when.
#include "messagebox.h"
#include "modalrun.h"
#include "monitordlg.h"
#include "receivemessages.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

#include <string>
#include <unistd.h>

namespace {

void Report(const std::string &line)
{
    const std::string text = line + '\n';
    // Straight to the pipe: a buffered line would still be in this process when it is killed.
    if (write(STDOUT_FILENO, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        _exit(3);
}

class CReportingMonitorDlg : public CMonitorDlg
{
protected:
    bool event(QEvent *event) override
    {
        const bool chunk = static_cast<std::uint32_t>(event->type()) == WM_RECEIVED_DATA;
        const bool handled = CMonitorDlg::event(event);
        if (chunk)
            Report(std::to_string(Monitor().ReceivedText().Size()));
        return handled;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetModalRunner([](QDialog &) { return int(QDialog::Rejected); });
    SetMessageBoxHandler(
        [](const QString &, MessageButtons, const QString &) { return MessageAnswer::Ok; });
    SetBeepHandler([] {});

    CReportingMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    // The redraw timer runs only when the port opened and the reader started.
    if (!dialog.Monitor().RedrawTimerRunning())
        return 2;
    Report("ready");
    return app.exec();
}
