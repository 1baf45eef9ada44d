#pragma once
// Turns an MP3 voice file into the 8-bit WAV file the packer reads: one unsigned byte per decoded
// frame, from its first channel.
#include <string>

// 0 on success; -1 when the MP3 cannot be opened or its format determined; -2 when the decoder
// would not deliver signed 16-bit samples or the WAV file cannot be created. The WAV file is
// written under a temporary name and appears only when complete. Paths are native.
int DecodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath);

// The WAV byte of one decoded 16-bit sample.
inline unsigned char Mp3SampleToWavByte(short sample) {
    return static_cast<unsigned char>((sample >> 8) + 128);
}
