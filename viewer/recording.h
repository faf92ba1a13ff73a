#pragma once

#include "blockarray.h"
#include "recordingfile.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A log file of device frames opened for looking back, of any length. A thread of its own reads
// the file once from start to end with the live graph's frame rules (a frame split across two
// reads is still one frame) and cuts it into blocks of about BLOCK_BYTES of the file each. It
// keeps, per block, where its first frame starts, that frame's number and what its frames span on
// the plot at the chosen bit length, with coarser levels over groups of blocks; so the index takes
// the same share of any file, whatever the form of its frames. Frames themselves are never kept:
// they are read back from the file when asked for, starting at their block. The file is read at an
// offset only, never mapped, so a file that grows or is cut while open is read as it stands.
//
// Every public member may be called from any thread; the scan publishes what it found under a
// lock, and the callback given to SetOnProgress runs on the scan's thread.

// One frame as it stands in the file.
struct RecordedFrame
{
    std::int64_t number; // 0 for the first frame of the file
    std::int64_t bytePosition; // offset of its "X" in the file
    int channels; // 1 (X form), 2 (XY) or 3 (XYZ)
    char digits[3][4]; // the four digit bytes of each channel carried, as in the file
    bool afterSkippedBytes; // bytes that belong to no frame lie just before it
};

// What a stretch of frames spans on the plot, per channel, at one bit length.
struct ChannelSpan
{
    std::int16_t low;
    std::int16_t high;
    bool present; // false when no frame of the stretch carried the channel
};
struct FrameStretch
{
    ChannelSpan channel[3]; // X, Y, Z
    bool malformed; // bytes were skipped inside or just before this stretch
};

class CRecording
{
public:
    // A block ends before the first frame that starts this many bytes or more after its own
    // first frame. At about 31 bytes a block the index takes 1.5 % of the file. Bytes skipped
    // in a longer stretch always lie between two blocks, so a read back never passes through them.
    static constexpr std::int64_t BLOCK_BYTES = 2048;
    static constexpr std::size_t READ_PIECE_SIZE = 1 << 20;

    // `pieceSize` is how much one read of the scan takes.
    explicit CRecording(std::string path, std::size_t pieceSize = READ_PIECE_SIZE);
    ~CRecording();
    CRecording(const CRecording &) = delete;
    CRecording &operator=(const CRecording &) = delete;

    // Opens the file and starts the scan; false with the reason, for the user, on failure.
    bool Open(std::string &failure);
    // Scans on from where the complete frames ended (for a file that grows), or from the start
    // when the file is now shorter than that.
    void Reload();
    // Rescales to a bit length code (1..5 = 16, 14, 12, 10, 8 bit): the frames' positions stay,
    // their values are read again in the background. 12 bit until set.
    void SetBitLengthCode(std::int32_t code);
    std::int32_t BitLengthCode() const;

    std::int64_t FileSize() const;
    // How far the running scan has read; it starts again at 0 after SetBitLengthCode.
    std::int64_t BytesScanned() const;
    bool ScanComplete() const;
    // Blocks until the scan is complete or the recording closes.
    void WaitForScan() const;

    // Frames whose positions are known so far; grows while the scan runs.
    std::int64_t FrameCount() const;
    // The frames of the whole file: FrameCount() once the scan is complete; before, for a large
    // file, an estimate from the sampled overview.
    std::int64_t EstimatedFrameCount() const;
    // Frames [first, last) cut into `columns` stretches, column i holding frames
    // [first + n*i/columns, first + n*(i+1)/columns) with n = last - first. Frames whose values
    // the scan has not reached yet at the current bit length are answered from the sampled
    // overview of a large file (which marks nothing malformed), or else count as carrying no
    // channel.
    std::vector<FrameStretch> Stretches(std::int64_t first, std::int64_t last, int columns) const;
    // The frames [first, first + count) that are known, read back from the file.
    std::vector<RecordedFrame> Frames(std::int64_t first, std::int64_t count) const;

    // What the entries of the file's index take in memory, in bytes.
    std::int64_t IndexBytes() const;
    // The bytes read from the file so far to answer Frames and Stretches.
    std::int64_t BytesReadBack() const;

    // Called on the scan's thread each time more is known and when the scan completes.
    void SetOnProgress(std::function<void()> onProgress);

    // What a run of frames spans at one bit length, kept per block and per group of blocks.
    struct Summary
    {
        std::int16_t low[3];
        std::int16_t high[3];
        std::uint8_t flags;
    };

private:
    // Where a block's first frame starts, times two, plus one when bytes were skipped before it;
    // and that frame's number.
    struct BlockStart
    {
        std::int64_t entry;
        std::int64_t firstFrame;
    };
    struct PendingBlock;
    // A few kilobytes read at one place of a large file for the overview before the scan: the
    // frame number that its first frame is estimated to have, and what its frames span.
    struct OverviewSample
    {
        std::int64_t firstFrame;
        Summary summary;
    };
    void SampleOverview(std::int32_t code);
    void IncludeSamples(std::vector<Summary> &summaries, std::int64_t first, std::int64_t count,
                        std::int64_t summarized, std::int32_t code) const;
    void QueueJob(std::int64_t firstBlock);
    void ScanLoop();
    void RunJob(std::int64_t firstBlock, std::int32_t code);
    void Publish(std::int64_t firstBlock, const std::vector<PendingBlock> &blocks,
                 std::int64_t frameEnd, std::int64_t bytesRead, std::int64_t framesEnd);
    void UpdateLevels(std::int64_t changedBlock, std::int64_t validBlocks);
    std::int64_t BlocksBefore(std::int64_t frame) const;
    std::int64_t BlockOf(std::int64_t frame) const;
    std::int64_t BlockEnd(std::int64_t block) const;
    std::int64_t BlocksEndingBy(std::int64_t frame) const;
    Summary BlocksSummary(std::int64_t first, std::int64_t last) const;
    std::vector<Summary> SummariesFromFrames(int columns, std::int64_t first, std::int64_t count,
                                             std::int64_t end, std::int32_t code) const;
    std::vector<Summary> SummariesFromBlocks(int columns, std::int64_t first, std::int64_t count,
                                             std::int64_t summarized, std::int32_t code) const;
    bool CutBlockChangesNothing(const std::vector<Summary> &summaries, std::int64_t block,
                                std::int64_t first, std::int64_t count,
                                std::int64_t summarized) const;
    template<typename Visit>
    void ForEachFrame(std::int64_t first, std::int64_t count, Visit &&visit) const;
    template<typename Visit>
    std::optional<BlockStart> ReadFramesFrom(BlockStart from, std::int64_t first, std::int64_t end,
                                             std::size_t pieceSize, Visit &visit) const;
    std::optional<BlockStart> BlockPastRead(std::int64_t frame, std::int64_t bytesRead) const;

    const std::string m_path;
    const std::size_t m_pieceSize;
    CRecordingFile m_file;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    CBlockArray<BlockStart, 4096> m_blockStarts;
    // Level 0 summarizes each block, level k each group of SUMMARY_FAN_OUT entries of level k-1.
    std::vector<CBlockArray<Summary, 4096>> m_levels;
    std::int64_t m_frameCount = 0;
    std::int64_t m_summarizedFrames = 0;
    std::int64_t m_framesEnd = 0; // the byte after the last complete frame
    std::int64_t m_fileSize = 0;
    // What the last complete scan saw at the file's start and at the end of its frames.
    std::string m_fingerprint;
    std::int64_t m_bytesScanned = 0;
    std::int32_t m_code = 3;
    bool m_complete = false;
    bool m_closing = false;
    std::int64_t m_pendingBlock = -1; // where the next job starts; -1 when none waits
    std::vector<OverviewSample> m_samples; // in file order
    std::int64_t m_estimatedFrames = 0;
    std::int32_t m_samplesCode = 0;
    std::function<void()> m_onProgress;

    std::atomic<bool> m_abandon {false}; // the running job is to stop at its next piece
    mutable std::atomic<std::int64_t> m_bytesReadBack {0};
    std::thread m_thread;
};
