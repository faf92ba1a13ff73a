#include "commandline.h"
#include "monitorapp.h"

int main(int argc, char **argv)
{
    if (const std::optional<int> status = RunCommandLine(argc, argv))
        return *status;
    CMonitorApp app(argc, argv);
    app.InitInstance();
    return 0;
}
