#pragma once
// The 16-character names of routes and events, numbered in order of addition. In a compact build
// equal names share one record.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "image/fold_hash.h"

using Name16 = std::array<uint8_t, 16>;

class NameList {
public:
    void clear();
    void setCompact(bool compact) { compact_ = compact; }

    // Padded with spaces or cut to 16 characters.
    int32_t AddName(std::string_view name);
    int32_t AddName(const Name16& name);

    int32_t count() const { return static_cast<int32_t>(names_.size()); }
    const Name16& operator[](int32_t i) const { return names_[static_cast<size_t>(i)]; }
    const std::vector<Name16>& names() const { return names_; }

private:
    bool compact_ = false;
    std::vector<Name16> names_;
    FoldHashTable lookup_;
};

// The first 15 characters of the stop's name, spaces up to the 16th, and the event's marker.
Name16 MakeEventName(std::string_view stopName, char marker);
