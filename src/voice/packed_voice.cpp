#include "voice/packed_voice.h"

namespace {
constexpr int32_t kWriteError = 2002;
constexpr int32_t kCannotCreate = 2009;
}  // namespace

TPackedVoice::TPackedVoice(const std::string& path, int32_t order, int32_t rate, uint8_t firstByte,
                           uint8_t rateCode)
    : order_(order), rate_(rate) {
    if (!file_.Create(path)) {
        ErrorCode = kCannotCreate;
        return;
    }
    data_.reserve(4096);
    data_.push_back(firstByte);
    data_.push_back(static_cast<uint8_t>(order));
    data_.push_back(rateCode);
    data_.push_back(0);
}

void TPackedVoice::WriteCoefficients(const int8_t coef[3]) {
    for (int i = 0; i < 3; ++i) data_.push_back(static_cast<uint8_t>(coef[i]));
}

void TPackedVoice::WriteSilence(int32_t blocks, int32_t blockLen) {
    if (blocks <= 0) return;
    int64_t units = static_cast<int64_t>(blocks) * blockLen / 8;
    while (units >= 127) {
        data_.push_back(127);
        units -= 127;
    }
    // A rest of 0 writes nothing: a 0x00 here would end the voice.
    if (units > 0) data_.push_back(static_cast<uint8_t>(units));
}

void TPackedVoice::BeginSegment() {
    marker_ = data_.size();
    data_.push_back(0);
}

void TPackedVoice::EndSegment(int32_t blocks) {
    if (marker_ < data_.size()) data_[marker_] = static_cast<uint8_t>(0x80 + blocks);
}

int64_t TPackedVoice::Finish() {
    data_.push_back(0);
    std::FILE* f = file_.file();
    if (ErrorCode != 0 || !f || std::fwrite(data_.data(), 1, data_.size(), f) != data_.size() || !file_.Commit()) {
        file_.Discard();
        if (ErrorCode == 0) ErrorCode = kWriteError;
        return -1;
    }
    return static_cast<int64_t>(data_.size());
}
