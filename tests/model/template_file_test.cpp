#include "description_fixture.h"

namespace {

class TemplateFileTest : public DescriptionTest {
protected:
    TvcTempl* Open(const std::vector<std::string>& records) {
        ClearTables();
        return OpenTemplate(File("t.tpl", Records(records)));
    }
    const std::string header = Cp(StandardTemplateHeader());
};

TEST_F(TemplateFileTest, Items) {
    struct Case {
        std::string record;
        int32_t number, section, line;
        std::string text;
        OptStr textFile;  // below the template's folder
    };
    const Case cases[] = {
        {"1;0;0;Arrival", 1, 0, 0, "Arrival", std::nullopt},
        {Cp("1;2;0;*Прибытие"), 1, 2, 0, Cp("*Прибытие"), std::nullopt},
        {"1;2;1;stop12.wav", 1, 2, 1, "stop12.wav", "stop12.wav"},
        {"006;2;10;voice\\prosim.voc", 6, 2, 10, "voice\\prosim.voc", "voice\\prosim.voc"},
        {Cp("1;2;1;<Эта остановка>"), 1, 2, 1, Cp("<Эта остановка>"), std::nullopt},
        {Cp("1;2;1;<Текст> a;b"), 1, 2, 1, Cp("<Текст> a;b"), std::nullopt},
        {"1;0;3;not.wav", 1, 0, 3, "not.wav", std::nullopt},  // unused kind keeps its text
        {"1;2;3;", 1, 2, 3, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        TvcTempl* t = Open({header, "Count=1", c.record});
        ASSERT_TRUE(LoadTemplate(t));
        ASSERT_EQ(t->ItemCount, 1);
        const TvcTemplItem& item = t->Items[0];
        EXPECT_EQ(item.Number, c.number);
        EXPECT_EQ(item.Section, c.section);
        EXPECT_EQ(item.Line, c.line);
        EXPECT_EQ(item.Text, c.text);
        if (c.textFile && !c.textFile->empty()) {
            EXPECT_EQ(item.TextFile, dir.str() + "\\" + *c.textFile);
        } else {
            EXPECT_EQ(item.TextFile, c.textFile);
        }
    }
}

TEST_F(TemplateFileTest, MalformedItemEndsTheLoadKeepingEarlierItemsRaw) {
    for (const std::string bad : {"1;2x;1;text", ";0;0;x", "x;0;0;a", "1.5;0;0;a", "1,5;0;0;a", "1;0;0",
                                  "1;0", "", "99999999999;0;0;a", "-1;0;0;a"}) {
        SCOPED_TRACE(bad);
        TvcTempl* t = Open({header, "Count=3", "1;2;1;first.wav", bad, "1;0;0;after"});
        EXPECT_FALSE(LoadTemplate(t));
        ASSERT_EQ(t->ItemCount, 1);
        EXPECT_EQ(t->Items[0].Text, "first.wav");
        EXPECT_EQ(t->Items[0].TextFile, std::nullopt);  // names are resolved only in a whole file
    }
}

TEST_F(TemplateFileTest, HeaderAndCount) {
    const std::string tail = "Info Template Line";
    struct Case {
        const char* what;
        std::string header, count;
        size_t extraItems = 0;
        bool ok;
    };
    const Case cases[] = {
        {"standard", header, "Count=1", 0, true},
        {"other first 40 bytes", std::string(40, '#') + tail, "Count=1", 0, true},
        {"57 bytes", header.substr(1), "Count=1", 0, false},
        {"other tail", header.substr(0, 40) + "Info Template Lime", "Count=1", 0, false},
        {"one byte past the tail", header + " ", "Count=1", 0, false},
        {"prefix alone", header, "Count=", 0, false},
        {"lower-case prefix", header, "count=1", 0, false},
        {"count 0", header, "Count=0", 0, false},
        {"count not a number", header, "Count=1a", 0, false},
        {"fewer items than counted", header, "Count=2", 0, false},
        {"more items than counted", header, "Count=1", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> records = {c.header, c.count, "1;0;0;A"};
        for (size_t i = 0; i < c.extraItems; ++i) records.push_back("2;0;0;B");
        TvcTempl* t = Open(records);
        EXPECT_EQ(LoadTemplate(t), c.ok);
        EXPECT_EQ(t->ItemCount, c.ok ? 1 : static_cast<int32_t>(t->Items.size()));
    }
    EXPECT_FALSE(LoadTemplate(Open({})));
}

TEST_F(TemplateFileTest, CrLfEndingsAreDropped) {
    TemplateDescription d;
    d.crlf = true;
    d.items = {{1, 0, 0, "Обычная"}, {1, 1, 0, "*"}, {1, 1, 1, "voice\\a.wav"}};
    ASSERT_TRUE(WriteTemplateFile((dir / "t.tpl").string(), d));
    TvcTempl* t = OpenTemplate((dir / "t.tpl").string());
    ASSERT_EQ(t->ItemCount, 3);
    EXPECT_EQ(t->Items[0].Text, Cp("Обычная"));
    EXPECT_EQ(t->Items[2].Text, "voice\\a.wav");
    EXPECT_EQ(t->Items[2].TextFile, dir.str() + "\\voice\\a.wav");
}

TEST_F(TemplateFileTest, OpeningAgainReadsTheFileAgain) {
    TemplateDescription d;
    d.items = {{1, 0, 0, "A"}};
    const std::string path = (dir / "t.tpl").string();
    ASSERT_TRUE(WriteTemplateFile(path, d));
    TvcTempl* t = OpenTemplate(path);
    ASSERT_EQ(t->ItemCount, 1);
    d.items.push_back({2, 0, 0, "B"});
    ASSERT_TRUE(WriteTemplateFile(path, d));
    EXPECT_EQ(OpenTemplate(path), t);
    EXPECT_EQ(t->RefCount, 2);
    EXPECT_EQ(t->ItemCount, 2);

    ReleaseTemplate(t);
    EXPECT_EQ(TemplateTable[0], t);
    ReleaseTemplate(t);
    EXPECT_EQ(TemplateTable[0], nullptr);
}

TEST_F(TemplateFileTest, MissingFileStillGivesASet) {
    TvcTempl* t = OpenTemplate((dir / "none.tpl").string());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ItemCount, 0);
    EXPECT_TRUE(t->Items.empty());
    EXPECT_EQ(t->RefCount, 1);
}

TEST_F(TemplateFileTest, TableHolds64Sets) {
    for (int i = 0; i < kTemplateTableSize; ++i) ASSERT_NE(OpenTemplate(dir.str() + "/t" + std::to_string(i)), nullptr);
    EXPECT_EQ(OpenTemplate(dir.str() + "/one-too-many"), nullptr);
}

}  // namespace
