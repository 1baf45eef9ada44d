#pragma once
// MS-DOS packed date and time: date in the high 16 bits (year-1980 << 9 | month << 5 | day),
// time in the low 16 bits (hour << 11 | minute << 5 | second / 2). Compared as plain unsigned
// 32-bit numbers, later is larger, which is how file times are compared.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// The local time of `t` in packed form; seconds are truncated to even. Years before 1980 give
// 1980-01-01 00:00:00, years after 2107 give the largest value.
uint32_t DosDateTimeFromTime(std::time_t t);
// The moment that a packed local date-time names (fields out of range are normalised by mktime).
std::time_t TimeFromDosDateTime(uint32_t dos);
// The modification time of a native file in packed form, or nothing when it cannot be read.
std::optional<uint32_t> FileDosDateTime(const std::string& nativePath);
// The current local time in packed form.
uint32_t NowDosDateTime();
