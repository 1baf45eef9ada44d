#include "voice/mp3_decode.h"

#include <mpg123.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "voice/atomic_file.h"
#include "voice/wav8_file.h"

namespace {

int Decode(mpg123_handle* mh, const std::string& mp3Path, const std::string& wavPath) {
    mpg123_open(mh, mp3Path.c_str());
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) return -1;
    if (encoding != MPG123_ENC_SIGNED_16) return -2;
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels, encoding);
    const size_t block = mpg123_outblock(mh);
    std::vector<unsigned char> buf(block > 0 ? block : 16384);
    std::vector<uint8_t> out;

    AtomicFile f;
    if (!f.Create(wavPath)) return -2;
    uint8_t header[kWav8HeaderSize];
    FillWav8Header(header, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 0);
    std::fwrite(header, 1, sizeof header, f.file());

    const size_t frameBytes = 2u * static_cast<size_t>(channels > 0 ? channels : 1);
    uint32_t dataSize = 0;
    for (;;) {
        size_t done = 0;
        const int rc = mpg123_read(mh, buf.data(), buf.size(), &done);
        const size_t frames = done / frameBytes;
        out.resize(frames);
        for (size_t k = 0; k < frames; ++k) {
            short sample;  // the decoder delivers host byte order
            std::memcpy(&sample, buf.data() + k * frameBytes, sizeof sample);
            out[k] = Mp3SampleToWavByte(sample);
        }
        if (frames) std::fwrite(out.data(), 1, frames, f.file());
        dataSize += static_cast<uint32_t>(frames);
        if (rc != MPG123_OK) break;
    }
    std::fflush(f.file());
    FillWav8Header(header, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), dataSize);
    std::fseek(f.file(), 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, f.file());
    std::fseek(f.file(), 0, SEEK_END);
    return f.Commit() ? 0 : -2;
}

}  // namespace

int DecodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath) {
    if (mpg123_init() != MPG123_OK) return -1;
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        mpg123_exit();
        return -1;
    }
    const int result = Decode(mh, mp3Path, wavPath);
    mpg123_close(mh);
    mpg123_delete(mh);
    mpg123_exit();
    return result;
}
