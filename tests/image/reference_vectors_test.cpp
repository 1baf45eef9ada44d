// The reference groups were built by another hand from the same description of the image: the
// two images of each must come out byte for byte, page map included.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "image/group_build_image.h"
#include "support/image_fixture.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Gunzip(const fs::path& file) {
    std::vector<uint8_t> out;
    std::string cmd = "gzip -dc '" + file.string() + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
    pclose(p);
    return out;
}

// The first offset where two byte strings differ, for a readable failure.
std::string FirstDifference(const std::vector<uint8_t>& a, const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n && i < a.size(); ++i)
        if (a[i] != b[i]) {
            char s[96];
            std::snprintf(s, sizeof s, "first difference at 0x%06zX: expected 0x%02X, built 0x%02X", i, a[i], b[i]);
            return s;
        }
    return "sizes differ";
}

struct Variant {
    const char* name;
    BuildOptions options;
};

TEST(ReferenceVectors, BuildByteForByte) {
    const fs::path root = fs::path(KORVIS_SOURCE_DIR) / ".." / "shared" / "vectors" / "image";
    if (!fs::is_directory(root)) GTEST_SKIP() << "no reference vectors beside the source tree";
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");

    BuildOptions plain;
    BuildOptions compact;
    compact.compact = true;
    compact.substituteTatar = true;
    compact.boardsBeforeV27 = true;
    compact.isLang2 = compact.isLang3 = true;
    compact.lang2ToV23 = 3;
    const Variant variants[] = {{"plain", plain}, {"compact", compact}};

    int groups = 0;
    for (const fs::directory_entry& g : fs::directory_iterator(root)) {
        if (!fs::exists(g.path() / "group.mrg")) continue;
        ++groups;
        for (const Variant& v : variants) {
            SCOPED_TRACE(g.path().filename().string() + " " + v.name);
            TempDir dir;
            CopyReferenceGroup(g.path(), dir.path());
            RecordingPresenter mes;
            auto image = std::make_unique<CartridgeImage>();
            TGroupBuildImage builder(*image);
            builder.Options = v.options;
            ASSERT_TRUE(builder.Build((dir.path() / "group.mrg").string())) << builder.LastCode();
            EXPECT_TRUE(mes.Codes().empty());

            const std::vector<uint8_t> img = Gunzip(g.path() / (std::string("expected-") + v.name + ".img.gz"));
            const std::vector<uint8_t> map = Gunzip(g.path() / (std::string("expected-") + v.name + ".map.gz"));
            ASSERT_FALSE(img.empty());
            EXPECT_EQ(image->ImageLength(), img.size());
            const size_t n = std::min<size_t>(img.size(), image->ImageLength());
            EXPECT_TRUE(std::equal(img.begin(), img.begin() + static_cast<long>(n), image->ImageBuffer.begin()))
                << FirstDifference(img, image->ImageBuffer.data(), n);
            ASSERT_EQ(map.size(), image->PageMap.size());
            EXPECT_TRUE(map == image->PageMap) << FirstDifference(map, image->PageMap.data(), map.size());
        }
    }
    EXPECT_GT(groups, 0);
}

}  // namespace
