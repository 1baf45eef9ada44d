#pragma once
// Names resolved from description files use backslashes and, written on Windows, any letter case.
// Only here do they become names the filesystem can open.
#include <optional>
#include <string>
#include <string_view>

// Backslashes become slashes. Nothing else changes.
std::string ToNativeSlashes(std::string_view resolvedName);

// The native path of an existing file or folder: the name with slashes when it exists as written;
// otherwise each component that does not exist is matched without regard to letter case (ASCII
// and Cyrillic, in UTF-8) among its folder's entries. No match, or two entries that differ only in
// case, gives nothing: the program never guesses.
std::optional<std::string> FindNativePath(std::string_view resolvedName);

// FindNativePath, or the name with slashes when nothing matches (for messages and for creating).
std::string NativePath(std::string_view resolvedName);
