#pragma once
// Reads a cartridge image back into its routes, events, scripts, display lists and voices, for
// `lmk inspect` and for stating expectations about built images. Any byte string is accepted:
// what lies outside the image or makes no sense is reported in `problems`, never read past.
#include <cstdint>
#include <string>
#include <vector>

struct InspectedScriptCode {
    uint8_t code = 0;
    uint16_t value = 0;         // pause value, or the voice-table entry offset
    int32_t voiceIndex = -1;    // for a voice entry inside the voice table
    uint32_t voiceOffset = 0;   // the voice's data offset
    uint8_t voiceRate = 0;      // bits 24-31 of the voice-table entry
    std::vector<uint8_t> raw;   // a reserved 0x0D block as stored
};

struct InspectedText {
    uint16_t areaOffset = 0;
    uint8_t type = 0;           // first byte, or the control byte itself
    std::string bytes;          // the text after the type byte, as stored (board set)
    std::string utf8;           // the same decoded back to readable text
};

struct InspectedEvent {
    uint16_t nameOffset = 0;
    std::string name;           // 16 bytes as stored (name set)
    std::string nameUtf8;
    uint16_t scriptOffset = 0;
    std::vector<InspectedScriptCode> script;
    uint16_t displayListOffset = 0;
    std::vector<InspectedText> display;
};

struct InspectedRoute {
    uint16_t nameOffset = 0;
    std::string name;
    std::string nameUtf8;
    uint16_t voiceEntryOffset = 0;
    int32_t voiceIndex = -1;
    uint16_t scriptTableOffset = 0;
    uint16_t nameTableOffset = 0;
    uint16_t eventTableOffset = 0;
    uint16_t eventCount = 0;
    std::vector<InspectedEvent> events;
};

struct InspectedVoice {
    uint32_t entry = 0;         // the 32-bit voice-table entry
    uint32_t offset = 0;        // bits 0-23
    uint8_t rate = 0;           // bits 24-31
};

struct InspectedImage {
    uint8_t routeCount = 0;
    uint8_t blockCount = 0;
    uint16_t flags = 0;
    uint32_t buildTime = 0;     // MS-DOS packed, time in the low half
    uint32_t voiceTableOffset = 0;
    std::vector<InspectedRoute> routes;
    std::vector<InspectedVoice> voices;
    std::vector<std::string> problems;
};

InspectedImage InspectImage(const uint8_t* data, size_t size);

// The readable account of `lmk inspect`, in UTF-8.
std::string FormatInspection(const InspectedImage& image);

// The name of a display text type as the account shows it.
const char* DisplayTypeName(uint8_t type);
