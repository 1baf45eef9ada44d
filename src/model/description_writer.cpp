#include "model/description_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/cp1251.h"

namespace {

constexpr size_t kRecordMax = 255;

// Collects records; remembers when one did not fit its length byte.
class Records {
public:
    void add(std::string_view cp1251) {
        if (cp1251.size() > kRecordMax) fits_ = false;
        bytes_ += DescriptionRecord(cp1251);
    }
    void addText(std::string_view utf8) { add(Utf8ToCp1251(utf8)); }
    void addParts(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
        add(JoinParts({Utf8ToCp1251(a), Utf8ToCp1251(b), Utf8ToCp1251(c)}));
    }
    std::optional<std::string> result() const {
        if (!fits_) return std::nullopt;
        return bytes_;
    }

private:
    std::string bytes_;
    bool fits_ = true;
};

template <size_t N>
std::string Joined(const std::array<std::string, N>& texts, char separator) {
    size_t used = N;
    while (used > 0 && texts[used - 1].empty()) --used;
    std::string out;
    for (size_t i = 0; i < used; ++i) {
        if (i) out += separator;
        out += texts[i];
    }
    return out;
}

template <typename Description, typename Bytes>
bool WriteFile(const std::string& nativePath, const Description& d, Bytes bytes) {
    auto data = bytes(d);
    return data && WriteDescriptionBytes(nativePath, *data);
}

}  // namespace

std::string StandardGroupHeader() { return "0201 (c) НПЦ ТИМОРА г. Лесогор - 2000 г Info Group Line"; }
std::string StandardRouteHeader(std::string_view version) {
    return std::string(version) + " (c) НПЦ ТИМОРА г. Лесогор - 2000 г Info Single Line";
}
std::string StandardTemplateHeader() { return "0201 (c) НПЦ ТИМОРА г. Лесогор - 2000 г Info Template Line"; }

std::string DescriptionRecord(std::string_view bytes) {
    bytes = bytes.substr(0, kRecordMax);
    std::string out(1, static_cast<char>(bytes.size()));
    out += bytes;
    return out;
}

std::string JoinParts(std::initializer_list<std::string_view> parts) {
    size_t used = parts.size();
    while (used > 0 && parts.begin()[used - 1].empty()) --used;
    std::string out;
    for (size_t i = 0; i < used; ++i) {
        if (i) out += '\0';
        out += parts.begin()[i];
    }
    return out;
}

std::optional<std::string> GroupFileBytes(const GroupDescription& group) {
    Records r;
    r.addText(group.header);
    r.addText(group.title);
    if (group.writeCount) {
        r.add("Count=" + std::to_string(group.routes.size()));
        for (const std::string& route : group.routes) r.addText(route);
    }
    return r.result();
}

std::optional<std::string> RouteFileBytes(const RouteDescription& d) {
    Records r;
    r.addText(d.header.empty() ? StandardRouteHeader(d.version) : d.header);
    r.addText(d.routeName);
    r.addParts(d.templateFile, d.gpsFile);
    r.addParts(d.routeVoices[0], d.routeVoices[1], d.routeVoices[2]);
    r.addParts(d.imageFile, d.image2File, d.imageFlags);
    r.addParts(Joined(d.auxTexts[0], '\x1F'), Joined(d.auxTexts[1], '\x1F'), Joined(d.auxTexts[2], '\x1F'));
    r.addParts(d.routeParams, Joined(d.term1TextEx, '\x1F'), Joined(d.term2TextEx, '\x1F'));
    r.addParts(d.extraFiles[0], d.extraFiles[1]);
    r.addText(d.record9);
    std::string_view version = std::string_view(d.version).substr(0, 4);
    if (version >= "0204") {
        r.addParts(d.term1Voices[0], d.term1Voices[1], d.term1Voices[2]);
        r.addParts(d.term2Voices[0], d.term2Voices[1], d.term2Voices[2]);
    }
    if (version >= "0209") {
        r.addParts(d.term1Text[0], d.term1Text[1], d.term1Text[2]);
        r.addParts(d.term2Text[0], d.term2Text[1], d.term2Text[2]);
        r.addText(d.routeFlags);
    }
    r.addParts("Count=" + std::to_string(d.stops.size()), d.gpsDate);
    for (const StopDescription& s : d.stops) {
        r.addParts(Joined(s.names, '\x7F'), s.altName);
        std::string second;
        if (s.control) second += static_cast<char>(*s.control);
        second += JoinParts({Utf8ToCp1251(s.templateName), Utf8ToCp1251(s.values)});
        r.add(second);
        r.addParts(s.voices[0], s.voices[1], s.voices[2]);
    }
    return r.result();
}

std::optional<std::string> TemplateFileBytes(const TemplateDescription& t) {
    Records r;
    const std::string end = t.crlf ? "\r\n" : "";
    r.add(Utf8ToCp1251(t.header) + end);
    r.add("Count=" + std::to_string(t.items.size()) + end);
    for (const TemplateItemDescription& item : t.items) {
        r.add(std::to_string(item.number) + ";" + std::to_string(item.section) + ";" + std::to_string(item.line) +
              ";" + Utf8ToCp1251(item.text) + end);
    }
    return r.result();
}

bool WriteDescriptionBytes(const std::string& nativePath, std::string_view bytes) {
    const std::string temporary = nativePath + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, nativePath, ec);
    if (ec) std::remove(temporary.c_str());
    return !ec;
}

bool WriteGroupFile(const std::string& nativePath, const GroupDescription& group) {
    return WriteFile(nativePath, group, GroupFileBytes);
}
bool WriteRouteFile(const std::string& nativePath, const RouteDescription& route) {
    return WriteFile(nativePath, route, RouteFileBytes);
}
bool WriteTemplateFile(const std::string& nativePath, const TemplateDescription& templ) {
    return WriteFile(nativePath, templ, TemplateFileBytes);
}
