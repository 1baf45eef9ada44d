// Building cartridge images: a rebuild of a full-size group whose voices are packed, the first
// build of the same group with its voices packed on one and on two cores, and the demo group.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "image/group_build_image.h"
#include "image/voice_packing.h"
#include "messages/show_mes.h"
#include "support/image_fixture.h"
#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"

namespace fs = std::filesystem;

namespace {

// 40 routes of 25 stops, one voice per stop: the display area is then nearly full (it is the
// first limit such a group meets), the table segment more than half.
constexpr int kRoutes = 40;
constexpr int kStops = 25;

class QuietPresenter : public MesPresenter {
public:
    int Present(const MesRequest&) override { return 1; }
};

std::string WriteFullGroup(const fs::path& folder, int32_t packedVoiceSize) {
    ImageGroupFixture group(folder);
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка>", "<Пауза> 200мс.", "<Следующая остановка>"}}});
    group.AddTemplate(2, "E", {{"*", {"<Эта остановка>"}}});
    for (int r = 0; r < kRoutes; ++r) {
        RouteDescription& route = group.AddRoute("R" + std::to_string(r), kStops, "T", packedVoiceSize);
        route.stops.back().templateName = "E";
    }
    return group.Write();
}

// The same group with WAV sources that still have to be packed.
std::string WriteUnpackedFullGroup(const fs::path& folder) {
    std::string file = WriteFullGroup(folder, 4);
    uint32_t seed = 1;
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const fs::directory_entry& e : fs::directory_iterator(folder / "voice")) {
        if (e.path().extension() == ".fvp") {
            fs::remove(e.path());
            continue;
        }
        const std::string wav = wavfix::Wav8(11025, sound::SpeechLike(6000, seed++));
        std::ofstream(e.path(), std::ios::binary | std::ios::trunc)
            .write(wav.data(), static_cast<std::streamsize>(wav.size()));
        fs::last_write_time(e.path(), past);
    }
    return file;
}

void RemovePacked(const fs::path& folder) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder))
        if (e.path().extension() == ".fvp" || e.path().filename().string().ends_with("_mp3.wav"))
            fs::remove(e.path());
}

void BM_RebuildFullGroupFromPackedVoices(benchmark::State& state) {
    QuietPresenter quiet;
    MesPresenter* previous = SetMesPresenter(&quiet);
    TempDir dir;
    const std::string group = WriteFullGroup(dir.path(), 5000);
    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    for (auto _ : state) {
        if (!builder.Build(group)) {
            state.SkipWithError(("build failed with " + std::to_string(builder.LastCode()) + ", Tab2 " +
                                 std::to_string(builder.DisplaySize)).c_str());
            break;
        }
    }
    state.counters["Tab1"] = builder.TableSize;
    state.counters["Tab2"] = builder.DisplaySize;
    state.counters["voice_MB"] = builder.VoiceBytes / 1e6;
    SetMesPresenter(previous);
}
BENCHMARK(BM_RebuildFullGroupFromPackedVoices)->Unit(benchmark::kMillisecond);

void BM_FirstBuildOfFullGroup(benchmark::State& state) {
    QuietPresenter quiet;
    MesPresenter* previous = SetMesPresenter(&quiet);
    TempDir dir;
    const std::string group = WriteUnpackedFullGroup(dir.path());
    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    builder.Options.packThreads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RemovePacked(dir.path());
        state.ResumeTiming();
        if (!builder.Build(group)) {
            state.SkipWithError(("build failed with " + std::to_string(builder.LastCode())).c_str());
            break;
        }
    }
    state.counters["voices"] = static_cast<double>(builder.Voices.size());
    SetMesPresenter(previous);
}
BENCHMARK(BM_FirstBuildOfFullGroup)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

fs::path CopyDemo(const TempDir& dir) {
    fs::copy(fs::path(KORVIS_SOURCE_DIR) / "examples" / "demo", dir.path(), fs::copy_options::recursive);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.path()))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
    return dir.path() / "demo.mrg";
}

void BM_BuildDemoGroup(benchmark::State& state) {
    TempDir dir;
    const std::string group = CopyDemo(dir).string();
    PackGroupVoices(group, 0);
    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    builder.Options.isLang2 = true;
    builder.Options.lang2ToV23 = 3;
    for (auto _ : state) {
        if (!builder.Build(group)) {
            state.SkipWithError(("build failed with " + std::to_string(builder.LastCode())).c_str());
            break;
        }
    }
}
BENCHMARK(BM_BuildDemoGroup)->Unit(benchmark::kMillisecond);

void BM_PackDemoVoices(benchmark::State& state) {
    TempDir dir;
    const std::string group = CopyDemo(dir).string();
    for (auto _ : state) {
        state.PauseTiming();
        RemovePacked(dir.path());
        state.ResumeTiming();
        PackGroupVoices(group, static_cast<unsigned>(state.range(0)));
    }
}
BENCHMARK(BM_PackDemoVoices)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
