#include "voice/voice_item.h"

#include <memory>

#include "base/dos_time.h"
#include "base/native_path.h"
#include "messages/show_mes.h"
#include "voice/mp3_decode.h"
#include "voice/packer.h"
#include "voice/sample_rates.h"

namespace {

constexpr int32_t kNoSoundFile = 1030;
constexpr int32_t kFutureFile = 1035;
constexpr int32_t kReadError = 2001;
constexpr int32_t kBadRate = 2005;

TvcVoice* gFirstVoice = nullptr;
std::unique_ptr<TinfVoice> gPacker;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

// An existing file as it is on disk; a new one in its (existing) folder.
std::string NativeTarget(const std::string& name) {
    if (auto found = FindNativePath(name)) return *found;
    size_t cut = name.size();
    while (cut > 0 && !IsSeparator(name[cut - 1])) --cut;
    if (cut == 0) return name;
    return NativePath(name.substr(0, cut - 1)) + "/" + name.substr(cut);
}

std::optional<uint32_t> FileTime(const std::string& name) {
    auto found = FindNativePath(name);
    if (!found) return std::nullopt;
    return FileDosDateTime(*found);
}

bool CanOpen(const std::string& name) {
    std::FILE* f = std::fopen(NativePath(name).c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// Decodes the MP3 form when its WAV file is missing (or, with `whenOlder`, older than the source).
void DecodeIfNeeded(const std::string& source, const std::string& wavFile, uint32_t sourceTime, bool whenOlder) {
    auto wavTime = FileTime(wavFile);
    if (wavTime && !(whenOlder && *wavTime < sourceTime)) return;
    DecodeMp3ToWav(NativePath(source), NativeTarget(wavFile));
}

bool PackFiles(TinfVoice& packer, const std::string& packedFile, const std::string& wavFile) {
    return packer.Pack(NativeTarget(packedFile), NativePath(wavFile));
}

TinfVoice& Packer() {
    if (!gPacker) gPacker = std::make_unique<TinfVoice>(3, 11025, 12);
    return *gPacker;
}

}  // namespace

VoiceFileNames DeriveVoiceFileNames(const std::string& sourceFile) {
    size_t nameStart = sourceFile.size();
    while (nameStart > 0 && !IsSeparator(sourceFile[nameStart - 1])) --nameStart;
    const std::string folder = sourceFile.substr(0, nameStart);
    const std::string name = sourceFile.substr(nameStart);
    const size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    VoiceFileNames n;
    n.kind = EqualsNoCase(ext, "MP3") ? kVoiceKindMp3 : kVoiceKindWav;
    n.wavFile = n.kind == kVoiceKindMp3 ? folder + base + "_mp3.wav" : sourceFile;
    n.packedFile = folder + base + "_" + ext + ".fvp";
    return n;
}

TvcVoice::TvcVoice(const std::string& sourceFile, TvcVoice* after)
    : TvcCustomCollection(std::string("Voice"), after), SourceFile(sourceFile) {
    VoiceFileNames n = DeriveVoiceFileNames(sourceFile);
    Kind = n.kind;
    WavFile = std::move(n.wavFile);
    PackedFile = std::move(n.packedFile);
}

TvcVoice::~TvcVoice() { ClosePackedData(this); }

TvcVoice* FirstVoice() { return gFirstVoice; }

void ClosePackedData(TvcVoice* voice) {
    if (voice && voice->PackedHandle) {
        std::fclose(voice->PackedHandle);
        voice->PackedHandle = nullptr;
    }
}

size_t ReadPackedData(TvcVoice* voice, uint8_t* dest, size_t count) {
    if (!voice || !voice->PackedHandle) return 0;
    return std::fread(dest, 1, count, voice->PackedHandle);
}

void SetVoiceIndex(TvcVoice* voice, int16_t index) {
    if (voice) voice->VoiceIndex = index;
}

void OpenPackedData(TvcVoice* voice) {
    if (!voice || voice->PackedHandle) return;
    bool packed = false;
    for (;;) {
        const std::string native = NativePath(voice->PackedFile);
        voice->PackedHandle = std::fopen(native.c_str(), "rb");
        if (voice->PackedHandle) break;
        if (packed) {
            // Packed, yet still not readable: report it rather than packing forever.
            voice->Error.ErrorCode = kReadError;
            return;
        }
        if (voice->Kind == kVoiceKindMp3) DecodeIfNeeded(voice->SourceFile, voice->WavFile, voice->SourceTime, false);
        TinfVoice& packer = Packer();
        PackFiles(packer, voice->PackedFile, voice->WavFile);
        voice->Error.ErrorCode = packer.ErrorCode;
        if (voice->Error.ErrorCode != 0) return;
        packed = true;
    }
    if (std::fread(voice->PackedHeader, 1, 4, voice->PackedHandle) != 4) {
        ClosePackedData(voice);
        return;
    }
    if (voice->PackedHeader[0] == 16) {
        voice->PackedHeader[2] = 1;
        voice->PackedHeader[3] = 0;
    }
    voice->PackedTime = FileTime(voice->PackedFile).value_or(0);
    long size = -1;
    if (std::fseek(voice->PackedHandle, 0, SEEK_END) == 0) size = std::ftell(voice->PackedHandle);
    if (size < 4 || std::fseek(voice->PackedHandle, 4, SEEK_SET) != 0) {
        ClosePackedData(voice);
        return;
    }
    voice->PackedSize = static_cast<int32_t>(size - 4);
}

TvcVoice* AcquireVoice(const std::string& path) {
    if (path.empty()) return nullptr;
    TinfVoice& packer = Packer();
    TvcVoice* last = nullptr;
    for (TvcVoice* v = gFirstVoice; v; v = v->NextVoice()) {
        if (v->SourceFile == path) {
            ++v->RefCount;
            return v;
        }
        last = v;
    }
    packer.ErrorCode = 0;
    TvcVoice* item = new TvcVoice(path, last);
    if (!gFirstVoice) gFirstVoice = item;
    item->RefCount = 1;

    std::FILE* src = std::fopen(NativePath(path).c_str(), "rb");
    if (!src) {
        ShowMes(kNoSoundFile, MesArg::Text(item->SourceFile));
        item->Error.ErrorCode = kNoSoundFile;
        return item;
    }
    std::fclose(src);
    item->SourceTime = FileTime(path).value_or(0);

    OpenPackedData(item);

    if (item->SourceTime > NowDosDateTime()) {
        ClosePackedData(item);
        ShowMes(kFutureFile, MesArg::Text(item->SourceFile));
        item->Error.ErrorCode = kFutureFile;
        return item;
    }
    if (!item->PackedHandle) {
        if (item->Kind == kVoiceKindMp3) DecodeIfNeeded(item->SourceFile, item->WavFile, item->SourceTime, true);
        PackFiles(packer, item->PackedFile, item->WavFile);
        OpenPackedData(item);
    }
    if (item->PackedHandle && item->PackedTime < item->SourceTime) {
        ClosePackedData(item);
        if (item->Kind == kVoiceKindMp3) DecodeIfNeeded(item->SourceFile, item->WavFile, item->SourceTime, true);
        PackFiles(packer, item->PackedFile, item->WavFile);
        OpenPackedData(item);
    }
    if (!item->PackedHandle) {
        int32_t code = packer.ErrorCode;
        if (code == 0) code = item->Error.ErrorCode != 0 ? item->Error.ErrorCode : kReadError;
        item->Error.ErrorCode = code;
        ShowMes(code, MesArg::Text(item->PackedFile));
        return item;
    }
    ClosePackedData(item);
    item->Error.ErrorCode = packer.ErrorCode;
    item->Used = false;
    if (item->PackedHeader[2] > 2) {
        // As text: the message's 16-bit field would show 44100 and 48000 as negative numbers.
        ShowMes(kBadRate, MesArg::Text(item->SourceFile),
                MesArg::Text(std::to_string(SampleRateOfCode(item->PackedHeader[2]))));
        item->Error.ErrorCode = kBadRate;
    }
    return item;
}

void ReleaseAllVoices() {
    TvcVoice* v = gFirstVoice;
    gFirstVoice = nullptr;
    while (v) {
        TvcVoice* next = v->NextVoice();
        delete v;
        v = next;
    }
}

int32_t PreparePackedVoice(const std::string& sourceFile) {
    if (sourceFile.empty()) return kNoSoundFile;
    if (!CanOpen(sourceFile)) return kNoSoundFile;
    thread_local TinfVoice packer(3, 11025, 12);
    const VoiceFileNames n = DeriveVoiceFileNames(sourceFile);
    const uint32_t sourceTime = FileTime(sourceFile).value_or(0);
    auto packedTime = FileTime(n.packedFile);
    bool current = false;
    if (packedTime && *packedTime >= sourceTime) {
        // A packed file too short for its header is made again, as the lookup would.
        std::FILE* f = std::fopen(NativePath(n.packedFile).c_str(), "rb");
        uint8_t header[4];
        current = f && std::fread(header, 1, 4, f) == 4;
        if (f) std::fclose(f);
    }
    if (current) return 0;
    if (n.kind == kVoiceKindMp3) DecodeIfNeeded(sourceFile, n.wavFile, sourceTime, true);
    packer.ErrorCode = 0;
    return PackFiles(packer, n.packedFile, n.wavFile) ? 0 : packer.ErrorCode;
}
