#include <gtest/gtest.h>

#include <set>
#include <string>

#include "messages/show_mes.h"

namespace {

TEST(MesCatalogue, EveryRowIsShowable) {
    std::set<int32_t> codes;
    for (const MesRow& row : MesCatalogue()) {
        SCOPED_TRACE(row.code);
        EXPECT_TRUE(codes.insert(row.code).second) << "a second row with this code could never be found";
        EXPECT_GE(row.icon, 0);
        EXPECT_LE(row.icon, 3);
        const MesRequest request = MakeMesRequest(row.code);
        EXPECT_GE(request.buttons.size(), 1u);
        // Every key letter (2 bytes in UTF-8) must name a button.
        EXPECT_EQ(request.buttons.size() * 2, std::string(row.keys).size());
    }
    EXPECT_TRUE(codes.count(1000));
    EXPECT_TRUE(codes.count(-1));
}

TEST(MesCatalogue, AnswerKeysAreCaseSensitive) {
    struct Case {
        const char* letter;
        const char* caption;
        int value;
    };
    const Case cases[] = {
        {"р", "Продолжить", 5}, {"Р", "Просмотр", 15}, {"в", "Повторить", 10},
        {"В", "Повторить выбор", 7}, {"а", "Все", 17}, {"ы", "Выход", 1},
    };
    for (const Case& c : cases) {
        const MesButton* button = FindAnswerKey(c.letter);
        ASSERT_NE(button, nullptr) << c.letter;
        EXPECT_EQ(button->caption, c.caption);
        EXPECT_EQ(button->value, c.value);
    }
    EXPECT_EQ(FindAnswerKey("x"), nullptr);
    EXPECT_EQ(FindAnswerKey(""), nullptr);
}

TEST(FormatMes, FillsTheRowsTextFromTheArguments) {
    struct Case {
        int32_t code;
        MesArg a1, a2;
        int32_t row;
        const char* text;
    };
    const Case cases[] = {
        {1041, MesArg::Text("COM5"), {}, 1041, "Не удалось установить связь с информатором: COM5"},
        {1081, MesArg::Text("Вокзал"), MesArg::Int16(12), 1081,
         "Маршрут изменен, остановка Вокзал, № 12, загрузка координат GPS отменена"},
        {1028, {}, {}, 1028, "Нет файла маршрута или ошибка в структуре: 0"},
        {2019, MesArg::Int32(-70000), {}, 2019, "Ошибка записи в память данных: -70000"},
        // A %d argument is a 16-bit value: a wider integer keeps its low half.
        {1031, MesArg::Int32(70000), {}, 1031, "К порту: 4464 подключен неверный тип информатора"},
        {1031, MesArg::Int16(-3), {}, 1031, "К порту: -3 подключен неверный тип информатора"},
        {1025, MesArg::Text("ignored"), {}, 1025, "Указанная группа маршрутов уже есть в списке"},
        {2005, MesArg::Text("a.wav"), MesArg::Int16(12000), 2005,
         "В файле (a.wav) частота оцифровки звука (12000) не поддерживается:\r\n Выполните преобразование "
         "формата файла к допустимому"},
        {1000, MesArg::Int32(7), {}, 1000, "Внутренняя ошибка системы № 7."},
        {1000, {}, {}, 1000, "Внутренняя ошибка системы № 0."},
        // An unknown code shows row 1000 with 1000, whatever the caller passed.
        {4242, MesArg::Int32(5), {}, 1000, "Внутренняя ошибка системы № 1000."},
        {0, {}, {}, 1000, "Внутренняя ошибка системы № 1000."},
        // The -1 row shows the code itself.
        {-1, MesArg::Int32(5), {}, -1, "Неизвестное сообщение № -1. Внутренняя ошибка системы."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        std::string out = "stale";
        const MesRow& row = FormatMes(c.code, out, c.a1, c.a2);
        EXPECT_EQ(row.code, c.row);
        EXPECT_EQ(out, c.text);
    }
}

TEST(FillMesPlaceholders, ConsumesArgumentsLeftToRight) {
    const MesArg a = MesArg::Text("A"), b = MesArg::Text("B");
    struct Case {
        const char* text;
        MesArg a1, a2, a3, a4;
        const char* out;
    };
    const Case cases[] = {
        {"%c-%c", a, b, {}, {}, "A-B"},
        {"%C|%I|%L|%D|%S", {}, {}, {}, {}, "0|0|0|0|"},  // upper case letters, none given
        {"[%s]", MesArg::String("text"), {}, {}, {}, "[text]"},
        {"[%s]", {}, {}, {}, {}, "[]"},
        // A letter that is no placeholder is copied through, yet uses up its argument.
        {"%x %c", a, b, {}, {}, "%x B"},
        {"%Ж%c", a, b, {}, {}, "%ЖB"},
        {"%%%c", a, b, {}, {}, "%%B"},
        // A fifth placeholder gets no argument.
        {"%i%i%i%i%i", MesArg::Int32(1), MesArg::Int32(2), MesArg::Int32(3), MesArg::Int32(4), "12340"},
        {"%s%s%s%s<%s>", a, a, a, a, "AAAA<>"},
        {"100%", {}, {}, {}, {}, "100%"},
        {"%", a, {}, {}, {}, "%"},
        {"", a, {}, {}, {}, ""},
        {"no placeholders", a, b, {}, {}, "no placeholders"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FillMesPlaceholders(c.text, c.a1, c.a2, c.a3, c.a4), c.out);
    }
}

TEST(FillMesPlaceholders, CutUtf8StaysInBounds) {
    // A lead byte of a three-byte character at the very end after "%".
    const std::string text = std::string("x%") + "\xE2";
    EXPECT_EQ(FillMesPlaceholders(text), text);
}

}  // namespace
