#pragma once
// The fixed map of a cartridge image: where the header, the table segment, the voice segments and
// the display area lie, and the limits that keep every stored offset within its 16 bits.
#include <cstdint>

namespace image_layout {

inline constexpr uint32_t kImageSize = 16u * 1024 * 1024;
inline constexpr uint32_t kPageSize = 256;
inline constexpr uint32_t kPageCount = kImageSize / kPageSize;  // 65,536

inline constexpr uint32_t kHeaderOffset = 0x002000;
inline constexpr uint32_t kHeaderSize = 8;
inline constexpr uint32_t kRouteTableOffset = kHeaderOffset + kHeaderSize;
inline constexpr uint32_t kRouteRecordSize = 24;
inline constexpr uint32_t kNameRecordSize = 16;
inline constexpr int32_t kMaxTableSize = 0xE000;  // 57,344: the table segment stays below 0x10000

inline constexpr uint32_t kDisplayAreaOffset = 0x0F0000;
inline constexpr uint32_t kDisplayAreaSize = 0x10000;
inline constexpr int32_t kReservedEvents = 16;

// Voices go into the 1 MB segments 0 to 7, each after its first 8 KB; segment 0 gives up its
// last 64 KB to the display area.
inline constexpr int kSegmentCount = 16;
inline constexpr int kVoiceSegments = 8;
inline constexpr uint32_t kSegmentSize = 0x100000;
inline constexpr uint32_t kSegmentSkip = 0x2000;

// The route count is one byte and a route's first event index must stay addressable.
inline constexpr int32_t kMaxRoutes = 127;

// Header flag bits.
inline constexpr uint16_t kFlagCompact = 0x8000;
inline constexpr uint16_t kFlagDisplayOffsets = 0x4000;
inline constexpr uint16_t kFlagTatar = 0x2000;

// Script codes.
inline constexpr uint8_t kScriptEnd = 0x00;
inline constexpr uint8_t kScriptPause = 0x01;
inline constexpr uint8_t kScriptVoice = 0x02;
inline constexpr uint8_t kScriptControl = 0x03;
inline constexpr uint8_t kScriptRouteEnd = 0x04;
inline constexpr uint8_t kScriptReserved = 0x0D;

// Display text types (the first byte of a stored text).
inline constexpr uint8_t kTextRouteNumber = 0x01;
inline constexpr uint8_t kTextNextStop = 0x02;
inline constexpr uint8_t kTextCurrentStop = 0x03;
inline constexpr uint8_t kTextListEntry = 0x07;
inline constexpr uint8_t kTextFree = 0x09;
inline constexpr uint8_t kTextLegStart = 0x0B;
inline constexpr uint8_t kTextLegEnd = 0x0C;

// The three control texts every pool begins with, and their indices.
inline constexpr uint8_t kControlText0 = 0x1F;
inline constexpr uint8_t kFirstSeparator = 0x06;
inline constexpr uint8_t kSecondSeparator = 0x08;
inline constexpr uint16_t kFirstSeparatorText = 1;
inline constexpr uint16_t kSecondSeparatorText = 2;

// Header text-variant bits 8-9 from the board text variant setting.
inline constexpr uint16_t TextVariantBits(int lang2ToV23) {
    switch (lang2ToV23) {
        case 1:
        case 2: return 1u << 8;
        case 3:
        case 4: return 2u << 8;
        default: return 0;
    }
}

// (V + T1 + 0x11FFF) / 64 KB, one more once past 15.
inline constexpr uint8_t BlockCount(int64_t voiceBytes, int64_t tableSize) {
    int64_t n = (voiceBytes + tableSize + 0x11FFF) >> 16;
    if (n > 15) ++n;
    return static_cast<uint8_t>(n);
}

}  // namespace image_layout
