#include "image/name_list.h"

void NameList::clear() {
    names_.clear();
    lookup_.clear();
}

int32_t NameList::AddName(std::string_view name) {
    Name16 n;
    n.fill(' ');
    for (size_t i = 0; i < name.size() && i < n.size(); ++i) n[i] = static_cast<uint8_t>(name[i]);
    return AddName(n);
}

int32_t NameList::AddName(const Name16& name) {
    int32_t next = count();
    if (compact_) {
        int32_t found = lookup_.findOrInsert(
            FoldHash(name.data(), name.size()), [&](int32_t i) { return names_[static_cast<size_t>(i)] == name; },
            next, next);
        if (found >= 0) return found;
    }
    names_.push_back(name);
    return next;
}

Name16 MakeEventName(std::string_view stopName, char marker) {
    Name16 n;
    n.fill(' ');
    for (size_t i = 0; i < stopName.size() && i < 15; ++i) n[i] = static_cast<uint8_t>(stopName[i]);
    n[15] = static_cast<uint8_t>(marker);
    return n;
}
