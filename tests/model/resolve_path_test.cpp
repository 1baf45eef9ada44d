#include <gtest/gtest.h>

#include <string>

#include "model/resolve_path.h"

namespace {

TEST(ResolvePath, WindowsNames) {
    struct Case {
        const char* base;
        const char* name;
        const char* full;
        const char* relative;
    };
    const Case cases[] = {
        {"C:\\groups\\", "r1.lin", "C:\\groups\\r1.lin", "r1.lin"},
        {"C:\\groups\\", "C:\\routes\\r1.lin", "C:\\routes\\r1.lin", "..\\routes\\r1.lin"},
        {"C:\\groups\\", "..\\voice\\a.wav", "C:\\voice\\a.wav", "..\\voice\\a.wav"},
        {"C:\\groups\\", "sub\\a.wav", "C:\\groups\\sub\\a.wav", "sub\\a.wav"},
        {"C:\\groups\\", "D:\\voice\\a.wav", "D:\\voice\\a.wav", "D:\\voice\\a.wav"},
        {"C:\\a\\", "..\\..\\..\\x.wav", "C:\\x.wav", "..\\..\\..\\x.wav"},
        {"C:\\groups\\", "../voice/a.wav", "C:\\voice/a.wav", "../voice/a.wav"},
        {"c:\\groups\\", "C:\\groups\\x.wav", "c:\\groups\\x.wav", "x.wav"},
        {"C:\\Groups\\Sub\\", "c:\\GROUPS\\voice\\x.wav", "C:\\Groups\\voice\\x.wav", "..\\voice\\x.wav"},
        {"C:\\Маршруты\\", "C:\\маршруты\\Звук\\x.wav", "C:\\Маршруты\\Звук\\x.wav", "Звук\\x.wav"},
        {"C:\\groups\\", "C:\\groups\\sub\\a.wav", "C:\\groups\\sub\\a.wav", "sub\\a.wav"},
        {"C:\\groups\\sub\\", "C:\\groups\\a.wav", "C:\\groups\\a.wav", "..\\a.wav"},
        {"C:\\groups\\", "D:a.wav", "D:a.wav", "D:a.wav"},
        {"C:\\", "sub\\a.wav", "C:\\sub\\a.wav", "sub\\a.wav"},
        {"C:\\", "..\\a.wav", "C:\\a.wav", "..\\a.wav"},
        {"C:\\groups\\", "", "", ""},
        // Network paths: server and share are the drive, and steps up stop there.
        {"\\\\srv\\share\\groups\\", "\\\\SRV\\Share\\voice\\a.wav", "\\\\srv\\share\\voice\\a.wav",
         "..\\voice\\a.wav"},
        {"\\\\srv\\share\\g\\", "..\\..\\..\\a.wav", "\\\\srv\\share\\a.wav", "..\\..\\..\\a.wav"},
        {"\\\\srv\\share\\g\\", "C:\\voice\\a.wav", "C:\\voice\\a.wav", "C:\\voice\\a.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.name);
        const ResolvedPath r = ResolvePath(c.base, c.name);
        EXPECT_EQ(r.full, c.full);
        EXPECT_EQ(r.relative, c.relative);
    }
}

TEST(ResolvePath, PosixFolders) {
    struct Case {
        const char* base;
        const char* name;
        const char* full;
        const char* relative;
    };
    const Case cases[] = {
        {"/srv/groups/", "r1.lin", "/srv/groups/r1.lin", "r1.lin"},
        {"/srv/groups/", "voice\\Stop1.wav", "/srv/groups\\voice\\Stop1.wav", "voice\\Stop1.wav"},
        {"/srv/groups/", "..\\voice\\a.wav", "/srv\\voice\\a.wav", "..\\voice\\a.wav"},
        {"/srv/g/", "..\\..\\..\\..\\a.wav", "/a.wav", "..\\..\\..\\..\\a.wav"},
        {"/", "sub\\a.wav", "/sub\\a.wav", "sub\\a.wav"},
        // An absolute name stays as written, letter case included.
        {"/srv/groups/", "/srv/Voice/a.wav", "/srv/Voice/a.wav", "..\\Voice\\a.wav"},
        {"/srv/groups/", "/srv/GROUPS/a.wav", "/srv/GROUPS/a.wav", "a.wav"},
        {"/srv/groups/", "C:\\voice\\a.wav", "C:\\voice\\a.wav", "C:\\voice\\a.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.name);
        const ResolvedPath r = ResolvePath(c.base, c.name);
        EXPECT_EQ(r.full, c.full);
        EXPECT_EQ(r.relative, c.relative);
    }
}

TEST(ResolvePath, LongAndOddNamesStayInBounds) {
    const std::string deep = [] {
        std::string s;
        for (int i = 0; i < 200; ++i) s += "..\\";
        return s + "x.wav";
    }();
    EXPECT_EQ(ResolvePath("C:\\a\\b\\", deep).full, "C:\\x.wav");
    const std::string longName(1000, 'n');
    EXPECT_EQ(ResolvePath("C:\\g\\", longName).full, "C:\\g\\" + longName);
    for (const char* odd : {"\\", "/", "..", "..\\", "\\\\", "\\\\srv", "C:", "\xD0", "\xFF\\\xFE"}) {
        SCOPED_TRACE(odd);
        const ResolvedPath r = ResolvePath("C:\\g\\", odd);
        EXPECT_FALSE(r.full.empty());
    }
}

}  // namespace
