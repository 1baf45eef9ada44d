// Any bytes as a packed voice file: the decoder accepts a whole voice or refuses with 2010, and
// what it accepts has the layout the informer plays.
#include <cstdint>
#include <cstddef>

#include "voice/packed_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedVoice voice;
    const int32_t rc = DecodePackedVoice(data, size, voice);
    if (rc != 0 && rc != 2010) __builtin_trap();
    if (rc == 0) {
        if (size < 5) __builtin_trap();
        // Code blocks are 240 samples; silence items are whole 8-sample units.
        if (voice.coded.size() % 240 != 0 || voice.samples.size() < voice.coded.size() ||
            (voice.samples.size() - voice.coded.size()) % 8 != 0)
            __builtin_trap();
        for (int8_t s : voice.coded)
            if (s < -127) __builtin_trap();
        if (data[0] == 16 && voice.rateCode != 1) __builtin_trap();
        // Decoding is a pure function of the bytes.
        DecodedVoice again;
        if (DecodePackedVoice(data, size, again) != 0 || again.samples != voice.samples) __builtin_trap();
    }
    return 0;
}
