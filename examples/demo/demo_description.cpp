// The demo route group as data, written with the description writer by scripts/make-demo.sh:
//   demo_description <folder>   writes demo.mrg, routes/*.lin and stops.tpl into <folder>
//   demo_description --voices   lists the voices to make, one "file<TAB>language<TAB>text" a line
#include <cstdio>
#include <string>
#include <vector>

#include "model/description_writer.h"

namespace {

struct Stop {
    const char* name;     // language 1
    const char* nameEn;   // language 2
    const char* voice;    // base name of the voice files
    const char* spoken;   // what the language-1 voice says
    const char* spokenEn;
};

const Stop kVokzal{"Вокзал", "Station", "vokzal", "Вокзал", "Station"};
const Stop kRoute5[] = {
    kVokzal,
    {"Рынок", "Market", "rynok", "Рынок", "Market"},
    {"Театр", "Theatre", "teatr", "Театр", "Theatre"},
    {"Университет", "University", "universitet", "Университет", "University"},
    {"Больница", "Hospital", "bolnitsa", "Больница", "Hospital"},
    {"Парк Победы", "Victory Park", "park", "Парк Победы", "Victory Park"},
};
const Stop kRoute12[] = {
    kVokzal,
    {"Пл. Ленина", "Lenin Sq.", "ploshchad", "Площадь Ленина", "Lenin Square"},
    {"Школа", "School", "shkola", "Школа", "School"},
    {"Стадион", "Stadium", "stadion", "Стадион", "Stadium"},
};

std::string Voice(const std::string& base, bool english = false) {
    return "..\\voice\\" + base + (english ? "_en" : "") + ".wav";
}

StopDescription MakeStop(const Stop& s, const char* templ, uint8_t control) {
    StopDescription d;
    d.names = {s.name, s.nameEn, ""};
    d.control = control;
    d.templateName = templ;
    d.voices = {Voice(s.voice), Voice(s.voice, true), ""};
    return d;
}

// The demo's newest kind of route: two languages, terminal texts and voices, key stops, a leg start
// and a terminal.
RouteDescription Route5() {
    RouteDescription r;
    r.version = "0209";
    r.routeName = "5";
    r.templateFile = "..\\stops.tpl";
    r.routeVoices = {Voice("route5"), Voice("route5", true), ""};
    r.auxTexts[0] = {"Маршрут 5"};
    r.auxTexts[1] = {"Route 5"};
    r.term1TextEx = {"Вокзал", "Station", ""};
    r.term2TextEx = {"Парк Победы", "Victory Park", ""};
    r.term1Voices = {Voice("vokzal"), Voice("vokzal", true), ""};
    r.term2Voices = {Voice("park"), Voice("park", true), ""};
    r.term1Text = {"Вокзал", "Station", ""};
    r.term2Text = {"Парк Победы", "Victory Park", ""};
    r.routeFlags = "0";
    const size_t last = std::size(kRoute5) - 1;
    for (size_t i = 0; i <= last; ++i) {
        const char* templ = i == 0 ? "Начальная" : i == last ? "Конечная" : "Обычная";
        uint8_t control = kStopIgnored;
        if (i == 0) control |= kStopLegStart;
        if (i == 2 || i == 3) control |= kStopKey;
        if (i == last) control |= kStopTerminal;
        r.stops.push_back(MakeStop(kRoute5[i], templ, control));
    }
    r.stops[1].values = "120,45";
    return r;
}

// An older route file: no terminal voices or texts.
RouteDescription Route12() {
    RouteDescription r;
    r.version = "0201";
    r.routeName = "12";
    r.templateFile = "..\\stops.tpl";
    r.routeVoices = {Voice("route12"), Voice("route12", true), ""};
    const size_t last = std::size(kRoute12) - 1;
    for (size_t i = 0; i <= last; ++i) {
        const char* templ = i == 0 ? "Начальная" : i == last ? "Конечная" : "Обычная";
        r.stops.push_back(MakeStop(kRoute12[i], templ, i == 1 ? kStopKey | kStopIgnored : kStopIgnored));
    }
    return r;
}

TemplateDescription Templates() {
    TemplateDescription t;
    t.items = {
        // 1: an ordinary stop: arrival, then departure with the next stop in both languages.
        {1, 0, 0, "Обычная"},
        {1, 1, 0, "*Прибытие"},
        {1, 1, 1, "<Применить Язык1>"},
        {1, 1, 2, "<Эта остановка>"},
        {1, 1, 3, "<Текст> @RОстановка@/1"},
        {1, 2, 0, ">Отправление"},
        {1, 2, 1, "voice\\next_stop.wav"},
        {1, 2, 2, "<Пауза> 300мс."},
        {1, 2, 3, "<Следующая остановка>"},
        {1, 2, 4, "<Текст> @GСледующая@/2"},
        {1, 2, 5, "<Применить Язык2>"},
        {1, 2, 6, "voice\\next_stop_en.wav"},
        {1, 2, 7, "<Следующая остановка-Язык2>"},
        {1, 2, 8, "<Применить Язык1>"},
        // 2: the last stop.
        {2, 0, 0, "Конечная"},
        {2, 1, 0, "*Прибытие"},
        {2, 1, 1, "<Эта остановка>"},
        {2, 1, 2, "voice\\terminal.voc"},
        {2, 1, 3, "<Пауза> 500мс."},
        {2, 1, 4, "voice\\thanks.mp3"},
        {2, 1, 5, "<Текст> @YКонечная@/1"},
        {2, 1, 6, "<Применить Язык2>"},
        {2, 1, 7, "<Эта остановка-Язык2>"},
        {2, 1, 8, "<Применить Язык1>"},
        // 3: the first stop: the route, where it goes, and the first stop ahead.
        {3, 0, 0, "Начальная"},
        {3, 1, 0, ">Отправление"},
        {3, 1, 1, "<Звук.файл маршрута>"},
        {3, 1, 2, "<Конечная 2>"},
        {3, 1, 3, "<Пауза> 500мс."},
        {3, 1, 4, "voice\\next_stop.wav"},
        {3, 1, 5, "<Следующая остановка>"},
        {3, 1, 6, "<Контрольная>"},
        {3, 1, 7, "<Шаблон НС> резерв"},
        {3, 1, 8, "<Применить Язык2>"},
        {3, 1, 9, "<Звук.файл маршрута-Язык2>"},
        {3, 1, 10, "<Конечная 2-Язык2>"},
        {3, 1, 11, "<Применить Язык1>"},
    };
    return t;
}

void ListVoices() {
    std::vector<const Stop*> stops;
    for (const Stop& s : kRoute5) stops.push_back(&s);
    for (const Stop& s : kRoute12)
        if (s.voice != kVokzal.voice) stops.push_back(&s);
    for (const Stop* s : stops) {
        std::printf("%s.wav\tru\t%s\n", s->voice, s->spoken);
        std::printf("%s_en.wav\ten\t%s\n", s->voice, s->spokenEn);
    }
    std::printf("route5.wav\tru\tМаршрут номер пять\n");
    std::printf("route5_en.wav\ten\tRoute number five\n");
    std::printf("route12.wav\tru\tМаршрут номер двенадцать\n");
    std::printf("route12_en.wav\ten\tRoute number twelve\n");
    std::printf("next_stop.wav\tru\tСледующая остановка\n");
    std::printf("next_stop_en.wav\ten\tNext stop\n");
    std::printf("terminal.voc\tru\tКонечная остановка\n");
    std::printf("thanks.mp3\tru\tСпасибо за поездку\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_description <folder> | --voices\n");
        return 2;
    }
    const std::string arg = argv[1];
    if (arg == "--voices") {
        ListVoices();
        return 0;
    }
    GroupDescription group;
    group.title = "Демонстрационная группа";
    group.routes = {"routes\\r5.lin", "routes\\r12.lin"};
    bool ok = WriteGroupFile(arg + "/demo.mrg", group) && WriteRouteFile(arg + "/routes/r5.lin", Route5()) &&
              WriteRouteFile(arg + "/routes/r12.lin", Route12()) && WriteTemplateFile(arg + "/stops.tpl", Templates());
    if (!ok) std::fprintf(stderr, "demo_description: cannot write into %s\n", arg.c_str());
    return ok ? 0 : 1;
}
