#pragma once
// The two bases of the data-model classes (route groups, routes, voice items).
#include <optional>
#include <string>

// A copy of a text that may be absent: absent stays absent, empty stays empty.
inline std::optional<std::string> DupString(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

class TvcBase {
public:
    explicit TvcBase(std::optional<std::string> name) : Name(std::move(name)) {}
    virtual ~TvcBase() = default;
    TvcBase(const TvcBase&) = delete;
    TvcBase& operator=(const TvcBase&) = delete;

    std::optional<std::string> Name;  // absent stays distinguishable from empty
};

// A link of a doubly linked chain. The links do not own: destroying an object only unlinks it.
class TvcCustomCollection : public TvcBase {
public:
    TvcCustomCollection(std::optional<std::string> name, TvcCustomCollection* after);
    ~TvcCustomCollection() override;

    TvcCustomCollection* Next = nullptr;
    TvcCustomCollection* Prev = nullptr;
};
