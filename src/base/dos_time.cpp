#include "base/dos_time.h"

#include <sys/stat.h>

uint32_t DosDateTimeFromTime(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0x00210000;
    const int year = tm.tm_year + 1900;
    if (year < 1980) return 0x00210000;  // 1980-01-01 00:00:00
    if (year > 2107) return 0xFF9FBF7D;  // 2107-12-31 23:59:58
    const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    const uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return (date << 16) | time;
}

std::time_t TimeFromDosDateTime(uint32_t dos) {
    const uint32_t date = dos >> 16;
    const uint32_t time = dos & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) + 1980 - 1900);
    tm.tm_mon = static_cast<int>(((date >> 5) & 0x0F)) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>(time >> 11);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::optional<uint32_t> FileDosDateTime(const std::string& nativePath) {
    struct stat st {};
    if (::stat(nativePath.c_str(), &st) != 0) return std::nullopt;
    return DosDateTimeFromTime(st.st_mtime);
}

uint32_t NowDosDateTime() { return DosDateTimeFromTime(std::time(nullptr)); }
