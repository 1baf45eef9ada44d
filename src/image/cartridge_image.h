#pragma once
// The image of one cartridge as the last build left it: every byte at its cartridge address (0xFF
// where nothing was written), the pages that must be written, and the end of what was written.
// Made once and reused by every build; the write workers read it while no build runs.
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/image_layout.h"

struct CartridgeImage {
    CartridgeImage() : ImageBuffer(image_layout::kImageSize, 0xFF), PageMap(image_layout::kPageCount, 0) {}

    std::vector<uint8_t> ImageBuffer;
    std::vector<uint8_t> PageMap;  // 0xFF: the 256-byte page is to be written
    uint32_t ImageEnd = 0;         // one past the highest byte written

    // What a cartridge must hold: ImageEnd rounded up to 512 bytes.
    uint32_t ImageLength() const { return (ImageEnd + 511) / 512 * 512; }

    // memset, not a loop: every build clears 16 MB, and an instrumented loop over it would cost
    // more than the build itself.
    void Clear() {
        std::memset(ImageBuffer.data(), 0xFF, ImageBuffer.size());
        std::memset(PageMap.data(), 0, PageMap.size());
        ImageEnd = 0;
    }
};
