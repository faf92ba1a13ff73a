#include "commandline.h"
#include "monitorapp.h"

#include <QFile>

int main(int argc, char **argv)
{
    std::string viewPath;
    if (const std::optional<int> status = RunCommandLine({argv, argv + argc}, viewPath))
        return *status;
    CMonitorApp app(argc, argv);
    if (!viewPath.empty())
        return app.ViewLog(QFile::decodeName(viewPath.c_str()));
    app.InitInstance();
    return 0;
}
