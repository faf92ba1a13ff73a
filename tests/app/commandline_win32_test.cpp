// The options on Windows: the run through the command interpreter, the port list from the registry,
// and --view of a file that cannot be read.

#include "commandlinetesting.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>

// Wine has no message box without a display: the box returns at once, and the exit status shows.
// A start without options opens the window and its port, which no test here does.
const std::vector<CommandLineCase> SYSTEM_COMMAND_LINE_CASES = {
    {"--view missing", 1, ""},
    {"--csv missing", 1, "ログファイルがオープンできません："},
};

namespace {

// A value in SERIALCOMM for one test, gone again after it.
class CSerialCommValue
{
public:
    CSerialCommValue(const wchar_t *device, const std::wstring &port)
        : m_device(device)
    {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                        KEY_WRITE, nullptr, &m_key, nullptr);
        RegSetValueExW(m_key, device, 0, REG_SZ, reinterpret_cast<const BYTE *>(port.c_str()),
                       static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    }
    ~CSerialCommValue()
    {
        RegDeleteValueW(m_key, m_device);
        RegCloseKey(m_key);
    }
    CSerialCommValue(const CSerialCommValue &) = delete;
    CSerialCommValue &operator=(const CSerialCommValue &) = delete;

private:
    const wchar_t *m_device;
    HKEY m_key = nullptr;
};

// The program beside the test program in the build tree.
std::filesystem::path ProgramPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / ORVANTA_RELATIVE_PATH).make_preferred();
}

} // namespace

// Through the command interpreter, as a user redirects a console's output; its status is the
// program's.
ProgramRun RunOrvanta(const std::string &arguments)
{
    const std::wstring command = L"\"\"" + ProgramPath().wstring() + L"\" "
        + std::filesystem::path(std::u8string(arguments.begin(), arguments.end())).wstring()
        + L" 2>&1\"";
    FILE *pipe = _wpopen(command.c_str(), L"rb");
    if (!pipe)
        return {-1, "no pipe"};
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    return {_pclose(pipe), output};
}

namespace {

// Ports that SetupAPI does not know, as SERIALCOMM names them; one beyond the sixteen.
TEST(CommandLine, ListPortsShowsThePortsTheRegistryNames)
{
    const CSerialCommValue onTheList(L"\\Device\\OrvantaTest14", L"COM14");
    const CSerialCommValue beyondIt(L"\\Device\\OrvantaTest17", L"COM17");
    const ProgramRun run = RunOrvanta("--list-ports");
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 17u) << run.output;
    EXPECT_TRUE(lines[13].starts_with("COM14  \\Device\\OrvantaTest14 ")) << lines[13];
    EXPECT_TRUE(lines[13].ends_with("  あり  説明のないポート")) << lines[13];
    EXPECT_TRUE(PresenceColumnsAligned({lines.begin(), lines.begin() + 16})) << run.output;
    EXPECT_EQ(lines[16],
              "COM16 より後の番号のため選べません: COM17 — 説明のないポート — "
              "\\Device\\OrvantaTest17");
}

} // namespace
