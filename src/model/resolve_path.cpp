// Turning a file name written in a description file into the path to open and the name relative
// to the description file's folder, the way the files were written on Windows: drive letters,
// \\server\share, any letter case, "..\" steps. Names here are UTF-8 with either slash.
#include "model/resolve_path.h"

#include <vector>

namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "C:", "\\server\share", "/" (a POSIX absolute name), or empty.
std::string_view DrivePart(std::string_view path) {
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        // Up to the separator after the share name, or the whole name.
        size_t seps = 0;
        for (size_t i = 2; i < path.size(); ++i)
            if (IsSep(path[i]) && ++seps == 2) return path.substr(0, i);
        return path;
    }
    if (!path.empty() && path[0] == '/') return path.substr(0, 1);
    return {};
}

// Lower case of ASCII and Cyrillic letters; other bytes, valid UTF-8 or not, stay as they are.
std::string Folded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + 32);
        } else if ((c == 0xD0 || c == 0xD1) && i + 1 < text.size()) {
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            unsigned cp = ((c & 0x1Fu) << 6) | (d & 0x3Fu);
            if ((d & 0xC0) != 0x80) {
                out += static_cast<char>(c);
                continue;
            }
            if (cp >= 0x410 && cp <= 0x42F) cp += 0x20;       // А..Я
            else if (cp >= 0x400 && cp <= 0x40F) cp += 0x50;  // Ѐ..Џ (Ё among them)
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b) { return Folded(a) == Folded(b); }

// The non-empty components of a path after its drive.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSep(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::string RelativeTo(std::string_view base, std::string_view baseDrive, std::string_view name,
                       std::string_view nameDrive) {
    if (nameDrive.empty() || !SameText(baseDrive, nameDrive)) return std::string(name);
    const std::vector<std::string_view> baseFolders = Components(base.substr(baseDrive.size()));
    std::vector<std::string_view> nameParts = Components(name.substr(nameDrive.size()));
    std::string_view file;  // empty when the name ends with a separator
    if (!nameParts.empty() && !IsSep(name.back())) {
        file = nameParts.back();
        nameParts.pop_back();
    }
    size_t common = 0;
    while (common < baseFolders.size() && common < nameParts.size() &&
           SameText(baseFolders[common], nameParts[common]))
        ++common;
    std::string rel;
    for (size_t i = common; i < baseFolders.size(); ++i) rel += "..\\";
    for (size_t i = common; i < nameParts.size(); ++i) rel.append(nameParts[i]).append("\\");
    rel += file;
    return rel;
}

// One step up: cut at the last separator, but never into the drive, and never the first character
// of a name without drive.
void StepUp(std::string& work) {
    const size_t driveLength = DrivePart(work).size();
    for (size_t i = work.size(); i-- > 1;) {
        if (IsSep(work[i])) {
            if (i >= driveLength) {
                work.resize(i);
                return;
            }
            break;
        }
    }
    if (driveLength > 0) work.resize(driveLength);
}

}  // namespace

ResolvedPath ResolvePath(std::string_view baseFolder, std::string_view name) {
    const std::string_view baseDrive = DrivePart(baseFolder);
    const std::string_view nameDrive = DrivePart(name);
    ResolvedPath result{std::string(name), {}};
    if (name.empty()) return result;

    result.relative = RelativeTo(baseFolder, baseDrive, name, nameDrive);

    // A POSIX absolute name is opened as written: there letter case tells files apart.
    if (nameDrive == "/") return result;

    size_t lastSep = result.relative.size();
    while (lastSep > 0 && !IsSep(result.relative[lastSep - 1])) --lastSep;
    const bool noFolderPart = lastSep <= 1;
    if (noFolderPart) {
        if (nameDrive.empty() || SameText(nameDrive, baseDrive)) result.full = std::string(baseFolder) + result.relative;
        return result;
    }
    if (!nameDrive.empty() && !baseDrive.empty() && !SameText(nameDrive, baseDrive)) return result;

    std::string work(baseFolder);
    if (!work.empty() && IsSep(work.back()) && work.size() > baseDrive.size()) work.pop_back();
    std::string_view rest = result.relative;
    while (rest.size() >= 3 && rest[0] == '.' && rest[1] == '.' && IsSep(rest[2])) {
        rest.remove_prefix(3);
        StepUp(work);
    }
    result.full = work;
    if (!work.empty() && !IsSep(work.back())) result.full += '\\';
    result.full += rest;
    return result;
}
