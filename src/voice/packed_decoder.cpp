#include "voice/packed_decoder.h"

#include "voice/packer.h"

namespace {
constexpr int32_t kBadFormat = 2010;
constexpr size_t kCodeBlockBytes = 3 + 60;
}  // namespace

int32_t DecodePackedVoice(const uint8_t* data, size_t size, DecodedVoice& out) {
    out.samples.clear();
    out.coded.clear();
    out.rateCode = 0;
    if (size < 5) return kBadFormat;
    out.rateCode = data[0] == 16 ? 1 : data[2];
    int16_t y1 = 0, y2 = 0, y3 = 0;
    uint16_t step = 32;
    size_t pos = 4;
    while (pos < size) {
        const uint8_t item = data[pos++];
        if (item == 0) return 0;
        if (item < 0x80) {
            out.samples.insert(out.samples.end(), static_cast<size_t>(item) * 8, 0);
            // The next segment starts afresh.
            y1 = y2 = y3 = 0;
            step = 32;
            continue;
        }
        const size_t blocks = item - 0x80u;
        if (size - pos < blocks * kCodeBlockBytes) return kBadFormat;
        for (size_t b = 0; b < blocks; ++b) {
            const int8_t coef[3] = {static_cast<int8_t>(data[pos]), static_cast<int8_t>(data[pos + 1]),
                                    static_cast<int8_t>(data[pos + 2])};
            pos += 3;
            for (size_t i = 0; i < 60; ++i) {
                const uint8_t byte = data[pos++];
                for (int k = 0; k < 4; ++k) {
                    const DecodeStep d = PredictAndStep(coef, y1, y2, y3, step, (byte >> (2 * k)) & 3);
                    y3 = y2;
                    y2 = y1;
                    y1 = d.y;
                    step = d.step;
                    out.samples.push_back(static_cast<int8_t>(d.y));
                    out.coded.push_back(static_cast<int8_t>(d.y));
                }
            }
        }
    }
    return kBadFormat;  // no closing 0x00
}
