#pragma once
// Plays a packed voice back the way the informer does: silence runs become zero samples, code
// blocks are reconstructed with the block's coefficients and the adaptive step.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "voice/error_code.h"

struct DecodedVoice {
    uint8_t rateCode = 0;            // index into the sample-rate table
    std::vector<int8_t> samples;     // signed 8-bit, at the rate of rateCode
    std::vector<int8_t> coded;       // the samples of the code blocks alone, in order
};

// Decodes a whole packed voice file (header included). Returns 0, or 2010 when the bytes are not
// a complete packed voice (too short, a block cut off, no closing 0x00). A header whose first
// byte is 16 (the earlier form) has rate code 1.
int32_t DecodePackedVoice(const uint8_t* data, size_t size, DecodedVoice& out);
