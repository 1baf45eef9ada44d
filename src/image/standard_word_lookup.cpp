#include "image/standard_word_lookup.h"

#include <array>
#include <string>

#include "base/cp1251.h"

namespace {

struct Word {
    const char* utf8;
    int language;
};

constexpr Word kWords[19] = {
    {"<Применить Язык1>", 0},        {"<Эта остановка>", 1},           {"<Следующая остановка>", 1},
    {"<Звук.файл маршрута>", 1},     {"<Конечная 1>", 1},              {"<Конечная 2>", 1},
    {"<Контрольная>", 0},            {"<Применить Язык2>", 0},         {"<Эта остановка-Язык2>", 2},
    {"<Следующая остановка-Язык2>", 2}, {"<Звук.файл маршрута-Язык2>", 2}, {"<Конечная 1-Язык2>", 2},
    {"<Конечная 2-Язык2>", 2},       {"<Применить Язык3>", 0},         {"<Эта остановка-Язык3>", 3},
    {"<Следующая остановка-Язык3>", 3}, {"<Звук.файл маршрута-Язык3>", 3}, {"<Конечная 1-Язык3>", 3},
    {"<Конечная 2-Язык3>", 3},
};

const std::array<std::string, 19>& Cp1251Words() {
    static const std::array<std::string, 19> words = [] {
        std::array<std::string, 19> w;
        for (size_t i = 0; i < w.size(); ++i) w[i] = Utf8ToCp1251(kWords[i].utf8);
        return w;
    }();
    return words;
}

}  // namespace

int LookupStandardWord(std::string_view cp1251) {
    const auto& words = Cp1251Words();
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == cp1251) return static_cast<int>(i);
    return -1;
}

int StandardWordLanguage(int index) { return index >= 0 && index < 19 ? kWords[index].language : 0; }
