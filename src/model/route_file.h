#pragma once
// Routes: a route file names the route's stops with their names in up to three languages, the stop
// template file, and the voice files of the route, its terminals and its stops.
//
// Per-language fields are arrays of three, index 0 for language 1 (the main language).
// Strings: the texts that go into the image (HeaderText, RouteName, AuxTexts, Term*Text*, StopName,
// AltName, TemplateName) are the CP1251 bytes read. Every file field comes as a pair: *File is the
// full UTF-8 path in the Windows form (open it through NativePath), *Name the name relative to
// BaseDir (what the build tests for presence). std::nullopt is "absent"; a part read as empty is "".
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/template_file.h"
#include "model/vc_base.h"

inline constexpr int kRouteTableSize = 1024;
inline constexpr int kMaxLegStarts = 4;  // leg starts and terminals a route can hold
inline constexpr int kMaxTerminals = 4;
inline constexpr int kMaxKeyStops = 14;
inline constexpr size_t kStopNameMax = 15;  // characters kept of a stop name
inline constexpr size_t kSubTextMax = 63;   // characters kept of a 0x1F sub-text

// Bits of a stop's control byte.
inline constexpr uint8_t kStopFlag0 = 0x01;
inline constexpr uint8_t kStopIgnored = 0x02;
inline constexpr uint8_t kStopKey = 0x04;
inline constexpr uint8_t kStopTerminal = 0x08;
inline constexpr uint8_t kStopLegStart = 0x10;

using OptStr = std::optional<std::string>;

struct TvcStop {
    int32_t Index = 0;  // position in the route, from 0
    uint8_t Flag0 = 0, IsKeyStop = 0, IsTerminal = 0, IsLegStart = 0;
    std::array<OptStr, 3> StopName;  // absent when the names part is empty
    OptStr AltName;                  // used instead of StopName[0] when not empty
    OptStr TemplateName;             // selects the template by its name entry
    std::array<OptStr, 3> VoiceName, VoiceFile;
    int32_t Value1 = 0, Value2 = 0;  // kept, not used by the build
};

class TvcLine : public TvcCustomCollection {
public:
    TvcLine(std::string_view fileName, TvcCustomCollection* after);
    ~TvcLine() override;  // empties its RouteTable slot and releases Template

    std::string FileName;  // full path of the route file
    OptStr HeaderText, RouteName;
    OptStr TemplateFile, TemplateName;
    TvcTempl* Template = nullptr;  // the opened template set, or nullptr
    OptStr GpsFile, GpsName;       // absent when the route names no GPS file
    std::array<OptStr, 3> RouteVoiceFile, RouteVoiceName;
    OptStr ImageFile, ImageName, Image2File, Image2Name;
    int32_t ImageFlags = 0;
    std::array<std::array<OptStr, 4>, 3> AuxTexts;  // [language][text]
    int32_t RouteParams = 0;
    std::array<OptStr, 2> ExtraFile, ExtraName;
    // Absent in files older than version "0204".
    std::array<OptStr, 3> Term1VoiceFile, Term1VoiceName, Term2VoiceFile, Term2VoiceName;
    // Term*Text absent in files older than "0209"; Term*TextEx absent when their sub-text is empty.
    std::array<OptStr, 3> Term1Text, Term2Text, Term1TextEx, Term2TextEx;
    int32_t RouteFlags = 0;  // bit 0: every leg starts at Term1Text and ends at Term2Text
    int32_t GpsDate = 0;     // kept, not used by the build
    int32_t StopCount = 0;   // equals Stops.size() after a load
    std::vector<TvcStop> Stops;
    int32_t LegStartCount = 0;
    std::array<int32_t, kMaxLegStarts> LegStarts{};
    int32_t TerminalCount = 0;
    // The flagged terminals, then at [TerminalCount] the last stop (StopCount - 1).
    std::array<int32_t, kMaxTerminals + 1> Terminals{};
    std::string BaseDir;  // folder of FileName with one trailing backslash
    bool Loaded = false;
    int32_t RefCount = 0;
    bool FileOpen = false;  // true only while LoadRoute runs

    // Working fields of the route-table builder, filled per build of the route.
    int32_t EventCount = 0;
    std::array<int32_t, kMaxKeyStops> KeyStops{};  // stop indices
    int32_t KeyStopCount = 0;
    bool HasLegMarks = false;
};

extern TvcLine* RouteTable[kRouteTableSize];

// The route with exactly this FileName with one more reference, or a new one in the first free slot,
// linked after `after`; nullptr when all slots are in use. Does not read the file.
TvcLine* OpenRoute(std::string_view fileName, TvcCustomCollection* after);
// Reads the route file once (later calls return true at once) and opens its template set. A file
// that cannot be opened or read gives false without a message; a malformed one shows 1008 with
// FileName and gives false.
bool LoadRoute(TvcLine* route);
// Drops one reference; the last one destroys the route. nullptr is ignored.
void ReleaseRoute(TvcLine* route);
// Destroys every route in the table (tests start from an empty table).
void ClearRouteTable();
