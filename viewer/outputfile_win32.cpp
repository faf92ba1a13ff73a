#include "outputfile.h"

#include "widetext.h"

// The narrow fopen reads a name in the system's code page, which cannot name every file.
std::FILE *OpenOutputFile(const std::string &path)
{
    return _wfopen(WideFromUtf8(path).c_str(), L"wb");
}
