// The display side of a build: which texts each stop and event shows on the boards.
#include <algorithm>

#include "base/cp1251.h"
#include "image/group_build_image.h"
#include "image/image_layout.h"
#include "model/route_file.h"

using namespace image_layout;

namespace {

bool NonEmpty(const OptStr& s) { return s && !s->empty(); }

// An absent name is an empty text here; the stop itself is refused when it is built.
std::string StopNameOf(const TvcLine& route, int32_t stop, int language) {
    if (stop < 0 || stop >= route.StopCount || static_cast<size_t>(stop) >= route.Stops.size()) return {};
    return route.Stops[static_cast<size_t>(stop)].StopName[static_cast<size_t>(language)].value_or(std::string());
}

const std::string kLastStop = Utf8ToCp1251("Конечная");

}  // namespace

std::string ComposeTwoLanguages(std::string_view first, std::string_view second) {
    if (second.empty()) return std::string(first);
    std::string s(first.substr(0, 15));
    s.resize(15, ' ');
    s.append(second);
    if (s.size() > 31) s.resize(31);
    return s;
}

std::string FreeTextBytes(std::string_view text, bool boardsBeforeV27) {
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < 253;) {
        char ch = text[i];
        if (ch != '@') {
            out.push_back(ch);
            ++i;
            continue;
        }
        // An escape needs its letter and at least one character after it.
        if (i + 2 >= text.size()) break;
        unsigned char c = static_cast<unsigned char>(text[i + 1]);
        switch (c) {
            case 'G': case 'g': case 0xC7: case 0xE7:  // З з
                if (!boardsBeforeV27) out.push_back('\x01');
                break;
            case 'R': case 'r': case 0xCA: case 0xEA:  // К к
                out.push_back('\x02');
                break;
            case 'Y': case 'y': case 0xC6: case 0xE6:  // Ж ж
                out.push_back('\x03');
                break;
            case '/':
                out.push_back('\x04');
                break;
            default:
                out.push_back(static_cast<char>(c));
                break;
        }
        i += 2;
    }
    return out;
}

int TGroupBuildImage::SecondLanguage() const {
    const int v = Options.lang2ToV23;
    if (Options.isLang2 && (v == 1 || v == 3)) return 1;
    if (Options.isLang3 && (v == 2 || v == 4)) return 2;
    return 0;
}

void TGroupBuildImage::PrepareRouteLists(TvcLine& route) const {
    route.KeyStopCount = 0;
    route.HasLegMarks = false;
    if (route.StopCount <= 1) return;
    std::vector<int32_t> keys;
    bool legs = false;
    for (int32_t s = 0; s < route.StopCount; ++s) {
        const TvcStop& st = route.Stops[static_cast<size_t>(s)];
        if (st.IsKeyStop) keys.push_back(s);
        if (st.IsLegStart || st.IsTerminal) legs = true;
    }
    route.HasLegMarks = legs;
    if (keys.size() < 2 && route.StopCount > 2) {
        int32_t step = route.StopCount >= 16 ? route.StopCount / 8 : route.StopCount / 4;
        step = std::max(step, 1);
        keys.clear();
        for (int32_t s = 0; s < route.StopCount; s += step) keys.push_back(s);
    }
    if (keys.size() > route.KeyStops.size()) keys.resize(route.KeyStops.size());
    std::copy(keys.begin(), keys.end(), route.KeyStops.begin());
    route.KeyStopCount = static_cast<int32_t>(keys.size());
}

int32_t TGroupBuildImage::LegIndex(const TvcLine& route, int32_t k) const {
    const int32_t n = std::clamp(route.LegStartCount, 0, static_cast<int32_t>(route.LegStarts.size()));
    for (int32_t i = n - 1; i >= 0; --i)
        if (route.LegStarts[static_cast<size_t>(i)] <= k) return i;
    return 0;
}

int32_t TGroupBuildImage::TerminalIndex(const TvcLine& route, int32_t k) const {
    const int32_t n = std::clamp(route.TerminalCount, 0, kMaxTerminals);
    if (n == 0) return 0;
    for (int32_t i = 0; i < n; ++i)
        if (route.Terminals[static_cast<size_t>(i)] >= k) return i;
    return n - 1;
}

std::string TGroupBuildImage::LegStartText(const TvcLine& route, int32_t k, int language) const {
    const int32_t i = LegIndex(route, k);
    const OptStr& t = (i == 0 || (route.RouteFlags & 1)) ? route.Term1Text[static_cast<size_t>(language)]
                                                          : route.Term2Text[static_cast<size_t>(language)];
    if (NonEmpty(t)) return *t;
    return StopNameOf(route, route.LegStarts[static_cast<size_t>(i)], language);
}

std::string TGroupBuildImage::LegEndText(const TvcLine& route, int32_t k, int language) const {
    const int32_t i = TerminalIndex(route, k);
    const int32_t n = std::clamp(route.TerminalCount, 0, kMaxTerminals);
    const OptStr& t = (i == n - 1 && !(route.RouteFlags & 1)) ? route.Term1Text[static_cast<size_t>(language)]
                                                               : route.Term2Text[static_cast<size_t>(language)];
    if (NonEmpty(t)) return *t;
    return StopNameOf(route, route.Terminals[static_cast<size_t>(i)], language);
}

int32_t TGroupBuildImage::AddListEntry(const TvcLine& route, int32_t stop) {
    const int second = SecondLanguage();
    const std::string first = StopNameOf(route, stop, 0);
    return Texts.AddText(second ? ComposeTwoLanguages(first, StopNameOf(route, stop, second)) : first,
                         kTextListEntry);
}

void TGroupBuildImage::EmitStopDisplayBlock(const TvcLine& route, int32_t k) {
    const TvcStop& stop = route.Stops[static_cast<size_t>(k)];
    const int32_t nextIndex = (k + 1) % route.StopCount;
    const TvcStop& next = route.Stops[static_cast<size_t>(nextIndex)];

    DisplayList.push_back(routeNumberText_);
    if (!Options.compact) {
        nextStopText_ = Texts.AddText(NonEmpty(next.AltName) ? *next.AltName : next.StopName[0].value_or(""),
                                      kTextNextStop);
        DisplayList.push_back(nextStopText_);
    }
    DisplayList.push_back(Texts.AddText(stop.StopName[0].value_or(""), kTextCurrentStop));

    if (stop.IsLegStart || stop.IsTerminal) {
        const std::string start1 = LegStartText(route, k, 0);
        const std::string end1 = LegEndText(route, k, 0);
        startText_ = Texts.AddText(start1, kTextLegStart);
        endText_ = Texts.AddText(end1, kTextLegEnd);
        if (const int second = SecondLanguage(); second != 0) {
            startText_ = Texts.AddText(ComposeTwoLanguages(start1, LegStartText(route, k, second)), kTextLegStart);
            endText_ = Texts.AddText(ComposeTwoLanguages(end1, LegEndText(route, k, second)), kTextLegEnd);
        }
    }
    DisplayList.push_back(startText_);
    DisplayList.push_back(endText_);
    DisplayList.push_back(kFirstSeparatorText);
    FollowingStops(route, k);
    DisplayList.push_back(kSecondSeparatorText);
}

void TGroupBuildImage::FollowingStops(const TvcLine& route, int32_t k) {
    const TvcStop& stop = route.Stops[static_cast<size_t>(k)];
    if (route.HasLegMarks) {
        int listed = 0;
        if (!stop.IsTerminal) {
            for (int32_t s = k + 1; s < route.StopCount && listed < kMaxKeyStops; ++s) {
                const TvcStop& st = route.Stops[static_cast<size_t>(s)];
                if (st.IsTerminal) break;
                if (st.IsKeyStop) {
                    DisplayList.push_back(AddListEntry(route, s));
                    ++listed;
                }
            }
        }
        if (listed == 0) {
            if (k == route.StopCount - 1 || stop.IsTerminal)
                DisplayList.push_back(Texts.AddText(kLastStop, kTextListEntry));
            else
                DisplayList.push_back(AddListEntry(route, k + 1));
        }
        return;
    }
    if (route.KeyStopCount <= 1) {
        DisplayList.push_back(AddListEntry(route, (k + 1) % route.StopCount));
        return;
    }
    const int32_t count = route.KeyStopCount;
    const int32_t m = std::clamp(count / 2, 2, 8);
    int32_t p = count;
    for (int32_t i = 0; i < count; ++i) {
        if (route.KeyStops[static_cast<size_t>(i)] > k) {
            p = i;
            break;
        }
    }
    for (int32_t i = 0; i < m; ++i)
        DisplayList.push_back(AddListEntry(route, route.KeyStops[static_cast<size_t>((p + i) % count)]));
}

void TGroupBuildImage::AddFreeText(std::string_view text) {
    DisplayList.push_back(Texts.AddText(FreeTextBytes(text, Options.boardsBeforeV27), kTextFree));
}

void TGroupBuildImage::CloseEventDisplayList() {
    if (!Options.compact) DisplayList.push_back(nextStopText_);
    DisplayList.push_back(0);
}
