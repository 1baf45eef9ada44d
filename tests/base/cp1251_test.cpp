#include "base/cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << "byte " << b;
    }
}

TEST(Cp1251, KnownCharacters) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    } cases[] = {
        {'A', "A"},       {0xC0, "А"}, {0xFF, "я"}, {0xA8, "Ё"}, {0xB8, "ё"}, {0xB9, "№"},
        {0x88, "€"},      {0x96, "–"}, {0xAB, "«"}, {0xBB, "»"}, {0xA0, "\xC2\xA0"},
        {0x98, "\xC2\x98"},  // unassigned byte, kept as the Windows conversion keeps it
    };
    for (const Case& c : cases) {
        const std::string one(1, static_cast<char>(c.byte));
        EXPECT_EQ(Cp1251ToUtf8(one), c.utf8) << int(c.byte);
        EXPECT_EQ(Utf8ToCp1251(c.utf8), one) << int(c.byte);
    }
    EXPECT_EQ(Cp1251ToUtf8("\xD1\xEB\xE5\xE4\xF3\xFE\xF9\xE0\xFF"), "Следующая");
}

TEST(Cp1251, CharactersWithoutAByteAndMalformedUtf8BecomeQuestionMarks) {
    struct Case {
        std::string utf8;
        std::string cp1251;
    } cases[] = {
        {"日本", "??"},
        {"a\xF0\x9F\x98\x80z", "a?z"},  // emoji
        {"\x80", "?"},                  // stray continuation byte
        {"\xC3", "?"},                  // truncated at the end
        {"\xD0x", "?x"},                // truncated before an ASCII byte
        {"\xC0\xAF", "?"},              // overlong slash
        {"\xED\xA0\x80", "?"},          // surrogate
        {"\xFF\xFE", "??"},
        {"Ä", "?"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}
