// Character classes of CP1251 text.
#include "model/lexer.h"

#include <cstdio>
#include <mutex>

TCharClassTable CharClassTable;

namespace {
std::mutex gInitMutex;
}

char DecimalSeparatorOf(std::string_view formattedOnePointOne) {
    return formattedOnePointOne.size() >= 2 && formattedOnePointOne[1] == ',' ? ',' : '.';
}

void InitLexer() {
    std::lock_guard lock(gInitMutex);
    TCharClassTable& t = CharClassTable;
    if (t.initialised.load(std::memory_order_acquire)) return;
    for (int c = 0; c < 256; ++c) t.classes[c] = kCharOther;
    for (int c = 'A'; c <= 'Z'; ++c) t.classes[c] = kCharLetter;
    for (int c = 'a'; c <= 'z'; ++c) t.classes[c] = kCharLetter;
    for (int c = 0xC0; c <= 0xFF; ++c) t.classes[c] = kCharLetter;
    for (int c = '0'; c <= '9'; ++c) t.classes[c] = kCharDigit;
    t.classes[static_cast<uint8_t>('_')] = kCharLetter;
    t.classes[static_cast<uint8_t>('$')] = kCharLetter;
    for (char c : {'+', '-', '*', '/'}) t.classes[static_cast<uint8_t>(c)] = kCharOperator;
    t.classes[static_cast<uint8_t>('(')] = kCharOpenParen;
    t.classes[static_cast<uint8_t>(')')] = kCharCloseParen;
    t.classes[static_cast<uint8_t>('=')] = kCharAssign;
    t.classes[static_cast<uint8_t>('.')] = kCharDecimalSeparator;
    t.classes[static_cast<uint8_t>(',')] = kCharDecimalSeparator;

    // The C library formats numbers by the locale the program runs in.
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%.1f", 1.1);
    t.decimalSeparator = DecimalSeparatorOf(std::string_view(buffer, n > 0 ? static_cast<size_t>(n) : 0));
    t.initialised.store(true, std::memory_order_release);
}

void ResetLexer() {
    std::lock_guard lock(gInitMutex);
    CharClassTable.initialised.store(false, std::memory_order_release);
}

int NumberTokenLength(std::string_view text) {
    if (text.empty()) return 0;
    if (!CharClassTable.initialised.load(std::memory_order_acquire)) InitLexer();
    const uint8_t* classes = CharClassTable.classes;
    const uint8_t first = classes[static_cast<uint8_t>(text[0])];
    if (first != kCharDigit) return -static_cast<int>(first);
    int count = 0;
    for (char c : text) {
        const uint8_t cls = classes[static_cast<uint8_t>(c)];
        if (cls != kCharDigit && cls != kCharDecimalSeparator) break;
        ++count;
    }
    return count;
}
