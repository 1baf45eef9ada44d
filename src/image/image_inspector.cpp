#include "image/image_inspector.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/little_endian.h"
#include "image/image_layout.h"
#include "image/recoding.h"

using namespace image_layout;

namespace {

class Reader {
public:
    Reader(const uint8_t* d, size_t n) : data_(d), size_(n) {}
    // Bytes past the end read as 0xFF, the state of an unwritten cartridge.
    uint8_t u8(size_t off) const { return off < size_ ? data_[off] : 0xFF; }
    uint16_t u16(size_t off) const { return static_cast<uint16_t>(u8(off) | (u8(off + 1) << 8)); }
    uint32_t u32(size_t off) const {
        return static_cast<uint32_t>(u16(off)) | (static_cast<uint32_t>(u16(off + 2)) << 16);
    }
    bool has(size_t off, size_t n) const { return off <= size_ && n <= size_ - off; }
    std::string bytes(size_t off, size_t n) const {
        std::string s;
        for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(u8(off + i)));
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

std::string Hex(uint32_t v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*X", digits, v);
    return b;
}

// Free texts carry colour and line codes below 0x20; they read back in their @ form.
std::string ShowBoardText(const std::string& board) {
    std::string out;
    std::string run;
    auto flush = [&] {
        out += BoardTextToUtf8(run);
        run.clear();
    };
    for (unsigned char c : board) {
        const char* esc = nullptr;
        switch (c) {
            case 0x01: esc = "@G"; break;
            case 0x02: esc = "@R"; break;
            case 0x03: esc = "@Y"; break;
            case 0x04: esc = "@/"; break;
            default: break;
        }
        if (esc) {
            flush();
            out += esc;
        } else {
            run.push_back(static_cast<char>(c));
        }
    }
    flush();
    return out;
}

InspectedText ReadText(const Reader& r, uint16_t areaOffset) {
    InspectedText t;
    t.areaOffset = areaOffset;
    size_t start = kDisplayAreaOffset + areaOffset;
    size_t end = start;
    while (end < kDisplayAreaOffset + kDisplayAreaSize && r.has(end, 1) && r.u8(end) != 0) ++end;
    std::string all = r.bytes(start, end - start);
    if (all.empty()) return t;
    t.type = static_cast<uint8_t>(all[0]);
    if (all.size() == 1 && (t.type == kControlText0 || t.type == kFirstSeparator || t.type == kSecondSeparator))
        return t;
    t.bytes = all.substr(1);
    t.utf8 = ShowBoardText(t.bytes);
    return t;
}

std::string DosTimeText(uint32_t dos) {
    unsigned time = dos & 0xFFFF, date = dos >> 16;
    char b[32];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return b;
}

int RateHz(uint8_t rateByte) {
    static const int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    unsigned code = rateByte & 0x0F;
    return code < 7 ? kRates[code] : -1;
}

}  // namespace

const char* DisplayTypeName(uint8_t type) {
    switch (type) {
        case kTextRouteNumber: return "route number";
        case kTextNextStop: return "next stop";
        case kTextCurrentStop: return "current stop";
        case kTextListEntry: return "following stop";
        case kTextFree: return "free text";
        case kTextLegStart: return "leg start";
        case kTextLegEnd: return "leg end";
        case kControlText0: return "control 0x1F";
        case kFirstSeparator: return "first separator";
        case kSecondSeparator: return "second separator";
        default: return "unknown";
    }
}

InspectedImage InspectImage(const uint8_t* data, size_t size) {
    Reader r(data, size);
    InspectedImage img;
    if (!r.has(kHeaderOffset, kHeaderSize)) {
        img.problems.push_back("the image ends before its header at 0x2000");
        return img;
    }
    img.routeCount = r.u8(kHeaderOffset);
    img.blockCount = r.u8(kHeaderOffset + 1);
    img.flags = r.u16(kHeaderOffset + 2);
    img.buildTime = r.u32(kHeaderOffset + 4);
    if (img.routeCount == 0xFF && img.blockCount == 0xFF) {
        img.problems.push_back("the header is not written (0xFF)");
        return img;
    }

    // Voice index 0 is always the first route's route voice, so the lowest voice-table offset
    // referenced anywhere is the start of the table.
    uint32_t voiceTable = 0xFFFF;
    for (int k = 0; k < img.routeCount; ++k) {
        size_t rec = kRouteTableOffset + kRouteRecordSize * static_cast<size_t>(k);
        InspectedRoute rt;
        rt.nameOffset = r.u16(rec);
        rt.voiceEntryOffset = r.u16(rec + 2);
        rt.scriptTableOffset = r.u16(rec + 4);
        rt.nameTableOffset = r.u16(rec + 6);
        rt.eventTableOffset = r.u16(rec + 8);
        rt.eventCount = r.u16(rec + 20);
        rt.name = r.bytes(rt.nameOffset, kNameRecordSize);
        rt.nameUtf8 = NameToUtf8(rt.name);
        if (rt.voiceEntryOffset != 0) voiceTable = std::min<uint32_t>(voiceTable, rt.voiceEntryOffset);
        img.routes.push_back(std::move(rt));
    }

    for (InspectedRoute& rt : img.routes) {
        for (uint32_t e = 0; e < rt.eventCount; ++e) {
            InspectedEvent ev;
            ev.scriptOffset = r.u16(rt.scriptTableOffset + 2 * e);
            ev.nameOffset = r.u16(rt.nameTableOffset + 2 * e);
            ev.name = r.bytes(ev.nameOffset, kNameRecordSize);
            ev.nameUtf8 = NameToUtf8(ev.name);

            size_t p = ev.scriptOffset;
            bool ended = false;
            while (!ended && p < 0x10000 && r.has(p, 1)) {
                InspectedScriptCode c;
                c.code = r.u8(p++);
                switch (c.code) {
                    case kScriptPause:
                        c.value = r.u16(p);
                        p += 2;
                        break;
                    case kScriptVoice:
                        c.value = r.u16(p);
                        p += 2;
                        if (c.value != 0) voiceTable = std::min<uint32_t>(voiceTable, c.value);
                        break;
                    case kScriptReserved: {
                        size_t n = r.u8(p);
                        c.raw.push_back(static_cast<uint8_t>(n));
                        for (size_t i = 0; i <= n; ++i) c.raw.push_back(r.u8(p + 1 + i));
                        p += n + 2;
                        break;
                    }
                    case kScriptEnd:
                    case kScriptRouteEnd: ended = true; break;
                    default: break;
                }
                ev.script.push_back(std::move(c));
            }
            if (!ended) img.problems.push_back("a script at " + Hex(ev.scriptOffset, 4) + " has no end");

            uint32_t entry = kDisplayAreaOffset + rt.eventTableOffset + 2 * e;
            ev.displayListOffset = r.u16(entry);
            size_t q = kDisplayAreaOffset + ev.displayListOffset;
            for (int n = 0; n < 4096; ++n, q += 2) {
                if (q + 1 >= kDisplayAreaOffset + kDisplayAreaSize || !r.has(q, 2)) {
                    img.problems.push_back("a display list at " + Hex(ev.displayListOffset, 4) + " has no end");
                    break;
                }
                uint16_t t = r.u16(q);
                if (t == 0) break;
                ev.display.push_back(ReadText(r, t));
            }
            rt.events.push_back(std::move(ev));
        }
    }

    if (voiceTable != 0xFFFF) {
        img.voiceTableOffset = voiceTable;
        // The table runs until the voice data of segment 0 begins, or until unwritten bytes.
        uint32_t limit = 0x10000;
        for (uint32_t at = voiceTable; at + 4 <= limit && r.has(at, 4); at += 4) {
            uint32_t entry = r.u32(at);
            if (entry == 0xFFFFFFFF) break;
            InspectedVoice v;
            v.entry = entry;
            v.offset = entry & 0xFFFFFF;
            v.rate = static_cast<uint8_t>(entry >> 24);
            if (v.offset < 0x100000) limit = std::min(limit, v.offset);
            img.voices.push_back(v);
        }
    }
    auto indexOf = [&](uint16_t entryOffset) -> int32_t {
        if (!img.voiceTableOffset || entryOffset < img.voiceTableOffset) return -1;
        uint32_t i = (entryOffset - img.voiceTableOffset) / 4;
        return (entryOffset - img.voiceTableOffset) % 4 == 0 && i < img.voices.size() ? static_cast<int32_t>(i) : -1;
    };
    for (InspectedRoute& rt : img.routes) {
        rt.voiceIndex = indexOf(rt.voiceEntryOffset);
        for (InspectedEvent& ev : rt.events)
            for (InspectedScriptCode& c : ev.script)
                if (c.code == kScriptVoice) {
                    c.voiceIndex = indexOf(c.value);
                    if (c.voiceIndex >= 0) {
                        c.voiceOffset = img.voices[static_cast<size_t>(c.voiceIndex)].offset;
                        c.voiceRate = img.voices[static_cast<size_t>(c.voiceIndex)].rate;
                    }
                }
    }
    return img;
}

std::string FormatInspection(const InspectedImage& img) {
    std::string out;
    auto line = [&](const std::string& s) { out += s + "\n"; };
    char b[256];

    line("Header");
    std::snprintf(b, sizeof b, "  routes: %u", img.routeCount);
    line(b);
    std::snprintf(b, sizeof b, "  blocks of 64 KB: %u", img.blockCount);
    line(b);
    std::snprintf(b, sizeof b, "  flags: %s (compact: %s, display offsets: %s, Tatar substitution: %s, text variant: %u)",
                  Hex(img.flags, 4).c_str(), img.flags & kFlagCompact ? "yes" : "no",
                  img.flags & kFlagDisplayOffsets ? "yes" : "no", img.flags & kFlagTatar ? "yes" : "no",
                  static_cast<unsigned>((img.flags >> 8) & 3));
    line(b);
    line("  build time: " + DosTimeText(img.buildTime) + " (" + Hex(img.buildTime, 8) + ")");

    for (size_t k = 0; k < img.routes.size(); ++k) {
        const InspectedRoute& rt = img.routes[k];
        std::snprintf(b, sizeof b, "Route %zu: \"%s\", route voice #%d, %u events", k + 1, rt.nameUtf8.c_str(),
                      rt.voiceIndex, rt.eventCount);
        line(b);
        for (size_t e = 0; e < rt.events.size(); ++e) {
            const InspectedEvent& ev = rt.events[e];
            std::snprintf(b, sizeof b, "  Event %zu: \"%s\"", e + 1, ev.nameUtf8.c_str());
            line(b);
            std::string s = "    script:";
            for (const InspectedScriptCode& c : ev.script) {
                switch (c.code) {
                    case kScriptEnd: s += " end"; break;
                    case kScriptRouteEnd: s += " end of route"; break;
                    case kScriptPause: s += " pause " + std::to_string(c.value) + ";"; break;
                    case kScriptControl: s += " control point;"; break;
                    case kScriptVoice:
                        if (c.voiceIndex >= 0)
                            std::snprintf(b, sizeof b, " voice #%d at %s, %d Hz;", c.voiceIndex,
                                          Hex(c.voiceOffset, 6).c_str(), RateHz(c.voiceRate));
                        else
                            std::snprintf(b, sizeof b, " voice entry %s;", Hex(c.value, 4).c_str());
                        s += b;
                        break;
                    case kScriptReserved: s += " reserved block of " + std::to_string(c.raw.size()) + " bytes;"; break;
                    default: s += " code " + Hex(c.code, 2) + ";"; break;
                }
            }
            line(s);
            line("    display:");
            for (const InspectedText& t : ev.display) {
                if (t.bytes.empty() && t.type != kTextRouteNumber)
                    line(std::string("      ") + DisplayTypeName(t.type));
                else
                    line(std::string("      ") + DisplayTypeName(t.type) + ": \"" + t.utf8 + "\"");
            }
        }
    }

    std::snprintf(b, sizeof b, "Voices: %zu (table at %s)", img.voices.size(), Hex(img.voiceTableOffset, 4).c_str());
    line(b);
    std::map<uint32_t, int> perSegment;
    for (size_t i = 0; i < img.voices.size(); ++i) {
        const InspectedVoice& v = img.voices[i];
        std::snprintf(b, sizeof b, "  #%zu at %s, rate byte %s (%d Hz)", i, Hex(v.offset, 6).c_str(),
                      Hex(v.rate, 2).c_str(), RateHz(v.rate));
        line(b);
        ++perSegment[v.offset >> 20];
    }
    line("Segments:");
    for (auto [seg, n] : perSegment) {
        std::snprintf(b, sizeof b, "  segment %u: %d voices", seg, n);
        line(b);
    }
    for (const std::string& p : img.problems) line("Problem: " + p);
    return out;
}
