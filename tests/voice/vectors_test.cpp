// Packing the reference sounds must give the reference packed files byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "voice/packer.h"

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::filesystem::path kVectors = KORVIS_SOURCE_DIR "/tests/voice/data";

TEST(ReferenceVectors, PackByteForByte) {
    if (!std::filesystem::exists(kVectors)) GTEST_SKIP() << "no reference vectors at " << kVectors;
    TempDir dir;
    int checked = 0;
    for (const auto& e : std::filesystem::directory_iterator(kVectors)) {
        if (e.path().extension() != ".wav") continue;
        auto expectedPath = e.path();
        expectedPath.replace_extension(".fvp");
        SCOPED_TRACE(e.path().filename().string());
        TinfVoice packer(3, 11025, 12);
        const std::string out = (dir / "out.fvp").string();
        ASSERT_TRUE(packer.Pack(out, e.path().string())) << packer.ErrorCode;
        const auto got = ReadAll(out);
        const auto want = ReadAll(expectedPath);
        ASSERT_EQ(got.size(), want.size());
        size_t firstDiff = 0;
        while (firstDiff < got.size() && got[firstDiff] == want[firstDiff]) ++firstDiff;
        EXPECT_EQ(firstDiff, got.size()) << "first difference at byte " << firstDiff;
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

}  // namespace
