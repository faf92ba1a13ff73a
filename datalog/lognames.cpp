#include "lognames.h"

#include "logtimestamp.h"

std::string LogPortName(std::uint32_t portIndex)
{
    return portIndex < LOG_PORT_COUNT ? "COM" + std::to_string(portIndex + 1) : std::string();
}

std::string LogFileName(std::uint32_t portIndex)
{
    std::string name = std::string(LOG_DIRECTORY) + '/' + LogPortName(portIndex) + '_';
    MakeLogTimeStamp(name);
    return name + LOG_FILE_SUFFIX;
}
