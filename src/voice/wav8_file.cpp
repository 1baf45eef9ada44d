#include "voice/wav8_file.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "voice/atomic_file.h"

namespace {
// A chunk id: its letters without the terminating zero.
template <size_t N>
void PutTag(uint8_t* to, const char (&tag)[N]) {
    std::copy_n(tag, N - 1, to);
}
}  // namespace

void FillWav8Header(uint8_t h[kWav8HeaderSize], uint16_t channels, uint32_t rate, uint32_t dataSize) {
    PutTag(h, "RIFF");
    WriteLe32(h + 4, dataSize + 38);
    PutTag(h + 8, "WAVEfmt ");
    WriteLe32(h + 16, 18);
    WriteLe16(h + 20, 1);
    WriteLe16(h + 22, channels);
    WriteLe32(h + 24, rate);
    WriteLe32(h + 28, rate);
    WriteLe16(h + 32, 1);
    WriteLe16(h + 34, 8);
    WriteLe16(h + 36, 0);
    PutTag(h + 38, "data");
    WriteLe32(h + 42, dataSize);
}

bool WriteWav8Mono(const std::string& nativePath, uint32_t rate, const std::vector<int8_t>& samples) {
    AtomicFile f;
    if (!f.Create(nativePath)) return false;
    uint8_t h[kWav8HeaderSize];
    FillWav8Header(h, 1, rate, static_cast<uint32_t>(samples.size()));
    std::vector<uint8_t> body(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) body[i] = static_cast<uint8_t>(samples[i] ^ 0x80);
    if (std::fwrite(h, 1, sizeof h, f.file()) != sizeof h) return false;
    if (!body.empty() && std::fwrite(body.data(), 1, body.size(), f.file()) != body.size()) return false;
    return f.Commit();
}
