#pragma once

#include <cstdint>
#include <string>

// Where the logs go and what they are called: one file per port and minute in the DATALOG
// directory of the working directory, for example "./DATALOG/COM3_2026_12_7_18_5_DataLogger.txt",
// the minute that of the reference time (logtimestamp.h). The same on every system.

inline constexpr const char *LOG_DIRECTORY = "./DATALOG";
inline constexpr const char *LOG_FILE_SUFFIX = "_DataLogger.txt";
inline constexpr std::uint32_t LOG_PORT_COUNT = 16;

// "COM1" to "COM16" for index 0 to 15; empty for any other index.
std::string LogPortName(std::uint32_t portIndex);

// The log file of port `portIndex` for the current minute of the log clock.
std::string LogFileName(std::uint32_t portIndex);
