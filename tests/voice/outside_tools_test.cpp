// Sound files made by real tools (sox, lame, espeak-ng): they open with the right rate class and
// step, pack, and the packed voice decodes to what the packer reconstructed. MP3 files go through
// the decoder first, as a voice item does with them.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"
#include "voice/conv_voice.h"
#include "voice/mp3_decode.h"
#include "voice/packed_decoder.h"
#include "voice/packer.h"
#include "voice/voice_item.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Have(const char* tool) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): these tests start no threads of their own
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

bool Shell(const std::string& command) {
    return std::system(  // NOLINT(concurrency-mt-unsafe): no other thread runs here
        (command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Packs `in` and checks the packed file against the packer's own reconstruction.
void PackAndCheck(const std::string& in, uint8_t rateCode, bool sound = true) {
    TempDir out;
    const std::string fvp = (out / "out.fvp").string();
    TinfVoice packer(3, 11025, 12);
    std::vector<int8_t> recon;
    packer.SetReconstructionSink(&recon);
    ASSERT_TRUE(packer.Pack(fvp, in)) << packer.ErrorCode;
    const std::vector<uint8_t> bytes = ReadAll(fvp);
    DecodedVoice voice;
    ASSERT_EQ(DecodePackedVoice(bytes.data(), bytes.size(), voice), 0);
    EXPECT_EQ(voice.rateCode, rateCode);
    EXPECT_EQ(!recon.empty(), sound) << "coded samples: " << recon.size();
    EXPECT_EQ(voice.coded, recon);
}

TEST(OutsideTools, SoxFiles) {
    if (!Have("sox")) GTEST_SKIP() << "sox not installed";
    struct Case {
        int rate, bits, channels;
        uint8_t rateClass;
        int32_t step;
    };
    const Case cases[] = {
        {8000, 8, 1, 0, 1},   {11025, 16, 1, 1, 2}, {16000, 8, 2, 2, 2},  {22050, 16, 2, 1, 8},
        {24000, 8, 1, 0, 3},  {32000, 16, 1, 2, 4}, {44100, 16, 2, 1, 16}, {48000, 8, 1, 2, 3},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bit " + std::to_string(c.channels) + " ch");
        const std::string wav = (dir / "in.wav").string();
        ASSERT_TRUE(Shell("sox -n -r " + std::to_string(c.rate) + " -b " + std::to_string(c.bits) + " -c " +
                        std::to_string(c.channels) + " " + Q(wav) + " synth 0.4 sine 300-900 vol 0.8 pad 0.1 0.1"));
        TinfConvVoice conv;
        conv.SetFileName(wav);
        conv.Open();
        ASSERT_EQ(conv.ErrorCode, 0);
        EXPECT_EQ(conv.RateClass(), c.rateClass);
        EXPECT_EQ(conv.Step(), c.step);
        conv.Close();
        PackAndCheck(wav, c.rateClass);
    }
}

TEST(OutsideTools, SoxCreativeVoiceFile) {
    if (!Have("sox")) GTEST_SKIP() << "sox not installed";
    TempDir dir;
    const std::string voc = (dir / "in.voc").string();
    ASSERT_TRUE(Shell("sox -n -r 8000 -b 8 -c 1 " + Q(voc) + " synth 0.5 sine 400 pad 0.1 0"));
    TinfConvVoice conv;
    conv.SetFileName(voc);
    conv.Open();
    ASSERT_EQ(conv.ErrorCode, 0);
    EXPECT_EQ(conv.SampleRate(), 8000u);
    EXPECT_EQ(conv.RateClass(), 0);
    conv.Close();
    PackAndCheck(voc, 0);
}

TEST(OutsideTools, EspeakSpeech) {
    if (!Have("espeak-ng")) GTEST_SKIP() << "espeak-ng not installed";
    TempDir dir;
    const std::string wav = (dir / "speech.wav").string();
    ASSERT_TRUE(Shell("espeak-ng -v ru -w " + Q(wav) + " 'Следующая остановка: Площадь Тукая'"));
    PackAndCheck(wav, 1);  // 22050 Hz, every second frame
}

// The decoded file's header fields and data size.
struct Wav8Header {
    uint32_t riffSize, rate, dataSize;
    uint16_t channels, align, bits;
};
Wav8Header ReadHeader(const std::vector<uint8_t>& f) {
    return {ReadLe32(f.data() + 4), ReadLe32(f.data() + 24), ReadLe32(f.data() + 42),
            ReadLe16(f.data() + 22), ReadLe16(f.data() + 32), ReadLe16(f.data() + 34)};
}

TEST(OutsideTools, LameMp3Decoding) {
    if (!Have("sox") || !Have("lame")) GTEST_SKIP() << "sox or lame not installed";
    TempDir dir;
    struct Case {
        int rate, channels;
        const char* left;
        const char* right;
        bool leftSilent;
    };
    const Case cases[] = {
        {22050, 1, "sine 500", nullptr, false},
        {44100, 2, "sine 500", "sine 0", false},
        {44100, 2, "sine 0", "sine 500", true},  // only the first channel counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " " + c.left);
        const std::string wav = (dir / "src.wav").string();
        const std::string mp3 = (dir / "src.mp3").string();
        const std::string out = (dir / "src_mp3.wav").string();
        std::string synth = "sox -n -r " + std::to_string(c.rate) + " -b 16 -c " + std::to_string(c.channels) + " " +
                            Q(wav) + " synth 0.5 " + c.left;
        if (c.right) synth += std::string(" ") + c.right;
        ASSERT_TRUE(Shell(synth));
        ASSERT_TRUE(Shell(std::string("lame --quiet ") + (c.channels == 1 ? "-m m " : "-m s ") + Q(wav) + " " + Q(mp3)));
        ASSERT_EQ(DecodeMp3ToWav(mp3, out), 0);
        const std::vector<uint8_t> f = ReadAll(out);
        ASSERT_GE(f.size(), 46u);
        const Wav8Header h = ReadHeader(f);
        EXPECT_EQ(h.channels, c.channels);
        EXPECT_EQ(h.rate, static_cast<uint32_t>(c.rate));
        EXPECT_EQ(h.align, 1);
        EXPECT_EQ(h.bits, 8);
        EXPECT_EQ(h.dataSize, f.size() - 46);
        EXPECT_EQ(h.riffSize, h.dataSize + 38);
        // One byte per frame: at least the half second that went in (the encoder pads).
        EXPECT_GE(h.dataSize, static_cast<uint32_t>(c.rate / 2));
        EXPECT_LT(h.dataSize, static_cast<uint32_t>(c.rate / 2 + 4 * 1152));
        int loudest = 0;
        for (size_t i = 46; i < f.size(); ++i) loudest = std::max(loudest, std::abs(static_cast<int>(f[i]) - 128));
        if (c.leftSilent)
            EXPECT_LE(loudest, 1);
        else
            EXPECT_GT(loudest, 40);
        PackAndCheck(out, 1, !c.leftSilent);
    }
}

TEST(OutsideTools, Mp3ThatCannotBeDecodedGivesNoWavFile) {
    TempDir dir;
    const std::string out = (dir / "x_mp3.wav").string();
    EXPECT_EQ(DecodeMp3ToWav((dir / "none.mp3").string(), out), -1);
    EXPECT_EQ(DecodeMp3ToWav(dir.write("text.mp3", std::string(4000, 'x')), out), -1);
    EXPECT_FALSE(std::filesystem::exists(out));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(Mp3Decoding, SampleToByte) {
    const struct {
        short sample;
        unsigned char byte;
    } cases[] = {{0, 0x80}, {32767, 0xFF}, {-32768, 0x00}, {-1, 0x7F}, {255, 0x80}, {256, 0x81}, {-256, 0x7F}, {-257, 0x7E}};
    for (const auto& c : cases) EXPECT_EQ(Mp3SampleToWavByte(c.sample), c.byte) << c.sample;
}

class Mp3Voices : public testing::Test {
protected:
    void TearDown() override { ReleaseAllVoices(); }
    TempDir dir;
    RecordingPresenter mes;
};

TEST_F(Mp3Voices, DecodedOnceThenPackedFromTheWavForm) {
    if (!Have("sox") || !Have("lame")) GTEST_SKIP() << "sox or lame not installed";
    const std::string wav = (dir / "tone.wav").string();
    const std::string mp3 = (dir / "stop.MP3").string();
    ASSERT_TRUE(Shell("sox -n -r 22050 -b 16 -c 1 " + Q(wav) + " synth 0.5 sine 440 pad 0.1 0"));
    ASSERT_TRUE(Shell("lame --quiet -m m " + Q(wav) + " " + Q(mp3)));
    const std::time_t dayAgo = std::time(nullptr) - 24 * 3600;
    const timeval times[2] = {{dayAgo, 0}, {dayAgo, 0}};
    ASSERT_EQ(utimes(mp3.c_str(), times), 0);
    TvcVoice* v = AcquireVoice(mp3);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 0);
    EXPECT_EQ(v->Kind, kVoiceKindMp3);
    const std::string decoded = (dir / "stop_mp3.wav").string();
    const std::string packed = (dir / "stop_MP3.fvp").string();
    ASSERT_TRUE(std::filesystem::exists(decoded));
    ASSERT_TRUE(std::filesystem::exists(packed));
    EXPECT_EQ(v->PackedHeader[2], 1);
    EXPECT_TRUE(mes.Codes().empty());

    // A WAV form newer than the MP3 is packed as it is, not decoded again.
    const std::vector<uint8_t> replaced = ReadAll(wav);  // 16-bit, a different file from the decoder's
    std::ofstream(decoded, std::ios::binary).write(reinterpret_cast<const char*>(replaced.data()),
                                                   static_cast<std::streamsize>(replaced.size()));
    std::filesystem::remove(packed);
    ReleaseAllVoices();
    v = AcquireVoice(mp3);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 0);
    EXPECT_EQ(ReadAll(decoded), replaced);
    EXPECT_TRUE(std::filesystem::exists(packed));
}

TEST_F(Mp3Voices, BrokenMp3FailsAtThePacking) {
    const std::string mp3 = dir.write("bad.mp3", std::string(3000, 'z'));
    TvcVoice* v = AcquireVoice(mp3);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 1005);
    ASSERT_EQ(mes.Codes(), std::vector<int32_t>{1005});
    EXPECT_NE(mes.Texts()[0].find(dir.str() + "/bad_mp3.fvp"), std::string::npos) << mes.Texts()[0];
}

}  // namespace
