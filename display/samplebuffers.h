#pragma once

#include <cstdint>

// The plotted samples of the three channels and the slot that the next frame fills. Lives in the
// main window and is touched only on its thread: the parser writes it, the graph reads it.

inline constexpr int SAMPLE_CAPACITY = 4096;
inline constexpr int SWEEP_LENGTH = 375;
inline constexpr std::int32_t EMPTY_SAMPLE = -1;

struct SampleBuffers
{
    std::int32_t x[SAMPLE_CAPACITY];
    std::int32_t y[SAMPLE_CAPACITY];
    std::int32_t z[SAMPLE_CAPACITY];
    std::int32_t writeIndex;
    // Frames stored since the buffers were made; emptying them leaves the count alone.
    std::uint64_t framesStored = 0;
};

void EmptyChannel(std::int32_t (&channel)[SAMPLE_CAPACITY]);

// All three channels empty and the write index at the first slot.
void EmptySamples(SampleBuffers &samples);

// The data bit length code that scales each decoded value: 1 = 16 bit, 2 = 14, 3 = 12, 4 = 10,
// 5 = 8. Read afresh for every value, so a change affects the next frame, not stored samples.
extern std::int32_t g_bitLengthSel;

inline constexpr std::int32_t BIT_LENGTH_16 = 1;
inline constexpr std::int32_t BIT_LENGTH_12 = 3;

// The captions of the bit lengths wherever one is chosen, in code order: position p stands for
// code p + 1. The leading blank of " 8Bit" makes all five the same length.
extern const char *const BIT_LENGTH_LABELS[5];
