// Logs where the system is Linux: what a refused open names, a FIFO and a device among them.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

std::vector<std::pair<std::string, std::string>> MakeRefusedPaths()
{
    std::filesystem::create_directory("folder");
    mkfifo("fifo", 0600);
    return {{"missing.log", "No such file or directory"},
            {"folder", "Is a directory"},
            {"fifo", "通常のファイルではありません"},
            {"/dev/zero", "通常のファイルではありません"}};
}
