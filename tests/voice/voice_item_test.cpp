// The voice lookup: file names beside the source, when a packed file is made again, and what the
// operator is shown when a voice cannot be used.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/recording_presenter.h"
#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"
#include "voice/voice_item.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Gives a file the modification time `seconds` from now (negative: in the past).
void SetAge(const std::string& path, long seconds) {
    const std::time_t t = std::time(nullptr) + seconds;
    const timeval times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

constexpr long kDay = 24 * 3600;

std::string SoundFile() {
    std::vector<int8_t> s = sound::Silence(2000);
    sound::Append(s, sound::SpeechLike(8000, 5));
    return wavfix::Wav8(11025, s);
}

// A packed file no packer would make, to tell whether it was used as it is.
std::string ForeignPacked(uint8_t first, uint8_t rateCode) {
    return std::string{static_cast<char>(first), 3, static_cast<char>(rateCode), 0, 9, 9, 0};
}

class VoiceLookup : public testing::Test {
protected:
    void TearDown() override { ReleaseAllVoices(); }
    TempDir dir;
    RecordingPresenter mes;
};

TEST(VoiceFileNames, BesideTheSource) {
    struct Case {
        const char* source;
        int32_t kind;
        const char* wav;
        const char* packed;
    };
    const Case cases[] = {
        {"dir\\stop12.wav", kVoiceKindWav, "dir\\stop12.wav", "dir\\stop12_wav.fvp"},
        {"dir\\stop12.MP3", kVoiceKindMp3, "dir\\stop12_mp3.wav", "dir\\stop12_MP3.fvp"},
        {"/v/a.Mp3", kVoiceKindMp3, "/v/a_mp3.wav", "/v/a_Mp3.fvp"},
        {"/v/a.voc", kVoiceKindWav, "/v/a.voc", "/v/a_voc.fvp"},
        {"/v/noext", kVoiceKindWav, "/v/noext", "/v/noext_.fvp"},
        {"v.d\\noext", kVoiceKindWav, "v.d\\noext", "v.d\\noext_.fvp"},  // a dot in a folder is no extension
        {"a.b.wav", kVoiceKindWav, "a.b.wav", "a.b_wav.fvp"},
        {"x.mp3x", kVoiceKindWav, "x.mp3x", "x_mp3x.fvp"},
    };
    for (const Case& c : cases) {
        const VoiceFileNames n = DeriveVoiceFileNames(c.source);
        EXPECT_EQ(n.kind, c.kind) << c.source;
        EXPECT_EQ(n.wavFile, c.wav) << c.source;
        EXPECT_EQ(n.packedFile, c.packed) << c.source;
    }
}

TEST_F(VoiceLookup, PacksOnceAndSharesTheItem) {
    const std::string src = dir.write("stop1.wav", SoundFile());
    TvcVoice* v = AcquireVoice(src);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 0);
    const std::string packed = dir.str() + "/stop1_wav.fvp";
    const std::vector<uint8_t> bytes = ReadAll(packed);
    ASSERT_GT(bytes.size(), 5u);
    EXPECT_EQ(v->PackedSize, static_cast<int32_t>(bytes.size()) - 4);
    EXPECT_EQ(std::vector<uint8_t>(v->PackedHeader, v->PackedHeader + 4), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(v->PackedHandle, nullptr);  // closed until the builder opens it again
    EXPECT_EQ(v->RefCount, 1);

    // The second lookup neither packs nor checks: the packed file stays gone.
    std::filesystem::remove(packed);
    EXPECT_EQ(AcquireVoice(src), v);
    EXPECT_EQ(v->RefCount, 2);
    EXPECT_FALSE(std::filesystem::exists(packed));

    // The builder's read: missing now, so it is packed again, the same bytes.
    OpenPackedData(v);
    ASSERT_NE(v->PackedHandle, nullptr);
    std::vector<uint8_t> data(static_cast<size_t>(v->PackedSize));
    EXPECT_EQ(ReadPackedData(v, data.data(), data.size()), data.size());
    EXPECT_EQ(data, std::vector<uint8_t>(bytes.begin() + 4, bytes.end()));
    EXPECT_TRUE(mes.Codes().empty());

    ReleaseAllVoices();
    EXPECT_EQ(FirstVoice(), nullptr);
    EXPECT_EQ(AcquireVoice(""), nullptr);
}

TEST_F(VoiceLookup, PackedFileNewerThanTheSourceIsUsedUntilTheSourceChanges) {
    const std::string src = dir.write("s.wav", SoundFile());
    const std::string packed = dir.write("s_wav.fvp", ForeignPacked(32, 1));
    SetAge(src, -2 * kDay);
    SetAge(packed, -kDay);
    TvcVoice* v = AcquireVoice(src);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 0);
    EXPECT_EQ(v->PackedSize, 3);
    EXPECT_EQ(ReadAll(packed).size(), 7u);

    SetAge(src, -60);  // touched: the next build packs again
    ReleaseAllVoices();
    v = AcquireVoice(src);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Error.ErrorCode, 0);
    EXPECT_GT(ReadAll(packed).size(), 7u);
    EXPECT_EQ(v->PackedSize, static_cast<int32_t>(ReadAll(packed).size()) - 4);
    EXPECT_TRUE(mes.Codes().empty());
}

TEST_F(VoiceLookup, HeaderForms) {
    struct Case {
        uint8_t first, rateCode;
        uint8_t seenRate;
        int32_t code;
        const char* shown;  // in the message, when there is one
    };
    const Case cases[] = {
        {16, 7, 1, 0, nullptr},  // the earlier form always has rate code 1
        {32, 2, 2, 0, nullptr},
        {32, 3, 3, 2005, "(22050)"},
        {32, 6, 6, 2005, "(48000)"},
        {32, 9, 9, 2005, "(-1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.rateCode));
        mes.Clear();
        ReleaseAllVoices();
        const std::string src = dir.write("h.wav", SoundFile());
        const std::string packed = dir.write("h_wav.fvp", ForeignPacked(c.first, c.rateCode));
        SetAge(src, -2 * kDay);
        SetAge(packed, -kDay);
        TvcVoice* v = AcquireVoice(src);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->PackedHeader[2], c.seenRate);
        EXPECT_EQ(v->Error.ErrorCode, c.code);
        if (c.code == 0) {
            EXPECT_TRUE(mes.Codes().empty());
        } else {
            ASSERT_EQ(mes.Codes(), std::vector<int32_t>{c.code});
            EXPECT_NE(mes.Texts()[0].find(src), std::string::npos);
            EXPECT_NE(mes.Texts()[0].find(c.shown), std::string::npos) << mes.Texts()[0];
        }
    }
}

TEST_F(VoiceLookup, FailuresAreShownOnceAndStayWithTheItem) {
    struct Case {
        const char* name;
        std::string content;  // empty: no source file at all
        long age;
        int32_t code;
        bool namesPacked;  // the message names the packed file, else the source
    };
    const Case cases[] = {
        {"missing.wav", "", 0, 1030, false},
        {"future.wav", SoundFile(), 2 * kDay, 1035, false},
        {"text.wav", std::string(100, 'x'), -kDay, 2010, true},
        {"rate.wav", wavfix::Wav8(12000, sound::Tone(500, 50, 20)), -kDay, 2024, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mes.Clear();
        const std::string src = dir.str() + "/" + c.name;
        if (!c.content.empty()) {
            dir.write(c.name, c.content);
            SetAge(src, c.age);
        }
        TvcVoice* v = AcquireVoice(src);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->Error.ErrorCode, c.code);
        ASSERT_EQ(mes.Codes(), std::vector<int32_t>{c.code});
        const std::string packed = DeriveVoiceFileNames(src).packedFile;
        EXPECT_NE(mes.Texts()[0].find(c.namesPacked ? packed : src), std::string::npos) << mes.Texts()[0];
        // A voice that cannot be packed leaves no packed file; a future-dated one is packed all the same.
        EXPECT_EQ(std::filesystem::exists(packed), c.code == 1035);
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

        // The next lookup of the same path returns it as it is and shows nothing.
        mes.Clear();
        EXPECT_EQ(AcquireVoice(src), v);
        EXPECT_EQ(v->Error.ErrorCode, c.code);
        EXPECT_TRUE(mes.Codes().empty());
    }
}

}  // namespace
