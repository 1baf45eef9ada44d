#pragma once
// Writes a packed voice file: the 4-byte header, silence runs, segments of code blocks (3
// coefficient bytes and 60 bytes of 2-bit codes each), and the closing 0x00.
#include <cstdint>
#include <string>
#include <vector>

#include "voice/atomic_file.h"
#include "voice/error_code.h"

class TPackedVoice : public TErrorCode {
public:
    // Creates the file (under a temporary name until Finish) and writes the header.
    // ErrorCode 2009 when it cannot be created.
    TPackedVoice(const std::string& path, int32_t order, int32_t rate, uint8_t firstByte, uint8_t rateCode);

    void WriteCoefficients(const int8_t coef[3]);
    void WriteCode(uint8_t q) {
        bits_ |= static_cast<uint8_t>((q & 3) << bitCount_);
        bitCount_ += 2;
        if (bitCount_ == 8) {
            data_.push_back(bits_);
            bits_ = 0;
            bitCount_ = 0;
        }
    }
    void WriteSilence(int32_t blocks, int32_t blockLen);
    void BeginSegment();
    void EndSegment(int32_t blocks);
    // Writes the closing 0x00 and completes the file. Returns the file length, or -1 with
    // ErrorCode 2002 when it could not be written.
    int64_t Finish();

    const std::vector<uint8_t>& Bytes() const { return data_; }

private:
    AtomicFile file_;
    int32_t order_;
    int32_t rate_;
    size_t marker_ = 0;
    uint8_t bits_ = 0;
    int bitCount_ = 0;
    std::vector<uint8_t> data_;  // the whole file; written out when complete
};
