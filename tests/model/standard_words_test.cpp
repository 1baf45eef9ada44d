#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "base/cp1251.h"
#include "model/standard_words.h"

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

TEST(FindStandardWord, WholeTextExactly) {
    struct Case {
        std::string text;
        int index;
    };
    const Case cases[] = {
        {Cp("<Применить Язык1>"), kWordUseLang1},
        {Cp("<Эта остановка>"), kWordThisStop},
        {Cp("<Контрольная>"), kWordControlPoint},
        {Cp("<Следующая остановка-Язык2>"), kWordNextStopLang2},
        {Cp("<Конечная 2-Язык3>"), kWordTerminal2Lang3},
        {Cp("<эта остановка>"), kWordNone},
        {Cp("<Эта остановка> "), kWordNone},
        {Cp(" <Эта остановка>"), kWordNone},
        {Cp("<Эта остановка"), kWordNone},
        {"<Эта остановка>", kWordNone},  // UTF-8 bytes are not the CP1251 word
        {Cp("<Пауза>500"), kWordNone},
        {"", kWordNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Cp1251ToUtf8(c.text));
        EXPECT_EQ(FindStandardWord(c.text), c.index);
    }
}

TEST(StandardWords, EachWordFindsItselfWithItsLanguage) {
    const auto& words = StandardWords();
    for (int i = 0; i < kStandardWordCount; ++i) {
        SCOPED_TRACE(words[i].utf8);
        EXPECT_EQ(FindStandardWord(words[i].text), i);
        EXPECT_EQ(Cp1251ToUtf8(words[i].text), words[i].utf8);
        EXPECT_EQ(StandardWordTag(i), words[i].tag);
    }
    // The language-2 and language-3 words mirror those of language 1, seven and thirteen places on.
    for (int i = kWordThisStop; i <= kWordTerminal2; ++i) {
        EXPECT_EQ(StandardWordTag(i), 1);
        EXPECT_EQ(words[i + 7].utf8, words[i].utf8.substr(0, words[i].utf8.size() - 1) + "-Язык2>");
        EXPECT_EQ(words[i + 13].utf8, words[i].utf8.substr(0, words[i].utf8.size() - 1) + "-Язык3>");
    }
    for (int i : std::initializer_list<int>{kWordUseLang1, kWordControlPoint, kWordUseLang2, kWordUseLang3, kWordNone, -1, 100})
        EXPECT_EQ(StandardWordTag(i), 0) << i;
}

TEST(MatchSpecialWord, PrefixWithItsSpace) {
    struct Case {
        std::string step;
        SpecialWord word;
        std::string argument;
    };
    const Case cases[] = {
        {Cp("<Пауза> 500 мс"), SpecialWord::Pause, Cp("500 мс")},
        {Cp("<Пауза>500"), SpecialWord::None, ""},
        {Cp("<Шаблон НС> что угодно"), SpecialWord::TemplateNs, Cp("что угодно")},
        {Cp("<Шаблон НС> "), SpecialWord::TemplateNs, ""},
        {Cp("<Текст> Вокзал"), SpecialWord::Text, Cp("Вокзал")},
        {Cp("<Текст>"), SpecialWord::None, ""},
        {Cp("<Эта остановка>"), SpecialWord::None, ""},
        {"", SpecialWord::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Cp1251ToUtf8(c.step));
        std::string_view argument = "stale";
        EXPECT_EQ(MatchSpecialWord(c.step, &argument), c.word);
        EXPECT_EQ(std::string(argument), c.argument);
    }
    EXPECT_EQ(SpecialWordText(SpecialWord::Pause), Cp("<Пауза> "));
}

TEST(WeekdayNames, SundayIsOne) {
    std::tm wednesday{};
    wednesday.tm_year = 2026 - 1900;
    wednesday.tm_mon = 11;
    wednesday.tm_mday = 9;
    wednesday.tm_hour = 12;
    std::mktime(&wednesday);
    ASSERT_EQ(wednesday.tm_wday, 3);
    EXPECT_STREQ(WeekdayNames[wednesday.tm_wday + 1], "Среда");
    EXPECT_STREQ(WeekdayNames[1], "Воскресенье");
    EXPECT_STREQ(WeekdayNames[7], "Суббота");
    EXPECT_STREQ(WeekdayNames[0], "");
    EXPECT_EQ(WeekdayNamesCp1251()[4], Cp("Среда"));
}

}  // namespace
