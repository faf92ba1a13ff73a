#include "monitorapp.h"

#include "logviewer.h"
#include "monitordlg.h"
#include "texts.h"

CMonitorApp::CMonitorApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf8(Strings::APP_NAME));
    setQuitOnLastWindowClosed(false);
}

bool CMonitorApp::InitInstance(bool demo)
{
    CMonitorDlg dialog;
    if (demo)
        dialog.Monitor().UseDemoDevice();
    dialog.DoModal();
    return false;
}

int CMonitorApp::ViewLog(const QString &path)
{
    if (OpenLogViewer(path) == nullptr)
        return 1;
    setQuitOnLastWindowClosed(true);
    return exec();
}
