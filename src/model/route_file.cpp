#include "model/route_file.h"

#include <algorithm>

#include "base/cp1251.h"
#include "messages/show_mes.h"
#include "model/description_records.h"
#include "model/resolve_path.h"

TvcLine* RouteTable[kRouteTableSize] = {};

namespace {

constexpr std::string_view kCountPrefix = "Count=";
constexpr char kSubTextSep = '\x1F';
constexpr char kNameSep = '\x7F';
constexpr int kRecordsPerStop = 3;

// Parsing stops at the first fault; the caller then reports the file as invalid.
struct Invalid {};

class RouteParser {
public:
    RouteParser(TvcLine& route, std::string_view bytes) : route_(route), records_(bytes) {}

    void parse();

private:
    std::string_view record() {
        auto r = records_.next();
        if (!r) throw Invalid{};  // a truncated file must not build
        return *r;
    }
    description::Parts parts() { return description::SplitParts(record()); }

    int32_t integer(std::string_view text) {
        auto v = description::ParseInt32(text);
        if (!v) throw Invalid{};
        return *v;
    }

    void file(std::string_view name, OptStr& full, OptStr& relative) {
        ResolvedPath path = ResolvePath(route_.BaseDir, Cp1251ToUtf8(name));
        full = std::move(path.full);
        relative = std::move(path.relative);
    }

    template <size_t N>
    static void subTexts(std::string_view part, std::array<OptStr, N>& out) {
        size_t pos = 0;
        for (auto& text : out) {
            if (pos >= part.size()) break;
            size_t end = std::min(part.find(kSubTextSep, pos), part.size());
            std::string_view piece = part.substr(pos, end - pos);
            if (!piece.empty()) text = std::string(piece.substr(0, kSubTextMax));
            pos = end + 1;
        }
    }

    void stop(TvcStop& s);

    TvcLine& route_;
    description::RecordReader records_;
};

// Leading decimal digits of `text` (0 when none), dropped from it. Values past 32 bits stay at the
// largest one: these numbers are only kept.
int32_t TakeDigits(std::string_view& text) {
    int64_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT32_MAX);
    text.remove_prefix(i);
    return static_cast<int32_t>(value);
}

void RouteParser::stop(TvcStop& s) {
    // First record: up to three names split at 0x7F, each cut to its first 15 characters.
    description::Parts names = parts();
    if (!names.p[0].empty()) {
        std::string_view rest = names.p[0];
        for (auto& name : s.StopName) {
            size_t end = std::min(rest.find(kNameSep), rest.size());
            name = std::string(rest.substr(0, std::min(end, kStopNameMax)));
            rest.remove_prefix(end == rest.size() ? end : end + 1);
        }
    }
    s.AltName = std::string(names.p[1]);

    // Second record: the control byte, the template name, two numbers.
    std::string_view body = record();
    uint8_t control = 0;
    if (!body.empty() && static_cast<uint8_t>(body[0]) < 32) {
        control = static_cast<uint8_t>(body[0]);
        body.remove_prefix(1);
    }
    s.Flag0 = (control & kStopFlag0) != 0;
    s.IsKeyStop = (control & kStopKey) != 0;
    s.IsTerminal = (control & kStopTerminal) != 0;
    s.IsLegStart = (control & kStopLegStart) != 0;
    description::Parts second = description::SplitParts(body);
    s.TemplateName = std::string(second.p[0]);
    // The model keeps four leg starts and four terminals; a fifth cannot be laid out.
    if (s.IsLegStart) {
        if (route_.LegStartCount >= kMaxLegStarts) throw Invalid{};
        route_.LegStarts[route_.LegStartCount++] = s.Index;
    }
    if (s.IsTerminal) {
        if (route_.TerminalCount >= kMaxTerminals) throw Invalid{};
        route_.Terminals[route_.TerminalCount++] = s.Index;
    }
    std::string_view values = second.p[1];
    s.Value1 = TakeDigits(values);
    if (!values.empty() && values[0] == ',') values.remove_prefix(1);
    s.Value2 = TakeDigits(values);

    // Third record: the voice files per language.
    description::Parts voices = parts();
    for (int i = 0; i < 3; ++i) file(voices.p[i], s.VoiceFile[i], s.VoiceName[i]);
}

void RouteParser::parse() {
    route_.HeaderText = std::string(parts().p[0]);
    route_.RouteName = std::string(parts().p[0]);

    description::Parts r3 = parts();
    file(r3.p[0], route_.TemplateFile, route_.TemplateName);
    if (!r3.p[1].empty()) file(r3.p[1], route_.GpsFile, route_.GpsName);

    description::Parts r4 = parts();
    for (int i = 0; i < 3; ++i) file(r4.p[i], route_.RouteVoiceFile[i], route_.RouteVoiceName[i]);

    description::Parts r5 = parts();
    file(r5.p[0], route_.ImageFile, route_.ImageName);
    file(r5.p[1], route_.Image2File, route_.Image2Name);
    if (!r5.p[2].empty()) route_.ImageFlags = integer(r5.p[2]);

    description::Parts r6 = parts();
    for (int i = 0; i < 3; ++i) subTexts(r6.p[i], route_.AuxTexts[i]);

    description::Parts r7 = parts();
    route_.RouteParams = r7.p[0].empty() ? 0 : integer(r7.p[0]);
    subTexts(r7.p[1], route_.Term1TextEx);
    subTexts(r7.p[2], route_.Term2TextEx);

    description::Parts r8 = parts();
    for (int i = 0; i < 2; ++i) file(r8.p[i], route_.ExtraFile[i], route_.ExtraName[i]);

    record();  // record 9 carries nothing the program uses

    // The version is compared as text, so a short header counts as older than any full one.
    std::string_view version = std::string_view(*route_.HeaderText).substr(0, 4);
    if (version >= "0204") {
        description::Parts r10 = parts();
        for (int i = 0; i < 3; ++i) file(r10.p[i], route_.Term1VoiceFile[i], route_.Term1VoiceName[i]);
        description::Parts r11 = parts();
        for (int i = 0; i < 3; ++i) file(r11.p[i], route_.Term2VoiceFile[i], route_.Term2VoiceName[i]);
    }
    if (version >= "0209") {
        description::Parts r12 = parts();
        for (int i = 0; i < 3; ++i) route_.Term1Text[i] = std::string(r12.p[i]);
        description::Parts r13 = parts();
        for (int i = 0; i < 3; ++i) route_.Term2Text[i] = std::string(r13.p[i]);
        route_.RouteFlags = description::ParseInt32(parts().p[0]).value_or(0);
    }

    description::Parts count = parts();
    if (!count.p[0].starts_with(kCountPrefix)) throw Invalid{};
    int32_t n = integer(count.p[0].substr(kCountPrefix.size()));
    if (n < 0) throw Invalid{};
    // Three records of at least their length byte each: a count the file cannot hold is a
    // truncated file, found before anything is made for it.
    if (static_cast<size_t>(n) * kRecordsPerStop > records_.remaining()) throw Invalid{};
    route_.Stops.assign(static_cast<size_t>(n), TvcStop{});
    route_.StopCount = n;
    if (!count.p[1].empty()) route_.GpsDate = integer(count.p[1]);

    route_.LegStartCount = route_.TerminalCount = 0;
    route_.LegStarts.fill(0);
    route_.Terminals.fill(0);
    for (int32_t k = 0; k < n; ++k) {
        TvcStop& s = route_.Stops[static_cast<size_t>(k)];
        s.Index = k;
        stop(s);
    }
    route_.Terminals[static_cast<size_t>(route_.TerminalCount)] = route_.StopCount - 1;
}

}  // namespace

TvcLine::TvcLine(std::string_view fileName, TvcCustomCollection* after)
    : TvcCustomCollection(std::string("Line"), after), FileName(fileName) {}

TvcLine::~TvcLine() {
    for (auto& slot : RouteTable)
        if (slot == this) slot = nullptr;
    ReleaseTemplate(Template);
}

TvcLine* OpenRoute(std::string_view fileName, TvcCustomCollection* after) {
    for (TvcLine* route : RouteTable) {
        if (route && route->FileName == fileName) {
            ++route->RefCount;
            return route;
        }
    }
    for (auto& slot : RouteTable) {
        if (!slot) {
            slot = new TvcLine(fileName, after);
            slot->RefCount = 1;
            return slot;
        }
    }
    return nullptr;
}

bool LoadRoute(TvcLine* route) {
    if (!route) return false;
    if (route->Loaded || route->FileOpen) return true;
    route->StopCount = 0;
    route->BaseDir = description::BaseDirOf(route->FileName);
    std::string bytes;
    if (!description::ReadWholeFile(route->FileName, bytes)) return false;
    route->FileOpen = true;
    bool ok = true;
    try {
        RouteParser(*route, bytes).parse();
    } catch (const Invalid&) {
        ok = false;
    }
    route->FileOpen = false;
    if (!ok) {
        route->Loaded = false;
        ShowMes(1008, MesArg::Text(route->FileName));
        return false;
    }
    if (!route->TemplateFile->empty()) route->Template = OpenTemplate(*route->TemplateFile);
    route->Loaded = true;
    return true;
}

void ReleaseRoute(TvcLine* route) {
    if (!route) return;
    for (auto& slot : RouteTable) {
        if (slot != route) continue;
        if (route->RefCount > 0) --route->RefCount;
        if (route->RefCount <= 0) delete route;  // the destructor empties the slot
        return;
    }
}

void ClearRouteTable() {
    for (auto& slot : RouteTable) delete slot;
}
