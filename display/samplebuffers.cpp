#include "samplebuffers.h"

#include <algorithm>
#include <iterator>

std::int32_t g_bitLengthSel = BIT_LENGTH_12;
const char *const BIT_LENGTH_LABELS[5] = {"16Bit", "14Bit", "12Bit", "10Bit", " 8Bit"};

void EmptyChannel(std::int32_t (&channel)[SAMPLE_CAPACITY])
{
    std::fill(std::begin(channel), std::end(channel), EMPTY_SAMPLE);
}

void EmptySamples(SampleBuffers &samples)
{
    EmptyChannel(samples.x);
    EmptyChannel(samples.y);
    EmptyChannel(samples.z);
    samples.writeIndex = 0;
}
