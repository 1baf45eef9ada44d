// The route groups of the reference vectors were written by another hand from the same formats:
// every one of their description files must read without a fault.
#include <filesystem>

#include "description_fixture.h"

namespace {

using ReferenceGroupsTest = DescriptionTest;

TEST_F(ReferenceGroupsTest, EveryFileReads) {
    const std::filesystem::path root = std::filesystem::path(KORVIS_SOURCE_DIR) / ".." / "shared" / "vectors" / "image";
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no reference vectors beside the source tree";
    int groups = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        const std::filesystem::path mrg = entry.path() / "group.mrg";
        if (!std::filesystem::exists(mrg)) continue;
        SCOPED_TRACE(mrg.string());
        ++groups;
        ClearTables();
        TvcGroupLine* g = OpenGroup(mrg.string());
        ASSERT_TRUE(LoadGroup(g));
        ASSERT_GE(g->RouteCount, 1);
        TvcLine* previous = nullptr;
        for (const std::string& file : g->RouteFiles) {
            SCOPED_TRACE(file);
            TvcLine* r = OpenRoute(file, previous);
            ASSERT_TRUE(LoadRoute(r));
            EXPECT_GE(r->StopCount, 1);
            ASSERT_NE(r->Template, nullptr);
            // The template set must have read in full, and every voice it names must be there.
            EXPECT_TRUE(LoadTemplate(r->Template));
            for (const TvcTemplItem& item : r->Template->Items) {
                if (item.TextFile) {
                    EXPECT_TRUE(FindNativePath(*item.TextFile).has_value()) << *item.TextFile;
                }
            }
            for (const TvcStop& s : r->Stops) {
                if (!s.VoiceName[0]->empty()) {
                    EXPECT_TRUE(FindNativePath(*s.VoiceFile[0]).has_value()) << *s.VoiceFile[0];
                }
            }
            previous = r;
        }
    }
    EXPECT_GT(groups, 0);
    EXPECT_TRUE(mes.Codes().empty());
}

}  // namespace
