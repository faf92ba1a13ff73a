#include "monitorapp.h"

int main(int argc, char **argv)
{
    CMonitorApp app(argc, argv);
    app.InitInstance();
    return 0;
}
