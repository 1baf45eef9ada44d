// Whole builds of small groups written with the description writer, read back with the image
// inspector and checked at the offsets of the image format.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/little_endian.h"
#include "image/group_build_image.h"
#include "image/image_inspector.h"
#include "image/image_layout.h"
#include "image/recoding.h"
#include "support/image_fixture.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace image_layout;

namespace {

struct Built {
    std::unique_ptr<CartridgeImage> image = std::make_unique<CartridgeImage>();
    bool ok = false;
    int32_t code = 0;
    std::vector<int32_t> messages;
    int32_t tableSize = 0, displaySize = 0, voiceBytes = 0;
    InspectedImage inspected;
};

Built BuildGroup(const std::string& group, const BuildOptions& options = {}) {
    Built b;
    RecordingPresenter mes;
    TGroupBuildImage builder(*b.image);
    builder.Options = options;
    b.ok = builder.Build(group);
    b.code = builder.LastCode();
    b.messages = mes.Codes();
    b.tableSize = builder.TableSize;
    b.displaySize = builder.DisplaySize;
    b.voiceBytes = builder.VoiceBytes;
    b.inspected = InspectImage(b.image->ImageBuffer.data(), b.image->ImageBuffer.size());
    return b;
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A text as the boards' character set stores it.
std::string BoardBytes(const std::string& utf8) {
    std::string s = Utf8ToCp1251(utf8);
    RecodeDisplayTexts(reinterpret_cast<uint8_t*>(s.data()), s.size(), false);
    return s;
}

bool NothingToWrite(const CartridgeImage& image) {
    return image.ImageEnd == 0 &&
           std::all_of(image.ImageBuffer.begin(), image.ImageBuffer.end(), [](uint8_t b) { return b == 0xFF; }) &&
           std::all_of(image.PageMap.begin(), image.PageMap.end(), [](uint8_t b) { return b == 0; });
}

std::vector<uint8_t> TypesOf(const InspectedEvent& ev) {
    std::vector<uint8_t> types;
    for (const InspectedText& t : ev.display) types.push_back(t.type);
    return types;
}

const InspectedText* FirstOfType(const InspectedEvent& ev, uint8_t type) {
    for (const InspectedText& t : ev.display)
        if (t.type == type) return &t;
    return nullptr;
}

// Two routes of two stops; every stop has one event that plays this stop, pauses 300 and marks a
// control point.
struct SmallGroup {
    TempDir dir;
    ImageGroupFixture group{dir.path()};
    SmallGroup() {
        group.AddTemplate(1, "T", {{"*", {"<Эта остановка>", "<Пауза> 300мс.", "<Контрольная>"}}});
        group.AddRoute("r0", 2, "T", 64);
        group.AddRoute("r1", 2, "T", 64);
    }
};

TEST(GroupBuild, TablesLieWhereTheirOffsetsSay) {
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");  // 2026-01-01 00:00
    SmallGroup g;
    const Built b = BuildGroup(g.group.Write());
    ASSERT_TRUE(b.ok) << b.code;
    EXPECT_TRUE(b.messages.empty());
    EXPECT_TRUE(b.inspected.problems.empty()) << b.inspected.problems.front();

    // R = 2, C = M = 4 events, J = 2 route names + 4 event names, N = 6 voices, S = 4 * 8.
    const uint32_t A1 = 0x2008 + 48, A2 = A1 + 8, A3 = A2 + 8, A4 = A3 + 96, A5 = A4 + 32;
    EXPECT_EQ(b.tableSize, 24 * 2 + 8 + 32 + 8 + 24 + 8 + 96);
    const InspectedImage& im = b.inspected;
    EXPECT_EQ(im.routeCount, 2);
    EXPECT_EQ(im.flags, kFlagDisplayOffsets);
    EXPECT_EQ(im.blockCount, BlockCount(b.voiceBytes, b.tableSize));
    EXPECT_EQ(im.buildTime, (uint32_t{(2026 - 1980) << 9 | 1 << 5 | 1} << 16));

    ASSERT_EQ(im.routes.size(), 2u);
    struct RouteExpect {
        uint16_t name, voice, scripts, names, events;
    };
    // Route 1's name is name 3 (after route 0 and its two events) and its voice is voice 3.
    const RouteExpect want[] = {{static_cast<uint16_t>(A3), static_cast<uint16_t>(A5), static_cast<uint16_t>(A1),
                                 static_cast<uint16_t>(A2), 32},
                                {static_cast<uint16_t>(A3 + 48), static_cast<uint16_t>(A5 + 12),
                                 static_cast<uint16_t>(A1 + 4), static_cast<uint16_t>(A2 + 4), 36}};
    for (size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const InspectedRoute& r = im.routes[k];
        EXPECT_EQ(r.nameOffset, want[k].name);
        EXPECT_EQ(r.voiceEntryOffset, want[k].voice);
        EXPECT_EQ(r.scriptTableOffset, want[k].scripts);
        EXPECT_EQ(r.nameTableOffset, want[k].names);
        EXPECT_EQ(r.eventTableOffset, want[k].events);
        EXPECT_EQ(r.eventCount, 2);
        EXPECT_EQ(r.nameUtf8, k == 0 ? "r0              " : "r1              ");
    }
    const uint8_t* img = b.image->ImageBuffer.data();
    // The words of a route record not named by the format stay 0.
    for (uint32_t off : {10u, 12u, 14u, 16u, 18u, 22u}) EXPECT_EQ(ReadLe16(img + 0x2008 + off), 0) << off;

    // Route 0, stop 0: this stop's voice is voice 1; pause 300; control point; end.
    const InspectedEvent& ev = im.routes[0].events[0];
    EXPECT_EQ(ev.nameUtf8, "r0 stop 0      *");
    EXPECT_EQ(ev.scriptOffset, A4);
    const std::vector<uint8_t> script(img + A4, img + A4 + 8);
    const uint16_t voice1 = static_cast<uint16_t>(A5 + 4);
    EXPECT_EQ(script, (std::vector<uint8_t>{0x02, static_cast<uint8_t>(voice1), static_cast<uint8_t>(voice1 >> 8),
                                            0x01, 0x2C, 0x01, 0x03, 0x00}));
    // The last script of each route ends the route; the padding up to A5 stays 0xFF.
    EXPECT_EQ(img[A4 + 15], 0x04);
    EXPECT_EQ(img[A4 + 31], 0x04);
    EXPECT_EQ(img[A4 + 7], 0x00);

    // Voices follow the table segment in index order, each entry with its rate byte.
    uint32_t at = 0x2000 + static_cast<uint32_t>(b.tableSize);
    ASSERT_EQ(im.voices.size(), 6u);
    for (size_t v = 0; v < 6; ++v) {
        EXPECT_EQ(im.voices[v].offset, at) << v;
        EXPECT_EQ(im.voices[v].rate, 0x31) << v;
        at += 64;
    }
    EXPECT_EQ(b.voiceBytes, 6 * 64);
    const std::vector<uint8_t> data = WritePackedVoice(g.dir.path() / "again", "voice/x.wav", 64, 1, 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), img + im.voices[1].offset)) << "stop 0's packed data";

    // The first event of a stop carries the stop's display block, then the next-stop text.
    EXPECT_EQ(TypesOf(ev), (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x0B, 0x0C, 0x06, 0x07, 0x08, 0x02}));
    EXPECT_EQ(ev.display[0].utf8, "r0  ");
    EXPECT_EQ(ev.display[1].utf8, "r0 stop 1");
    EXPECT_EQ(ev.display[2].utf8, "r0 stop 0");
    EXPECT_EQ(ev.display[3].utf8, "r0 stop 0");  // no Term1Text: the first stop
    EXPECT_EQ(ev.display[4].utf8, "r0 stop 1");  // no Term2Text: the last stop
    // The pool starts with the three control texts after 2E + 2D bytes.
    const uint32_t pool = kDisplayAreaOffset + ev.display[0].areaOffset - 6;
    EXPECT_EQ(std::vector<uint8_t>(img + pool, img + pool + 6), (std::vector<uint8_t>{0x1F, 0, 0x06, 0, 0x08, 0}));
    EXPECT_EQ(ReadLe16(img + kDisplayAreaOffset), 0);  // reserved entry

    // Pages: nothing below 0x2000; the header's pages and the two after them; ImageEnd is the end
    // of the display texts.
    const std::vector<uint8_t>& map = b.image->PageMap;
    EXPECT_TRUE(std::all_of(map.begin(), map.begin() + 0x20, [](uint8_t p) { return p == 0; }));
    EXPECT_EQ(map[0x20], 0xFF);
    EXPECT_EQ(map[0x22], 0xFF);
    EXPECT_EQ(b.image->ImageEnd, kDisplayAreaOffset + static_cast<uint32_t>(b.displaySize));
    EXPECT_EQ(map[(kDisplayAreaOffset + b.displaySize + 255) / 256 + 1], 0xFF);
    EXPECT_EQ(map[(kDisplayAreaOffset + b.displaySize + 255) / 256 + 2], 0);
}

TEST(GroupBuild, WriteBlockMarksTheBlockAndTwoPagesAfterIt) {
    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    const uint8_t header[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    builder.Cursor = 0x2000;
    builder.WriteBlock(0x2000, header, 8);
    builder.WriteBlock(0x3000, header, 0);  // nothing
    std::vector<uint32_t> marked;
    for (uint32_t p = 0; p < kPageCount; ++p)
        if (image->PageMap[p]) marked.push_back(p);
    EXPECT_EQ(marked, (std::vector<uint32_t>{0x20, 0x21, 0x22}));
    EXPECT_EQ(image->ImageEnd, 0x2008u);
    EXPECT_EQ(image->ImageBuffer[0x2007], 8);
}

TEST(GroupBuild, BlockCount) {
    struct Case {
        int64_t total;
        uint8_t count;
    };
    const Case cases[] = {{0xE000, 1}, {0xE001, 2}, {0xEE000, 15}, {0xEE001, 17}, {0x7FE000, 0x81}};
    for (const Case& c : cases) EXPECT_EQ(BlockCount(c.total - 0x1000, 0x1000), c.count) << std::hex << c.total;
}

TEST(GroupBuild, OptionsChangeTheirBytes) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");
    TempDir dir;
    ImageGroupFixture group(dir.path());
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка>", "<Текст> @GX@/1"}}});
    RouteDescription& r = group.AddRoute("r", 3, "T");
    for (StopDescription& s : r.stops) s.names[0] = "same";  // equal event names
    r.stops[1].names[1] = "second";
    const std::string file = group.Write();

    struct Case {
        const char* what;
        std::function<void(BuildOptions&)> set;
        uint16_t flags;
        bool sharedNames;   // the stops' event names share one record
        bool nextStopText;  // display lists carry type 0x02 texts
        std::string freeText;
        std::string listEntry;  // stop 0's following-stops entry (stop 1)
    };
    const Case cases[] = {
        {"plain", [](BuildOptions&) {}, 0x4000, false, true, "\x01X\x04" "1", "same"},
        {"compact", [](BuildOptions& o) { o.compact = true; }, 0xC000, true, false, "\x01X\x04" "1", "same"},
        {"tatar", [](BuildOptions& o) { o.substituteTatar = true; }, 0x6000, false, true, "\x01X\x04" "1", "same"},
        {"boards before v2.7", [](BuildOptions& o) { o.boardsBeforeV27 = true; }, 0x4000, false, true,
         "X\x04" "1", "same"},
        {"variant 1 without language 2", [](BuildOptions& o) { o.lang2ToV23 = 1; }, 0x4100, false, true,
         "\x01X\x04" "1", "same"},
        {"variant 1 with language 2",
         [](BuildOptions& o) {
             o.lang2ToV23 = 1;
             o.isLang2 = true;
         },
         0x4100, false, true, "\x01X\x04" "1", "same           second"},
        {"variant 2", [](BuildOptions& o) { o.lang2ToV23 = 2; }, 0x4100, false, true, "\x01X\x04" "1", "same"},
        {"variant 3", [](BuildOptions& o) { o.lang2ToV23 = 3; }, 0x4200, false, true, "\x01X\x04" "1", "same"},
        {"variant 4 with language 2",
         [](BuildOptions& o) {
             o.lang2ToV23 = 4;
             o.isLang2 = true;
         },
         0x4200, false, true, "\x01X\x04" "1", "same"},
        {"variant 5", [](BuildOptions& o) { o.lang2ToV23 = 5; }, 0x4000, false, true, "\x01X\x04" "1", "same"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildOptions o;
        c.set(o);
        const Built b = BuildGroup(file, o);
        ASSERT_TRUE(b.ok) << b.code;
        const InspectedImage& im = b.inspected;
        EXPECT_EQ(im.flags, c.flags);
        const auto& events = im.routes.at(0).events;
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[0].nameOffset == events[1].nameOffset, c.sharedNames);
        EXPECT_EQ(events[0].nameOffset == events[2].nameOffset, c.sharedNames);
        EXPECT_EQ(FirstOfType(events[0], 0x02) != nullptr, c.nextStopText);
        ASSERT_NE(FirstOfType(events[0], 0x09), nullptr);
        EXPECT_EQ(FirstOfType(events[0], 0x09)->bytes, c.freeText);
        ASSERT_NE(FirstOfType(events[0], 0x07), nullptr);
        EXPECT_EQ(FirstOfType(events[0], 0x07)->utf8, c.listEntry);
    }
}

TEST(GroupBuild, LanguageFilterAndSectionsOfAStop) {
    TempDir dir;
    ImageGroupFixture group(dir.path());
    group.AddTemplate(1, "T", {{"*", {"<Применить Язык2>", "<Эта остановка-Язык2>", "<Эта остановка>"}}});
    RouteDescription& r = group.AddRoute("r", 2, "T");
    for (size_t k = 0; k < r.stops.size(); ++k) {
        r.stops[k].names[1] = "en " + std::to_string(k);
        r.stops[k].voices[1] = "voice\\en_" + std::to_string(k) + ".wav";
        WritePackedVoice(dir.path(), "voice/en_" + std::to_string(k) + ".wav", 32);
    }
    const std::string file = group.Write();

    for (bool lang2 : {false, true}) {
        SCOPED_TRACE(lang2);
        BuildOptions o;
        o.isLang2 = lang2;
        const Built b = BuildGroup(file, o);
        ASSERT_TRUE(b.ok) << b.code;
        // Voice order of first use: route, stop 0 in languages 1 and 2, stop 1 in languages 1 and 2.
        const uint32_t table = b.inspected.routes[0].voiceEntryOffset;
        std::vector<uint16_t> played;
        for (const InspectedScriptCode& c : b.inspected.routes[0].events[0].script)
            if (c.code == kScriptVoice) played.push_back(static_cast<uint16_t>((c.value - table) / 4));
        EXPECT_EQ(played, (lang2 ? std::vector<uint16_t>{2, 1} : std::vector<uint16_t>{1}));
    }
}

TEST(GroupBuild, TheSameGroupBuiltTwiceGivesTheSameImage) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");
    TempDir dir;
    ImageGroupFixture group(dir.path());
    // The template leaves the build in the language-2 section; with language 2 off, a second build
    // starting there would drop the first event's language-2 word.
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка-Язык2>", "<Применить Язык2>"}}});
    RouteDescription& r = group.AddRoute("r", 2, "T");
    r.stops[0].voices[1] = r.stops[1].voices[1] = "voice\\en.wav";
    r.stops[0].names[1] = r.stops[1].names[1] = "en";
    WritePackedVoice(dir.path(), "voice/en.wav", 32);
    const std::string file = group.Write();

    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    ASSERT_TRUE(builder.Build(file));
    const std::vector<uint8_t> first(image->ImageBuffer.begin(), image->ImageBuffer.begin() + 0x100000);
    ASSERT_TRUE(builder.Build(file));
    EXPECT_TRUE(std::equal(first.begin(), first.end(), image->ImageBuffer.begin()));
}

TEST(GroupBuild, VoicesArePlacedFirstFitInSegments) {
    TempDir dir;
    ImageGroupFixture group(dir.path());
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка>"}}});
    group.AddRoute("r", 3, "T");
    // The route voice takes most of segment 0; stop 0's voice does not fit beside it and fills
    // segment 1 to its very end; stop 1's small one still goes to segment 0, stop 2's to segment 2.
    WritePackedVoice(dir.path(), "voice/r_route.wav", 900000);
    WritePackedVoice(dir.path(), "voice/r_0.wav", 0x100000 - 0x2000);
    WritePackedVoice(dir.path(), "voice/r_1.wav", 1000);
    WritePackedVoice(dir.path(), "voice/r_2.wav", 100000);
    const Built b = BuildGroup(group.Write());
    ASSERT_TRUE(b.ok) << b.code;
    const uint32_t seg0 = 0x2000 + static_cast<uint32_t>(b.tableSize);
    ASSERT_EQ(b.inspected.voices.size(), 4u);
    EXPECT_EQ(b.inspected.voices[0].offset, seg0);
    EXPECT_EQ(b.inspected.voices[1].offset, 0x102000u);
    EXPECT_EQ(b.inspected.voices[2].offset, seg0 + 900000);
    EXPECT_EQ(b.inspected.voices[3].offset, 0x202000u);  // fits neither segment 0 nor 1
    // Segment 1's first 8 KB stay unwritten; its voice, ending at 0x200000, marks 0x2000 and 0x2001.
    const std::vector<uint8_t>& map = b.image->PageMap;
    EXPECT_EQ(map[0x1000], 0);
    EXPECT_EQ(map[0x101F], 0);
    EXPECT_EQ(map[0x1020], 0xFF);
    EXPECT_EQ(map[0x2000], 0xFF);
    EXPECT_EQ(map[0x2001], 0xFF);
    EXPECT_EQ(map[0x2002], 0);
    EXPECT_EQ(map[0x2020], 0xFF);
    EXPECT_EQ(b.image->ImageBuffer[0x1FFFFF], static_cast<uint8_t>((0xFE000 - 1) * 7 + ((0xFE000 - 1) >> 8)));
    EXPECT_EQ(b.image->ImageEnd, 0x202000u + 100000u);
}

TEST(GroupBuild, VoicesBeyondTheEightSegmentsGive2012) {
    TempDir dir;
    ImageGroupFixture group(dir.path());
    group.AddTemplate(1, "T", {{"*", {"<Эта остановка>"}}});
    group.AddRoute("r", 7, "T", 1000000);  // eight voices: segment 0 takes none, 1 to 7 one each
    const Built b = BuildGroup(group.Write());
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.code, 2012);
    EXPECT_EQ(b.messages, std::vector<int32_t>{2012});
    EXPECT_EQ(b.voiceBytes, 7 * 1000000);
    EXPECT_TRUE(NothingToWrite(*b.image));
}

TEST(GroupBuild, TableSegmentOfExactly57344BytesBuilds) {
    // One route of two stops, 3 voices, 3 names; each event plays its stop and pauses 9,539
    // times: S = 2 * (3 + 3 * 9539 + 1) = 57,242, padded to 57,244; T1 = 100 + 57,244.
    TempDir dir;
    ImageGroupFixture group(dir.path());
    std::vector<std::string> lines{"<Эта остановка>"};
    lines.insert(lines.end(), 9539, "<Пауза> 1мс.");
    group.AddTemplate(1, "T", {{"*", lines}});
    group.AddRoute("r", 2, "T");
    const Built fits = BuildGroup(group.Write());
    EXPECT_TRUE(fits.ok) << fits.code;
    EXPECT_EQ(fits.tableSize, 57344);
    EXPECT_TRUE(fits.messages.empty());

    // One more voice is one more 4-byte step.
    group.routes[0].term1Voices[0] = "voice\\t1.wav";
    WritePackedVoice(dir.path(), "voice/t1.wav", 64);
    const Built over = BuildGroup(group.Write());
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.tableSize, 57348);
    EXPECT_EQ(over.messages, std::vector<int32_t>{2021});
    EXPECT_TRUE(NothingToWrite(*over.image));
}

TEST(GroupBuild, FailuresShowTheirMessageAndLeaveNothingToWrite) {
    struct Case {
        const char* what;
        std::function<void(ImageGroupFixture&)> change;  // after the fixture is complete
        std::function<void(const fs::path&)> after;       // after it is written
        int32_t code;
        std::vector<int32_t> messages;
    };
    auto templateLine = [](const std::string& line) {
        return [line](ImageGroupFixture& g) { g.templ.items.back().text = line; };
    };
    const Case cases[] = {
        {"no group file", {}, [](const fs::path& d) { fs::remove(d / "group.mrg"); }, 1026, {1008}},
        {"a malformed group file", {},
         [](const fs::path& d) { WriteBytes(d / "group.mrg", "\x03" "abc"); }, 1026, {1008}},
        {"a missing route file", {}, [](const fs::path& d) { fs::remove(d / "r1.lin"); }, 1028, {1028}},
        {"a route without stops", [](ImageGroupFixture& g) { g.routes[1].stops.clear(); }, {}, 1028, {1028}},
        {"a route without template file", [](ImageGroupFixture& g) { g.routes[1].templateFile.clear(); }, {}, 1023,
         {1023}},
        {"a route without route voice", [](ImageGroupFixture& g) { g.routes[1].routeVoices[0].clear(); }, {}, 1030,
         {1030}},
        {"a stop without voice", [](ImageGroupFixture& g) { g.routes[1].stops[0].voices[0].clear(); }, {}, 1030,
         {1030}},
        {"a stop naming no template", [](ImageGroupFixture& g) { g.routes[1].stops[1].templateName = "none"; }, {},
         1029, {1029}},
        {"a stop without name", [](ImageGroupFixture& g) { g.routes[1].stops[0].names[0].clear(); }, {}, -1, {}},
        {"the next stop at the last stop", templateLine("<Следующая остановка>"), {}, 1033, {1033}},
        {"an unknown word", templateLine("<Нет такого>"), {}, 1032, {1032}},
        {"a pause without number", templateLine("<Пауза> мало.мс."), {}, 1032, {1032}},
        {"an empty route voice word", templateLine("<Звук.файл маршрута-Язык2>"), {}, 0, {}},
        // The lookup shows the missing file, the line shows it once more with the template's name.
        {"a voice line without file", templateLine("voice\\absent.wav"), {}, 1030, {1030, 1030}},
        {"a route voice that cannot be packed", {},
         [](const fs::path& d) { fs::remove(d / "voice" / "r1_route_wav.fvp"); }, 2010, {2010}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ImageGroupFixture g(dir.path());
        g.AddTemplate(1, "T", {{"*", {"<Эта остановка>", "<Контрольная>"}}});
        g.AddRoute("r0", 2, "T");
        g.AddRoute("r1", 2, "T");
        if (c.change) c.change(g);
        const std::string file = g.Write();
        if (c.after) c.after(dir.path());

        auto image = std::make_unique<CartridgeImage>();
        RecordingPresenter mes;
        TGroupBuildImage builder(*image);
        image->ImageBuffer[0x5000] = 0;  // left from an earlier build
        image->PageMap[0x50] = 0xFF;
        image->ImageEnd = 0x5100;
        const bool ok = builder.Build(file);
        EXPECT_EQ(builder.LastCode(), c.code);
        EXPECT_EQ(ok, c.code == 0);
        EXPECT_EQ(mes.Codes(), c.messages);
        if (!ok) {
            EXPECT_TRUE(NothingToWrite(*image));
        }
    }
}

TEST(GroupBuild, MoreThan127RoutesGive2021BeforeAnyRouteIsRead) {
    TempDir dir;
    GroupDescription g;
    for (int i = 0; i < 128; ++i) g.routes.push_back("absent" + std::to_string(i) + ".lin");
    const std::string file = (dir.path() / "group.mrg").string();
    ASSERT_TRUE(WriteGroupFile(file, g));
    const Built b = BuildGroup(file);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.code, 2021);
    EXPECT_EQ(b.messages, std::vector<int32_t>{2021});  // no 1028 for the absent routes
}

TEST(GroupBuild, LegTextsFollowTerminalsAndRouteFlags) {
    // 21 stops with terminals at 10 and 20: a leg ends at Term2Text up to stop 10 and at Term1Text
    // after it, unless bit 0 of the route flags makes every leg run from Term1Text to Term2Text.
    for (const char* flags : {"0", "1"}) {
        SCOPED_TRACE(flags);
        TempDir dir;
        ImageGroupFixture group(dir.path());
        group.AddTemplate(1, "T", {{"*", {"<Эта остановка>"}}});
        RouteDescription& r = group.AddRoute("t", 21, "T");
        r.term1Text[0] = "Start";
        r.term2Text[0] = "End";
        r.routeFlags = flags;
        r.stops[10].control = kStopIgnored | kStopTerminal;
        r.stops[20].control = kStopIgnored | kStopTerminal;
        r.stops[5].control = kStopIgnored | kStopKey;
        r.stops[15].control = kStopIgnored | kStopKey;
        const Built b = BuildGroup(group.Write());
        ASSERT_TRUE(b.ok) << b.code;
        const auto& events = b.inspected.routes[0].events;
        ASSERT_EQ(events.size(), 21u);
        const bool bit0 = flags[0] == '1';
        struct Expect {
            int stop;
            const char* start;
            const char* end;
            std::vector<std::string> list;
        };
        const Expect expect[] = {
            {0, "Start", "End", {"t stop 5"}},
            {6, "Start", "End", {"t stop 7"}},  // no key stop before the terminal: the next stop
            {10, "Start", "End", {"Конечная"}},
            {11, "Start", "End", {"t stop 15"}},
            {20, "Start", bit0 ? "End" : "Start", {"Конечная"}},
        };
        for (const Expect& e : expect) {
            SCOPED_TRACE(e.stop);
            const InspectedEvent& ev = events[static_cast<size_t>(e.stop)];
            EXPECT_EQ(FirstOfType(ev, 0x0B)->utf8, e.start);
            EXPECT_EQ(FirstOfType(ev, 0x0C)->utf8, e.end);
            std::vector<std::string> list, want;
            for (const InspectedText& t : ev.display)
                if (t.type == 0x07) list.push_back(t.bytes);
            for (const std::string& w : e.list) want.push_back(BoardBytes(w));
            EXPECT_EQ(list, want);
        }
    }
}

TEST(GroupBuild, FollowingStopsWithoutLegMarks) {
    struct Case {
        int stops;
        std::vector<int> keys;  // flagged key stops
        int at;
        std::vector<std::string> list;
    };
    const Case cases[] = {
        // 10 key stops: 5 entries, wrapping from the last key stop to the first.
        {12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 7, {"s 8", "s 9", "s 0", "s 1", "s 2"}},
        // No key stops: every 4th of 12 stops (m = 2), every 2nd of 20 (m = 5).
        {12, {}, 4, {"s 6", "s 9"}},
        {20, {}, 17, {"s 18", "s 0", "s 2", "s 4", "s 6"}},
        // Two stops only: the next stop, the first one after the last.
        {2, {}, 1, {"s 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stops);
        TempDir dir;
        ImageGroupFixture group(dir.path());
        group.AddTemplate(1, "T", {{"*", {"<Эта остановка>"}}});
        RouteDescription& r = group.AddRoute("s", c.stops, "T");
        for (int k = 0; k < c.stops; ++k) r.stops[static_cast<size_t>(k)].names[0] = "s " + std::to_string(k);
        for (int k : c.keys) r.stops[static_cast<size_t>(k)].control = kStopIgnored | kStopKey;
        const Built b = BuildGroup(group.Write());
        ASSERT_TRUE(b.ok) << b.code;
        std::vector<std::string> list;
        for (const InspectedText& t : b.inspected.routes[0].events[static_cast<size_t>(c.at)].display)
            if (t.type == 0x07) list.push_back(t.utf8);
        EXPECT_EQ(list, c.list);
    }
}

TEST(GroupBuild, SharedVoiceHasOneEntryForBothRoutes) {
    TempDir dir;
    ImageGroupFixture group(dir.path());
    group.AddTemplate(1, "T", {{"*", {"voice\\common.wav"}}});
    group.AddRoute("a", 2, "T");
    group.AddRoute("b", 2, "T");
    WritePackedVoice(dir.path(), "voice/common.wav", 32);
    const Built b = BuildGroup(group.Write());
    ASSERT_TRUE(b.ok) << b.code;
    std::vector<uint16_t> played;
    for (const InspectedRoute& r : b.inspected.routes)
        for (const InspectedEvent& ev : r.events)
            for (const InspectedScriptCode& c : ev.script)
                if (c.code == kScriptVoice) played.push_back(c.value);
    ASSERT_EQ(played.size(), 4u);
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [&](uint16_t v) { return v == played[0]; }));
    EXPECT_EQ(b.inspected.voices.size(), 7u);  // 2 route voices, 4 stop voices, the common one
}

}  // namespace
