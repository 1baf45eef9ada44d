#include "model/description_records.h"

#include <cstdio>
#include <limits>
#include <memory>

#include <sys/stat.h>

#include "base/native_path.h"

namespace description {

namespace {
// Far beyond any description file (a group of every route a cartridge can hold is a few hundred KB).
constexpr off_t kMaxFileSize = 64 << 20;
}  // namespace

std::optional<std::string_view> RecordReader::next() {
    if (pos_ >= bytes_.size()) return std::nullopt;
    size_t length = static_cast<uint8_t>(bytes_[pos_]);
    if (bytes_.size() - pos_ - 1 < length) return std::nullopt;
    std::string_view record = bytes_.substr(pos_ + 1, length);
    pos_ += 1 + length;
    return record;
}

Parts SplitParts(std::string_view record) {
    Parts parts;
    size_t start = 0;
    for (int i = 0; i < 3 && start <= record.size(); ++i) {
        size_t end = record.find('\0', start);
        if (end == std::string_view::npos) end = record.size();
        parts.p[i] = record.substr(start, end - start);
        if (end == record.size()) break;
        start = end + 1;
    }
    std::string_view& first = parts.p[0];
    while (first.size() > 1 && first.back() == ' ') first.remove_suffix(1);
    return parts;
}

std::optional<int32_t> ParseInt32(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

bool ReadWholeFile(std::string_view resolvedName, std::string& out) {
    out.clear();
    std::string native = NativePath(resolvedName);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(native.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    // Only a regular file has an end: a name that leads to a device or a pipe is no description.
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) return false;
    out.resize(static_cast<size_t>(st.st_size));
    return std::fread(out.data(), 1, out.size(), file.get()) == out.size();
}

std::string BaseDirOf(std::string_view fileName) {
    size_t cut = fileName.find_last_of("\\/");
    // A bare file name lies in the current folder; "\\" alone would be the root.
    if (cut == std::string_view::npos) return ".\\";
    std::string dir(fileName.substr(0, cut));
    dir += '\\';
    return dir;
}

}  // namespace description
