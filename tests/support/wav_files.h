#pragma once
// Byte builders for RIFF WAVE and Creative Voice fixtures, so a test can make exactly the
// structure it is about (odd chunk orders, short format records, bad check words).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace wavfix {

inline void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

struct WavSpec {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t rate = 11025;
    uint16_t blockAlign = 1;
    uint16_t bits = 8;
    uint32_t fmtLen = 16;  // the record is padded with zeros (or cut) to this length
    std::vector<std::pair<std::string, std::string>> chunksBeforeData;
    std::string data;
    int64_t dataLen = -1;  // -1: the real length
};

inline std::string WavBytes(const WavSpec& w) {
    std::string fmt;
    Put16(fmt, w.formatTag);
    Put16(fmt, w.channels);
    Put32(fmt, w.rate);
    Put32(fmt, w.rate * w.blockAlign);
    Put16(fmt, w.blockAlign);
    Put16(fmt, w.bits);
    fmt.resize(w.fmtLen, '\0');
    std::string body = "WAVEfmt ";
    Put32(body, w.fmtLen);
    body += fmt;
    for (const auto& [id, chunk] : w.chunksBeforeData) {
        body += id;
        Put32(body, static_cast<uint32_t>(chunk.size()));
        body += chunk;
    }
    body += "data";
    Put32(body, w.dataLen < 0 ? static_cast<uint32_t>(w.data.size()) : static_cast<uint32_t>(w.dataLen));
    body += w.data;
    std::string out = "RIFF";
    Put32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

// An 8-bit mono file from signed samples.
inline std::string Wav8(uint32_t rate, const std::vector<int8_t>& samples) {
    WavSpec w;
    w.rate = rate;
    for (int8_t s : samples) w.data.push_back(static_cast<char>(static_cast<uint8_t>(s) ^ 0x80));
    return WavBytes(w);
}

struct VocSpec {
    uint8_t timeConstant = 165;
    uint8_t pack = 0;
    uint8_t blockType = 1;
    uint16_t version = 0x010A;
    int32_t check = -1;  // -1: the right one
    std::string data;
};

inline std::string VocBytes(const VocSpec& v) {
    std::string out = "Creative Voice File\x1A";
    Put16(out, 26);
    Put16(out, v.version);
    Put16(out, static_cast<uint16_t>(v.check < 0 ? 0x1233 - v.version : v.check));
    out.push_back(static_cast<char>(v.blockType));
    const uint32_t len = static_cast<uint32_t>(v.data.size() + 2);
    out.push_back(static_cast<char>(len & 0xFF));
    out.push_back(static_cast<char>((len >> 8) & 0xFF));
    out.push_back(static_cast<char>((len >> 16) & 0xFF));
    out.push_back(static_cast<char>(v.timeConstant));
    out.push_back(static_cast<char>(v.pack));
    out += v.data;
    out.push_back('\0');  // terminator block
    return out;
}

}  // namespace wavfix
