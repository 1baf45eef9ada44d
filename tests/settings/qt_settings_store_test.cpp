#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/qt_settings_store.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ParseStoredInt, ThirtyTwoBitIntegersOnly) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"0", 0}, {"-1", -1}, {"+5", 5}, {"007", 7}, {"2147483647", 2147483647},
        {"2147483648", INT32_MIN}, {"4294967295", -1}, {"-2147483648", INT32_MIN},
        {"4294967296", std::nullopt}, {"-2147483649", std::nullopt}, {"99999999999999999999999", std::nullopt},
        {"", std::nullopt}, {"-", std::nullopt}, {" 5", std::nullopt}, {"5x", std::nullopt},
        {"0x10", std::nullopt}, {"1.0", std::nullopt}, {"--1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseStoredInt(c.text), c.value) << c.text;
    EXPECT_EQ(ParseStoredInt(std::string(1000, '9')), std::nullopt);
}

TEST(QtSettingsStore, ConfigHomeMovesBothScopes) {
    const char* before = std::getenv("KORVIS_CONFIG_HOME");
    const std::string saved = before ? before : "";
    setenv("KORVIS_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(QtSettingsStore::DefaultFile(SettingsScope::User), "/tmp/cfg/user/Informer Timora.ini");
    EXPECT_EQ(QtSettingsStore::DefaultFile(SettingsScope::System), "/tmp/cfg/system/Informer Timora.ini");
    if (before) setenv("KORVIS_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("KORVIS_CONFIG_HOME");
}

class QtSettingsFiles : public testing::Test {
protected:
    std::string user() const { return dir.str() + "/user/Informer Timora.ini"; }
    std::string system() const { return dir.str() + "/system/Informer Timora.ini"; }
    TempDir dir;
};

TEST_F(QtSettingsFiles, FirstCloseMakesTheSystemFileAndTheNextStartReadsIt) {
    {
        QtSettingsStore store(user(), system());
        TInfoConfig c;
        EXPECT_FALSE(LoadSettings(c, store));
        c.GrpName = "/srv/Маршруты/группа 1.mrg";
        c.DirList[1] = "a, b";
        c.NameOrg = "@Timora";
        ASSERT_TRUE(SaveSettings(c, store));
    }
    const std::string text = ReadFile(system());
    EXPECT_NE(text.find("PortNum=-1"), std::string::npos) << text;
    EXPECT_NE(text.find("DirList0=\" \""), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(user()));

    QtSettingsStore store(user(), system());
    TInfoConfig c;
    EXPECT_TRUE(LoadSettings(c, store));  // creates the first group in the system file
    EXPECT_EQ(c.ReadScope, SettingsScope::System);
    EXPECT_EQ(c.GrpName, "/srv/Маршруты/группа 1.mrg");
    EXPECT_EQ(c.DirList[1], "a, b");
    EXPECT_FALSE(c.DirList[0].has_value());
    EXPECT_EQ(c.NameOrg, "@Timora");
    EXPECT_EQ(c.PortNum, -1);
    EXPECT_NE(ReadFile(system()).find("VoiceCity=0"), std::string::npos);
}

TEST_F(QtSettingsFiles, HandWrittenValues) {
    dir.write("user/Informer Timora.ini",
              "[General]\nIsLang2=1\nIsLang3=4294967295\nNameOrg=Timora, Kazan\nGrpName=/srv/g.mrg\n");
    QtSettingsStore store(user(), system());
    TInfoConfig c;
    EXPECT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(c.IsLang2, 1);
    EXPECT_EQ(c.IsLang3, -1);
    EXPECT_EQ(c.GrpName, "/srv/g.mrg");
    EXPECT_EQ(c.PortNum, 2);  // the second block is incomplete

    dir.write("user/Informer Timora.ini", "[General]\nIsLang2=1\nIsLang3=yes\nChangeTat=1\n");
    QtSettingsStore again(user(), system());
    TInfoConfig d;
    EXPECT_FALSE(LoadSettings(d, again));  // "yes" is no double word
    EXPECT_EQ(d.IsLang2, 1);
    EXPECT_EQ(d.ChangeTat, 0);
}

TEST_F(QtSettingsFiles, LinesQSettingsCannotParseDoNotStopTheSave) {
    dir.write("user/Informer Timora.ini", "garbage\n[unclosed\n\x01=\xff\n[General]\nIsLang2=1\nOther=kept\n");
    QtSettingsStore store(user(), system());
    TInfoConfig c;
    EXPECT_TRUE(LoadSettings(c, store));
    EXPECT_EQ(c.IsLang2, 1);
    c.GrpName = "/srv/g.mrg";
    EXPECT_TRUE(SaveSettings(c, store));
    const std::string text = ReadFile(user());
    EXPECT_NE(text.find("GrpName=/srv/g.mrg"), std::string::npos) << text;
    EXPECT_NE(text.find("Other=kept"), std::string::npos) << text;
}

TEST_F(QtSettingsFiles, SystemScopeThatCannotBeMadeFallsBackToTheUser) {
    dir.write("system", "a file where the folder would be");
    QtSettingsStore store(user(), system());
    TInfoConfig c;
    EXPECT_FALSE(LoadSettings(c, store));
    c.GrpName = "/srv/g.mrg";
    EXPECT_TRUE(SaveSettings(c, store));
    EXPECT_NE(ReadFile(user()).find("GrpName=/srv/g.mrg"), std::string::npos);

    QtSettingsStore nowhere(dir.str() + "/system/user.ini", system());
    EXPECT_FALSE(SaveSettings(c, nowhere));
}

}  // namespace
