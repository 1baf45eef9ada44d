#pragma once
// The hash of names and display texts, and a lookup table of fixed size over it. Large groups hold
// thousands of equal names and texts; the table finds the earlier copy without a linear search.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

inline uint32_t FoldHash(const uint8_t* bytes, size_t length) {
    uint32_t h = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = bytes[i];
        h = ((h + c) * 4) ^ c;
    }
    return h;
}

// Open addressing with linear probing over 32,001 slots holding entry indices. Once every slot is
// taken, lookups and additions go on correctly through a plain scan, only slower.
class FoldHashTable {
public:
    static constexpr uint32_t kSlots = 32001;

    FoldHashTable() : slots_(kSlots, kEmpty) {}

    void clear() {
        std::fill(slots_.begin(), slots_.end(), kEmpty);
        used_ = 0;
    }

    // The entry for which `equal` holds, searched from the home slot of `hash`; -1 when none.
    // `insertIndex` (>= 0) is stored in the first free slot when nothing equal was found.
    int32_t findOrInsert(uint32_t hash, const std::function<bool(int32_t)>& equal, int32_t insertIndex,
                         int32_t entryCount) {
        uint32_t slot = hash % kSlots;
        for (uint32_t n = 0; n < kSlots; ++n) {
            int32_t v = slots_[slot];
            if (v == kEmpty) {
                if (insertIndex >= 0) {
                    slots_[slot] = insertIndex;
                    ++used_;
                }
                return -1;
            }
            if (equal(v)) return v;
            if (++slot == kSlots) slot = 0;
        }
        // Full: the entries beyond the table are only reachable by a scan.
        for (int32_t i = 0; i < entryCount; ++i)
            if (equal(i)) return i;
        return -1;
    }

private:
    static constexpr int32_t kEmpty = -1;
    std::vector<int32_t> slots_;
    uint32_t used_ = 0;
};
