#pragma once
// A voice item ties one sound file named by a route or template to its packed form beside it
// (packed again whenever the sound file is newer). The image builder takes from it the packed
// size, the 4-byte packed header and the packed data.
//
// Paths are UTF-8 names as resolved from the description files (backslashes allowed); they are
// mapped to native paths only where a file is opened.
#include <cstdint>
#include <cstdio>
#include <string>

#include "model/vc_base.h"
#include "voice/error_code.h"

inline constexpr int32_t kVoiceKindWav = 3;  // WAV or VOC, packed directly
inline constexpr int32_t kVoiceKindMp3 = 4;  // decoded to "<base>_mp3.wav" first

// The files that belong to one sound file: for "dir\stop12.wav" the packed file is
// "dir\stop12_wav.fvp"; for "dir\stop12.MP3" the WAV form is "dir\stop12_mp3.wav" and the packed
// file "dir\stop12_MP3.fvp".
struct VoiceFileNames {
    int32_t kind = kVoiceKindWav;
    std::string wavFile;
    std::string packedFile;
};
VoiceFileNames DeriveVoiceFileNames(const std::string& sourceFile);

class TvcVoice : public TvcCustomCollection {
public:
    TvcVoice(const std::string& sourceFile, TvcVoice* after);
    ~TvcVoice() override;  // closes PackedHandle

    std::string SourceFile;       // as passed to AcquireVoice
    int32_t Kind = kVoiceKindWav;
    std::string WavFile;          // what is packed: the source itself, or the decoded MP3
    std::string PackedFile;
    uint32_t SourceTime = 0;      // MS-DOS packed date-time (compared unsigned)
    uint32_t PackedTime = 0;
    int32_t RefCount = 0;
    std::FILE* PackedHandle = nullptr;  // open, positioned after the header, while the data is read
    uint8_t PackedHeader[4] = {0, 0, 0, 0};  // first byte, order, rate code, 0
    int32_t PackedSize = 0;       // bytes after the header
    int16_t VoiceIndex = -1;      // set by the builder
    int32_t ImageOffset = 0;      // set by the builder
    bool Used = false;            // set by the builder at the first use in a build
    TErrorCode Error;             // nonzero: the voice cannot be used

    TvcVoice* NextVoice() const { return static_cast<TvcVoice*>(Next); }
};

// The voice lookup: the item of `path` with one more reference, packing it when its packed file
// is missing or older than the source, and showing the message of any failure. nullptr when the
// path is empty. Callers test voice->Error.ErrorCode. Main thread only.
TvcVoice* AcquireVoice(const std::string& path);

// Makes sure PackedHandle is open and positioned after the header (packing first when the packed
// file is missing) and refreshes PackedHeader, PackedTime and PackedSize. Shows nothing; on
// failure PackedHandle stays nullptr and Error holds the code.
void OpenPackedData(TvcVoice* voice);

// Reads up to `count` bytes of packed data from PackedHandle; returns the number read (0 when the
// handle is not open).
size_t ReadPackedData(TvcVoice* voice, uint8_t* dest, size_t count);

// Closes PackedHandle if open.
void ClosePackedData(TvcVoice* voice);

void SetVoiceIndex(TvcVoice* voice, int16_t index);

// Destroys every item, whatever its reference count, and empties the chain.
void ReleaseAllVoices();

// The first item of the chain (nullptr when empty).
TvcVoice* FirstVoice();

// Makes the packed file of `sourceFile` current without showing anything: decodes an MP3 when its
// WAV form is missing or older, packs when the packed file is missing, unreadable or older than
// the source. Returns 0 or the failure's catalogue code (1030 when the source cannot be opened).
// Safe to call from several threads at once for different sources (each thread packs with its own
// packer); a later AcquireVoice of the same path then finds the packed file current.
int32_t PreparePackedVoice(const std::string& sourceFile);
