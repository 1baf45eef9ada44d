#pragma once
// Reads one RIFF WAVE or Creative Voice file and delivers its samples as signed 8-bit mono at one
// of the three rates the informer plays (8000, 11025, 16000 Hz). Higher rates are brought down by
// keeping every n-th frame; of each kept frame only the high byte of the first sample is used.
#include <cstdint>
#include <cstdio>
#include <string>

#include "voice/error_code.h"

class TinfConvVoice : public TErrorCode {
public:
    TinfConvVoice() = default;
    ~TinfConvVoice() { Close(); }
    TinfConvVoice(const TinfConvVoice&) = delete;
    TinfConvVoice& operator=(const TinfConvVoice&) = delete;

    void SetFileName(const std::string& nativePath) { fileName_ = nativePath; }
    // Opens and checks the file; ErrorCode 0 on success, the file then positioned at the first
    // sample. On failure the file is closed.
    void Open();
    // Writes exactly `count` samples to dest; zeros once the data is used up.
    void ReadSamples(int8_t* dest, int32_t count);
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    bool HasData() const { return hasData_; }
    int32_t Remaining() const { return remaining_; }
    uint8_t RateClass() const { return rateClass_; }
    int32_t BlockAlign() const { return blockAlign_; }
    int32_t Step() const { return step_; }
    // The classic wave format record as read (or made up for a Creative Voice file).
    uint16_t FormatTag() const;
    uint16_t Channels() const;
    uint32_t SampleRate() const;
    uint16_t BitsPerSample() const;

private:
    void OpenChecked();
    void OpenVoc();
    void OpenRiff();
    bool ReadExact(void* dest, size_t n);
    bool Skip(uint32_t n);

    std::string fileName_;
    std::FILE* file_ = nullptr;
    int32_t remaining_ = 0;
    uint8_t format_[200] = {};
    bool hasData_ = false;
    uint8_t rateClass_ = 0;
    int32_t blockAlign_ = 0;
    int32_t step_ = 0;
    uint8_t* temp_ = nullptr;
    size_t tempSize_ = 0;
};
