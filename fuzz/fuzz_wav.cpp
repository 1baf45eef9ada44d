// Any bytes as a sound file: the reader opens it or gives a catalogue code and leaves it closed;
// what opens is read to the end and packed, and the packed voice decodes to exactly the samples
// the packer reconstructed while choosing its codes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "voice/conv_voice.h"
#include "voice/packed_decoder.h"
#include "voice/packer.h"

namespace {

std::string ScratchFile(const char* what) {
    return "/tmp/korvis-fuzz-" + std::string(what) + "-" + std::to_string(getpid());
}

bool KnownReaderCode(int32_t code) {
    return code == 0 || code == 1005 || code == 2001 || code == 2010 || code == 2024;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string in = ScratchFile("voice.wav");
    static const std::string out = ScratchFile("voice.fvp");
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    {
        TinfConvVoice conv;
        conv.SetFileName(in);
        conv.Open();
        if (!KnownReaderCode(conv.ErrorCode) || conv.IsOpen() != (conv.ErrorCode == 0)) __builtin_trap();
        if (conv.ErrorCode == 0) {
            if (conv.RateClass() > 2 || conv.Step() <= 0) __builtin_trap();
            // Odd request sizes, so that the end of the data falls anywhere in a request.
            int8_t samples[301];
            const int32_t sizes[] = {1, 47, 240, 301};
            size_t produced = 0;
            for (int i = 0; conv.HasData() && conv.ErrorCode == 0; ++i) {
                const int32_t count = sizes[i % 4];
                conv.ReadSamples(samples, count);
                produced += static_cast<size_t>(count);
                // Every frame gives at most one sample, so a request past the file only pads.
                if (produced > size + 2 * 301) __builtin_trap();
            }
        }
    }

    TinfVoice packer(3, 11025, 12);
    std::vector<int8_t> recon;
    packer.SetReconstructionSink(&recon);
    if (packer.Pack(out, in)) {
        const std::vector<uint8_t> packed = ReadWhole(out);
        DecodedVoice voice;
        if (DecodePackedVoice(packed.data(), packed.size(), voice) != 0) __builtin_trap();
        if (voice.coded != recon) __builtin_trap();
    } else {
        // A failed packing leaves no packed file behind.
        std::FILE* left = std::fopen(out.c_str(), "rb");
        if (left) __builtin_trap();
    }
    std::remove(out.c_str());
    std::remove(in.c_str());
    return 0;
}
