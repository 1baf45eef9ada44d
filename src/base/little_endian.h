#pragma once
// Every multi-byte value of the image, the packed voices, the firmware and the wire is
// little-endian.
#include <cstddef>
#include <cstdint>

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t ReadLe32(const uint8_t* p) { return ReadLe24(p) | (static_cast<uint32_t>(p[3]) << 24); }

inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe24(uint8_t* p, uint32_t v) {
    WriteLe16(p, static_cast<uint16_t>(v));
    p[2] = static_cast<uint8_t>(v >> 16);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
    WriteLe24(p, v);
    p[3] = static_cast<uint8_t>(v >> 24);
}
