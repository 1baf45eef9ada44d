#include "base/native_path.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

// Letter case folded for ASCII and Cyrillic, the letters file names of this system use. Bytes
// that are not well-formed two-byte sequences are kept as they are.
std::string Fold(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + 32);
        } else if ((c == 0xD0 || c == 0xD1) && i + 1 < s.size()) {
            const unsigned char d = static_cast<unsigned char>(s[i + 1]);
            char32_t cp = static_cast<char32_t>(((c & 0x1F) << 6) | (d & 0x3F));
            if ((d & 0xC0) != 0x80) {
                out += static_cast<char>(c);
                continue;
            }
            if (cp >= 0x0410 && cp <= 0x042F) cp += 0x20;       // А..Я
            else if (cp >= 0x0400 && cp <= 0x040F) cp += 0x50;  // Ѐ..Џ, Ё among them
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The one entry of `folder` equal to `name` without regard to case; nothing for none or several.
std::optional<std::string> MatchEntry(const std::string& folder, std::string_view name) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    if (ec) return std::nullopt;
    const std::string want = Fold(name);
    std::optional<std::string> found;
    bool ambiguous = false;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (Fold(entry) == want) {
            if (found) ambiguous = true;
            found = entry;
        }
    }
    if (ec) return std::nullopt;
    if (ambiguous) return std::nullopt;
    return found;
}

}  // namespace

std::string ToNativeSlashes(std::string_view resolvedName) {
    std::string s(resolvedName);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::optional<std::string> FindNativePath(std::string_view resolvedName) {
    const std::string s = ToNativeSlashes(resolvedName);
    if (s.empty()) return std::nullopt;
    if (Exists(s)) return s;

    std::vector<std::string_view> parts;
    std::string_view rest(s);
    std::string cur;
    if (rest.front() == '/') cur = "/";
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    for (std::string_view part : parts) {
        std::string next = cur;
        if (!next.empty() && next.back() != '/') next += '/';
        if (part == "." || part == "..") {
            cur = next + std::string(part);
            continue;
        }
        std::string exact = next + std::string(part);
        if (Exists(exact)) {
            cur = std::move(exact);
            continue;
        }
        std::optional<std::string> entry = MatchEntry(cur, part);
        if (!entry) return std::nullopt;
        cur = next + *entry;
    }
    if (!Exists(cur)) return std::nullopt;
    return cur;
}

std::string NativePath(std::string_view resolvedName) {
    if (std::optional<std::string> found = FindNativePath(resolvedName)) return *found;
    return ToNativeSlashes(resolvedName);
}
