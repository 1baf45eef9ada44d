#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "image/group_build_image.h"
#include "image/recoding.h"

namespace {

uint8_t Cp(const char* utf8letter) { return static_cast<uint8_t>(Utf8ToCp1251(utf8letter)[0]); }

TEST(Recoding, BoardSet) {
    struct Case {
        uint8_t in, board;
    };
    const Case cases[] = {
        {0x20, 0x20}, {0x41, 0x41}, {0x9F, 0x9F}, {Cp("А"), 0x41}, {Cp("Б"), 0xA0}, {Cp("я"), 0xC7},
        {Cp("ё"), 0xB5}, {Cp("Ё"), 0xA2}, {0xA0, 0xF0}, {Cp("р"), 0x70}, {Cp("Щ"), 0xE2}, {Cp("Ш"), 0xAC}, {0xBF, 0x88},
    };
    for (const Case& c : cases) EXPECT_EQ(BoardByte(c.in), c.board) << std::hex << int(c.in);
}

TEST(Recoding, TatarLettersBecomeSimilarLettersBeforeTheBoardSet) {
    struct Case {
        uint8_t in, substituted;
    };
    // Outside 0x80..0xBF nothing changes.
    const Case cases[] = {{0x7F, 0x7F}, {0xC0, 0xC0}, {0x80, 0x68}, {0x8A, 0xCB}, {0x98, 0x20},
                          {0xA8, 0xA8}, {0xBA, 0xFD}, {0xBF, 0x69}};
    for (const Case& c : cases) EXPECT_EQ(TatarSubstitute(c.in), c.substituted) << std::hex << int(c.in);

    uint8_t pool[] = {0x0B, 0x8A, 0xC0, 0x00};
    RecodeDisplayTexts(pool, sizeof pool, true);
    EXPECT_EQ(pool[0], 0x0B);
    EXPECT_EQ(pool[1], 0xA7);  // Љ -> Л -> board 0xA7
    EXPECT_EQ(pool[2], 0x41);
    uint8_t plain[] = {0x8A};
    RecodeDisplayTexts(plain, 1, false);
    EXPECT_EQ(plain[0], 0x8A);
}

TEST(Recoding, NamesUseCodePage866) {
    struct Case {
        uint8_t in, name;
    };
    const Case cases[] = {
        {Cp("А"), 0x80}, {Cp("Я"), 0x9F}, {Cp("а"), 0xA0}, {Cp("п"), 0xAF}, {Cp("р"), 0xE0}, {Cp("я"), 0xEF},
        {Cp("Ё"), 0xF0}, {Cp("ё"), 0xF1}, {Cp("Ґ"), 0x83}, {Cp("ґ"), 0xA3}, {Cp("Є"), 0x9D}, {Cp("є"), 0xED},
        {Cp("Ї"), 0x49}, {Cp("І"), 0x49}, {Cp("ї"), 0x69}, {Cp("і"), 0x69}, {'7', '7'}, {0xB0, 0xB0},
    };
    for (const Case& c : cases) EXPECT_EQ(NameByte(c.in), c.name) << std::hex << int(c.in);
}

TEST(Recoding, NamesAndBoardTextsReadBack) {
    std::string name = Utf8ToCp1251("Ёлочная  ул.   ");
    name.resize(16, ' ');
    std::string n = name;
    RecodeName(reinterpret_cast<uint8_t*>(n.data()));
    EXPECT_EQ(NameToUtf8(n), "Ёлочная  ул.    ");
    // Letters the boards show with Latin shapes read back as those Latin letters.
    std::string t = Utf8ToCp1251("Вокзал");
    RecodeDisplayTexts(reinterpret_cast<uint8_t*>(t.data()), t.size(), false);
    EXPECT_EQ(BoardTextToUtf8(t), "Boкзaл");  // B, o and a are Latin
}

TEST(DisplayTexts, ComposeTwoLanguages) {
    struct Case {
        std::string first, second, composed;
    };
    const Case cases[] = {
        {"ABCDEFGHIJKLMNOPQRST", "vwxyz", "ABCDEFGHIJKLMNOvwxyz"},
        {"ABCDEFGHIJKLMNOPQRST", "", "ABCDEFGHIJKLMNOPQRST"},
        {"Short", "Two", "Short          Two"},
        {"First", "0123456789ABCDEFGHIJ", "First          0123456789ABCDEF"},
    };
    for (const Case& c : cases) EXPECT_EQ(ComposeTwoLanguages(c.first, c.second), c.composed) << c.first;
}

TEST(DisplayTexts, FreeTextEscapes) {
    struct Case {
        std::string in;
        bool v27;
        std::string out;
    };
    const Case cases[] = {
        {"@RWord@/x", false, "\x02Word\x04x"},
        {"ab@R", false, "ab"},
        {"ab@Rc", false, "ab\x02" "c"},
        {"@@x", false, "@x"},
        {"@Gword", false, "\x01word"},
        {"@Gword", true, "word"},
        {Utf8ToCp1251("@зa@кb@жc"), false, "\x01" "a\x02" "b\x03" "c"},
        {Utf8ToCp1251("@Зa@Кb@Жc"), true, "a\x02" "b\x03" "c"},
        {"@y", false, ""},
        {"@qz", false, "qz"},
        {std::string(300, 'a'), false, std::string(253, 'a')},
    };
    for (const Case& c : cases) EXPECT_EQ(FreeTextBytes(c.in, c.v27), c.out) << c.in;
}

}  // namespace
