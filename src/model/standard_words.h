#pragma once
// The fixed vocabulary of the stop templates: the nineteen standard words a template step may use
// in place of a voice file, the three special words that take an argument, and the weekday names.
// Template texts are CP1251, so the words are held as CP1251 bytes (and as UTF-8 for showing).
#include <array>
#include <string>
#include <string_view>

inline constexpr int kStandardWordCount = 19;

// Indices of the words. The words of languages 2 and 3 follow those of language 1 in the same order.
enum StandardWordIndex : int {
    kWordUseLang1 = 0,
    kWordThisStop = 1,
    kWordNextStop = 2,
    kWordRouteVoice = 3,
    kWordTerminal1 = 4,
    kWordTerminal2 = 5,
    kWordControlPoint = 6,
    kWordUseLang2 = 7,
    kWordThisStopLang2 = 8,
    kWordNextStopLang2 = 9,
    kWordRouteVoiceLang2 = 10,
    kWordTerminal1Lang2 = 11,
    kWordTerminal2Lang2 = 12,
    kWordUseLang3 = 13,
    kWordThisStopLang3 = 14,
    kWordNextStopLang3 = 15,
    kWordRouteVoiceLang3 = 16,
    kWordTerminal1Lang3 = 17,
    kWordTerminal2Lang3 = 18,
    kWordNone = 19,  // FindStandardWord: none of the words
};

struct StandardWord {
    std::string text;  // CP1251, angle brackets included, no trailing space
    std::string utf8;
    int tag;           // 0: no language; 1, 2, 3: the word belongs to that language
};

const std::array<StandardWord, kStandardWordCount>& StandardWords();

// The index of the word the whole text equals byte for byte (the first from index 0), or kWordNone.
int FindStandardWord(std::string_view cp1251Text);

// The language tag of a word index; 0 for kWordNone and anything outside the table.
int StandardWordTag(int index);

// Special words, recognised at the start of a step and each including its trailing space.
enum class SpecialWord { None, TemplateNs, Pause, Text };

// The special words in the order they are tested: "<Шаблон НС> ", "<Пауза> ", "<Текст> " (CP1251).
const std::string& SpecialWordText(SpecialWord word);

// The special word the step begins with (tested in the order above), and in `argument` the rest of
// the step after it.
SpecialWord MatchSpecialWord(std::string_view cp1251Step, std::string_view* argument = nullptr);

// Day names by day of the week with Sunday = 1 (index 0 is empty), UTF-8.
extern const std::array<const char*, 8> WeekdayNames;
// The same as CP1251 bytes.
const std::array<std::string, 8>& WeekdayNamesCp1251();
