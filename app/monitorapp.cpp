#include "monitorapp.h"

#include "monitordlg.h"
#include "texts.h"

CMonitorApp::CMonitorApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf8(Strings::APP_NAME));
    setQuitOnLastWindowClosed(false);
}

bool CMonitorApp::InitInstance()
{
    CMonitorDlg dialog;
    dialog.DoModal();
    return false;
}
