#include "framescanner.h"

#include "recordingfile.h"

#include <cstring>

namespace {

constexpr char CR = '\r';
// The longest frame's bytes up to its CR: with that many known, every form is decided, so no
// more than that is ever carried over to the next read.
constexpr std::size_t DECISIVE_LENGTH = 16;

enum class Match { NO, YES, UNDECIDED };

struct FormByte
{
    int offset;
    char expected;
};

// A form matches when every byte it tests is as expected; bytes past `available` are not known
// yet, so a form that no known byte rules out waits for them unless the file has ended.
template<std::size_t N>
Match MatchForm(const char *p, std::size_t available, bool atEnd, const FormByte (&tests)[N])
{
    bool undecided = false;
    for (const FormByte &test : tests) {
        if (static_cast<std::size_t>(test.offset) >= available)
            undecided = true;
        else if (p[test.offset] != test.expected)
            return Match::NO;
    }
    if (!undecided)
        return Match::YES;
    return atEnd ? Match::NO : Match::UNDECIDED;
}

constexpr FormByte XYZ_FORM[] = {{5, 'Y'}, {10, 'Z'}, {15, CR}};
constexpr FormByte XY_FORM[] = {{5, 'Y'}, {10, CR}};
constexpr FormByte X_FORM[] = {{5, CR}};

// The channel count of the frame that starts at p (whose first byte is "X"), 0 when none does
// and -1 while bytes still to come decide it.
int FrameChannels(const char *p, std::size_t available, bool atEnd)
{
    Match match = MatchForm(p, available, atEnd, XYZ_FORM);
    if (match != Match::NO)
        return match == Match::YES ? 3 : -1;
    match = MatchForm(p, available, atEnd, XY_FORM);
    if (match != Match::NO)
        return match == Match::YES ? 2 : -1;
    match = MatchForm(p, available, atEnd, X_FORM);
    if (match != Match::NO)
        return match == Match::YES ? 1 : -1;
    return 0;
}

} // namespace

CFrameScanner::CFrameScanner(const CRecordingFile &file, std::int64_t start, std::size_t pieceSize,
                             bool afterSkippedBytes)
    : m_file(file)
    , m_pieceSize(pieceSize)
    , m_buffer(pieceSize + DECISIVE_LENGTH)
    , m_bufferStart(start)
    , m_parsePosition(start)
    , m_readPosition(start)
    , m_framesEnd(start)
    , m_skipped(afterSkippedBytes)
{ }

bool CFrameScanner::Next()
{
    m_frames.clear();
    if (m_atEnd)
        return false;
    // The bytes not yet decided move to the front; after a frame whose CR ended the buffer the
    // parse position is the place of its LF, one past what was read.
    const std::int64_t bufferEnd = m_bufferStart + static_cast<std::int64_t>(m_bufferLength);
    const std::size_t carried
        = m_parsePosition < bufferEnd ? static_cast<std::size_t>(bufferEnd - m_parsePosition) : 0;
    std::memmove(m_buffer.data(), m_buffer.data() + (m_bufferLength - carried), carried);
    m_bufferStart = m_parsePosition;
    m_readPosition = m_parsePosition + static_cast<std::int64_t>(carried);

    std::int64_t got = m_file.ReadAt(m_buffer.data() + carried, m_pieceSize, m_readPosition);
    if (got < 0) {
        m_readFailed = true;
        got = 0;
    }
    m_bufferLength = carried + static_cast<std::size_t>(got);
    m_readPosition += got;
    m_atEnd = got == 0;
    FindFrames(m_atEnd);
    return true;
}

void CFrameScanner::FindFrames(bool atEnd)
{
    const char *text = m_buffer.data();
    const std::size_t length = m_bufferLength;
    std::size_t p = static_cast<std::size_t>(m_parsePosition - m_bufferStart);
    while (p < length) {
        if (text[p] != 'X') {
            const void *x = std::memchr(text + p, 'X', length - p);
            p = x ? static_cast<std::size_t>(static_cast<const char *>(x) - text) : length;
            m_skipped = true;
            continue;
        }
        const int channels = FrameChannels(text + p, length - p, atEnd);
        if (channels < 0)
            break;
        if (channels == 0) {
            m_skipped = true;
            ++p;
            continue;
        }
        const std::int64_t position = m_bufferStart + static_cast<std::int64_t>(p);
        m_frames.push_back({position, text + p, channels, m_skipped});
        m_skipped = false;
        p += FRAME_LENGTH[channels];
        m_framesEnd = position + FRAME_LENGTH[channels];
    }
    m_parsePosition = m_bufferStart + static_cast<std::int64_t>(p);
}
