// Opening and reading sound files: which structures open, with which rate class and step, and
// what each kind of bad file reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/wav_files.h"
#include "voice/conv_voice.h"

using wavfix::VocBytes;
using wavfix::VocSpec;
using wavfix::WavBytes;
using wavfix::WavSpec;

namespace {

std::string Bytes(size_t n, char c = '\x80') { return std::string(n, c); }

struct OpenCase {
    const char* name;
    std::string file;
    int32_t code;
    uint8_t rateClass = 0;
    int32_t step = 0;
};

WavSpec Spec(uint32_t rate, uint16_t align, uint16_t channels = 1) {
    WavSpec w;
    w.rate = rate;
    w.blockAlign = align;
    w.channels = channels;
    w.bits = static_cast<uint16_t>(8 * align / channels);
    w.data = Bytes(480);
    return w;
}

std::vector<OpenCase> OpenCases() {
    std::vector<OpenCase> c;
    c.push_back({"8000 mono 8-bit", WavBytes(Spec(8000, 1)), 0, 0, 1});
    c.push_back({"11025", WavBytes(Spec(11025, 1)), 0, 1, 1});
    c.push_back({"16000", WavBytes(Spec(16000, 1)), 0, 2, 1});
    c.push_back({"22050 keeps every second frame", WavBytes(Spec(22050, 1)), 0, 1, 2});
    c.push_back({"24000 every third", WavBytes(Spec(24000, 1)), 0, 0, 3});
    c.push_back({"32000 16-bit", WavBytes(Spec(32000, 2)), 0, 2, 4});
    c.push_back({"44100 16-bit mono: every fourth frame", WavBytes(Spec(44100, 2)), 0, 1, 8});
    c.push_back({"48000 16-bit stereo", WavBytes(Spec(48000, 4, 2)), 0, 2, 12});
    c.push_back({"12000 unsupported", WavBytes(Spec(12000, 1)), 2024});
    {
        WavSpec w = Spec(11025, 1);
        w.fmtLen = 18;
        c.push_back({"format record of 18 bytes", WavBytes(w), 0, 1, 1});
        w.fmtLen = 14;
        c.push_back({"format record of 14 bytes", WavBytes(w), 2010});
        w.fmtLen = 201;
        c.push_back({"format record of 201 bytes", WavBytes(w), 2010});
    }
    {
        WavSpec w = Spec(11025, 1);
        w.chunksBeforeData = {{"fact", "\4\0\0\0"}, {"DISP", "abcdef"}};
        c.push_back({"fmt fact DISP data", WavBytes(w), 0, 1, 1});
        w.chunksBeforeData = {{"DISP", "abc"}, {"fact", "\4\0\0\0"}};
        c.push_back({"fact after DISP is not recognised", WavBytes(w), 2010});
        w.chunksBeforeData = {{"LIST", "INFOISFT\4\0\0\0Lavf"}};
        c.push_back({"LIST before data", WavBytes(w), 2010});
    }
    {
        WavSpec w = Spec(11025, 1);
        w.blockAlign = 0;
        c.push_back({"block align 0", WavBytes(w), 2010});
    }
    {
        std::string f = WavBytes(Spec(11025, 1));
        f[0] = 'X';
        c.push_back({"not RIFF", f, 2010});
        f = WavBytes(Spec(11025, 1));
        f[12] = 'X';  // "fmt " must follow "WAVE" at once
        c.push_back({"format chunk not first", f, 2010});
    }
    {
        // A "fact" chunk that claims more than the file holds, and a "DISP" one.
        std::string f = WavBytes(Spec(11025, 1));
        std::string fact = f.substr(0, 36) + "fact" + std::string("\xff\xff\0\0", 4) + Bytes(20);
        c.push_back({"fact cannot be skipped", fact, 2010});
        std::string disp = f.substr(0, 36) + "DISP" + std::string("\xff\xff\0\0", 4) + Bytes(20);
        c.push_back({"DISP cannot be skipped", disp, 2024});
        std::string afterFact = f.substr(0, 36) + "fact" + std::string("\x02\0\0\0", 4) + Bytes(2) + "dat";
        afterFact.resize(std::max<size_t>(afterFact.size(), 46), '\0');
        afterFact = afterFact.substr(0, 46);  // the chunk after "fact" is cut off
        c.push_back({"nothing readable after fact", afterFact, 2024});
    }
    c.push_back({"shorter than 46 bytes", WavBytes(Spec(11025, 1)).substr(0, 45), 2010});
    {
        VocSpec v;
        v.data = Bytes(100);
        v.timeConstant = 131;
        c.push_back({"VOC time constant 131 is 8000 Hz", VocBytes(v), 0, 0, 1});
        v.timeConstant = 165;
        c.push_back({"VOC time constant 165 snaps to 11025", VocBytes(v), 0, 1, 1});
        v.timeConstant = 193;  // 1000000 / 63 = 15873
        c.push_back({"VOC 15873 Hz unsupported", VocBytes(v), 2024});
        v.timeConstant = 165;
        v.pack = 1;  // two bytes per frame
        c.push_back({"VOC with two bytes per frame", VocBytes(v), 0, 1, 2});
        v.pack = 0;
        v.check = 0x1234;
        c.push_back({"VOC bad check word", VocBytes(v), 2010});
        v.check = -1;
        v.version = 0x1234;
        c.push_back({"VOC version above 0x1233", VocBytes(v), 2010});
        v.version = 0x010A;
        v.blockType = 2;
        c.push_back({"VOC first block not sound data", VocBytes(v), 2001});
    }
    return c;
}

TEST(ConvVoiceOpen, StructuresRatesAndErrors) {
    TempDir dir;
    for (const OpenCase& c : OpenCases()) {
        SCOPED_TRACE(c.name);
        TinfConvVoice conv;
        conv.SetFileName(dir.write("in.wav", c.file));
        conv.Open();
        EXPECT_EQ(conv.ErrorCode, c.code);
        EXPECT_EQ(conv.IsOpen(), c.code == 0);  // every failure leaves the file closed
        if (c.code == 0) {
            EXPECT_EQ(conv.RateClass(), c.rateClass);
            EXPECT_EQ(conv.Step(), c.step);
            EXPECT_TRUE(conv.HasData());
        }
    }
}

TEST(ConvVoiceOpen, MissingFileIs1005) {
    TempDir dir;
    TinfConvVoice conv;
    conv.SetFileName((dir / "none.wav").string());
    conv.Open();
    EXPECT_EQ(conv.ErrorCode, 1005);
    EXPECT_FALSE(conv.IsOpen());
}

std::vector<int8_t> ReadAllSamples(const std::string& path, int32_t count) {
    TinfConvVoice conv;
    conv.SetFileName(path);
    conv.Open();
    EXPECT_EQ(conv.ErrorCode, 0);
    std::vector<int8_t> out(static_cast<size_t>(count));
    conv.ReadSamples(out.data(), count);
    return out;
}

TEST(ConvVoiceRead, SampleMapping) {
    TempDir dir;
    {
        WavSpec w = Spec(11025, 1);
        w.data = std::string("\x80\xff\x00\x7f\x81", 5) + Bytes(60);
        auto s = ReadAllSamples(dir.write("u8.wav", WavBytes(w)), 5);
        EXPECT_EQ(s, (std::vector<int8_t>{0, 127, -128, -1, 1}));
    }
    {
        // 8-bit stereo: the second byte of each frame, unchanged.
        WavSpec w = Spec(11025, 2, 2);
        w.data = std::string("\x10\x90\x20\x05\x30\xff", 6) + Bytes(60);
        auto s = ReadAllSamples(dir.write("u8s.wav", WavBytes(w)), 3);
        EXPECT_EQ(s, (std::vector<int8_t>{-112, 5, -1}));
    }
    {
        // 16-bit mono at 44100: the high byte of frames 0, 4, 8.
        WavSpec w = Spec(44100, 2);
        w.data.clear();
        for (int k = 0; k < 12; ++k) {
            w.data.push_back(static_cast<char>(0x55));         // low byte, dropped
            w.data.push_back(static_cast<char>(k * 10 - 60));  // high byte
        }
        w.data += Bytes(40, '\0');
        auto s = ReadAllSamples(dir.write("s16.wav", WavBytes(w)), 3);
        EXPECT_EQ(s, (std::vector<int8_t>{-60, -20, 20}));
    }
    {
        // A Creative Voice file starts its samples right after the block header.
        VocSpec v;
        v.data = std::string("\x80\x00\xff", 3) + Bytes(40);
        auto s = ReadAllSamples(dir.write("a.voc", VocBytes(v)), 3);
        EXPECT_EQ(s, (std::vector<int8_t>{0, -128, 127}));
    }
}

TEST(ConvVoiceRead, EndOfDataPadsWithZerosThenClearsHasData) {
    TempDir dir;
    WavSpec w = Spec(11025, 1);
    w.data = Bytes(100, '\xc0');  // 100 frames of 64
    TinfConvVoice conv;
    conv.SetFileName(dir.write("a.wav", WavBytes(w)));
    conv.Open();
    ASSERT_EQ(conv.ErrorCode, 0);
    std::vector<int8_t> got(240, 99);
    conv.ReadSamples(got.data(), 240);
    std::vector<int8_t> want(240, 0);
    std::fill(want.begin(), want.begin() + 100, 64);
    EXPECT_EQ(got, want);
    EXPECT_EQ(conv.Remaining(), 0);
    EXPECT_TRUE(conv.HasData());
    std::fill(got.begin(), got.end(), 99);
    conv.ReadSamples(got.data(), 240);
    EXPECT_EQ(got, std::vector<int8_t>(240, 0));
    EXPECT_FALSE(conv.HasData());
    EXPECT_EQ(conv.ErrorCode, 0);
}

TEST(ConvVoiceRead, DataChunkLongerThanTheFileEndsAtTheFileEnd) {
    TempDir dir;
    WavSpec w = Spec(11025, 1);
    w.data = Bytes(100, '\xc0');
    w.dataLen = 100000;
    TinfConvVoice conv;
    conv.SetFileName(dir.write("a.wav", WavBytes(w)));
    conv.Open();
    ASSERT_EQ(conv.ErrorCode, 0);
    std::vector<int8_t> got(240);
    conv.ReadSamples(got.data(), 240);
    EXPECT_EQ(got[99], 64);
    EXPECT_EQ(got[100], 0);
    EXPECT_EQ(conv.Remaining(), 0);
    EXPECT_EQ(conv.ErrorCode, 0);
}

}  // namespace
