#pragma once
// The framing shared by the group, route and template files: records of one length byte and up to
// 255 bytes, NUL-separated parts inside a record, and the few conversions the readers need.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace description {

// Reads records from the bytes of a whole file. Never reads past the end: a record whose length
// byte or body is missing is not read.
class RecordReader {
public:
    explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}
    std::optional<std::string_view> next();
    size_t remaining() const { return bytes_.size() - pos_; }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

// The three NUL-separated parts of a record (absent parts are empty). Trailing spaces are removed
// from part 1 only, never its first character; parts 2 and 3 keep theirs.
struct Parts {
    std::string_view p[3];
};
Parts SplitParts(std::string_view record);

// Decimal integer with an optional sign, nothing else, within 32 bits.
std::optional<int32_t> ParseInt32(std::string_view text);

// The whole file named by a resolved (UTF-8, backslash) name. False when it cannot be opened or
// read in full.
bool ReadWholeFile(std::string_view resolvedName, std::string& out);

// The folder of a file name with one trailing backslash, as the base for ResolvePath.
std::string BaseDirOf(std::string_view fileName);

}  // namespace description
