// Builds whose voices still need packing: packing them side by side first must give the image a
// one-at-a-time build gives, and the demo group must build from its sources.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/group_build_image.h"
#include "image/image_inspector.h"
#include "image/voice_packing.h"
#include "support/image_fixture.h"
#include "support/recording_presenter.h"
#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"

namespace fs = std::filesystem;

namespace {

// A group of two routes whose voices are real 8-bit WAV files without packed files.
std::string WriteUnpackedGroup(const fs::path& folder) {
    ImageGroupFixture group(folder);
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка>", "voice\\bell.wav", "<Следующая остановка>"}}});
    group.AddTemplate(2, "E", {{"*", {"<Эта остановка>"}}});
    group.AddRoute("a", 3, "T");
    group.AddRoute("b", 2, "T");
    group.routes[0].stops.back().templateName = "E";
    group.routes[1].stops.back().templateName = "E";
    std::string file = group.Write();
    // Replace the fixture's packed placeholders by sources that must be packed.
    uint32_t seed = 1;
    for (const fs::directory_entry& e : fs::directory_iterator(folder / "voice")) {
        if (e.path().extension() == ".fvp") fs::remove(e.path());
    }
    std::vector<fs::path> sources;
    for (const fs::directory_entry& e : fs::directory_iterator(folder / "voice")) sources.push_back(e.path());
    sources.push_back(folder / "voice" / "bell.wav");
    for (const fs::path& p : sources) {
        const std::string wav = wavfix::Wav8(11025, sound::SpeechLike(4000 + 500 * seed, seed));
        std::ofstream(p, std::ios::binary | std::ios::trunc).write(wav.data(), static_cast<std::streamsize>(wav.size()));
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(1));
        ++seed;
    }
    return file;
}

std::map<std::string, fs::file_time_type> PackedFiles(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> packed;
    for (const fs::directory_entry& e : fs::directory_iterator(folder / "voice"))
        if (e.path().extension() == ".fvp") packed[e.path().filename().string()] = e.last_write_time();
    return packed;
}

TEST(PackingBuild, PackingSideBySideGivesTheImageOfASerialBuild) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");
    TempDir serialDir, parallelDir;
    const std::string serialGroup = WriteUnpackedGroup(serialDir.path());
    const std::string parallelGroup = WriteUnpackedGroup(parallelDir.path());
    ASSERT_EQ(GroupVoiceFiles(parallelGroup).size(), 8u);  // 2 route voices, 5 stop voices, the bell

    RecordingPresenter mes;
    auto serial = std::make_unique<CartridgeImage>();
    {
        TGroupBuildImage builder(*serial);
        builder.Options.packInParallel = false;
        ASSERT_TRUE(builder.Build(serialGroup)) << builder.LastCode();
    }

    PackGroupVoices(parallelGroup, 2);
    const auto packed = PackedFiles(parallelDir.path());
    EXPECT_EQ(packed.size(), 8u);
    auto parallel = std::make_unique<CartridgeImage>();
    {
        TGroupBuildImage builder(*parallel);
        builder.Options.packInParallel = false;
        ASSERT_TRUE(builder.Build(parallelGroup)) << builder.LastCode();
    }
    EXPECT_EQ(PackedFiles(parallelDir.path()), packed) << "the build packed again";
    EXPECT_TRUE(mes.Codes().empty());

    EXPECT_EQ(parallel->ImageEnd, serial->ImageEnd);
    EXPECT_TRUE(parallel->ImageBuffer == serial->ImageBuffer);
    EXPECT_TRUE(parallel->PageMap == serial->PageMap);
    EXPECT_EQ(PackedFiles(serialDir.path()).size(), 8u);

    // The same through the build's own side-by-side packing, in a fresh copy.
    TempDir thirdDir;
    const std::string third = WriteUnpackedGroup(thirdDir.path());
    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    builder.Options.packThreads = 3;
    ASSERT_TRUE(builder.Build(third)) << builder.LastCode();
    EXPECT_TRUE(image->ImageBuffer == serial->ImageBuffer);
}

TEST(PackingBuild, DemoGroupBuildsWithoutAMessage) {
    const fs::path demo = fs::path(KORVIS_SOURCE_DIR) / "examples" / "demo";
    ASSERT_TRUE(fs::exists(demo / "demo.mrg"));
    TempDir dir;
    fs::copy(demo, dir.path(), fs::copy_options::recursive);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.path()))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);

    for (int variant : {0, 3}) {
        SCOPED_TRACE(variant);
        RecordingPresenter mes;
        auto image = std::make_unique<CartridgeImage>();
        TGroupBuildImage builder(*image);
        builder.Options.isLang2 = true;
        builder.Options.lang2ToV23 = variant;
        ASSERT_TRUE(builder.Build((dir.path() / "demo.mrg").string())) << builder.LastCode();
        EXPECT_TRUE(mes.Codes().empty());
        const InspectedImage im = InspectImage(image->ImageBuffer.data(), image->ImageBuffer.size());
        EXPECT_TRUE(im.problems.empty()) << im.problems.front();
        ASSERT_GE(im.routes.size(), 2u);
        for (const InspectedRoute& r : im.routes) EXPECT_GT(r.eventCount, 0) << r.nameUtf8;
        // The VOC and the MP3 voice are among the voices placed.
        EXPECT_EQ(im.voices.size(), GroupVoiceFiles((dir.path() / "demo.mrg").string()).size());
        EXPECT_TRUE(fs::exists(dir.path() / "voice" / "terminal_voc.fvp"));
        EXPECT_TRUE(fs::exists(dir.path() / "voice" / "thanks_mp3.fvp"));
        EXPECT_LT(image->ImageLength(), 2u * 1024 * 1024);
    }
}

}  // namespace
