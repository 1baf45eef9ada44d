#pragma once
// Writes group, route and template files from a description held in memory: fixtures for tests and
// the files of the demo group. What these write, LoadGroup, LoadRoute and LoadTemplate read back
// field for field.
//
// How to use it: fill a GroupDescription / RouteDescription / TemplateDescription (every string is
// UTF-8 and is written as CP1251; file names are written as given, so use backslashes and names
// relative to the file being written, e.g. "..\\voice\\a.wav"), then call Write*File with a native
// path, or *FileBytes for the bytes alone. A record longer than 255 bytes cannot be framed: the
// functions then give nullopt / false and write nothing. For deliberately malformed files, frame
// records yourself with DescriptionRecord and JoinParts.
//
//   RouteDescription r;
//   r.routeName = "5";  r.templateFile = "stops.tpl";  r.routeVoices[0] = "voice\\route5.wav";
//   r.stops.push_back({.names = {"Вокзал"}, .templateName = "Обычная", .voices = {"voice\\s1.wav"}});
//   WriteRouteFile(dir + "/r5.lin", r);
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/route_file.h"

// The standard header records ("0201 (c) НПЦ ТИМОРА г. Лесогор - 2000 г Info ... Line"), UTF-8.
std::string StandardGroupHeader();
std::string StandardRouteHeader(std::string_view version);
std::string StandardTemplateHeader();

// One record: the length byte and the bytes as given (no conversion). Bytes past 255 are cut, so
// check the size first where it matters.
std::string DescriptionRecord(std::string_view bytes);
// Parts of a record joined by NUL bytes, empty trailing parts left out (no conversion).
std::string JoinParts(std::initializer_list<std::string_view> parts);

struct GroupDescription {
    std::string header = StandardGroupHeader();
    std::string title;
    std::vector<std::string> routes;  // route file names as written in the file
    bool writeCount = true;           // false: the file ends after the title
};

struct StopDescription {
    std::array<std::string, 3> names;  // joined with 0x7F, empty trailing names left out
    std::string altName;
    std::optional<uint8_t> control = kStopIgnored;  // kStop* bits; nullopt writes no control byte
    std::string templateName;
    std::string values;  // part 2 of the second record, e.g. "12,34"
    std::array<std::string, 3> voices;
};

struct RouteDescription {
    std::string version = "0209";  // decides which records are written
    std::string header;            // empty: StandardRouteHeader(version)
    std::string routeName;
    std::string templateFile, gpsFile;
    std::array<std::string, 3> routeVoices;
    std::string imageFile, image2File, imageFlags;
    std::array<std::array<std::string, 4>, 3> auxTexts;  // joined with 0x1F per language
    std::string routeParams;
    std::array<std::string, 3> term1TextEx, term2TextEx;  // joined with 0x1F
    std::array<std::string, 2> extraFiles;
    std::string record9;
    std::array<std::string, 3> term1Voices, term2Voices;  // version "0204" and later
    std::array<std::string, 3> term1Text, term2Text;      // version "0209" and later
    std::string routeFlags;                               // version "0209" and later
    std::string gpsDate;
    std::vector<StopDescription> stops;
};

struct TemplateItemDescription {
    int32_t number = 0, section = 0, line = 0;
    std::string text;
};

struct TemplateDescription {
    std::string header = StandardTemplateHeader();
    std::vector<TemplateItemDescription> items;
    bool crlf = false;  // end every record with CR LF, as some editors leave them
};

std::optional<std::string> GroupFileBytes(const GroupDescription& group);
std::optional<std::string> RouteFileBytes(const RouteDescription& route);
std::optional<std::string> TemplateFileBytes(const TemplateDescription& templ);

// Writes to a temporary name beside `nativePath` and renames it when complete.
bool WriteGroupFile(const std::string& nativePath, const GroupDescription& group);
bool WriteRouteFile(const std::string& nativePath, const RouteDescription& route);
bool WriteTemplateFile(const std::string& nativePath, const TemplateDescription& templ);
// Bytes as given, written the same way (for hand-framed files).
bool WriteDescriptionBytes(const std::string& nativePath, std::string_view bytes);
