#include "description_fixture.h"

namespace {

using GroupFileTest = DescriptionTest;

TEST_F(GroupFileTest, LoadOutcomes) {
    const std::string header = Cp(StandardGroupHeader());
    struct Case {
        const char* what;
        std::vector<std::string> records;
        bool ok;
        std::vector<std::string> routeNames;
    };
    const Case cases[] = {
        {"header and title only", {header, "Title"}, true, {}},
        {"two routes", {header, "T", "Count=2", "a.lin", "b.lin"}, true, {"a.lin", "b.lin"}},
        {"no records", {}, false, {}},
        {"header without title", {header}, false, {}},
        {"Count=0", {header, "T", "Count=0", "a.lin"}, false, {}},
        {"Count=-2", {header, "T", "Count=-2", "a.lin"}, false, {}},
        {"Count=x1", {header, "T", "Count=x1", "a.lin"}, false, {}},
        {"prefix alone", {header, "T", "Count="}, false, {}},
        {"lower-case prefix", {header, "T", "count=3", "a", "b", "c"}, false, {}},
        {"fewer route records than counted", {header, "T", "Count=3", "a.lin", "b.lin"}, false, {"a.lin", "b.lin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearTables();
        TvcGroupLine* g = OpenGroup(File("g.mrg", Records(c.records)));
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(LoadGroup(g), c.ok);
        EXPECT_EQ(g->RouteNames, c.routeNames);
        EXPECT_EQ(g->RouteCount, static_cast<int32_t>(c.routeNames.size()));
        EXPECT_EQ(g->RouteFiles.size(), c.routeNames.size());
    }
    EXPECT_TRUE(mes.Codes().empty());  // the build reports group failures, not the reader
}

TEST_F(GroupFileTest, RoundTripWithResolvedNames) {
    GroupDescription d;
    d.title = "Городские маршруты";
    d.routes = {"r1.lin", "маршруты\\r2.lin", "..\\other\\r3.lin"};
    const std::string path = (dir / "g.mrg").string();
    ASSERT_TRUE(WriteGroupFile(path, d));

    TvcGroupLine* g = OpenGroup(path);
    ASSERT_TRUE(LoadGroup(g));
    EXPECT_EQ(g->HeaderText, Cp(StandardGroupHeader()));
    EXPECT_EQ(g->Title, Cp(d.title));
    EXPECT_EQ(g->BaseDir, dir.str() + "\\");
    EXPECT_EQ(g->RouteNames, d.routes);  // file names come out as UTF-8
    ASSERT_EQ(g->RouteFiles.size(), 3u);
    EXPECT_EQ(g->RouteFiles[0], dir.str() + "\\r1.lin");
    EXPECT_EQ(NativePath(g->RouteFiles[1]), dir.str() + "/маршруты/r2.lin");
    EXPECT_EQ(NativePath(g->RouteFiles[2]), dir.path().parent_path().string() + "/other/r3.lin");
}

TEST_F(GroupFileTest, LongHeaderKeepsItsFirst59Characters) {
    const std::string header(200, 'h');
    TvcGroupLine* g = OpenGroup(File("g.mrg", Records({header, "T", "Count=1", "a.lin"})));
    ASSERT_TRUE(LoadGroup(g));
    EXPECT_EQ(g->HeaderText, std::string(59, 'h'));
}

TEST_F(GroupFileTest, EveryLoadReadsTheFileAnew) {
    const std::string header = Cp(StandardGroupHeader());
    const std::string path = File("g.mrg", Records({header, "One", "Count=1", "a.lin"}));
    TvcGroupLine* g = OpenGroup(path);
    ASSERT_TRUE(LoadGroup(g));

    File("g.mrg", Records({header, "Two", "Count=2", "b.lin", "c.lin"}));
    ASSERT_TRUE(LoadGroup(g));
    EXPECT_EQ(g->Title, "Two");
    EXPECT_EQ(g->RouteNames, (std::vector<std::string>{"b.lin", "c.lin"}));

    // Without a count record the lists of the previous load stay.
    File("g.mrg", Records({header, "Three"}));
    ASSERT_TRUE(LoadGroup(g));
    EXPECT_EQ(g->Title, "Three");
    EXPECT_EQ(g->RouteCount, 2);

    std::filesystem::remove(path);
    EXPECT_FALSE(LoadGroup(g));
}

TEST_F(GroupFileTest, TableCountsReferences) {
    const std::string path = (dir / "g.mrg").string();
    TvcGroupLine* first = OpenGroup(path);
    TvcGroupLine* again = OpenGroup(path);
    ASSERT_EQ(first, again);
    EXPECT_EQ(first->RefCount, 2);
    EXPECT_NE(OpenGroup((dir / "G.mrg").string()), first);  // letter case makes another group

    ReleaseGroup(first);
    EXPECT_EQ(GroupTable[0], first);
    EXPECT_EQ(first->RefCount, 1);
    ReleaseGroup(first);
    EXPECT_EQ(GroupTable[0], nullptr);
    ReleaseGroup(nullptr);

    ClearTables();
    for (int i = 0; i < kGroupTableSize; ++i) ASSERT_NE(OpenGroup(dir.str() + "/g" + std::to_string(i)), nullptr);
    EXPECT_EQ(OpenGroup(dir.str() + "/one-too-many"), nullptr);
    EXPECT_NE(OpenGroup(dir.str() + "/g7"), nullptr);  // an open one is still found
}

}  // namespace
