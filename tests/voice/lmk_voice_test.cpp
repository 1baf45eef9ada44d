// lmk pack and lmk unpack as an operator runs them: the files they write, and the catalogue
// message with a nonzero exit status when they cannot.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"
#include "voice/packed_decoder.h"
#include "voice/packer.h"

namespace {

const std::string kLmk = KORVIS_BINARY_DIR "/src/app/lmk";

std::vector<uint8_t> ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result {
    int status;
    std::string err;
};

Result Lmk(const TempDir& dir, const std::string& args) {
    const std::string errFile = (dir / "stderr.txt").string();
    // NOLINTNEXTLINE(concurrency-mt-unsafe): these tests start no threads of their own
    const int rc = std::system((kLmk + " " + args + " 2>'" + errFile + "' >/dev/null").c_str());
    const std::vector<uint8_t> err = ReadAll(errFile);
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, std::string(err.begin(), err.end())};
}

class LmkVoice : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kLmk)) GTEST_SKIP() << "lmk not built at " << kLmk;
    }
    std::string Path(const char* name) const { return (dir / name).string(); }
    TempDir dir;
};

TEST_F(LmkVoice, PackThenUnpackGivesWhatTheInformerPlays) {
    std::vector<int8_t> s = sound::Silence(1000);
    sound::Append(s, sound::SpeechLike(6000, 3));
    const std::string wav = dir.write("in.wav", wavfix::Wav8(22050, s));
    const Result packed = Lmk(dir, "pack '" + wav + "' -o '" + Path("out.fvp") + "'");
    ASSERT_EQ(packed.status, 0) << packed.err;

    TinfVoice packer(3, 11025, 12);
    ASSERT_TRUE(packer.Pack(Path("ref.fvp"), wav));
    const std::vector<uint8_t> fvp = ReadAll(Path("out.fvp"));
    EXPECT_EQ(fvp, ReadAll(Path("ref.fvp")));

    const Result unpacked = Lmk(dir, "unpack '" + Path("out.fvp") + "' -o '" + Path("back.wav") + "'");
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    DecodedVoice voice;
    ASSERT_EQ(DecodePackedVoice(fvp.data(), fvp.size(), voice), 0);
    const std::vector<uint8_t> back = ReadAll(Path("back.wav"));
    ASSERT_EQ(back.size(), 46 + voice.samples.size());
    EXPECT_EQ(ReadLe32(back.data() + 24), 11025u);  // 22050 Hz packs as every second frame
    EXPECT_EQ(ReadLe16(back.data() + 32), 1);
    for (size_t i = 0; i < voice.samples.size(); ++i)
        ASSERT_EQ(back[46 + i], static_cast<uint8_t>(voice.samples[i]) ^ 0x80) << i;
}

TEST_F(LmkVoice, FailuresShowTheCatalogueMessage) {
    dir.write("bad.wav", std::string(100, 'x'));
    dir.write("bad.fvp", std::string("\x20\x03\x01\x00\x82", 5));
    dir.write("bad.mp3", std::string(3000, 'z'));
    struct Case {
        std::string args;
        const char* message;  // the start of the line on stderr
        std::string names;    // the file it names
    };
    const Case cases[] = {
        {"pack '" + Path("none.wav") + "' -o '" + Path("o.fvp") + "'", "№1005:", Path("none.wav")},
        {"pack '" + Path("bad.wav") + "' -o '" + Path("o.fvp") + "'", "№2010:", Path("bad.wav")},
        {"pack '" + Path("bad.mp3") + "' -o '" + Path("o.fvp") + "'", "№2010:", Path("bad.mp3")},
        {"pack '" + Path("bad.wav") + "' -o '" + Path("none/o.fvp") + "'", "№2010:", Path("bad.wav")},
        {"unpack '" + Path("none.fvp") + "' -o '" + Path("o.wav") + "'", "№1005:", Path("none.fvp")},
        {"unpack '" + Path("bad.fvp") + "' -o '" + Path("o.wav") + "'", "№2010:", Path("bad.fvp")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = Lmk(dir, c.args);
        EXPECT_NE(r.status, 0);
        // libmpg123 may add notes of its own to stderr.
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("o.fvp")));
    EXPECT_FALSE(std::filesystem::exists(Path("o.wav")));

    const std::string wav = dir.write("ok.wav", wavfix::Wav8(11025, sound::Tone(3000, 60, 30)));
    const Result noFolder = Lmk(dir, "pack '" + wav + "' -o '" + Path("none/o.fvp") + "'");
    EXPECT_NE(noFolder.status, 0);
    EXPECT_EQ(noFolder.err.rfind("№2009:", 0), 0u) << noFolder.err;
    EXPECT_EQ(Lmk(dir, "pack '" + wav + "'").status, 2);  // no output named
}

}  // namespace
