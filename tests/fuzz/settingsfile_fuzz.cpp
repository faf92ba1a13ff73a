// Feeds any content as rs232c.ini, both straight to the record decoder and through the file in a
// working directory of its own. A record is taken only when it has all 124 bytes and every text
// field holds its NUL; a refused record leaves the settings untouched; nothing past the record or
// a field is read; and a record that was taken encodes back to the same bytes, apart from what the
// encoder always writes as zero: the byte between the stop bits and the flow fields and the bytes
// after each text's NUL.
#include "portsettings.h"
#include "settingsfile.h"
#include "settingsfilerecord.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t PADDING_OFFSET = 11;
constexpr std::size_t FIRST_TEXT_OFFSET = 28;

void Require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Settings that no decoder would produce from a 124-byte record of zeros, to tell "untouched".
PortSettings Sentinel()
{
    PortSettings settings;
    std::memset(&settings, 0xA5, sizeof settings);
    return settings;
}

bool EveryFieldHasNul(const std::uint8_t *record)
{
    for (std::size_t field = 0; field < std::size(PORT_SETTING_TEXTS); ++field) {
        const std::uint8_t *begin = record + FIRST_TEXT_OFFSET + field * SETTING_TEXT_SIZE;
        if (std::find(begin, begin + SETTING_TEXT_SIZE, 0) == begin + SETTING_TEXT_SIZE)
            return false;
    }
    return true;
}

// The bytes that the encoder decides alone: zero in every record it writes.
bool IsEncoderOwnedByte(const std::uint8_t *record, std::size_t offset)
{
    if (offset == PADDING_OFFSET)
        return true;
    if (offset < FIRST_TEXT_OFFSET)
        return false;
    const std::size_t fieldBegin
        = offset - (offset - FIRST_TEXT_OFFSET) % static_cast<std::size_t>(SETTING_TEXT_SIZE);
    return std::find(record + fieldBegin, record + offset, 0) != record + offset;
}

void CheckDecode(const std::uint8_t *data, std::size_t size)
{
    // An exact copy on the heap, so that a read past the given size is caught.
    const std::vector<std::uint8_t> copy(data, data + size);
    PortSettings settings = Sentinel();
    const bool taken = DecodeSettingsRecord(copy.data(), copy.size(), settings);
    const bool wellFormed = size >= SETTINGS_RECORD_SIZE && EveryFieldHasNul(data);
    Require(taken == wellFormed, "a record is taken exactly when it is well formed");
    if (!taken) {
        Require(settings == Sentinel(), "a refused record leaves the settings untouched");
        return;
    }
    for (SettingText PortSettings::*text : PORT_SETTING_TEXTS) {
        const char *field = settings.*text;
        const std::size_t length = strnlen(field, SETTING_TEXT_SIZE);
        Require(length < SETTING_TEXT_SIZE, "a decoded text ends within its field");
        Require(std::all_of(field + length, field + SETTING_TEXT_SIZE,
                            [](char ch) { return ch == '\0'; }),
                "a decoded text is zero-filled behind its NUL");
    }
    const SettingsFileRecord encoded = EncodeSettingsRecord(settings);
    for (std::size_t offset = 0; offset < SETTINGS_RECORD_SIZE; ++offset) {
        const std::uint8_t expected = IsEncoderOwnedByte(data, offset) ? 0 : data[offset];
        Require(encoded[offset] == expected, "a taken record encodes back to its bytes");
    }
    PortSettings again = Sentinel();
    Require(DecodeSettingsRecord(encoded.data(), encoded.size(), again) && again == settings,
            "an encoded record decodes to the same settings");
}

// A directory of the fuzzer's own for rs232c.ini, entered only while the file is read, so that
// corpus paths and crash files stay relative to where the fuzzer was started.
struct WorkDirectories
{
    std::string own;
    int ownFd = -1;
    int startFd = -1;
};
WorkDirectories g_directories;

void RemoveOwnDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_directories.own, ignored);
}

void WriteSettingsContent(const std::uint8_t *data, std::size_t size)
{
    const int fd = open(SETTINGS_FILE_NAME, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Require(fd >= 0, "the fuzzer can write its rs232c.ini");
    Require(write(fd, data, size) == static_cast<ssize_t>(size), "the whole content is written");
    close(fd);
}

// The file must give what the decoder gives for the file's bytes.
void CheckFile(const std::uint8_t *data, std::size_t size)
{
    Require(fchdir(g_directories.ownFd) == 0, "the fuzzer enters its directory");
    WriteSettingsContent(data, size);
    PortSettings fromFile = Sentinel();
    const bool fileTaken = ReadSettingsFile(fromFile);
    Require(fchdir(g_directories.startFd) == 0, "the fuzzer returns to where it started");
    PortSettings fromBytes = Sentinel();
    const bool bytesTaken = DecodeSettingsRecord(data, size, fromBytes);
    Require(fileTaken == bytesTaken && fromFile == fromBytes, "the file reads as its bytes decode");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string pattern
        = (std::filesystem::temp_directory_path() / "orvanta-settings-fuzz-XXXXXX").string();
    Require(mkdtemp(pattern.data()) != nullptr, "the fuzzer has a directory of its own");
    g_directories = {pattern, open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                     open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    Require(g_directories.ownFd >= 0 && g_directories.startFd >= 0, "both directories open");
    std::atexit(RemoveOwnDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CheckDecode(data, size);
    CheckFile(data, size);
    return 0;
}
