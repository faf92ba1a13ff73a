#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CRecordingFile;

// Finds the device's frames in a file with the live graph's rules: at each position the forms
// XYZ, XY and X are tried in that order, a frame is recognised by its letters and its CR alone,
// the place of its LF is passed over unexamined and any other byte is skipped one at a time.
// The file is one stream: a frame that two reads cut in two is still one frame. A frame that
// ends the file lacking only its LF counts; one lacking more is left for a later read, as the
// file may still grow. Reads at an offset, so scanners on the same file may run on several
// threads.

struct ScannedFrame
{
    std::int64_t position; // of its "X" in the file
    const char *text; // its bytes, valid until the next read
    int channels; // 1 (X form), 2 (XY) or 3 (XYZ)
    bool afterSkippedBytes; // bytes that belong to no frame lie just before it
};

class CFrameScanner
{
public:
    // Starts at `start`, which is taken to be a frame's first byte or a byte after one;
    // `afterSkippedBytes` says whether bytes were skipped just before it.
    CFrameScanner(const CRecordingFile &file, std::int64_t start, std::size_t pieceSize,
                  bool afterSkippedBytes);

    // Reads the next piece of the file and finds the frames it completes. False once the end of
    // the file (or a read error) was met by an earlier call.
    bool Next();
    const std::vector<ScannedFrame> &Frames() const { return m_frames; }
    // The file's bytes read so far end here.
    std::int64_t BytesRead() const { return m_readPosition; }
    // The byte after the last frame found (after the place of its LF).
    std::int64_t FramesEnd() const { return m_framesEnd; }
    // A read failed; the scan ended there.
    bool ReadFailed() const { return m_readFailed; }

    static constexpr int FRAME_LENGTH[4] = {0, 7, 12, 17};

private:
    void FindFrames(bool atEnd);

    const CRecordingFile &m_file;
    const std::size_t m_pieceSize;
    std::vector<char> m_buffer;
    std::int64_t m_bufferStart; // the file offset of m_buffer[0]
    std::size_t m_bufferLength = 0;
    std::int64_t m_parsePosition; // where the next frame may start
    std::int64_t m_readPosition;
    std::int64_t m_framesEnd;
    bool m_skipped;
    bool m_atEnd = false;
    bool m_readFailed = false;
    std::vector<ScannedFrame> m_frames;
};
