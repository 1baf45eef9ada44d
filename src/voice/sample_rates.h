#pragma once
// The informer's sample-rate table. A packed voice's rate code is an index into it; only the first
// three entries are ever produced.
#include <cstdint>

inline constexpr int32_t kSampleRates[7] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
inline constexpr int kSampleRateCount = 7;

// The rate of a rate code, or -1 when the code is outside the table.
inline int32_t SampleRateOfCode(int code) { return code >= 0 && code < kSampleRateCount ? kSampleRates[code] : -1; }
