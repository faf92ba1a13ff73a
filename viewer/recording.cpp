#include "recording.h"

#include "frameparser.h"
#include "framescanner.h"
#include "texts.h"

#include <algorithm>
#include <cstring>

namespace {

using Summary = CRecording::Summary;

// Each summary level holds one entry for this many entries of the level below.
constexpr std::int64_t SUMMARY_FAN_OUT = 16;
// Below this many blocks' worth of frames to a column the frames are read from the file rather
// than summed up.
constexpr std::int64_t BLOCKS_READ_PER_COLUMN = 2;
// A read back of frames asks for about what they take, within these bounds: small reads of a
// block's frames, and pieces for many frames that the allocator keeps for reuse.
constexpr std::size_t FRAME_READ_PIECE_MIN = 256;
constexpr std::size_t FRAME_READ_PIECE_MAX = 64 * 1024;

// The sampled overview of a large file: this many reads of a few kilobytes, spread evenly over
// the file, which take a fraction of a second even from the disk. A smaller file is scanned
// whole in about the same time.
constexpr int OVERVIEW_SAMPLES = 2000;
constexpr std::size_t OVERVIEW_SAMPLE_BYTES = 4096;
constexpr std::int64_t SAMPLED_OVERVIEW_MIN_SIZE = 32 << 20;

constexpr std::uint8_t MALFORMED = 1 << 3;

constexpr Summary EMPTY_SUMMARY
    = {{INT16_MAX, INT16_MAX, INT16_MAX}, {INT16_MIN, INT16_MIN, INT16_MIN}, 0};

void Include(Summary &summary, const Summary &part)
{
    for (int ch = 0; ch < 3; ++ch) {
        summary.low[ch] = std::min(summary.low[ch], part.low[ch]);
        summary.high[ch] = std::max(summary.high[ch], part.high[ch]);
    }
    summary.flags |= part.flags;
}

void Include(Summary &summary, const RecordedFrame &frame, std::int32_t code)
{
    for (int ch = 0; ch < frame.channels; ++ch) {
        const auto value = static_cast<std::int16_t>(DecodeChannelValue(frame.digits[ch], code));
        summary.low[ch] = std::min(summary.low[ch], value);
        summary.high[ch] = std::max(summary.high[ch], value);
        summary.flags |= static_cast<std::uint8_t>(1 << ch);
    }
    if (frame.afterSkippedBytes)
        summary.flags |= MALFORMED;
}

FrameStretch StretchOf(const Summary &summary)
{
    FrameStretch stretch {};
    for (int ch = 0; ch < 3; ++ch) {
        const bool present = summary.flags & (1 << ch);
        stretch.channel[ch] = {present ? summary.low[ch] : std::int16_t(0),
                               present ? summary.high[ch] : std::int16_t(0), present};
    }
    stretch.malformed = summary.flags & MALFORMED;
    return stretch;
}

RecordedFrame RecordedFrameOf(const ScannedFrame &scanned, std::int64_t number)
{
    RecordedFrame frame {number, scanned.position, scanned.channels, {}, scanned.afterSkippedBytes};
    for (int ch = 0; ch < scanned.channels; ++ch)
        std::memcpy(frame.digits[ch], scanned.text + 1 + 5 * ch, 4);
    return frame;
}

// A block's start holds its first frame's position and whether bytes were skipped before it.
std::int64_t BlockStartEntry(std::int64_t position, bool afterSkippedBytes)
{
    return position * 2 + (afterSkippedBytes ? 1 : 0);
}

std::int64_t PositionOf(std::int64_t blockStartEntry)
{
    return blockStartEntry / 2;
}

CFrameScanner ScannerFrom(const CRecordingFile &file, std::int64_t blockStartEntry,
                          std::size_t pieceSize)
{
    return CFrameScanner(file, PositionOf(blockStartEntry), pieceSize, blockStartEntry % 2 != 0);
}

template<typename T, std::size_t N>
void Store(CBlockArray<T, N> &array, std::int64_t index, T value)
{
    if (static_cast<std::uint64_t>(index) < array.Size())
        array[static_cast<std::uint64_t>(index)] = value;
    else
        array.PushBack(value);
}

// The first frame of column `column` when `count` frames from `first` make `columns` columns.
std::int64_t ColumnStart(std::int64_t first, std::int64_t count, int columns, int column)
{
    return first + count * column / columns;
}

// The column of the frame `offset` frames after the first: the last whose start is at or before it.
std::size_t ColumnOf(std::int64_t offset, std::int64_t count, int columns)
{
    return static_cast<std::size_t>(((offset + 1) * columns - 1) / count);
}

// The bytes a scan saw at the file's start and just before the end of its complete frames, all
// within those frames, so that a file that only grew keeps them. Bytes that differ there on a
// reload mean that the file was written anew (a journal emptied by a clear and written again).
constexpr std::int64_t FINGERPRINT_SPAN = 4096;

std::string ReadAt(const CRecordingFile &file, std::int64_t offset, std::int64_t length)
{
    std::string bytes(static_cast<std::size_t>(length), '\0');
    const std::int64_t got = file.ReadAt(bytes.data(), bytes.size(), offset);
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return bytes;
}

std::string Fingerprint(const CRecordingFile &file, std::int64_t framesEnd)
{
    const std::int64_t span = std::min(FINGERPRINT_SPAN, framesEnd);
    return ReadAt(file, 0, span) + ReadAt(file, framesEnd - span, span);
}

} // namespace

struct CRecording::PendingBlock
{
    BlockStart start;
    Summary summary;
};

CRecording::CRecording(std::string path, std::size_t pieceSize)
    : m_path(std::move(path))
    , m_pieceSize(pieceSize)
{ }

CRecording::~CRecording()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
        m_abandon = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

// Only a regular file has an end and stays put while it is read: a FIFO's reads would wait for
// bytes and a device such as /dev/zero never ends.
bool CRecording::Open(std::string &failure)
{
    std::string reason;
    if (!m_file.Open(m_path, reason)) {
        failure = std::string(Strings::LOG_CANNOT_OPEN) + "：" + reason;
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_fileSize = m_file.Size();
        QueueJob(0);
    }
    m_thread = std::thread(&CRecording::ScanLoop, this);
    return true;
}

void CRecording::Reload()
{
    const std::int64_t size = m_file.Size();
    if (size < 0)
        return;
    const std::lock_guard lock(m_mutex);
    m_fileSize = size;
    // The samples were of the file as it stood; the scan from the last block is quick.
    m_samples.clear();
    // A file cut shorter, or written anew, is scanned again from its start.
    if (m_fileSize < m_framesEnd || Fingerprint(m_file, m_framesEnd) != m_fingerprint) {
        m_blockStarts.Clear();
        m_levels.clear();
        m_frameCount = m_summarizedFrames = m_framesEnd = 0;
    }
    // The last block is read again whole, as its summary may lack frames that came since.
    QueueJob(std::max<std::int64_t>(0, BlockOf(m_summarizedFrames)));
}

void CRecording::SetBitLengthCode(std::int32_t code)
{
    const std::lock_guard lock(m_mutex);
    if (code == m_code)
        return;
    m_code = code;
    m_summarizedFrames = 0;
    if (m_file.IsOpen())
        QueueJob(0);
}

std::int32_t CRecording::BitLengthCode() const
{
    const std::lock_guard lock(m_mutex);
    return m_code;
}

std::int64_t CRecording::FileSize() const
{
    const std::lock_guard lock(m_mutex);
    return m_fileSize;
}

std::int64_t CRecording::BytesScanned() const
{
    const std::lock_guard lock(m_mutex);
    return m_bytesScanned;
}

bool CRecording::ScanComplete() const
{
    const std::lock_guard lock(m_mutex);
    return m_complete;
}

void CRecording::WaitForScan() const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_complete || m_closing || !m_file.IsOpen(); });
}

std::int64_t CRecording::FrameCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_frameCount;
}

std::int64_t CRecording::EstimatedFrameCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_complete || m_samples.empty() ? m_frameCount
                                           : std::max(m_frameCount, m_estimatedFrames);
}

std::int64_t CRecording::IndexBytes() const
{
    const std::lock_guard lock(m_mutex);
    std::uint64_t bytes = m_blockStarts.Size() * sizeof(BlockStart);
    for (const auto &level : m_levels)
        bytes += level.Size() * sizeof(Summary);
    return static_cast<std::int64_t>(bytes);
}

std::int64_t CRecording::BytesReadBack() const
{
    return m_bytesReadBack;
}

void CRecording::SetOnProgress(std::function<void()> onProgress)
{
    const std::lock_guard lock(m_mutex);
    m_onProgress = std::move(onProgress);
}

// Called with the lock held, in the same hold as any change the new job depends on, so that no
// piece of the old job is published after the change.
void CRecording::QueueJob(std::int64_t firstBlock)
{
    m_pendingBlock = m_pendingBlock < 0 ? firstBlock : std::min(m_pendingBlock, firstBlock);
    m_complete = false;
    m_abandon = true;
    m_changed.notify_all();
}

void CRecording::ScanLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_closing || m_pendingBlock >= 0; });
        if (m_closing)
            return;
        const std::int64_t firstBlock = m_pendingBlock;
        const std::int32_t code = m_code;
        m_pendingBlock = -1;
        m_abandon = false;
        lock.unlock();
        RunJob(firstBlock, code);
        lock.lock();
        if (m_pendingBlock < 0 && !m_closing) {
            m_fingerprint = Fingerprint(m_file, m_framesEnd);
            m_complete = true;
            m_changed.notify_all();
            const std::function<void()> onProgress = m_onProgress;
            lock.unlock();
            if (onProgress)
                onProgress();
            lock.lock();
        }
    }
}

void CRecording::RunJob(std::int64_t firstBlock, std::int32_t code)
{
    // The first block starts at the file's first byte, so that bytes before its first frame count.
    BlockStart start {0, 0};
    {
        const std::lock_guard lock(m_mutex);
        if (m_abandon)
            return;
        if (firstBlock > 0)
            start = m_blockStarts[static_cast<std::uint64_t>(firstBlock)];
        m_summarizedFrames = std::min(m_summarizedFrames, start.firstFrame);
        m_bytesScanned = PositionOf(start.entry);
    }
    if (firstBlock == 0)
        SampleOverview(code);
    CFrameScanner scanner = ScannerFrom(m_file, start.entry, m_pieceSize);
    std::int64_t frameEnd = start.firstFrame;
    std::vector<PendingBlock> pending;
    std::int64_t pendingFirst = firstBlock;
    while (!m_abandon && scanner.Next()) {
        for (const ScannedFrame &scanned : scanner.Frames()) {
            if (pending.empty()
                || scanned.position - PositionOf(pending.back().start.entry) >= BLOCK_BYTES)
                pending.push_back(
                    {{BlockStartEntry(scanned.position, scanned.afterSkippedBytes), frameEnd},
                     EMPTY_SUMMARY});
            Include(pending.back().summary, RecordedFrameOf(scanned, frameEnd), code);
            ++frameEnd;
        }
        Publish(pendingFirst, pending, frameEnd, scanner.BytesRead(), scanner.FramesEnd());
        // The last block goes on collecting frames from the next piece.
        if (pending.size() > 1) {
            pendingFirst += static_cast<std::int64_t>(pending.size()) - 1;
            pending.erase(pending.begin(), pending.end() - 1);
        }
    }
}

// Reads a few kilobytes at each of many places of a large file; frame numbers are estimated from
// the average length of the frames read. A sample starts inside a frame, so bytes skipped at its
// start mean nothing and nothing is marked malformed.
void CRecording::SampleOverview(std::int32_t code)
{
    std::int64_t size;
    {
        const std::lock_guard lock(m_mutex);
        m_samples.clear();
        size = m_fileSize;
    }
    if (size < SAMPLED_OVERVIEW_MIN_SIZE)
        return;
    std::vector<std::pair<std::int64_t, Summary>> read;
    std::int64_t frames = 0;
    std::int64_t frameBytes = 0;
    for (int i = 0; i < OVERVIEW_SAMPLES && !m_abandon; ++i) {
        const std::int64_t offset = size * i / OVERVIEW_SAMPLES;
        CFrameScanner scanner(m_file, offset, OVERVIEW_SAMPLE_BYTES, false);
        scanner.Next();
        Summary summary = EMPTY_SUMMARY;
        for (const ScannedFrame &scanned : scanner.Frames())
            Include(summary, RecordedFrameOf(scanned, 0), code);
        summary.flags &= static_cast<std::uint8_t>(~MALFORMED);
        if (!scanner.Frames().empty()) {
            frames += static_cast<std::int64_t>(scanner.Frames().size());
            frameBytes += scanner.FramesEnd() - scanner.Frames().front().position;
            read.emplace_back(scanner.Frames().front().position, summary);
        }
    }
    if (frames == 0)
        return;
    const double frameLength = static_cast<double>(frameBytes) / static_cast<double>(frames);
    std::function<void()> onProgress;
    {
        const std::lock_guard lock(m_mutex);
        if (m_abandon)
            return;
        for (const auto &[position, summary] : read)
            m_samples.push_back(
                {static_cast<std::int64_t>(static_cast<double>(position) / frameLength), summary});
        m_estimatedFrames = static_cast<std::int64_t>(static_cast<double>(size) / frameLength);
        m_samplesCode = code;
        onProgress = m_onProgress;
    }
    if (onProgress)
        onProgress();
}

void CRecording::Publish(std::int64_t firstBlock, const std::vector<PendingBlock> &blocks,
                         std::int64_t frameEnd, std::int64_t bytesRead, std::int64_t framesEnd)
{
    std::function<void()> onProgress;
    {
        const std::lock_guard lock(m_mutex);
        // A job given up for a new one (a new bit length, a file cut short) must not store what
        // it found with the old premises after the new ones were set.
        if (m_abandon)
            return;
        if (m_levels.empty())
            m_levels.emplace_back();
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const std::int64_t block = firstBlock + static_cast<std::int64_t>(i);
            Store(m_blockStarts, block, blocks[i].start);
            Store(m_levels[0], block, blocks[i].summary);
        }
        m_frameCount = std::max(m_frameCount, frameEnd);
        m_summarizedFrames = frameEnd;
        m_framesEnd = std::max(m_framesEnd, framesEnd);
        m_bytesScanned = bytesRead;
        m_fileSize = std::max(m_fileSize, bytesRead);
        UpdateLevels(firstBlock, firstBlock + static_cast<std::int64_t>(blocks.size()));
        onProgress = m_onProgress;
    }
    if (onProgress)
        onProgress();
}

// Entries of the coarser levels are summed again from `changedBlock` on, over the first
// `validBlocks` blocks. An entry is only ever used once all of its blocks are summarized, and the
// last update before that is then complete.
void CRecording::UpdateLevels(std::int64_t changedBlock, std::int64_t validBlocks)
{
    std::int64_t valid = validBlocks;
    std::int64_t changed = changedBlock;
    for (std::size_t level = 1; valid > 1; ++level) {
        if (m_levels.size() <= level)
            m_levels.emplace_back();
        const auto &below = m_levels[level - 1];
        const std::int64_t parents = (valid + SUMMARY_FAN_OUT - 1) / SUMMARY_FAN_OUT;
        for (std::int64_t parent = changed / SUMMARY_FAN_OUT; parent < parents; ++parent) {
            Summary summary = EMPTY_SUMMARY;
            const std::int64_t end = std::min(valid, (parent + 1) * SUMMARY_FAN_OUT);
            for (std::int64_t child = parent * SUMMARY_FAN_OUT; child < end; ++child)
                Include(summary, below[static_cast<std::uint64_t>(child)]);
            Store(m_levels[level], parent, summary);
        }
        valid = parents;
        changed /= SUMMARY_FAN_OUT;
    }
}

// The number of blocks whose first frame comes before `frame`: a binary search over the blocks'
// first frames. Called with the lock held, as are the three below.
std::int64_t CRecording::BlocksBefore(std::int64_t frame) const
{
    std::int64_t low = 0;
    std::int64_t high = static_cast<std::int64_t>(m_blockStarts.Size());
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        if (m_blockStarts[static_cast<std::uint64_t>(middle)].firstFrame < frame)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The block that holds `frame`, or the last block for a frame past them; -1 when there is none.
std::int64_t CRecording::BlockOf(std::int64_t frame) const
{
    return BlocksBefore(frame + 1) - 1;
}

// The frame after the last of `block`.
std::int64_t CRecording::BlockEnd(std::int64_t block) const
{
    const auto next = static_cast<std::uint64_t>(block + 1);
    return next < m_blockStarts.Size() ? m_blockStarts[next].firstFrame : m_frameCount;
}

// The number of blocks from the first whose frames all come before `frame`.
std::int64_t CRecording::BlocksEndingBy(std::int64_t frame) const
{
    const std::int64_t started = BlocksBefore(frame + 1);
    return started > 0 && BlockEnd(started - 1) > frame ? started - 1 : started;
}

// The summary of the whole blocks [first, last), which must all be summarized, from the
// coarsest entries that fit. Called with the lock held.
CRecording::Summary CRecording::BlocksSummary(std::int64_t first, std::int64_t last) const
{
    Summary summary = EMPTY_SUMMARY;
    for (std::size_t level = 0; first < last; ++level) {
        const auto &entries = m_levels[level];
        const bool coarserLevel = level + 1 < m_levels.size();
        while (first < last && (!coarserLevel || first % SUMMARY_FAN_OUT != 0))
            Include(summary, entries[static_cast<std::uint64_t>(first++)]);
        while (first < last && last % SUMMARY_FAN_OUT != 0)
            Include(summary, entries[static_cast<std::uint64_t>(--last)]);
        first /= SUMMARY_FAN_OUT;
        last /= SUMMARY_FAN_OUT;
    }
    return summary;
}

std::vector<FrameStretch> CRecording::Stretches(std::int64_t first, std::int64_t last,
                                                int columns) const
{
    const std::int64_t count = last - first;
    if (columns <= 0 || count <= 0 || first < 0)
        return std::vector<FrameStretch>(static_cast<std::size_t>(std::max(columns, 0)),
                                         StretchOf(EMPTY_SUMMARY));
    std::int64_t summarized;
    std::int32_t code;
    std::int64_t framesPerBlock;
    {
        const std::lock_guard lock(m_mutex);
        summarized = m_summarizedFrames;
        code = m_code;
        const auto blocks = static_cast<std::int64_t>(m_blockStarts.Size());
        framesPerBlock = blocks > 0 ? std::max<std::int64_t>(1, m_frameCount / blocks) : 1;
    }
    std::vector<Summary> summaries = count < BLOCKS_READ_PER_COLUMN * framesPerBlock * columns
        ? SummariesFromFrames(columns, first, count, std::min(last, summarized), code)
        : SummariesFromBlocks(columns, first, count, summarized, code);
    if (last > summarized)
        IncludeSamples(summaries, first, count, summarized, code);
    std::vector<FrameStretch> stretches;
    stretches.reserve(summaries.size());
    for (const Summary &summary : summaries)
        stretches.push_back(StretchOf(summary));
    return stretches;
}

std::vector<Summary> CRecording::SummariesFromFrames(int columns, std::int64_t first,
                                                     std::int64_t count, std::int64_t end,
                                                     std::int32_t code) const
{
    std::vector<Summary> summaries(static_cast<std::size_t>(columns), EMPTY_SUMMARY);
    ForEachFrame(first, end - first, [&](const RecordedFrame &frame) {
        Include(summaries[ColumnOf(frame.number - first, count, columns)], frame, code);
    });
    return summaries;
}

// Each column takes the blocks wholly inside it from the summaries. The other blocks it touches,
// those cut by its edges or by the end of what is summarized, are read from the file, each once
// for all the columns that share it.
std::vector<Summary> CRecording::SummariesFromBlocks(int columns, std::int64_t first,
                                                     std::int64_t count, std::int64_t summarized,
                                                     std::int32_t code) const
{
    std::vector<Summary> summaries(static_cast<std::size_t>(columns), EMPTY_SUMMARY);
    std::vector<std::int64_t> cutBlocks;
    // The frames [first, end) of each cut block that are to be read.
    std::vector<std::pair<std::int64_t, std::int64_t>> cutFrames;
    {
        const std::lock_guard lock(m_mutex);
        const auto noteCut = [&](std::int64_t frame) {
            const std::int64_t block = BlockOf(frame);
            if (block >= 0 && frame != m_blockStarts[static_cast<std::uint64_t>(block)].firstFrame
                && frame < BlockEnd(block) && (cutBlocks.empty() || cutBlocks.back() != block))
                cutBlocks.push_back(block);
        };
        for (int column = 0; column < columns; ++column) {
            const std::int64_t start = ColumnStart(first, count, columns, column);
            const std::int64_t end
                = std::min(summarized, ColumnStart(first, count, columns, column + 1));
            if (end <= start)
                break;
            noteCut(start);
            noteCut(end);
            const std::int64_t firstWhole = BlocksBefore(start);
            const std::int64_t lastWhole = BlocksEndingBy(end);
            if (firstWhole < lastWhole)
                summaries[static_cast<std::size_t>(column)] = BlocksSummary(firstWhole, lastWhole);
        }
        for (const std::int64_t block : cutBlocks) {
            if (!CutBlockChangesNothing(summaries, block, first, count, summarized))
                cutFrames.emplace_back(m_blockStarts[static_cast<std::uint64_t>(block)].firstFrame,
                                       std::min(summarized, BlockEnd(block)));
        }
    }
    for (const auto &[blockStart, blockEnd] : cutFrames) {
        ForEachFrame(blockStart, blockEnd - blockStart, [&](const RecordedFrame &frame) {
            const std::int64_t offset = frame.number - first;
            if (offset >= 0 && offset < count)
                Include(summaries[ColumnOf(offset, count, columns)], frame, code);
        });
    }
    return summaries;
}

// A block cut by column edges need not be read when what it spans lies within what the whole
// blocks of each column it touches span already: its frames cannot change those columns. Zoomed
// out, that spares most reads. Called with the lock held.
bool CRecording::CutBlockChangesNothing(const std::vector<Summary> &summaries, std::int64_t block,
                                        std::int64_t first, std::int64_t count,
                                        std::int64_t summarized) const
{
    const std::int64_t blockStart = m_blockStarts[static_cast<std::uint64_t>(block)].firstFrame;
    const std::int64_t blockEnd = BlockEnd(block);
    if (blockEnd > summarized)
        return false;
    const Summary &own = m_levels[0][static_cast<std::uint64_t>(block)];
    const int columns = static_cast<int>(summaries.size());
    const std::size_t firstColumn = ColumnOf(std::max(blockStart, first) - first, count, columns);
    const std::size_t lastColumn
        = ColumnOf(std::min(blockEnd, first + count) - 1 - first, count, columns);
    for (std::size_t column = firstColumn; column <= lastColumn; ++column) {
        const Summary &whole = summaries[column];
        if ((own.flags & ~whole.flags) != 0)
            return false;
        for (int ch = 0; ch < 3; ++ch) {
            if ((own.flags & (1 << ch))
                && (own.low[ch] < whole.low[ch] || own.high[ch] > whole.high[ch]))
                return false;
        }
    }
    return true;
}

// Each column past what is summarized takes the samples whose stretch of frames, up to the next
// sample, it overlaps, so that no column of the overview is left empty between two samples.
void CRecording::IncludeSamples(std::vector<Summary> &summaries, std::int64_t first,
                                std::int64_t count, std::int64_t summarized,
                                std::int32_t code) const
{
    const int columns = static_cast<int>(summaries.size());
    const std::lock_guard lock(m_mutex);
    // Samples of another bit length than the summaries' are not mixed in.
    if (m_complete || m_samples.empty() || m_samplesCode != code)
        return;
    for (int column = 0; column < columns; ++column) {
        const std::int64_t start = std::max(summarized, ColumnStart(first, count, columns, column));
        const std::int64_t end
            = std::min(m_estimatedFrames, ColumnStart(first, count, columns, column + 1));
        if (start >= end)
            continue;
        auto sample = std::upper_bound(
            m_samples.begin(), m_samples.end(), start,
            [](std::int64_t frame, const OverviewSample &s) { return frame < s.firstFrame; });
        if (sample != m_samples.begin())
            --sample;
        for (; sample != m_samples.end() && sample->firstFrame < end; ++sample)
            Include(summaries[static_cast<std::size_t>(column)], sample->summary);
    }
}

std::vector<RecordedFrame> CRecording::Frames(std::int64_t first, std::int64_t count) const
{
    std::vector<RecordedFrame> frames;
    frames.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, 1 << 20)));
    ForEachFrame(first, count, [&](const RecordedFrame &frame) { frames.push_back(frame); });
    return frames;
}

// Reads the known frames of [first, first + count) from the start of the block of the first.
template<typename Visit>
void CRecording::ForEachFrame(std::int64_t first, std::int64_t count, Visit &&visit) const
{
    BlockStart start;
    // What the frames take at most: as many of the longest form, and no more than up to the
    // block after the last, where there is one.
    std::int64_t span;
    {
        const std::lock_guard lock(m_mutex);
        count = std::min(count, m_frameCount - first);
        if (first < 0 || count <= 0)
            return;
        start = m_blockStarts[static_cast<std::uint64_t>(BlockOf(first))];
        span = (first + count - start.firstFrame) * CFrameScanner::FRAME_LENGTH[3];
        const auto after = static_cast<std::uint64_t>(BlockOf(first + count - 1) + 1);
        if (after < m_blockStarts.Size())
            span = std::min(span, PositionOf(m_blockStarts[after].entry) - PositionOf(start.entry));
    }
    const std::int64_t end = first + count;
    const std::size_t pieceSize = std::min(
        m_pieceSize,
        std::clamp(static_cast<std::size_t>(span), FRAME_READ_PIECE_MIN, FRAME_READ_PIECE_MAX));
    for (std::optional<BlockStart> from = start; from;)
        from = ReadFramesFrom(*from, first, end, pieceSize, visit);
}

// Reads on from a block's start until frame `end`, or until the next frame is the first of a
// block that starts past the bytes read: skipped bytes lie before it, and it is returned to be
// read from its own start rather than through them.
template<typename Visit>
std::optional<CRecording::BlockStart>
CRecording::ReadFramesFrom(BlockStart from, std::int64_t first, std::int64_t end,
                           std::size_t pieceSize, Visit &visit) const
{
    CFrameScanner scanner = ScannerFrom(m_file, from.entry, pieceSize);
    std::int64_t number = from.firstFrame;
    std::optional<BlockStart> next;
    while (number < end && !next && scanner.Next()) {
        for (const ScannedFrame &scanned : scanner.Frames()) {
            if (number >= first && number < end)
                visit(RecordedFrameOf(scanned, number));
            ++number;
        }
        if (number < end)
            next = BlockPastRead(number, scanner.BytesRead());
    }
    m_bytesReadBack += scanner.BytesRead() - PositionOf(from.entry);
    return next;
}

// The start of the block whose first frame is `frame`, when it lies past `bytesRead`.
std::optional<CRecording::BlockStart> CRecording::BlockPastRead(std::int64_t frame,
                                                                std::int64_t bytesRead) const
{
    const std::lock_guard lock(m_mutex);
    const std::int64_t block = BlockOf(frame);
    if (block < 0)
        return std::nullopt;
    const BlockStart start = m_blockStarts[static_cast<std::uint64_t>(block)];
    if (start.firstFrame != frame || PositionOf(start.entry) <= bytesRead)
        return std::nullopt;
    return start;
}
