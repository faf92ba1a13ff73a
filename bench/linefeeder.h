#pragma once

#include "framesource.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

class CPseudoTerminal;

// Feeds the frame stream to device ends at a steady byte rate, as a device on a serial line
// does, from a thread of its own that wakes every millisecond and releases the bytes due by
// then. Every end gets the same bytes. A real device cannot wait for its reader: a byte that a
// terminal does not take at once is kept and sent at the next wake-up, and that wake-up counts
// as a stall. A line shifts its bytes out whatever else the machine does, so the thread asks
// for a real-time schedule; where it is refused, a wake-up that comes late releases a burst,
// and a burst larger than the terminal's buffer stalls however fast the reader is, so the
// latest wake-up is reported too. The bytes sent to the first end can be recorded in a file, so
// that what the program logged can be checked against them byte for byte.
class CLineFeeder
{
public:
    struct EndStats
    {
        // Wake-ups after which the terminal still held back bytes.
        std::uint64_t stalledWakeUps = 0;
        std::size_t largestBacklog = 0;
    };

    // Starts at once. `record` may be null; it must outlive the feeder.
    CLineFeeder(std::vector<CPseudoTerminal *> ends, double bytesPerSecond, std::FILE *record);
    ~CLineFeeder();
    CLineFeeder(const CLineFeeder &) = delete;
    CLineFeeder &operator=(const CLineFeeder &) = delete;

    // Stops releasing bytes, then hands every byte still held to its terminal (waiting for it
    // to take them) and ends the thread.
    void Stop();

    // The bytes released so far; each end gets all of them.
    std::uint64_t BytesSent() const { return m_released; }
    // After Stop.
    const std::vector<EndStats> &Stats() const { return m_stats; }
    bool RealTime() const { return m_realTime; }
    double LatestWakeUpMs() const { return static_cast<double>(m_latestWakeUpNs) / 1e6; }

private:
    void Run();
    void AskForRealTime();
    void Release(std::uint64_t due);
    void OfferBacklogs();
    void DrainBacklogs();

    std::vector<CPseudoTerminal *> m_ends;
    // Bytes released and not yet taken: what lies past `taken` in `bytes`. Taken bytes are
    // dropped from the front only once they are half of it, so a long stall costs no more than
    // the bytes it holds back.
    struct Backlog
    {
        std::string bytes;
        std::size_t taken = 0;
        std::size_t Size() const { return bytes.size() - taken; }
    };
    bool Offer(std::size_t end);

    std::vector<Backlog> m_backlogs;
    std::vector<EndStats> m_stats;
    double m_bytesPerSecond;
    std::FILE *m_record;
    CFrameSource m_source;
    std::string m_batch;
    std::atomic<std::uint64_t> m_released {0};
    bool m_realTime = false;
    long long m_latestWakeUpNs = 0;
    std::atomic<bool> m_running {true};
    std::thread m_thread;
};
