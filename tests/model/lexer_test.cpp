#include <gtest/gtest.h>

#include <string>

#include "model/lexer.h"

namespace {

TEST(NumberTokenLength, MeasuresTheLeadingNumber) {
    struct Case {
        std::string text;
        int length;
    };
    const Case cases[] = {
        {"12;5;7;x", 2}, {"1.5;2", 3}, {"1,5;2", 3}, {"007;", 3}, {"1.2,3.;", 6}, {"9", 1},
        {"x1;2", -1}, {";5", 0}, {"-3;4", -3}, {"(1)", -4}, {")", -5}, {"=1", -6}, {".5", -7},
        {"_a", -1}, {"$", -1}, {" 1", 0}, {"\xC0", -1}, {"\xFF", -1}, {"\xA8", 0}, {"\xB8", 0},
        {std::string(1, '\0') + "1", 0}, {"", 0},
    };
    InitLexer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NumberTokenLength(c.text), c.length);
    }
}

TEST(CharClassTable, CyrillicLettersButNotYo) {
    InitLexer();
    struct Case {
        unsigned char byte;
        CharClass cls;
    };
    const Case cases[] = {
        {0xA8, kCharOther}, {0xB8, kCharOther}, {0x80, kCharOther}, {0xBF, kCharOther},
        {0xC0, kCharLetter}, {0xDF, kCharLetter}, {0xE0, kCharLetter}, {0xFF, kCharLetter},
        {'<', kCharOther}, {';', kCharOther}, {' ', kCharOther}, {'/', kCharOperator}, {',', kCharDecimalSeparator},
    };
    for (const Case& c : cases) EXPECT_EQ(CharClassTable.classes[c.byte], c.cls) << int(c.byte);
}

TEST(InitLexer, FillsOnceAndCanBeMadeAfresh) {
    InitLexer();
    CharClassTable.classes[static_cast<uint8_t>('x')] = kCharAssign;
    InitLexer();  // already filled: changes nothing
    EXPECT_EQ(CharClassTable.classes[static_cast<uint8_t>('x')], kCharAssign);
    ResetLexer();
    InitLexer();
    EXPECT_EQ(CharClassTable.classes[static_cast<uint8_t>('x')], kCharLetter);
    EXPECT_EQ(CharClassTable.decimalSeparator, '.');  // the tests run in the C locale
}

TEST(DecimalSeparatorOf, TakesTheSecondCharacter) {
    EXPECT_EQ(DecimalSeparatorOf("1,1"), ',');
    EXPECT_EQ(DecimalSeparatorOf("1.1"), '.');
    EXPECT_EQ(DecimalSeparatorOf("1"), '.');
    EXPECT_EQ(DecimalSeparatorOf(""), '.');
}

}  // namespace
