#include "commandline.h"
#include "monitorapp.h"

#include "portdiscovery.h"

int main(int argc, char **argv)
{
    if (const std::optional<int> status = RunCommandLine(argc, argv))
        return *status;
    // Adapters plugged in since the last run get their numbers before the stored port is opened.
    DiscoverPorts();
    CMonitorApp app(argc, argv);
    app.InitInstance();
    return 0;
}
