// The packer's parameters, its arithmetic, and the layout of the packed files it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/sound_makers.h"
#include "support/temp_dir.h"
#include "support/wav_files.h"
#include "voice/packed_decoder.h"
#include "voice/packer.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Packs samples given as an 8-bit file; returns the packed bytes (empty on failure).
std::vector<uint8_t> PackSamples(const std::vector<int8_t>& samples, uint32_t rate = 11025) {
    TempDir dir;
    const std::string in = dir.write("in.wav", wavfix::Wav8(rate, samples));
    const std::string out = (dir / "out.fvp").string();
    TinfVoice packer(3, 11025, 12);
    EXPECT_TRUE(packer.Pack(out, in)) << packer.ErrorCode;
    return ReadAll(out);
}

struct Item {
    char kind;  // 's' silence, 'g' segment, 'e' end
    int value;  // silence units or block count
    size_t offset;
};

// The items of a packed file, checking that each segment is complete.
std::vector<Item> Items(const std::vector<uint8_t>& f) {
    std::vector<Item> items;
    size_t pos = 4;
    while (pos < f.size()) {
        const uint8_t b = f[pos];
        if (b == 0) {
            items.push_back({'e', 0, pos});
            ++pos;
            break;
        }
        if (b < 0x80) {
            items.push_back({'s', b, pos});
            ++pos;
        } else {
            items.push_back({'g', b - 0x80, pos});
            pos += 1 + static_cast<size_t>(b - 0x80) * 63;
        }
    }
    EXPECT_EQ(pos, f.size()) << "items do not end with the file";
    return items;
}

TEST(PackerParameters, ConstructorChecksInOrder) {
    struct Case {
        int32_t order, rate, depth, code;
    };
    const Case cases[] = {
        {3, 11025, 12, 0}, {4, 11025, 12, 2003}, {4, 5000, 2, 2003}, {3, 5000, 2, 2005},  {3, 11025, 2, 2004},
        {3, 11025, 41, 2004}, {3, 11025, 3, 0},  {3, 11025, 40, 0},  {3, 60000, 12, 2005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.order << " " << c.rate << " " << c.depth);
        TinfVoice p(c.order, c.rate, c.depth);
        EXPECT_EQ(p.ErrorCode, c.code);
    }
}

TEST(PackerParameters, SizesOfTheProgramsPacker) {
    TinfVoice p(3, 11025, 12);
    EXPECT_EQ(p.NominalRate(), 12000);
    EXPECT_EQ(p.BlockLen(), 48);
    EXPECT_EQ(p.CodeLen(), 240);
    EXPECT_EQ(p.Margin(), 96);
    EXPECT_EQ(p.AnalysisLen(), 432);
    EXPECT_EQ(p.StageCount(), 17);
}

TEST(PackerWindowTable, RisesFrom18To63AndIsSymmetric) {
    const std::vector<uint8_t>& w = PackerWindow(432);
    ASSERT_EQ(w.size(), 472u);
    EXPECT_EQ(w[0], 18);
    EXPECT_EQ(w[431], 18);
    EXPECT_EQ(w[215], 63);
    EXPECT_EQ(w[216], 63);
    for (size_t i = 0; i < 216; ++i) {
        EXPECT_EQ(w[i], w[431 - i]) << i;
        if (i > 0) {
            EXPECT_GE(w[i], w[i - 1]) << i;
        }
    }
    for (size_t i = 432; i < w.size(); ++i) EXPECT_EQ(w[i], 0);
    EXPECT_EQ(&PackerWindow(432), &w);  // built once, shared
}

TEST(PackerArithmetic, PredictionSumWrapsAt16Bits) {
    const int8_t c[3] = {127, 127, 127};
    EXPECT_EQ(PredictionSum(c, 127, 127, 127), -17149);  // 48387
    const int8_t d[3] = {64, 0, 0};
    EXPECT_EQ(PredictionSum(d, 100, 5, 5), 6400);
    const int8_t e[3] = {-128, 64, -1};
    EXPECT_EQ(PredictionSum(e, 127, -127, 127), static_cast<int16_t>(-128 * 127 - 64 * 127 - 127));
}

TEST(PackerArithmetic, StepAndReconstruction) {
    const int8_t zero[3] = {0, 0, 0};
    const int8_t wrap[3] = {127, 127, 127};
    struct Case {
        const int8_t* coef;
        int16_t hist;
        uint16_t step;
        uint8_t q;
        uint16_t newStep;
        int16_t y;
    };
    const Case cases[] = {
        {zero, 0, 32, 0, 32, 0},          // 48 / 2 = 24, held at the minimum
        {zero, 0, 32, 1, 48, 0},          // 48 >> 6
        {zero, 0, 32, 2, 32, -1},         // -32 >> 6 rounds down
        {zero, 0, 32, 3, 48, -1},
        {zero, 0, 1000, 1, 1500, 23},
        {zero, 0, 1000, 0, 750, 11},
        {zero, 0, 30000, 1, 32767, 127},  // 45000 capped; 32767 >> 6 = 511, limited
        {zero, 0, 30000, 3, 32767, -127},
        {zero, 0, 32767, 0, 24575, 127},
        {wrap, 127, 32, 0, 32, -127},     // -17149 + 32 = -17117, >> 6 = -268, limited
        {wrap, 127, 32767, 1, 32767, 127},  // -17149 + 32767 = 15618, >> 6 = 244, limited
        {wrap, 127, 20000, 3, 30000, 127},  // -17149 - 30000 wraps to 18387 >> 6 = 287, limited
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.step << " q " << int(c.q) << " hist " << c.hist);
        const DecodeStep d = PredictAndStep(c.coef, c.hist, c.hist, c.hist, c.step, c.q);
        EXPECT_EQ(d.step, c.newStep);
        EXPECT_EQ(d.y, c.y);
    }
}

TEST(PackerPredictor, SolvesAndLimits) {
    int8_t c[3] = {11, 22, 33};
    const int32_t flat[4] = {0, 0, 0, 0};
    EXPECT_FALSE(SolvePredictor(flat, c));
    EXPECT_EQ(c[0], 11);  // kept on failure
    // A perfectly predictable signal drives the residual energy to 0: that fails too.
    const int32_t dc[4] = {1000, 1000, 1000, 1000};
    EXPECT_FALSE(SolvePredictor(dc, c));
    EXPECT_EQ(c[2], 33);
    // An ordinary decaying correlation gives a first tap near r1/r0 and small others.
    const int32_t r[4] = {10000, 5000, 2500, 1250};
    ASSERT_TRUE(SolvePredictor(r, c));
    EXPECT_EQ(c[0], 32);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 0);
}

TEST(PackedLayout, DigitalSilenceIsRunsOfEightSampleUnits) {
    struct Case {
        size_t samples;
        std::vector<uint8_t> runs;
    };
    const Case cases[] = {
        {1000, {126}},                          // 21 level blocks, the last one partial
        {48, {6}},
        {127 * 48, {127, 127, 127, 127, 127, 127}},  // no rest byte of 0
        {127 * 48 + 1, {127, 127, 127, 127, 127, 127, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        const auto f = PackSamples(std::vector<int8_t>(c.samples, 17));  // constant: level 0
        std::vector<uint8_t> want(c.runs.size() + 5, 0);
        want[0] = 32;
        want[1] = 3;
        want[2] = 1;
        std::copy(c.runs.begin(), c.runs.end(), want.begin() + 4);
        EXPECT_EQ(f, want);
    }
}

TEST(PackedLayout, HeaderCarriesTheInputsRateClass) {
    const std::pair<uint32_t, uint8_t> cases[] = {{8000, 0}, {11025, 1}, {16000, 2}, {22050, 1}, {48000, 2}};
    for (auto [rate, code] : cases) {
        const auto f = PackSamples(std::vector<int8_t>(500, 0), rate);
        ASSERT_GE(f.size(), 4u);
        EXPECT_EQ(f[2], code) << rate;
    }
}

TEST(PackedLayout, SoundInTheFirstBlockStartsASegmentAtOnce) {
    const auto f = PackSamples(sound::Tone(2400, 100, 25));
    const auto items = Items(f);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].kind, 'g');
    EXPECT_EQ(items[0].offset, 4u);
    DecodedVoice d;
    ASSERT_EQ(DecodePackedVoice(f.data(), f.size(), d), 0);
    // The first code block begins with one level block of zeros before the sound.
    int quietMax = 0, loudMax = 0;
    for (size_t i = 0; i < 48; ++i) quietMax = std::max(quietMax, std::abs(int(d.samples[i])));
    for (size_t i = 48; i < 240; ++i) loudMax = std::max(loudMax, std::abs(int(d.samples[i])));
    EXPECT_LE(quietMax, 2);
    EXPECT_GE(loudMax, 60);
}

TEST(PackedLayout, LongSoundSplitsAt127BlocksWithoutSilence) {
    const auto f = PackSamples(sound::Tone(240 * 140, 90, 31));
    const auto items = Items(f);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0].kind, 'g');
    EXPECT_EQ(f[items[0].offset], 0xFF);
    EXPECT_EQ(items[1].kind, 'g');
    EXPECT_EQ(items[1].offset, 4u + 1 + 127 * 63);  // right after the 127th block
    EXPECT_EQ(items.back().kind, 'e');
}

TEST(PackedLayout, SilenceBetweenSoundsAlwaysGivesASilenceItem) {
    // A sound ends only when two level tests in a row find it quiet, so a gap of one level block
    // stays inside the segment; any gap that ends the sound leaves a silence item behind.
    struct Case {
        size_t gap;
        bool split;
    };
    for (const Case c : {Case{48, false}, Case{600, true}, Case{1000, true}, Case{5000, true}}) {
        SCOPED_TRACE(c.gap);
        std::vector<int8_t> s = sound::Tone(2400, 80, 20);
        sound::Append(s, sound::Silence(c.gap));
        sound::Append(s, sound::Tone(2400, 80, 20));
        sound::Append(s, sound::Silence(600));
        std::string kinds;
        for (const Item& it : Items(PackSamples(s))) kinds += it.kind;
        ASSERT_EQ(kinds[0], 'g');
        const size_t second = kinds.find('g', 1);
        EXPECT_EQ(second != std::string::npos, c.split) << kinds;
        if (second != std::string::npos) {
            EXPECT_NE(kinds.substr(1, second - 1).find('s'), std::string::npos) << kinds;
        }
    }
}

TEST(PackedRoundTrip, DecoderReproducesThePackersReconstruction) {
    TempDir dir;
    // Speech with pauses (segments after silence start afresh) and a long vowel (a segment that
    // follows another one carries on).
    std::vector<int8_t> s = sound::SpeechLike(40000, 7);
    sound::Append(s, sound::Tone(240 * 130, 70, 37));
    sound::Append(s, sound::SpeechLike(20000, 9));
    const std::string in = dir.write("in.wav", wavfix::Wav8(16000, s));
    const std::string out = (dir / "out.fvp").string();
    TinfVoice packer(3, 11025, 12);
    std::vector<int8_t> reconstruction;
    packer.SetReconstructionSink(&reconstruction);
    ASSERT_TRUE(packer.Pack(out, in));
    const auto f = ReadAll(out);
    DecodedVoice d;
    ASSERT_EQ(DecodePackedVoice(f.data(), f.size(), d), 0);
    EXPECT_EQ(d.rateCode, 2);
    ASSERT_GT(reconstruction.size(), 240u * 130);
    EXPECT_EQ(d.coded, reconstruction);
    // Silence items and code blocks together cover the input, less the look-ahead that is never
    // coded at the end, in whole level blocks.
    EXPECT_LE(d.samples.size(), s.size() + 48 * 2);
    EXPECT_GE(d.samples.size() + 96 + 48 * 3, s.size());
}

// The search that keeps paths in bits must choose every code as the stepwise one does, at every
// depth it serves, over segments that start afresh and segments that carry on, and over
// full-scale sound whose errors are the largest there are.
TEST(PackerSearch, PathBitsChooseTheCodesOfTheStepwiseSearch) {
    TempDir dir;
    std::vector<int8_t> s = sound::SpeechLike(30000, 5);
    sound::Append(s, sound::Tone(240 * 140, 127, 3.3));
    std::vector<int8_t> harsh(240 * 30);
    for (size_t i = 0; i < harsh.size(); ++i) harsh[i] = static_cast<int8_t>((i * 7919u) % 5u < 2u ? -128 : 127);
    sound::Append(s, harsh);
    sound::Append(s, sound::Silence(3000));
    sound::Append(s, sound::SpeechLike(8000, 11));
    const std::string in = dir.write("in.wav", wavfix::Wav8(11025, s));
    for (int32_t depth : {3, 4, 12, 20, TinfVoice::kMaxPathDepth}) {
        std::vector<uint8_t> bytes[2];
        std::vector<int8_t> recon[2];
        for (int stepwise = 0; stepwise < 2; ++stepwise) {
            TinfVoice packer(3, 11025, depth);
            packer.SetStepwiseSearch(stepwise == 1);
            packer.SetReconstructionSink(&recon[stepwise]);
            const std::string out = (dir / ("d" + std::to_string(depth) + "_" + std::to_string(stepwise))).string();
            ASSERT_TRUE(packer.Pack(out, in)) << depth << " " << packer.ErrorCode;
            bytes[stepwise] = ReadAll(out);
        }
        ASSERT_GT(recon[1].size(), 240u * 160) << depth;
        EXPECT_EQ(bytes[0], bytes[1]) << "depth " << depth;
        EXPECT_EQ(recon[0], recon[1]) << "depth " << depth;
    }
}

TEST(PackerThreads, OnePackerPerThreadGivesTheSameBytes) {
    TempDir dir;
    const std::string in = dir.write("in.wav", wavfix::Wav8(11025, sound::SpeechLike(60000, 3)));
    TinfVoice single(3, 11025, 12);
    ASSERT_TRUE(single.Pack((dir / "ref.fvp").string(), in));
    const auto ref = ReadAll((dir / "ref.fvp").string());
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            TinfVoice p(3, 11025, 12);
            ok[t] = p.Pack((dir / ("t" + std::to_string(t) + ".fvp")).string(), in);
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        EXPECT_TRUE(ok[t]);
        EXPECT_EQ(ReadAll((dir / ("t" + std::to_string(t) + ".fvp")).string()), ref) << t;
    }
}

TEST(PackerFailures, NothingIsLeftBehind) {
    TempDir dir;
    const std::string good = dir.write("in.wav", wavfix::Wav8(11025, sound::Tone(5000, 80, 20)));
    const std::string bad = dir.write("bad.wav", "RIFF....WAVEfmt " + std::string(40, '\0'));
    struct Case {
        const char* name;
        std::string in, out;
        int32_t code;
    };
    const Case cases[] = {
        {"unreadable format", bad, (dir / "a.fvp").string(), 2010},
        {"missing input", (dir / "none.wav").string(), (dir / "b.fvp").string(), 1005},
        {"folder does not exist", good, (dir / "no" / "c.fvp").string(), 2009},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TinfVoice p(3, 11025, 12);
        EXPECT_FALSE(p.Pack(c.out, c.in));
        EXPECT_EQ(p.ErrorCode, c.code);
    }
    // Only the two inputs remain: no output, no temporary file.
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 2u);
    // And the packer is usable again afterwards.
    TinfVoice p(3, 11025, 12);
    EXPECT_TRUE(p.Pack((dir / "d.fvp").string(), good));
    EXPECT_EQ(p.ErrorCode, 0);
}

}  // namespace
