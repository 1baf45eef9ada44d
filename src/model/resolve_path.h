#pragma once
// A file name written in a description file, resolved against the folder of that file. Works on
// Windows-style names (backslashes, drive letters, \\server\share) as written; a leading "/" plays
// the part of a drive. Never touches the disk.
#include <string>
#include <string_view>

struct ResolvedPath {
    std::string full;      // the path to open (map with NativePath)
    std::string relative;  // the name relative to the base folder
};

// baseFolder ends with a separator. Both strings are UTF-8.
ResolvedPath ResolvePath(std::string_view baseFolder, std::string_view name);
