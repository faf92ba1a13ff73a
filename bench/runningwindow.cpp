#include "runningwindow.h"

#include "messagebox.h"
#include "modalrun.h"
#include "receivemessages.h"
#include "dialogtemplate.h"
#include "templates.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

void RunEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunEventLoopUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        RunEventLoopFor(10);
    }
    return true;
}

CRunningWindow::CRunningWindow(const std::string &portPath)
{
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_workDir.path());
    ::symlink(portPath.c_str(), "COM1");
    SetMessageBoxHandler([](const QString &, MessageButtons buttons, const QString &) {
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Ignore;
    });
    SetModalRunner([](QDialog &) { return int(QDialog::Rejected); });
    m_dialog = std::make_unique<CMonitorDlg>();
    m_dialog->Monitor().OnInitDialog();
    m_dialog->show();
    RunEventLoopUntil([&] { return m_dialog->windowHandle()->isExposed(); }, 10'000);
    RunEventLoopFor(100);
}

CRunningWindow::~CRunningWindow()
{
    m_dialog.reset();
    SetModalRunner({});
    SetMessageBoxHandler({});
    QDir::setCurrent(m_previousDir);
}

QWidget &CRunningWindow::Control(int id)
{
    return *FindControl(*m_dialog, id);
}

qreal CRunningWindow::ScreenRate() const
{
    return m_dialog->screen()->refreshRate();
}

QByteArray CRunningWindow::NextChunk()
{
    m_chunk.clear();
    m_source.Append(m_chunk, CHUNK_SIZE);
    return QByteArray::fromStdString(m_chunk);
}

void CRunningWindow::Receive(QByteArray chunk)
{
    QCoreApplication::postEvent(m_dialog.get(), new CReceivedDataEvent(std::move(chunk)));
    QCoreApplication::sendPostedEvents(m_dialog.get(), static_cast<int>(WM_RECEIVED_DATA));
}

void CRunningWindow::FillTo(std::uint64_t bytes)
{
    for (int n = 0; m_dialog->Monitor().ReceivedText().Size() < bytes; ++n) {
        Receive(NextChunk());
        if (n % 64 == 0)
            QCoreApplication::processEvents();
    }
    RunEventLoopFor(50);
}
