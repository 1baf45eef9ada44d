#include "voice/conv_voice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/little_endian.h"

namespace {

constexpr int32_t kFileNotFound = 1005;
constexpr int32_t kReadError = 2001;
constexpr int32_t kBadFormat = 2010;
constexpr int32_t kUnsupported = 2024;

constexpr char kVocSignature[] = "Creative Voice File\x1A";

struct RateRow {
    uint32_t rate;
    uint8_t rateClass;
    int32_t factor;
};
constexpr RateRow kRates[] = {
    {8000, 0, 1},  {11025, 1, 1}, {16000, 2, 1}, {22050, 1, 2},
    {24000, 0, 3}, {32000, 2, 2}, {44100, 1, 4}, {48000, 2, 3},
};

}  // namespace

uint16_t TinfConvVoice::FormatTag() const { return ReadLe16(format_); }
uint16_t TinfConvVoice::Channels() const { return ReadLe16(format_ + 2); }
uint32_t TinfConvVoice::SampleRate() const { return ReadLe32(format_ + 4); }
uint16_t TinfConvVoice::BitsPerSample() const { return ReadLe16(format_ + 14); }

void TinfConvVoice::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    std::free(temp_);
    temp_ = nullptr;
    tempSize_ = 0;
}

bool TinfConvVoice::ReadExact(void* dest, size_t n) { return std::fread(dest, 1, n, file_) == n; }

bool TinfConvVoice::Skip(uint32_t n) {
    // A skip past the end is a failure: fseek alone would accept it.
    long pos = std::ftell(file_);
    if (pos < 0 || std::fseek(file_, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file_);
    if (end < 0 || static_cast<uint64_t>(pos) + n > static_cast<uint64_t>(end)) return false;
    return std::fseek(file_, static_cast<long>(pos + static_cast<long>(n)), SEEK_SET) == 0;
}

void TinfConvVoice::Open() {
    Close();
    hasData_ = false;
    remaining_ = 0;
    std::memset(format_, 0, sizeof format_);
    file_ = std::fopen(fileName_.c_str(), "rb");
    if (!file_) {
        ErrorCode = kFileNotFound;
        return;
    }
    try {
        OpenChecked();
    } catch (...) {
        ErrorCode = kBadFormat;
    }
    if (ErrorCode != 0) Close();
}

void TinfConvVoice::OpenChecked() {
    ErrorCode = kReadError;
    if (std::fseek(file_, 0, SEEK_END) != 0) return;
    long size = std::ftell(file_);
    if (size < 0 || std::fseek(file_, 0, SEEK_SET) != 0) return;
    if (size < 46) {
        ErrorCode = kBadFormat;
        return;
    }
    uint8_t head[20];
    if (!ReadExact(head, sizeof head)) return;

    if (std::memcmp(head, kVocSignature, 20) == 0) {
        OpenVoc();
    } else {
        OpenRiff();
    }
    if (ErrorCode != 0) return;

    // Rate check.
    blockAlign_ = ReadLe16(format_ + 12);
    if (blockAlign_ == 0) {
        ErrorCode = kBadFormat;
        return;
    }
    const uint32_t rate = SampleRate();
    const RateRow* row = nullptr;
    for (const RateRow& r : kRates)
        if (r.rate == rate) row = &r;
    if (!row) {
        ErrorCode = kUnsupported;
        return;
    }
    rateClass_ = row->rateClass;
    step_ = blockAlign_ * row->factor;
    hasData_ = true;
}

void TinfConvVoice::OpenVoc() {
    uint8_t words[6];
    if (!ReadExact(words, sizeof words)) return;  // 2001
    const uint16_t dataOffset = ReadLe16(words);
    const int32_t version = ReadLe16(words + 2);
    const int32_t check = ReadLe16(words + 4);
    if (check != 0x1233 - version) {
        ErrorCode = kBadFormat;
        return;
    }
    if (std::fseek(file_, dataOffset, SEEK_SET) != 0) return;
    uint8_t block[6];
    if (!ReadExact(block, sizeof block)) return;
    if (block[0] != 1) return;  // the first block must be sound data
    const int32_t length = static_cast<int32_t>(ReadLe24(block + 1));
    const uint8_t timeConstant = block[4];
    const uint8_t pack = block[5];
    // The file is readable from here on; what remains is the rate check.
    ErrorCode = 0;

    int32_t rate = static_cast<int32_t>(1000000.0 / (256 - timeConstant));
    if (rate > 10500 && rate < 11600) rate = 11025;
    const uint16_t align = static_cast<uint16_t>(pack + 1);
    WriteLe16(format_, 1);
    WriteLe16(format_ + 2, 1);
    WriteLe32(format_ + 4, static_cast<uint32_t>(rate));
    WriteLe32(format_ + 8, static_cast<uint32_t>(rate) * align);
    WriteLe16(format_ + 12, align);
    WriteLe16(format_ + 14, static_cast<uint16_t>(8 * align));
    remaining_ = length - 2;
}

void TinfConvVoice::OpenRiff() {
    ErrorCode = kBadFormat;
    uint8_t head[20];
    if (std::fseek(file_, 0, SEEK_SET) != 0 || !ReadExact(head, sizeof head)) return;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVEfmt ", 8) != 0) return;
    if (std::fseek(file_, 16, SEEK_SET) != 0) return;
    ErrorCode = 0;
    uint8_t len[4];
    if (!ReadExact(len, 4)) {
        ErrorCode = kReadError;
        return;
    }
    const uint32_t fmtLen = ReadLe32(len);
    if (fmtLen < 16 || fmtLen > 200) {
        ErrorCode = kBadFormat;
        return;
    }
    if (!ReadExact(format_, fmtLen)) {
        ErrorCode = kReadError;
        return;
    }
    uint8_t chunk[8];
    if (!ReadExact(chunk, 8)) {
        ErrorCode = kReadError;
        return;
    }
    if (std::memcmp(chunk, "fact", 4) == 0) {
        if (!Skip(ReadLe32(chunk + 4))) {
            ErrorCode = kBadFormat;
            return;
        }
        if (!ReadExact(chunk, 8)) {
            ErrorCode = kUnsupported;
            return;
        }
    }
    if (std::memcmp(chunk, "DISP", 4) == 0) {
        if (!Skip(ReadLe32(chunk + 4))) {
            ErrorCode = kUnsupported;
            return;
        }
        if (!ReadExact(chunk, 8)) {
            ErrorCode = kReadError;
            return;
        }
    }
    if (std::memcmp(chunk, "data", 4) != 0) {
        ErrorCode = kBadFormat;
        return;
    }
    remaining_ = static_cast<int32_t>(ReadLe32(chunk + 4));
    if (std::ftell(file_) < 0) ErrorCode = kBadFormat;
}

void TinfConvVoice::ReadSamples(int8_t* dest, int32_t count) {
    if (count <= 0) return;
    if (remaining_ <= 0 || !file_) {
        hasData_ = false;
        std::memset(dest, 0, static_cast<size_t>(count));
        return;
    }
    const int64_t want = std::min<int64_t>(static_cast<int64_t>(step_) * count, remaining_);
    const size_t n = static_cast<size_t>(want);
    if (n > tempSize_) {
        void* grown = std::realloc(temp_, n);
        if (!grown) {
            ErrorCode = 2007;
            std::memset(dest, 0, static_cast<size_t>(count));
            return;
        }
        temp_ = static_cast<uint8_t*>(grown);
        tempSize_ = n;
    }
    const size_t got = std::fread(temp_, 1, n, file_);
    if (got < n && std::ferror(file_)) {
        ErrorCode = kReadError;
        std::memset(dest, 0, static_cast<size_t>(count));
        return;
    }
    // A data chunk that claims more than the file holds ends where the file ends.
    const int32_t frames = static_cast<int32_t>(got / static_cast<size_t>(step_));
    if (blockAlign_ == 1) {
        for (int32_t k = 0; k < frames; ++k) dest[k] = static_cast<int8_t>(temp_[static_cast<size_t>(k) * step_] ^ 0x80);
    } else {
        for (int32_t k = 0; k < frames; ++k) dest[k] = static_cast<int8_t>(temp_[static_cast<size_t>(k) * step_ + 1]);
    }
    if (frames < count) std::memset(dest + frames, 0, static_cast<size_t>(count - frames));
    remaining_ = got < n ? 0 : remaining_ - static_cast<int32_t>(n);
}
