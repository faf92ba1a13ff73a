#include "commandline.h"
#include "monitorapp.h"

#include <QFile>

int main(int argc, char **argv)
{
    WindowChoice choice;
    if (const std::optional<int> status = RunCommandLine({argv, argv + argc}, choice))
        return *status;
    CMonitorApp app(argc, argv);
    if (!choice.viewPath.empty())
        return app.ViewLog(QFile::decodeName(choice.viewPath.c_str()));
    app.InitInstance(choice.demo);
    return 0;
}
