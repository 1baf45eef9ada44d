#pragma once
// Programmer firmware: the *.HAS file layout, the 32-byte record the programmer keeps in its
// flash, and the one prepared image that every boot worker writes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kFirmwareHeaderSize = 512;
constexpr size_t kFirmwareCodeArea = 16384;
constexpr size_t kFirmwareMaxFile = kFirmwareHeaderSize + kFirmwareCodeArea;  // 16,896
constexpr size_t kFirmwareRecordSize = 32;
constexpr uint32_t kFirmwareRecordOffset = 0x2FE0;  // code offset of the record
constexpr uint32_t kFirmwareRecordPage = 0x2F80;    // the 128-byte boot page that holds it
constexpr size_t kBootPageSize = 128;

using FirmwareRecord = std::array<uint8_t, kFirmwareRecordSize>;

// The built-in firmware (version 1.1): a complete file image, header and code.
constexpr uint8_t kBuiltInMajor = 1;
constexpr uint8_t kBuiltInMinor = 1;
constexpr uint32_t kBuiltInVersion = (uint32_t{kBuiltInMajor} << 16) | kBuiltInMinor;
constexpr uint16_t kBuiltInCodeSize = 7161;
const std::vector<uint8_t>& BuiltInFirmware();

// Header checks: the signature 0x94 0x82 at 32, type 3 at 25. `fileSize` is the whole file's
// length: a file longer than kFirmwareMaxFile, or too short for the code its header declares,
// is not a firmware file either.
bool IsValidFirmware(const uint8_t* header, size_t headerBytes, uint64_t fileSize);

uint16_t FirmwareCodeSize(const uint8_t* header);
uint32_t FirmwareVersion(const uint8_t* header);

// The header fields repacked into the programmer's record.
FirmwareRecord RepackFirmwareRecord(const uint8_t* header);

// Record fields as Open compares them.
inline uint16_t RecordCodeSize(const FirmwareRecord& r) { return static_cast<uint16_t>(r[0] | (r[1] << 8)); }
inline uint16_t RecordWordA(const FirmwareRecord& r) { return static_cast<uint16_t>(r[2] | (r[3] << 8)); }
inline uint32_t RecordVersion(const FirmwareRecord& r) {
    return uint32_t{r[4]} | (uint32_t{r[5]} << 8) | (uint32_t{r[6]} << 16) | (uint32_t{r[7]} << 24);
}

struct PreparedFirmware {
    // Header (512 bytes) then the code area (16,384): the code, 0xFF up to the end, and the
    // record at code offset 0x2FE0.
    std::array<uint8_t, kFirmwareMaxFile> image{};
    FirmwareRecord record{};
    std::string sourceFile;  // empty: the built-in image

    const uint8_t* code() const { return image.data() + kFirmwareHeaderSize; }
    uint16_t codeSize() const { return RecordCodeSize(record); }
    uint32_t version() const { return RecordVersion(record); }
    uint8_t major() const { return record[14]; }
    uint8_t minor() const { return record[15]; }
};

// Prepares `out` from the built-in image, or from the newest valid *.HAS file (any letter case)
// in the folders, searched in order; among equal versions the last one found wins, and a file
// must be at least as new as the built-in image. Names within a folder are taken in byte order.
void FindFirmware(PreparedFirmware& out, const std::vector<std::string>& folders);

// The built-in image prepared as FindFirmware would without any file.
const PreparedFirmware& BuiltInPrepared();

// The program's folder, then the installed data folder (<prefix>/share/korvis/firmware).
std::vector<std::string> DefaultFirmwareFolders();
