#pragma once
// Route groups: the group file (.mrg) lists the route files of one cartridge image.
//
// Strings: HeaderText and Title are the CP1251 bytes read; FileName, BaseDir, RouteFiles and
// RouteNames are UTF-8 names in the Windows form the description files use (backslashes);
// open them through NativePath.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/vc_base.h"

inline constexpr int kGroupTableSize = 64;
inline constexpr size_t kGroupHeaderMax = 59;  // the header field holds 59 characters

class TvcGroupLine : public TvcCustomCollection {
public:
    explicit TvcGroupLine(std::string_view fileName);
    ~TvcGroupLine() override;  // also empties its GroupTable slot

    std::string HeaderText;            // CP1251, at most kGroupHeaderMax bytes
    std::optional<std::string> Title;  // CP1251; absent before the first load
    std::string FileName;              // full path of the group file
    bool FileOpen = false;             // true only while LoadGroup runs
    int32_t RefCount = 0;
    int32_t RouteCount = 0;            // entries of the two lists below
    std::vector<std::string> RouteFiles;  // full paths, what the build opens
    std::vector<std::string> RouteNames;  // the same, relative to BaseDir
    std::string BaseDir;               // folder of FileName with one trailing backslash
};

// Slots are empty (nullptr) or hold a group created by OpenGroup.
extern TvcGroupLine* GroupTable[kGroupTableSize];

// The group with exactly this FileName (byte for byte) with one more reference, or a new one in the
// first free slot; nullptr when all slots are in use. Does not read the file.
TvcGroupLine* OpenGroup(std::string_view fileName);
// Reads the group file anew (header, title, route lists). No message; false for a file that cannot
// be opened or is malformed (the routes read so far stay listed).
bool LoadGroup(TvcGroupLine* group);
// Drops one reference; the last one destroys the group. nullptr and groups not in the table are
// left alone.
void ReleaseGroup(TvcGroupLine* group);
// Destroys every group in the table (tests start from an empty table).
void ClearGroupTable();
