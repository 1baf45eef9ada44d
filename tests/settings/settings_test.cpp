#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "settings/memory_settings_store.h"
#include "settings/settings.h"

namespace {

constexpr SettingsScope kUser = SettingsScope::User;
constexpr SettingsScope kSystem = SettingsScope::System;

const char* const kFirstGroup[] = {
    "IsLang2", "IsLang3", "GpsShow", "GpsFormat", "ChangeTat", "Lang2ToV23", "ParTempEnable", "EndStEnable",
    "ZoneEnable", "SoundMin", "SoundDownT", "SoundUpT", "SoundEndSt", "SoundZone1", "SoundZone2", "GrMin",
    "GrMax", "GrDif", "PeriodMsg", "EndStL1", "EndStL2", "EndStL3", "BusL1", "BusL2", "BusL3", "MonL1", "MonL2",
    "MonL3", "DayL1", "DayL2", "DayL3", "PrefIL1", "PrefIL2", "PrefIL3", "PrefEL1", "PrefEL2", "PrefEL3",
    "VoiceCity",
};
const char* const kTexts[] = {"SoundMin", "SoundDownT", "SoundUpT", "SoundEndSt", "SoundZone1", "SoundZone2",
                              "EndStL1", "EndStL2", "EndStL3", "BusL1", "BusL2", "BusL3", "MonL1", "MonL2",
                              "MonL3", "DayL1", "DayL2", "DayL3", "PrefIL1", "PrefIL2", "PrefIL3", "PrefEL1",
                              "PrefEL2", "PrefEL3"};

bool IsTextName(const std::string& name) {
    for (const char* t : kTexts)
        if (name == t) return true;
    return false;
}

// A key holding every value the program reads (ints 1 in the first group, 3 in the second), as a
// user of the other tools would have it, less the values named in `without`.
void FillKey(MemorySettingsStore& store, SettingsScope scope, std::initializer_list<std::string> without = {}) {
    auto wanted = [&](const std::string& name) {
        for (const std::string& w : without)
            if (w == name) return false;
        return true;
    };
    store.SetKey(scope, true);
    for (const char* name : kFirstGroup) {
        if (!wanted(name)) continue;
        if (IsTextName(name)) store.SetText(scope, name, std::string("t-") + name);
        else store.SetInt(scope, name, 1);
    }
    for (const char* name : {"PortNum", "IndexPortRate", "ToolTip", "CountType", "CountWin", "CurWin",
                             "SmallPause", "VerDB", "FontSize", "FontSizeRep"})
        if (wanted(name)) store.SetInt(scope, name, 3);
    for (const char* name : {"NameOrg", "NameDB", "FontDef", "FontDefRep"})
        if (wanted(name)) store.SetText(scope, name, name);
}

std::vector<std::string> SavedOrder() {
    std::vector<std::string> names = {"PortNum", "IndexPortRate", "ToolTip", "IsLang2", "GpsShow",
                                      "CountType", "CountWin", "CurWin", "SmallPause", "VerDB",
                                      "NameOrg", "NameDB", "FontDef", "FontDefRep", "FontSize", "FontSizeRep"};
    for (int i = 0; i < 10; ++i) names.push_back("DirList" + std::to_string(i));
    names.push_back("GrpName");
    return names;
}

TEST(Settings, FirstStartWithoutAnyKey) {
    MemorySettingsStore store;
    TInfoConfig c;
    EXPECT_FALSE(LoadSettings(c, store));
    EXPECT_EQ(c.PortNum, -1);
    EXPECT_EQ(c.IndexPortRate, -1);
    EXPECT_EQ(c.VerDB, -1);
    EXPECT_FALSE(c.ReadScope.has_value());
    EXPECT_FALSE(store.KeyExists(kUser));
    EXPECT_FALSE(store.KeyExists(kSystem));

    c.GrpName = "/srv/groups/g.mrg";
    ASSERT_TRUE(SaveSettings(c, store));
    EXPECT_FALSE(store.KeyExists(kUser));
    EXPECT_EQ(store.WriteLog(kSystem), SavedOrder());
    EXPECT_EQ(store.Get(kSystem, "PortNum"), MemorySettingsStore::Value(-1));
    EXPECT_EQ(store.Get(kSystem, "DirList9"), MemorySettingsStore::Value(" "));
    EXPECT_EQ(store.Get(kSystem, "NameOrg"), MemorySettingsStore::Value(""));
    EXPECT_EQ(store.Get(kSystem, "GrpName"), MemorySettingsStore::Value("/srv/groups/g.mrg"));
    EXPECT_FALSE(store.Get(kSystem, "IsLang3").has_value());  // the first group is not written at close
}

TEST(Settings, UserKeyWinsOverSystemKey) {
    MemorySettingsStore store;
    FillKey(store, kSystem);
    store.SetInt(kSystem, "IsLang3", 1);
    TInfoConfig fromSystem;
    EXPECT_TRUE(LoadSettings(fromSystem, store));
    EXPECT_EQ(fromSystem.ReadScope, kSystem);
    EXPECT_EQ(fromSystem.IsLang3, 1);

    FillKey(store, kUser);
    store.SetInt(kUser, "IsLang3", 0);
    TInfoConfig fromUser;
    EXPECT_TRUE(LoadSettings(fromUser, store));
    EXPECT_EQ(fromUser.ReadScope, kUser);
    EXPECT_EQ(fromUser.IsLang3, 0);
}

TEST(Settings, MissingFirstGroupValueIsCreatedAndReadingGoesOn) {
    MemorySettingsStore store;
    FillKey(store, kUser, {"IsLang3"});
    for (const char* name : {"PortNum", "IndexPortRate", "VerDB"}) store.SetInt(kUser, name, -1);
    TInfoConfig c;
    c.IsLang3 = 1;  // whatever it held, a missing value is created as 0
    EXPECT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(store.WriteLog(kUser), std::vector<std::string>{"IsLang3"});
    EXPECT_EQ(store.Get(kUser, "IsLang3"), MemorySettingsStore::Value(0));
    EXPECT_EQ(c.IsLang3, 0);
    EXPECT_EQ(c.VoiceCity, 1);  // read after the created value
    // The whole second block was read, so -1 stays -1: the defaults are only for a failed block.
    EXPECT_EQ(c.PortNum, -1);
    EXPECT_EQ(c.IndexPortRate, -1);
    EXPECT_EQ(c.VerDB, -1);
    EXPECT_EQ(c.NameOrg, "NameOrg");
}

TEST(Settings, FirstGroupFailureSkipsTheRestAndAppliesDefaults) {
    struct Case {
        const char* what;
        void (*spoil)(MemorySettingsStore&);
    };
    const Case cases[] = {
        {"an int value holding text", [](MemorySettingsStore& s) { s.SetText(kUser, "GpsFormat", "abc"); }},
        {"missing and not creatable",
         [](MemorySettingsStore& s) {
             s.SetKey(kUser, false);
             FillKey(s, kUser, {"GpsFormat"});
             s.SetWritable(kUser, false);
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        MemorySettingsStore store;
        FillKey(store, kUser);
        k.spoil(store);
        store.SetText(kUser, "DirList2", "/srv/voice");
        store.SetText(kUser, "GrpName", "/srv/g.mrg");
        TInfoConfig c;
        EXPECT_FALSE(LoadSettings(c, store));
        EXPECT_EQ(c.IsLang2, 1);    // before the failure
        EXPECT_EQ(c.ChangeTat, 0);  // after it: not reached
        EXPECT_EQ(c.VoiceCity, 0);
        EXPECT_EQ(c.PortNum, 2);    // the second block is skipped: defaults
        EXPECT_EQ(c.IndexPortRate, 5);
        EXPECT_EQ(c.VerDB, 0);
        EXPECT_FALSE(c.NameOrg.has_value());
        EXPECT_EQ(c.DirList[2], "/srv/voice");  // the folder list and GrpName are read all the same
        EXPECT_EQ(c.GrpName, "/srv/g.mrg");
    }
    // A text value holding a number (a DWORD where a string belongs) fails the same way.
    MemorySettingsStore store;
    FillKey(store, kUser);
    store.SetInt(kUser, "SoundUpT", 5);
    TInfoConfig c;
    EXPECT_FALSE(LoadSettings(c, store));
    EXPECT_EQ(c.SoundDownT, "t-SoundDownT");
    EXPECT_FALSE(c.SoundEndSt.has_value());
}

TEST(Settings, SecondBlockStopsAtAMissingInt) {
    MemorySettingsStore store;
    FillKey(store, kUser, {"CurWin", "NameOrg"});
    store.SetInt(kUser, "PortNum", 7);
    store.SetInt(kUser, "IndexPortRate", -1);
    TInfoConfig c;
    EXPECT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(c.PortNum, 7);
    EXPECT_EQ(c.CountWin, 3);
    EXPECT_EQ(c.SmallPause, 0);     // after the missing CurWin: not read
    EXPECT_EQ(c.IndexPortRate, 5);  // read as -1, then the default
    EXPECT_EQ(c.VerDB, 0);

    // A missing text reads as empty text and the block goes on.
    store.SetInt(kUser, "CurWin", 5);
    TInfoConfig d;
    EXPECT_TRUE(LoadSettings(d, store));
    EXPECT_EQ(d.NameOrg, "");
    EXPECT_EQ(d.NameDB, "NameDB");
    EXPECT_EQ(d.FontSizeRep, 3);
    EXPECT_EQ(d.IndexPortRate, -1);  // the whole block was read: no defaults
}

TEST(Settings, IntsAreKeptAtTheFieldsWidth) {
    MemorySettingsStore store;
    FillKey(store, kUser);
    store.SetInt(kUser, "IsLang2", 257);
    store.SetInt(kUser, "GrMin", -129);
    store.SetInt(kUser, "ChangeTat", -1);
    store.SetInt(kUser, "ParTempEnable", 5);
    store.SetInt(kUser, "ZoneEnable", 0);
    store.SetInt(kUser, "PortNum", 200);
    store.SetInt(kUser, "CountType", 70000);
    store.SetInt(kUser, "FontSize", -32769);
    TInfoConfig c;
    ASSERT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(c.IsLang2, 1);
    EXPECT_EQ(c.GrMin, 127);
    EXPECT_EQ(c.ChangeTat, 255);
    EXPECT_TRUE(c.ParTempEnable);
    EXPECT_FALSE(c.ZoneEnable);
    EXPECT_EQ(c.PortNum, -56);
    EXPECT_EQ(c.CountType, 4464);
    EXPECT_EQ(c.FontSize, 32767);
    ASSERT_TRUE(SaveSettings(c, store));
    EXPECT_EQ(store.Get(kUser, "PortNum"), MemorySettingsStore::Value(-56));  // sign-extended again
    EXPECT_EQ(store.Get(kUser, "CountType"), MemorySettingsStore::Value(4464));
}

TEST(Settings, FolderListAndGroupName) {
    MemorySettingsStore store;
    FillKey(store, kUser);
    store.SetText(kUser, "DirList0", "C:\\voice");
    store.SetText(kUser, "DirList1", "");
    store.SetText(kUser, "DirList3", " ");
    store.SetText(kUser, "DirList4", "  ");
    store.SetText(kUser, "GrpName", "");
    TInfoConfig c;
    c.GrpName = "kept";
    ASSERT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(c.DirList[0], "C:\\voice");
    EXPECT_FALSE(c.DirList[1].has_value());
    EXPECT_FALSE(c.DirList[3].has_value());
    EXPECT_EQ(c.DirList[4], "  ");
    EXPECT_FALSE(c.DirList[5].has_value());  // missing
    EXPECT_EQ(c.GrpName, "kept");             // empty text leaves it as it was
    c.GrpName.reset();
    ASSERT_TRUE(SaveSettings(c, store));
    EXPECT_EQ(store.Get(kUser, "DirList0"), MemorySettingsStore::Value("C:\\voice"));
    EXPECT_EQ(store.Get(kUser, "DirList3"), MemorySettingsStore::Value(" "));
    EXPECT_EQ(store.Get(kUser, "DirList5"), MemorySettingsStore::Value(" "));
    EXPECT_EQ(store.Get(kUser, "GrpName"), MemorySettingsStore::Value(""));

    // A folder value of the wrong type ends the list; the slots after it stay as they were.
    store.SetInt(kUser, "DirList1", 5);
    TInfoConfig d;
    d.DirList[2] = "before";
    ASSERT_TRUE(LoadSettings(d, store));
    EXPECT_EQ(d.DirList[0], "C:\\voice");
    EXPECT_EQ(d.DirList[2], "before");
}

TEST(Settings, SaveGoesWhereTheValuesWereRead) {
    enum class Key { None, User, System };
    struct Case {
        const char* what;
        Key key;
        bool userWritable, systemWritable;
        bool saved;
        bool inUser, inSystem;
    };
    const Case cases[] = {
        {"read from the user key", Key::User, true, true, true, true, false},
        {"read from the system key", Key::System, true, true, true, false, true},
        {"system key read-only: the user scope takes it", Key::System, true, false, true, true, false},
        {"no key, system read-only", Key::None, true, false, true, true, false},
        {"no key anywhere yet", Key::None, true, true, true, false, true},
        {"user key read-only", Key::User, false, true, false, false, false},
        {"nothing writable", Key::None, false, false, false, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        MemorySettingsStore store;
        if (k.key == Key::User) FillKey(store, kUser);
        if (k.key == Key::System) FillKey(store, kSystem);
        TInfoConfig c;
        LoadSettings(c, store);
        store.SetWritable(kUser, k.userWritable);
        store.SetWritable(kSystem, k.systemWritable);
        c.GrpName = "/srv/new.mrg";
        EXPECT_EQ(SaveSettings(c, store), k.saved);
        EXPECT_EQ(store.Get(kUser, "GrpName").has_value(), k.inUser);
        EXPECT_EQ(store.Get(kSystem, "GrpName").has_value(), k.inSystem);
    }
}

TEST(Settings, FallbackKeyKeepsWhatTheSystemKeyHeld) {
    MemorySettingsStore store;
    FillKey(store, kSystem);
    store.SetInt(kSystem, "IsLang3", 1);
    store.SetInt(kSystem, "Lang2ToV23", 4);
    TInfoConfig c;
    ASSERT_TRUE(LoadSettings(c, store));
    c.Lang2ToV23 = 2;  // a choice made while running is not kept
    c.GrpName = "/srv/new.mrg";
    store.SetWritable(kSystem, false);
    ASSERT_TRUE(SaveSettings(c, store));

    TInfoConfig next;
    ASSERT_TRUE(LoadSettings(next, store));
    EXPECT_EQ(next.ReadScope, kUser);
    EXPECT_EQ(next.IsLang3, 1);
    EXPECT_EQ(next.Lang2ToV23, 4);
    EXPECT_EQ(next.SoundMin, "t-SoundMin");
    EXPECT_EQ(next.GrpName, "/srv/new.mrg");
    EXPECT_EQ(next.PortNum, 3);
}

}  // namespace
