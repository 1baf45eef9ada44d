#include "base/native_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

TEST(NativePath, BackslashesBecomeSlashes) {
    EXPECT_EQ(ToNativeSlashes("voice\\stop1.wav"), "voice/stop1.wav");
    EXPECT_EQ(ToNativeSlashes("/a/b\\c"), "/a/b/c");
}

TEST(NativePath, FindsComponentsWithoutRegardToCase) {
    TempDir dir;
    dir.write("voice/stop1.wav", "1");
    dir.write("Маршруты/Остановка.WAV", "2");
    const std::string base = dir.str();
    struct Case {
        std::string name;
        std::optional<std::string> found;
    } cases[] = {
        {base + "\\voice\\stop1.wav", base + "/voice/stop1.wav"},
        {base + "\\Voice\\STOP1.WAV", base + "/voice/stop1.wav"},
        {base + "/VOICE/Stop1.wav", base + "/voice/stop1.wav"},
        {base + "\\маршруты\\ОСТАНОВКА.wav", base + "/Маршруты/Остановка.WAV"},
        {base + "\\voice\\..\\voice\\STOP1.wav", base + "/voice/../voice/stop1.wav"},
        {base + "\\voice\\stop2.wav", std::nullopt},
        {base + "\\nofolder\\stop1.wav", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(FindNativePath(c.name), c.found) << c.name;
}

TEST(NativePath, NeverGuessesBetweenCaseVariants) {
    TempDir dir;
    dir.write("voice/A.wav", "1");
    dir.write("voice/a.wav", "2");
    // Either exact spelling is found; a third spelling matches both and is not found.
    EXPECT_EQ(FindNativePath(dir.str() + "/voice/a.wav"), dir.str() + "/voice/a.wav");
    EXPECT_EQ(FindNativePath(dir.str() + "/voice/A.wav"), dir.str() + "/voice/A.wav");
    dir.write("Voice/x.wav", "3");
    EXPECT_EQ(FindNativePath(dir.str() + "/VOICE/x.wav"), std::nullopt);
    // The unmatched name still maps to slashes for messages and for creating.
    EXPECT_EQ(NativePath(dir.str() + "\\VOICE\\x.wav"), dir.str() + "/VOICE/x.wav");
}

TEST(NativePath, LongAndStrangeNamesAreHandled) {
    EXPECT_EQ(FindNativePath(std::string(1000, 'a')), std::nullopt);
    // Nothing but separators names the root, which exists as written.
    EXPECT_EQ(FindNativePath(std::string(1000, '\\')), std::string(1000, '/'));
    EXPECT_EQ(FindNativePath("/no\xFF\xFE/\xD0"), std::nullopt);
}
