#include "description_fixture.h"

namespace {

class RouteFileTest : public DescriptionTest {
protected:
    TvcLine* Load(const RouteDescription& d, bool expectOk = true) {
        const std::string path = (dir / "r.lin").string();
        EXPECT_TRUE(WriteRouteFile(path, d));
        return LoadPath(path, expectOk);
    }
    TvcLine* LoadBytes(std::string_view bytes, bool expectOk) { return LoadPath(File("r.lin", bytes), expectOk); }
    TvcLine* LoadPath(const std::string& path, bool expectOk) {
        ClearTables();
        mes.Clear();
        TvcLine* r = OpenRoute(path, nullptr);
        EXPECT_NE(r, nullptr);
        EXPECT_EQ(LoadRoute(r), expectOk);
        EXPECT_EQ(r->Loaded, expectOk);
        if (expectOk) {
            EXPECT_TRUE(mes.Codes().empty());
        } else {
            EXPECT_EQ(mes.Codes(), (std::vector<int32_t>{1008}));
            if (!mes.Texts().empty()) {
                EXPECT_NE(mes.Texts()[0].find(path), std::string::npos);
            }
        }
        return r;
    }
    // Records 1 to 9 of a version "0201" file, to which a test adds its own count and stops.
    static std::string Head() {
        RouteDescription d;
        d.version = "0201";
        std::string bytes = *RouteFileBytes(d);
        return bytes.substr(0, bytes.size() - DescriptionRecord("Count=0").size());
    }
    static StopDescription Stop(std::string name, uint8_t control = kStopIgnored) {
        StopDescription s;
        s.names[0] = std::move(name);
        s.control = control;
        s.templateName = "Обычная";
        s.voices[0] = "v.wav";
        return s;
    }
};

TEST_F(RouteFileTest, FullRouteReadsBackFieldForField) {
    RouteDescription d;
    d.routeName = "5а";
    d.templateFile = "..\\tpl\\stops.tpl";
    d.gpsFile = "gps.dat";
    d.routeVoices = {"voice\\route.wav", "voice\\route2.wav", ""};
    d.imageFile = "img.bmp";
    d.image2File = "img2.bmp";
    d.imageFlags = "7";
    d.auxTexts[0] = {"раз", "", "три", "четыре"};
    d.auxTexts[1] = {"one"};
    d.routeParams = "-3";
    d.term1TextEx = {"Вокзал", "Station", ""};
    d.term2TextEx = {"", "Park"};
    d.extraFiles = {"x1.bin", "x2.bin"};
    d.term1Voices = {"voice\\t1.wav", "", ""};
    d.term2Voices = {"", "voice\\t2-2.wav", ""};
    d.term1Text = {"Вокзал", "Station", ""};
    d.term2Text = {"Парк", "", "Парк3"};
    d.routeFlags = "1";
    d.gpsDate = "20260101";
    StopDescription s0 = Stop("Вокзал", kStopLegStart | kStopKey);
    s0.names[1] = "Station";
    s0.altName = "Ж/д вокзал";
    s0.values = "12,34";
    s0.voices = {"voice\\s0.wav", "voice\\s0-2.wav", ""};
    d.stops = {s0, Stop("Рынок"), Stop("Парк", kStopTerminal)};
    TvcLine* r = Load(d);

    const std::string base = dir.str() + "\\";
    EXPECT_EQ(r->BaseDir, base);
    EXPECT_EQ(r->HeaderText, Cp(StandardRouteHeader("0209")));
    EXPECT_EQ(r->RouteName, Cp("5а"));
    EXPECT_EQ(r->TemplateName, "..\\tpl\\stops.tpl");
    EXPECT_EQ(NativePath(*r->TemplateFile), dir.path().parent_path().string() + "/tpl/stops.tpl");
    EXPECT_EQ(r->GpsName, "gps.dat");
    EXPECT_EQ(r->GpsFile, base + "gps.dat");
    EXPECT_EQ(r->RouteVoiceName[0], "voice\\route.wav");
    EXPECT_EQ(r->RouteVoiceFile[1], base + "voice\\route2.wav");
    EXPECT_EQ(r->RouteVoiceName[2], "");  // an empty name still resolves, to empty strings
    EXPECT_EQ(r->RouteVoiceFile[2], "");
    EXPECT_EQ(r->ImageName, "img.bmp");
    EXPECT_EQ(r->Image2File, base + "img2.bmp");
    EXPECT_EQ(r->ImageFlags, 7);
    EXPECT_EQ(r->AuxTexts[0][0], Cp("раз"));
    EXPECT_EQ(r->AuxTexts[0][1], std::nullopt);  // an empty sub-text stays absent
    EXPECT_EQ(r->AuxTexts[0][3], Cp("четыре"));
    EXPECT_EQ(r->AuxTexts[1][0], "one");
    EXPECT_EQ(r->AuxTexts[1][1], std::nullopt);
    EXPECT_EQ(r->AuxTexts[2][0], std::nullopt);
    EXPECT_EQ(r->RouteParams, -3);
    EXPECT_EQ(r->Term1TextEx[1], "Station");
    EXPECT_EQ(r->Term2TextEx[0], std::nullopt);
    EXPECT_EQ(r->Term2TextEx[1], "Park");
    EXPECT_EQ(r->ExtraName[1], "x2.bin");
    EXPECT_EQ(r->Term1VoiceName[0], "voice\\t1.wav");
    EXPECT_EQ(r->Term2VoiceFile[1], base + "voice\\t2-2.wav");
    EXPECT_EQ(r->Term1Text[0], Cp("Вокзал"));
    EXPECT_EQ(r->Term2Text[1], "");
    EXPECT_EQ(r->Term2Text[2], Cp("Парк3"));
    EXPECT_EQ(r->RouteFlags, 1);
    EXPECT_EQ(r->GpsDate, 20260101);

    ASSERT_EQ(r->StopCount, 3);
    ASSERT_EQ(r->Stops.size(), 3u);
    const TvcStop& first = r->Stops[0];
    EXPECT_EQ(first.StopName[0], Cp("Вокзал"));
    EXPECT_EQ(first.StopName[1], "Station");
    EXPECT_EQ(first.StopName[2], "");
    EXPECT_EQ(first.AltName, Cp("Ж/д вокзал"));
    EXPECT_EQ(first.TemplateName, Cp("Обычная"));
    EXPECT_EQ(first.Value1, 12);
    EXPECT_EQ(first.Value2, 34);
    EXPECT_EQ(first.VoiceName[1], "voice\\s0-2.wav");
    EXPECT_EQ(first.VoiceFile[0], base + "voice\\s0.wav");
    EXPECT_TRUE(first.IsLegStart && first.IsKeyStop && !first.IsTerminal && !first.Flag0);
    EXPECT_EQ(r->Stops[2].Index, 2);
    EXPECT_EQ(r->LegStartCount, 1);
    EXPECT_EQ(r->LegStarts[0], 0);
    EXPECT_EQ(r->TerminalCount, 1);
    EXPECT_EQ(r->Terminals[0], 2);
    EXPECT_EQ(r->Terminals[1], 2);  // the last stop after the flagged terminals
}

TEST_F(RouteFileTest, VersionDecidesWhichRecordsFollow) {
    struct Case {
        std::string version;
        bool termVoices, termTexts;
    };
    const Case cases[] = {
        {"0201", false, false}, {"0204", true, false}, {"0209", true, true},
        {"0310", true, true},   {"02", false, false},  // a short header is an old one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        RouteDescription d;
        d.version = c.version;
        d.header = c.version;
        d.term1Voices[0] = "t1.wav";
        d.term1Text[0] = "T1";
        d.routeFlags = "1";
        d.stops = {Stop("A"), Stop("B")};
        TvcLine* r = Load(d);
        EXPECT_EQ(r->Term1VoiceName[0].has_value(), c.termVoices);
        EXPECT_EQ(r->Term2VoiceFile[2].has_value(), c.termVoices);
        EXPECT_EQ(r->Term1Text[0].has_value(), c.termTexts);
        EXPECT_EQ(r->RouteFlags, c.termTexts ? 1 : 0);
        EXPECT_EQ(r->StopCount, 2);
    }
}

TEST_F(RouteFileTest, IntegerFields) {
    struct Case {
        const char* what;
        std::string imageFlags, routeParams, routeFlags, gpsDate;
        bool ok;
        int32_t flags = 0;
    };
    const Case cases[] = {
        {"all empty", "", "", "", "", true, 0},
        {"non-numeric route flags count as 0", "", "", "abc", "", true, 0},
        {"route flags", "", "", "3", "", true, 3},
        {"non-numeric image flags", "x", "", "", "", false},
        {"non-numeric route parameter", "", "1a", "", "", false},
        {"non-numeric GPS date", "", "", "", "2026-01-01", false},
        {"image flags past 32 bits", "4294967296", "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RouteDescription d;
        d.imageFlags = c.imageFlags;
        d.routeParams = c.routeParams;
        d.routeFlags = c.routeFlags;
        d.gpsDate = c.gpsDate;
        d.stops = {Stop("A")};
        TvcLine* r = Load(d, c.ok);
        if (c.ok) {
            EXPECT_EQ(r->RouteFlags, c.flags);
        }
    }
}

TEST_F(RouteFileTest, CountRecord) {
    const std::string stop = Records({"A", std::string("\x02") + "t", "v.wav"});
    struct Case {
        std::string count;
        std::string stops;
        bool ok;
    };
    const Case cases[] = {
        {"Count=1", stop, true},
        {"Count=-1", stop, false},
        {"Count=abc", stop, false},
        {"COUNT=1", stop, false},
        {"Count=", stop, false},
        {"Count=2", stop, false},                      // the file ends inside the stops
        {"Count=1", stop.substr(0, stop.size() - 2), false},  // the last record is cut short
        {"Count=2147483647", stop, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        TvcLine* r = LoadBytes(Head() + DescriptionRecord(c.count) + c.stops, c.ok);
        if (c.ok) {
            EXPECT_EQ(r->StopCount, 1);
        }
    }

    // No stops is not the reader's fault: the build rejects such a route.
    TvcLine* empty = LoadBytes(Head() + DescriptionRecord("Count=0"), true);
    EXPECT_EQ(empty->StopCount, 0);
    EXPECT_EQ(empty->Terminals[0], -1);

    // A file cut before the count record.
    LoadBytes(Head().substr(0, Head().size() - 1), false);
}

TEST_F(RouteFileTest, UnreadableFileGivesFalseWithoutMessage) {
    TvcLine* r = OpenRoute((dir / "missing.lin").string(), nullptr);
    EXPECT_FALSE(LoadRoute(r));
    EXPECT_FALSE(r->Loaded);
    EXPECT_TRUE(mes.Codes().empty());
}

TEST_F(RouteFileTest, StopNames) {
    const std::string sep = "\x7F";
    struct Case {
        std::string part;
        std::array<OptStr, 3> names;
    };
    const Case cases[] = {
        {"", {}},
        {"A" + sep + "B" + sep + "C", {"A", "B", "C"}},
        {"Single", {"Single", "", ""}},
        {"A" + sep + sep + "C", {"A", "", "C"}},
        {std::string(20, 'x') + sep + "B", {std::string(15, 'x'), "B", ""}},
        {std::string(15, 'y') + sep + "B" + sep + "C", {std::string(15, 'y'), "B", "C"}},
        {"A" + sep + "B" + sep + "C" + sep + "D", {"A", "B", "C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        TvcLine* r = LoadBytes(Head() + Records({"Count=1", c.part, "\x02t", "v.wav"}), true);
        ASSERT_EQ(r->StopCount, 1);
        EXPECT_EQ(r->Stops[0].StopName, c.names);
    }
}

TEST_F(RouteFileTest, ControlByteAndValues) {
    struct Case {
        std::string record;
        uint8_t flag0, key, terminal, legStart;
        std::string templateName;
        int32_t v1, v2;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"\x1C" "T\0" "12,34"s, 0, 1, 1, 1, "T", 12, 34},
        {"\x02T\0" "12"s, 0, 0, 0, 0, "T", 12, 0},
        {"\x01T\0" "12;34"s, 1, 0, 0, 0, "T", 12, 0},
        {"\x02T"s, 0, 0, 0, 0, "T", 0, 0},
        {"\x02T\0" "-5,7"s, 0, 0, 0, 0, "T", 0, 0},
        {"\x02T\0" ",7"s, 0, 0, 0, 0, "T", 0, 7},
        {"\0T\0" "5,6"s, 0, 0, 0, 0, "T", 5, 6},  // a zero control byte carries no flags
        {"T  \0" "5"s, 0, 0, 0, 0, "T", 5, 0},    // no control byte; trailing spaces go
        {""s, 0, 0, 0, 0, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.record));
        TvcLine* r = LoadBytes(Head() + Records({"Count=1", "A", c.record, "v.wav"}), true);
        ASSERT_EQ(r->StopCount, 1);
        const TvcStop& s = r->Stops[0];
        EXPECT_EQ(s.Flag0, c.flag0);
        EXPECT_EQ(s.IsKeyStop, c.key);
        EXPECT_EQ(s.IsTerminal, c.terminal);
        EXPECT_EQ(s.IsLegStart, c.legStart);
        EXPECT_EQ(s.TemplateName, c.templateName);
        EXPECT_EQ(s.Value1, c.v1);
        EXPECT_EQ(s.Value2, c.v2);
    }
}

TEST_F(RouteFileTest, LegStartsAndTerminals) {
    RouteDescription d;
    for (int i = 0; i < 10; ++i) d.stops.push_back(Stop("S" + std::to_string(i)));
    d.stops[5].control = kStopTerminal;
    d.stops[9].control = kStopTerminal;
    TvcLine* r = Load(d);
    EXPECT_EQ(r->TerminalCount, 2);
    EXPECT_EQ(r->Terminals[0], 5);
    EXPECT_EQ(r->Terminals[1], 9);
    EXPECT_EQ(r->Terminals[2], 9);
    EXPECT_EQ(r->LegStartCount, 0);

    // Four of each fit; a fifth makes a route the model cannot hold.
    for (uint8_t flag : {kStopTerminal, kStopLegStart}) {
        SCOPED_TRACE(static_cast<int>(flag));
        RouteDescription many;
        for (int i = 0; i < 6; ++i) many.stops.push_back(Stop("S", i < 4 ? flag : kStopIgnored));
        TvcLine* four = Load(many);
        EXPECT_EQ(flag == kStopTerminal ? four->TerminalCount : four->LegStartCount, 4);
        EXPECT_EQ(four->Terminals[static_cast<size_t>(four->TerminalCount)], 5);
        many.stops[4].control = flag;
        Load(many, false);
    }
}

TEST_F(RouteFileTest, TrailingSpacesLeavePartOneOnly) {
    RouteDescription d;
    d.routeName = "12   ";
    d.templateFile = "t.tpl  ";
    d.gpsFile = " g.dat ";
    d.routeVoices = {"a.wav ", " b.wav ", "c.wav  "};
    d.stops = {Stop("A  ")};
    TvcLine* r = Load(d);
    EXPECT_EQ(r->RouteName, "12");
    EXPECT_EQ(r->TemplateName, "t.tpl");
    EXPECT_EQ(r->GpsName, " g.dat ");
    EXPECT_EQ(r->RouteVoiceName[0], "a.wav");
    EXPECT_EQ(r->RouteVoiceName[1], " b.wav ");
    EXPECT_EQ(r->RouteVoiceName[2], "c.wav  ");
    EXPECT_EQ(r->Stops[0].StopName[0], "A");

    d.routeName = " ";  // never the first character
    EXPECT_EQ(Load(d)->RouteName, " ");
}

TEST_F(RouteFileTest, SubTexts) {
    const std::string longText(70, 'z');
    RouteDescription d;
    d.auxTexts[0] = {longText, "b"};
    d.term1TextEx = {"", "", "three"};
    d.stops = {Stop("A")};
    TvcLine* r = Load(d);
    EXPECT_EQ(r->AuxTexts[0][0], std::string(63, 'z'));
    EXPECT_EQ(r->AuxTexts[0][1], "b");
    EXPECT_EQ(r->AuxTexts[0][2], std::nullopt);
    EXPECT_EQ(r->Term1TextEx[0], std::nullopt);
    EXPECT_EQ(r->Term1TextEx[2], "three");
}

TEST_F(RouteFileTest, RecordWithOnePartLeavesGpsAbsentAndTemplateEmpty) {
    RouteDescription d;
    d.stops = {Stop("A")};
    TvcLine* r = Load(d);
    EXPECT_EQ(r->GpsFile, std::nullopt);
    EXPECT_EQ(r->GpsName, std::nullopt);
    EXPECT_EQ(r->TemplateFile, "");
    EXPECT_EQ(r->TemplateName, "");
    EXPECT_EQ(r->Template, nullptr);
}

TEST_F(RouteFileTest, OpenedOnceLoadedOnce) {
    RouteDescription d;
    d.routeName = "first";
    d.stops = {Stop("A")};
    const std::string path = (dir / "r.lin").string();
    ASSERT_TRUE(WriteRouteFile(path, d));
    TvcLine* r = OpenRoute(path, nullptr);
    ASSERT_TRUE(LoadRoute(r));
    d.routeName = "second";
    ASSERT_TRUE(WriteRouteFile(path, d));
    EXPECT_EQ(OpenRoute(path, nullptr), r);
    EXPECT_EQ(r->RefCount, 2);
    EXPECT_TRUE(LoadRoute(r));
    EXPECT_EQ(r->RouteName, "first");

    TvcLine* other = OpenRoute((dir / "other.lin").string(), r);  // chained after the first
    EXPECT_EQ(r->Next, other);
    EXPECT_EQ(other->Prev, r);
    ReleaseRoute(r);
    ReleaseRoute(r);
    EXPECT_EQ(RouteTable[0], nullptr);
    EXPECT_EQ(RouteTable[1], other);
    EXPECT_EQ(other->Prev, nullptr);
}

TEST_F(RouteFileTest, RoutesShareTheirTemplateSet) {
    TemplateDescription t;
    t.items = {{1, 0, 0, "Обычная"}};
    ASSERT_TRUE(WriteTemplateFile((dir / "stops.tpl").string(), t));
    RouteDescription d;
    d.templateFile = "stops.tpl";
    d.stops = {Stop("A")};
    ASSERT_TRUE(WriteRouteFile((dir / "r1.lin").string(), d));
    ASSERT_TRUE(WriteRouteFile((dir / "r2.lin").string(), d));

    TvcLine* r1 = OpenRoute((dir / "r1.lin").string(), nullptr);
    TvcLine* r2 = OpenRoute((dir / "r2.lin").string(), r1);
    ASSERT_TRUE(LoadRoute(r1));
    ASSERT_TRUE(LoadRoute(r2));
    ASSERT_NE(r1->Template, nullptr);
    EXPECT_EQ(r1->Template, r2->Template);
    EXPECT_EQ(r1->Template->RefCount, 2);
    EXPECT_EQ(r1->Template->ItemCount, 1);
    TvcTempl* set = r1->Template;
    ReleaseRoute(r1);
    EXPECT_EQ(set->RefCount, 1);
    ReleaseRoute(r2);
    EXPECT_EQ(TemplateTable[0], nullptr);
}

TEST_F(RouteFileTest, TemplateThatFailsToReadIsKept) {
    RouteDescription d;
    d.templateFile = "missing.tpl";
    d.stops = {Stop("A")};
    TvcLine* r = Load(d);
    ASSERT_NE(r->Template, nullptr);
    EXPECT_EQ(r->Template->ItemCount, 0);
}

TEST_F(RouteFileTest, WriterRefusesARecordPastItsLengthByte) {
    RouteDescription d;
    d.routeName = std::string(256, 'n');
    EXPECT_FALSE(RouteFileBytes(d).has_value());
    EXPECT_FALSE(WriteRouteFile((dir / "r.lin").string(), d));
    EXPECT_FALSE(std::filesystem::exists(dir / "r.lin"));
    d.routeName = std::string(255, 'n');
    EXPECT_TRUE(RouteFileBytes(d).has_value());
}

}  // namespace
