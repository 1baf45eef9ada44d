// Voice processing speed on one core: packing, decoding a packed voice, and reading a sound file.
// The bar for packing is 10 million samples per second (an hour of 11,025 Hz sound in about 4 s).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"
#include "voice/conv_voice.h"
#include "voice/packed_decoder.h"
#include "voice/packer.h"

namespace {

constexpr size_t kRate = 11025;
constexpr size_t kSeconds = 60;

std::vector<uint8_t> ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 60 s of speech-like sound, with pauses, as an 8-bit 11,025 Hz file.
struct SpeechFile {
    SpeechFile() : samples(sound::SpeechLike(kRate * kSeconds, 7)) { path = dir.write("speech.wav", wavfix::Wav8(kRate, samples)); }
    TempDir dir;
    std::vector<int8_t> samples;
    std::string path;
};

const SpeechFile& Speech() {
    static const SpeechFile f;
    return f;
}

void BM_PackSpeech(benchmark::State& state) {
    const SpeechFile& f = Speech();
    const std::string out = (f.dir / "speech.fvp").string();
    TinfVoice packer(3, 11025, 12);
    for (auto _ : state) {
        if (!packer.Pack(out, f.path)) state.SkipWithError("packing failed");
    }
    const double samples = static_cast<double>(f.samples.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.samples.size()));
    state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["audio_s_per_s"] = benchmark::Counter(static_cast<double>(kSeconds), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PackSpeech)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodePacked(benchmark::State& state) {
    const SpeechFile& f = Speech();
    const std::string out = (f.dir / "decode.fvp").string();
    TinfVoice packer(3, 11025, 12);
    if (!packer.Pack(out, f.path)) {
        state.SkipWithError("packing failed");
        return;
    }
    const std::vector<uint8_t> bytes = ReadAll(out);
    DecodedVoice voice;
    for (auto _ : state) {
        if (DecodePackedVoice(bytes.data(), bytes.size(), voice) != 0) state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(voice.samples.data());
    }
    state.counters["samples_per_s"] =
        benchmark::Counter(static_cast<double>(voice.samples.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodePacked)->Unit(benchmark::kMillisecond)->UseRealTime();

// 60 s of 16-bit stereo at 44,100 Hz, read in code-block requests (every fourth frame kept).
void BM_ReadSamples(benchmark::State& state) {
    TempDir dir;
    wavfix::WavSpec w;
    w.rate = 44100;
    w.channels = 2;
    w.blockAlign = 4;
    w.bits = 16;
    const std::vector<int8_t> s = sound::SpeechLike(44100 * kSeconds, 9);
    w.data.reserve(s.size() * 4);
    for (int8_t v : s) w.data.append({0, static_cast<char>(v), 0, static_cast<char>(v)});
    const std::string path = dir.write("in.wav", wavfix::WavBytes(w));
    std::vector<int8_t> buf(240);
    int64_t delivered = 0;
    for (auto _ : state) {
        TinfConvVoice conv;
        conv.SetFileName(path);
        conv.Open();
        if (conv.ErrorCode != 0) {
            state.SkipWithError("cannot open");
            break;
        }
        while (conv.HasData()) {
            conv.ReadSamples(buf.data(), 240);
            delivered += 240;
        }
        benchmark::DoNotOptimize(buf.data());
    }
    state.counters["samples_per_s"] = benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadSamples)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
