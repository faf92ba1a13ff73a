#include "viewertext.h"

#include "frameparser.h"
#include "recording.h"
#include "texts.h"

#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace {

constexpr char CHANNEL_LETTERS[] = "XYZ";

std::filesystem::path PathFromUtf8(const std::string &utf8)
{
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t *>(utf8.data()), utf8.size()));
}

std::string Utf8FromPath(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char *>(text.data()), text.size()};
}

// The pattern with %1, %2 ... replaced by the values, in one pass: a value that holds "%2" itself
// (digit bytes from a file may) is put in as it stands.
std::string WithValues(std::string_view pattern, std::initializer_list<std::string> values)
{
    std::string text;
    std::size_t from = 0;
    for (std::size_t mark = pattern.find('%'); mark != std::string_view::npos;
         mark = pattern.find('%', from)) {
        text.append(pattern, from, mark - from);
        const std::size_t index
            = mark + 1 < pattern.size() ? pattern[mark + 1] - '1' : values.size();
        text += index < values.size() ? values.begin()[index] : std::string(1, '%');
        from = mark + (index < values.size() ? 2 : 1);
    }
    text.append(pattern, from);
    return text;
}

// The digit bytes as the file holds them, each byte read as one character (Latin-1).
std::string DigitsAsText(const char (&digits)[4])
{
    std::string text;
    for (const char ch : digits) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            text += ch;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

} // namespace

std::string ViewerTitle(const std::string &logPath)
{
    return WithValues(Strings::VIEWER_TITLE, {Utf8FromPath(PathFromUtf8(logPath).filename())});
}

std::string ReadoutText(const CRecording &recording, std::int64_t frame, std::int32_t code)
{
    const std::vector<RecordedFrame> frames
        = frame < 0 ? std::vector<RecordedFrame> {} : recording.Frames(frame, 1);
    if (frames.empty())
        return {};
    const RecordedFrame &found = frames.front();
    std::string text = WithValues(
        Strings::READOUT_FRAME, {std::to_string(found.number), std::to_string(found.bytePosition)});
    for (int c = 0; c < found.channels; ++c) {
        text += WithValues(Strings::READOUT_CHANNEL,
                           {std::string(1, CHANNEL_LETTERS[c]), DigitsAsText(found.digits[c]),
                            std::to_string(DecodeChannelValue(found.digits[c], code))});
    }
    return text;
}

std::string SuggestedFile(const std::string &logPath, const char *suffix)
{
    return Utf8FromPath(PathFromUtf8(logPath).replace_extension(suffix));
}

std::string ScanProgressText(std::int64_t scanned, std::int64_t size)
{
    const std::int64_t percent = size > 0 ? scanned * 100 / size : 100;
    std::string text = Strings::VIEWER_READING;
    const std::size_t mark = text.find("%p");
    if (mark != std::string::npos)
        text.replace(mark, 2, std::to_string(percent));
    return text;
}
