#pragma once
// The character classes of 8-bit (CP1251) text, and the length of the number at the start of a
// text, which is how the template reader cuts the numbers off the front of its items.
#include <atomic>
#include <cstdint>
#include <string_view>

enum CharClass : uint8_t {
    kCharOther = 0,
    kCharLetter = 1,  // A-Z a-z, 0xC0-0xFF (Cyrillic without Ё ё), "_" "$"
    kCharDigit = 2,
    kCharOperator = 3,  // + - * /
    kCharOpenParen = 4,
    kCharCloseParen = 5,
    kCharAssign = 6,
    kCharDecimalSeparator = 7,  // "." and ","
};

struct TCharClassTable {
    uint8_t classes[256] = {};
    std::atomic<bool> initialised{false};
    char decimalSeparator = '.';  // the locale's
};

extern TCharClassTable CharClassTable;

// Fills the table once; later calls change nothing.
void InitLexer();
// Clears the table so that the next InitLexer fills it afresh (for tests).
void ResetLexer();

// "," when the locale's text of 1.1 has a comma as its second character, otherwise ".".
char DecimalSeparatorOf(std::string_view formattedOnePointOne);

// With a digit first: the number of leading digits and decimal separators. Otherwise the negated
// class of the first byte (0 other, -1 letter, -3 operator, ...). An empty text gives 0. Fills the
// table first when nobody has.
int NumberTokenLength(std::string_view text);
