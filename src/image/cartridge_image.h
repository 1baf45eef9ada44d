#pragma once
// The image of one cartridge as the last build left it: every byte at its cartridge address (0xFF
// where nothing was written), the pages that must be written, and the end of what was written.
// Made once and reused by every build; the write workers read it while no build runs.
#include <cstdint>
#include <vector>

#include "image/image_layout.h"

struct CartridgeImage {
    CartridgeImage() : ImageBuffer(image_layout::kImageSize, 0xFF), PageMap(image_layout::kPageCount, 0) {}

    std::vector<uint8_t> ImageBuffer;
    std::vector<uint8_t> PageMap;  // 0xFF: the 256-byte page is to be written
    uint32_t ImageEnd = 0;         // one past the highest byte written

    // What a cartridge must hold: ImageEnd rounded up to 512 bytes.
    uint32_t ImageLength() const { return (ImageEnd + 511) / 512 * 512; }

    void Clear() {
        std::fill(ImageBuffer.begin(), ImageBuffer.end(), 0xFF);
        std::fill(PageMap.begin(), PageMap.end(), 0);
        ImageEnd = 0;
    }
};
