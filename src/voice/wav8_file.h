#pragma once
// The 8-bit unsigned PCM WAV file the program writes (decoded MP3s, unpacked voices): a 46-byte
// header with an 18-byte format record.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kWav8HeaderSize = 46;

void FillWav8Header(uint8_t header[kWav8HeaderSize], uint16_t channels, uint32_t rate, uint32_t dataSize);

// Writes a mono file from signed 8-bit samples (complete or not at all). False on failure.
bool WriteWav8Mono(const std::string& nativePath, uint32_t rate, const std::vector<int8_t>& samples);
