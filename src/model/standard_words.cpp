// The standard and special words of the stop templates, and the weekday names.
#include "model/standard_words.h"

#include "base/cp1251.h"

namespace {

struct WordSource {
    const char* utf8;
    int tag;
};

const WordSource kWords[kStandardWordCount] = {
    {"<Применить Язык1>", 0},
    {"<Эта остановка>", 1},
    {"<Следующая остановка>", 1},
    {"<Звук.файл маршрута>", 1},
    {"<Конечная 1>", 1},
    {"<Конечная 2>", 1},
    {"<Контрольная>", 0},
    {"<Применить Язык2>", 0},
    {"<Эта остановка-Язык2>", 2},
    {"<Следующая остановка-Язык2>", 2},
    {"<Звук.файл маршрута-Язык2>", 2},
    {"<Конечная 1-Язык2>", 2},
    {"<Конечная 2-Язык2>", 2},
    {"<Применить Язык3>", 0},
    {"<Эта остановка-Язык3>", 3},
    {"<Следующая остановка-Язык3>", 3},
    {"<Звук.файл маршрута-Язык3>", 3},
    {"<Конечная 1-Язык3>", 3},
    {"<Конечная 2-Язык3>", 3},
};

}  // namespace

const std::array<const char*, 8> WeekdayNames = {
    "", "Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота",
};

const std::array<StandardWord, kStandardWordCount>& StandardWords() {
    static const std::array<StandardWord, kStandardWordCount> words = [] {
        std::array<StandardWord, kStandardWordCount> w;
        for (int i = 0; i < kStandardWordCount; ++i) w[i] = {Utf8ToCp1251(kWords[i].utf8), kWords[i].utf8, kWords[i].tag};
        return w;
    }();
    return words;
}

int FindStandardWord(std::string_view cp1251Text) {
    const auto& words = StandardWords();
    for (int i = 0; i < kStandardWordCount; ++i)
        if (cp1251Text == words[i].text) return i;
    return kWordNone;
}

int StandardWordTag(int index) {
    if (index < 0 || index >= kStandardWordCount) return 0;
    return StandardWords()[index].tag;
}

const std::string& SpecialWordText(SpecialWord word) {
    static const std::string templateNs = Utf8ToCp1251("<Шаблон НС> ");
    static const std::string pause = Utf8ToCp1251("<Пауза> ");
    static const std::string text = Utf8ToCp1251("<Текст> ");
    static const std::string none;
    switch (word) {
        case SpecialWord::TemplateNs: return templateNs;
        case SpecialWord::Pause: return pause;
        case SpecialWord::Text: return text;
        case SpecialWord::None: break;
    }
    return none;
}

SpecialWord MatchSpecialWord(std::string_view cp1251Step, std::string_view* argument) {
    for (SpecialWord word : {SpecialWord::TemplateNs, SpecialWord::Pause, SpecialWord::Text}) {
        const std::string& prefix = SpecialWordText(word);
        if (cp1251Step.substr(0, prefix.size()) == prefix) {
            if (argument) *argument = cp1251Step.substr(prefix.size());
            return word;
        }
    }
    if (argument) *argument = {};
    return SpecialWord::None;
}

const std::array<std::string, 8>& WeekdayNamesCp1251() {
    static const std::array<std::string, 8> names = [] {
        std::array<std::string, 8> n;
        for (size_t i = 0; i < n.size(); ++i) n[i] = Utf8ToCp1251(WeekdayNames[i]);
        return n;
    }();
    return names;
}
