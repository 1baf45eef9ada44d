#pragma once
// The Windows code page 1251 of the description files and of the image texts, and UTF-8, which
// everything shown to a person and every native file name uses.
#include <string>
#include <string_view>

// Every one of the 256 byte values has a character (0x98, unassigned in CP1251, becomes U+0098,
// as the Windows conversion does), so a CP1251 text always survives the round trip.
std::string Cp1251ToUtf8(std::string_view cp1251);

// A character without a CP1251 byte becomes "?"; so does every byte of malformed UTF-8.
std::string Utf8ToCp1251(std::string_view utf8);
