#include "image/text_pool.h"

#include <cstring>

#include "image/image_layout.h"

void TextPool::reset() {
    bytes_.clear();
    offsets_.clear();
    lookup_.clear();
    const char control[3] = {static_cast<char>(image_layout::kControlText0),
                             static_cast<char>(image_layout::kFirstSeparator),
                             static_cast<char>(image_layout::kSecondSeparator)};
    for (char c : control) AddText(std::string_view(&c, 1), 0);
}

int32_t TextPool::AddText(std::string_view text, uint8_t type) {
    std::string stored;
    if (type != 0) stored.push_back(static_cast<char>(type));
    stored.append(text.substr(0, text.find('\0')));

    const auto* s = reinterpret_cast<const uint8_t*>(stored.data());
    const size_t len = stored.size();
    int32_t next = count();
    int32_t found = lookup_.findOrInsert(
        FoldHash(s, len),
        [&](int32_t i) {
            uint32_t off = offsets_[static_cast<size_t>(i)];
            return bytes_.size() - off > len && std::memcmp(&bytes_[off], s, len) == 0 && bytes_[off + len] == 0;
        },
        next, next);
    if (found >= 0) return found;

    size_t p = bytes_.size();
    if (511 - (p % 512) < len) p = (p / 512 + 1) * 512;
    bytes_.resize(p, 0);
    offsets_.push_back(static_cast<uint32_t>(p));
    bytes_.insert(bytes_.end(), s, s + len);
    bytes_.push_back(0);
    return next;
}
