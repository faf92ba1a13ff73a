#include "outputfile.h"

std::FILE *OpenOutputFile(const std::string &path)
{
    return std::fopen(path.c_str(), "wb");
}
