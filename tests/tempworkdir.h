#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

// A fresh, empty working directory for one test: entered on construction, left and removed on
// destruction, so that files such as rs232c.ini never leak between tests.
class CTempWorkDir
{
public:
    CTempWorkDir()
        : m_previous(std::filesystem::current_path())
        , m_path(MakeUniqueDirectory())
    {
        std::filesystem::current_path(m_path);
    }
    ~CTempWorkDir()
    {
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        // Make every directory writable again, so that a test's read-only entries are removed
        // too. The iterator enters a directory only after its permissions were mended.
        MakeWritable(m_path, ignored);
        for (std::filesystem::recursive_directory_iterator entry(m_path, ignored), end;
             entry != end; entry.increment(ignored)) {
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                MakeWritable(entry->path(), ignored);
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempWorkDir(const CTempWorkDir &) = delete;
    CTempWorkDir &operator=(const CTempWorkDir &) = delete;

    // The names of the directory's entries.
    static std::set<std::string> Entries()
    {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator("."))
            names.insert(entry.path().filename().string());
        return names;
    }

private:
    // A name that no directory has yet; create_directory refuses one that another test took
    // meanwhile.
    static std::filesystem::path MakeUniqueDirectory()
    {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            std::filesystem::path path = base / ("orvanta-" + std::to_string(random()));
            if (std::filesystem::create_directory(path))
                return path;
        }
    }

    static void MakeWritable(const std::filesystem::path &path, std::error_code &error)
    {
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }

    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

inline std::vector<unsigned char> ReadBytes(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string &name, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
