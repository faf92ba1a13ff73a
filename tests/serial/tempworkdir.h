#pragma once

#include <filesystem>

// A fresh, empty working directory for one test: made and entered on construction, left and
// removed with everything in it on destruction. Port names resolve against it.
class CTempWorkDir
{
public:
    CTempWorkDir();
    ~CTempWorkDir();
    CTempWorkDir(const CTempWorkDir &) = delete;
    CTempWorkDir &operator=(const CTempWorkDir &) = delete;

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};
