// The per-route and per-stop tables: names, event scripts and the voices they play.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/cp1251.h"
#include "base/little_endian.h"
#include "image/group_build_image.h"
#include "image/image_layout.h"
#include "messages/show_mes.h"
#include "model/route_file.h"
#include "model/standard_words.h"
#include "voice/voice_item.h"

using namespace image_layout;

namespace {

bool NonEmpty(const OptStr& s) { return s && !s->empty(); }

std::string Utf8(const OptStr& cp1251) { return cp1251 ? Cp1251ToUtf8(*cp1251) : std::string(); }


// A decimal integer with an optional sign, nothing else.
bool ParseDecimal(const std::string& s, long& value) {
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t j = i; j < s.size(); ++j)
        if (s[j] < '0' || s[j] > '9') return false;
    errno = 0;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    value = v;
    return true;
}

// The slots of this stop and the next stop of each language, and where a standard word finds its
// voice (slot numbers from 1; 0 for words that play nothing).
constexpr int kThisStopSlot[3] = {1, 7, 12};
constexpr int kNextStopSlot[3] = {2, 8, 13};

}  // namespace

int32_t TGroupBuildImage::UseVoice(TvcVoice* voice) {
    if (!voice->Used) {
        SetVoiceIndex(voice, static_cast<int16_t>(Voices.size()));
        voice->Used = true;
        Voices.push_back(voice);
    }
    return voice->VoiceIndex;
}

void TGroupBuildImage::AppendVoiceCode(const TvcVoice* voice) {
    uint16_t index = static_cast<uint16_t>(voice->VoiceIndex);
    Script.push_back(kScriptVoice);
    Script.push_back(static_cast<uint8_t>(index));
    Script.push_back(static_cast<uint8_t>(index >> 8));
}

// Looks up the voices of a stop into the next-stop slots and counts them used; the lookup has
// already shown what failed.
int32_t TGroupBuildImage::LookupStopVoices(const TvcLine& route, int32_t stopIndex, int) {
    const TvcStop& stop = route.Stops[static_cast<size_t>(stopIndex)];
    for (int lang = 0; lang < 3; ++lang) {
        TvcVoice*& slot = VoiceSlots[static_cast<size_t>(kNextStopSlot[lang] - 1)];
        slot = nullptr;
        if (NonEmpty(stop.VoiceName[static_cast<size_t>(lang)]))
            slot = AcquireVoice(stop.VoiceFile[static_cast<size_t>(lang)].value_or(""));
    }
    for (int lang = 0; lang < 3; ++lang) {
        TvcVoice* v = VoiceSlots[static_cast<size_t>(kNextStopSlot[lang] - 1)];
        if (!v) continue;
        if (v->Error.ErrorCode != 0) return v->Error.ErrorCode;
        UseVoice(v);
    }
    return 0;
}

int32_t TGroupBuildImage::BuildRoute(TvcLine& route) {
    route.EventCount = 0;
    CurrentRoute = &route;
    CurrentStop = &route.Stops[0];

    std::string number = route.RouteName.value_or(std::string()).substr(0, 4);
    number.resize(4, ' ');
    routeNumberText_ = Texts.AddText(number, kTextRouteNumber);

    if (int32_t code = LookupStopVoices(route, 0, 0); code != 0) return code;

    PrepareRouteLists(route);
    const OptStr& term1 = route.Term1Text[0];
    startText_ = Texts.AddText(NonEmpty(term1) ? *term1 : route.Stops[0].StopName[0].value_or(""), kTextLegStart);
    const OptStr& term2 = route.Term2Text[0];
    if (NonEmpty(term2)) {
        endText_ = Texts.AddText(*term2, kTextLegEnd);
    } else {
        int32_t t = route.Terminals[static_cast<size_t>(TerminalIndex(route, 0))];
        std::string name;
        if (t >= 0 && t < route.StopCount) name = route.Stops[static_cast<size_t>(t)].StopName[0].value_or("");
        endText_ = Texts.AddText(name, kTextLegEnd);
    }

    const std::vector<TvcTemplItem>* items = route.Template ? &route.Template->Items : nullptr;

    for (int32_t k = 0; k < route.StopCount; ++k) {
        const TvcStop& stop = route.Stops[static_cast<size_t>(k)];
        CurrentStop = &stop;
        if (!NonEmpty(stop.VoiceFile[0])) {
            ShowMes(1030, MesArg::Text(Utf8(stop.StopName[0])));
            return 1030;
        }
        for (int lang = 0; lang < 3; ++lang) {
            VoiceSlots[static_cast<size_t>(kThisStopSlot[lang] - 1)] =
                VoiceSlots[static_cast<size_t>(kNextStopSlot[lang] - 1)];
            VoiceSlots[static_cast<size_t>(kNextStopSlot[lang] - 1)] = nullptr;
        }
        if (k + 1 < route.StopCount) {
            if (int32_t code = LookupStopVoices(route, k + 1, 0); code != 0) return code;
        }

        int32_t kind = 0;
        bool found = false;
        if (items) {
            const std::string wanted = stop.TemplateName.value_or(std::string());
            for (const TvcTemplItem& it : *items) {
                if (it.Section == 0 && it.Line == 0 && it.Text == wanted) {
                    kind = it.Number;
                    found = true;
                    break;
                }
            }
        }
        if (!found) {
            ShowMes(1029, MesArg::Text(" (ост № " + std::to_string(k + 1) + ") имя: " + Utf8(stop.StopName[0])));
            return 1029;
        }
        if (int32_t code = BuildStop(route, kind, k); code != 0) return code;
    }
    return 0;
}

int32_t TGroupBuildImage::BuildStop(TvcLine& route, int32_t kind, int32_t stopIndex) {
    const TvcStop& stop = route.Stops[static_cast<size_t>(stopIndex)];
    const TvcStop& next = route.Stops[static_cast<size_t>((stopIndex + 1) % route.StopCount)];
    CurrentStop = &stop;
    if (!next.StopName[0] || !NonEmpty(stop.StopName[0])) return -1;

    bool first = true;
    const std::vector<TvcTemplItem>& items = route.Template->Items;
    for (size_t h = 0; h < items.size(); ++h) {
        const TvcTemplItem& header = items[h];
        if (header.Number != kind || header.Section == 0 || header.Line != 0) continue;

        Events.push_back(static_cast<int32_t>(DisplayList.size()));
        if (first) {
            EmitStopDisplayBlock(route, stopIndex);
            first = false;
        }
        char marker = header.Text.empty() ? ' ' : header.Text[0];
        NameOffsets.push_back(Names.AddName(MakeEventName(*stop.StopName[0], marker)));
        ++route.EventCount;
        ScriptOffsets.push_back(static_cast<int32_t>(Script.size()));

        for (size_t j = h + 1; j < items.size(); ++j) {
            const TvcTemplItem& line = items[j];
            if (line.Number != kind || line.Section != header.Section || line.Line == 0) continue;
            const std::string* file = line.TextFile ? &*line.TextFile : nullptr;
            if (int32_t code = InterpretLine(route, line.Text, file); code != 0) return code;
        }
        Script.push_back(kScriptEnd);
        CloseEventDisplayList();
    }
    return 0;
}

int32_t TGroupBuildImage::InterpretLine(const TvcLine& route, const std::string& text, const std::string* textFile) {
    const std::string stopName = Utf8(CurrentStop->StopName[0]);
    if (!text.empty() && text[0] == '<') {
        std::string_view argument;
        switch (MatchSpecialWord(text, &argument)) {
            case SpecialWord::TemplateNs: return 0;
            case SpecialWord::Pause: {
                // The number, then a unit of three characters.
                long p = 0;
                std::string digits;
                if (argument.size() >= 3) digits = std::string(argument.substr(0, argument.size() - 3));
                if (!ParseDecimal(digits, p)) {
                    ShowMes(1032, MesArg::Text(stopName));
                    return 1032;
                }
                Script.push_back(kScriptPause);
                Script.push_back(static_cast<uint8_t>(p));
                Script.push_back(static_cast<uint8_t>(p >> 8));
                return 0;
            }
            case SpecialWord::Text: AddFreeText(argument); return 0;
            case SpecialWord::None: break;
        }
        int word = FindStandardWord(text);
        if (word == kWordNone) {
            ShowMes(1032, MesArg::Text(stopName));
            return 1032;
        }
        int tag = StandardWordTag(word);
        if ((LanguageSection == 2 && !Options.isLang2 && tag == 2) ||
            (LanguageSection == 3 && !Options.isLang3 && tag == 3))
            return 0;

        switch (word) {
            case kWordUseLang1: LanguageSection = 1; return 0;
            case kWordUseLang2: LanguageSection = 2; return 0;
            case kWordUseLang3: LanguageSection = 3; return 0;
            case kWordControlPoint: Script.push_back(kScriptControl); return 0;
            default: break;
        }
        // Words 1-5, 8-12 and 14-18: this stop, next stop, route voice, terminal 1, terminal 2.
        const int lang = word < kWordUseLang2 ? 0 : word < kWordUseLang3 ? 1 : 2;
        const int role = word - (lang == 0 ? kWordThisStop : lang == 1 ? kWordThisStopLang2 : kWordThisStopLang3);
        TvcVoice* v = VoiceSlots[static_cast<size_t>(kThisStopSlot[lang] + role - 1)];
        if (!v) {
            if (role == 0) {
                ShowMes(1034, MesArg::Text(stopName));
                return 1034;
            }
            if (role == 1) {
                ShowMes(1033, MesArg::Text(stopName));
                return 1033;
            }
            if (role == 2 && lang == 0) {
                ShowMes(1030, MesArg::Text(route.RouteVoiceFile[0].value_or("")));
                return 1030;
            }
            return 0;
        }
        AppendVoiceCode(v);
        return 0;
    }

    // A voice file named by the template.
    TvcVoice*& spare = VoiceSlots[5];
    spare = nullptr;
    const std::string file = textFile ? *textFile : std::string();
    if (!text.empty()) spare = AcquireVoice(file);
    if (!spare) {
        ShowMes(1030, MesArg::Text(file));
        return 1030;
    }
    if (int32_t code = spare->Error.ErrorCode; code != 0) {
        ShowMes(code, MesArg::Text(file));
        return code;
    }
    UseVoice(spare);
    AppendVoiceCode(spare);
    return 0;
}
