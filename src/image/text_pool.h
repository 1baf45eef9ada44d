#pragma once
// The display texts of an image: each stored once, 0-terminated, never crossing a 512-byte block
// of the pool (the boards read the pool in such blocks).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/fold_hash.h"

class TextPool {
public:
    // Empties the pool and puts the three control texts 0x1F, 0x06 and 0x08 first.
    void reset();

    // type 0 stores the text without a type byte. A text stops at its first NUL, as stored.
    int32_t AddText(std::string_view text, uint8_t type);

    int32_t count() const { return static_cast<int32_t>(offsets_.size()); }
    uint32_t offset(int32_t index) const { return offsets_[static_cast<size_t>(index)]; }
    uint32_t length() const { return static_cast<uint32_t>(bytes_.size()); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::vector<uint32_t> offsets_;
    FoldHashTable lookup_;
};
