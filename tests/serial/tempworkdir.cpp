#include "tempworkdir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

CTempWorkDir::CTempWorkDir()
    : m_previous(std::filesystem::current_path())
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvanta-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary directory");
    m_path = pattern;
    std::filesystem::current_path(m_path);
}

CTempWorkDir::~CTempWorkDir()
{
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
    std::filesystem::remove_all(m_path, ignored);
}
