// Decoding packed voice files: items, segment continuity and malformed files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "voice/packed_decoder.h"

namespace {

std::vector<uint8_t> Block(int8_t c0, int8_t c1, int8_t c2, uint8_t codeByte) {
    std::vector<uint8_t> b = {static_cast<uint8_t>(c0), static_cast<uint8_t>(c1), static_cast<uint8_t>(c2)};
    b.insert(b.end(), 60, codeByte);
    return b;
}

std::vector<uint8_t> File(std::initializer_list<std::vector<uint8_t>> parts, uint8_t first = 32, uint8_t rate = 1) {
    std::vector<uint8_t> f = {first, 3, rate, 0};
    for (const auto& p : parts) f.insert(f.end(), p.begin(), p.end());
    return f;
}

std::vector<uint8_t> Seg(uint8_t blocks) { return {static_cast<uint8_t>(0x80 + blocks)}; }

TEST(PackedDecoder, SilenceItemsAreEightSampleUnits) {
    const auto f = File({{5, 127}, {0}});
    DecodedVoice d;
    ASSERT_EQ(DecodePackedVoice(f.data(), f.size(), d), 0);
    EXPECT_EQ(d.samples, std::vector<int8_t>(132 * 8, 0));
    EXPECT_TRUE(d.coded.empty());
}

TEST(PackedDecoder, SegmentAfterSegmentCarriesOnAndSilenceResets) {
    // Codes 1 (0b01010101) make the step grow to its limit within the first block; a following
    // block of codes 0 with zero coefficients then starts from the large step, unless silence
    // came between, which starts it again at 32.
    const auto up = Block(64, 0, 0, 0x55);
    const auto flat = Block(0, 0, 0, 0x00);
    const auto direct = File({Seg(1), up, Seg(1), flat, {0}});
    const auto split = File({Seg(1), up, {1}, Seg(1), flat, {0}});
    DecodedVoice a, b;
    ASSERT_EQ(DecodePackedVoice(direct.data(), direct.size(), a), 0);
    ASSERT_EQ(DecodePackedVoice(split.data(), split.size(), b), 0);
    ASSERT_EQ(a.coded.size(), 480u);
    ASSERT_EQ(b.coded.size(), 480u);
    EXPECT_EQ(a.coded[239], 127);
    EXPECT_EQ(a.coded[240], 127);  // 32767 * 3 / 2 / 2 = 24575, >> 6, limited
    EXPECT_EQ(b.coded[240], 0);    // step 32, >> 6
    EXPECT_EQ(b.samples.size(), 488u);
}

TEST(PackedDecoder, HeaderForms) {
    struct Case {
        uint8_t first, rate, want;
    };
    for (const Case c : {Case{32, 0, 0}, Case{32, 2, 2}, Case{16, 2, 1}, Case{32, 5, 5}}) {
        const auto f = File({{0}}, c.first, c.rate);
        DecodedVoice d;
        EXPECT_EQ(DecodePackedVoice(f.data(), f.size(), d), 0);
        EXPECT_EQ(d.rateCode, c.want) << int(c.first) << " " << int(c.rate);
    }
}

TEST(PackedDecoder, MalformedFilesAreRefused) {
    const auto block = Block(64, 0, 0, 0x1B);
    auto cut = File({Seg(2), block, block, {0}});
    cut.resize(cut.size() - 10);
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {32, 3, 1, 0},                   // no items at all
        File({{5, 6}}),                  // no closing 0x00
        File({Seg(1), {1, 2, 3}}),       // a block cut off
        cut,
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        DecodedVoice d;
        EXPECT_EQ(DecodePackedVoice(bad[i].data(), bad[i].size(), d), 2010) << i;
    }
}

}  // namespace
