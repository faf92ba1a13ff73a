#pragma once

#include <QApplication>

// The application: runs the main window modally and ends when it closes.
class CMonitorApp : public QApplication
{
    Q_OBJECT

public:
    CMonitorApp(int &argc, char **argv);

    // Returns false in every case: the application ends with its window. With `demo`, a demo
    // device stands in for the port.
    bool InitInstance(bool demo = false);
    // The log viewer alone, with no port, no settings dialog and no main window; the program
    // ends when the viewer closes. Returns the exit status.
    int ViewLog(const QString &path);
};
