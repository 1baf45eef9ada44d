#pragma once
// The nineteen standard words of the stop templates as the builder matches them: CP1251 bytes,
// whole and exact.
#include <string_view>

// 0..18, or -1 for a text that is none of the words.
int LookupStandardWord(std::string_view cp1251);
// 0 for no language, else 1, 2 or 3.
int StandardWordLanguage(int index);
