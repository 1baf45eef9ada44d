// Firmware files, the programmer's record and the prepared image.
#include "devices/firmware.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "base/little_endian.h"

namespace {

// The built-in code: a small vector table and a banner, then filler made by a fixed generator so
// that every build carries the same bytes.
std::vector<uint8_t> MakeBuiltInCode() {
    std::vector<uint8_t> code(kBuiltInCodeSize);
    size_t at = 0;
    for (int v = 0; v < 26; ++v) {  // jmp 0x0034 + 2v
        const uint16_t target = static_cast<uint16_t>(0x34 + 2 * v);
        code[at++] = 0x0C;
        code[at++] = 0x94;
        code[at++] = static_cast<uint8_t>(target);
        code[at++] = static_cast<uint8_t>(target >> 8);
    }
    static const char kBanner[] = "Korvis LMK USB Programmer firmware 1.1";
    for (const char* c = kBanner; *c; ++c) code[at++] = static_cast<uint8_t>(*c);
    uint32_t x = 0x1D872B41u;
    for (; at < code.size(); ++at) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        code[at] = static_cast<uint8_t>(x >> 11);
    }
    return code;
}

std::vector<uint8_t> MakeBuiltInFile() {
    std::vector<uint8_t> f(kFirmwareHeaderSize, 0);
    WriteLe16(&f[0], kBuiltInCodeSize);
    WriteLe16(&f[4], 0x0100);  // word A
    WriteLe32(&f[8], kBuiltInVersion);
    WriteLe16(&f[16], 0x0040);  // word B
    WriteLe16(&f[20], 0x2FE0);  // word C
    f[24] = 0x01;               // byte D
    f[25] = 3;
    f[26] = kBuiltInMajor;
    f[27] = kBuiltInMinor;
    f[28] = 0x00;  // byte E
    f[29] = 0x00;  // byte F
    WriteLe16(&f[30], 0x0000);  // word G
    f[32] = 0x94;
    f[33] = 0x82;
    std::vector<uint8_t> code = MakeBuiltInCode();
    f.insert(f.end(), code.begin(), code.end());
    return f;
}

bool EndsWithHas(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".has";
}

void Prepare(PreparedFirmware& out) {
    out.record = RepackFirmwareRecord(out.image.data());
    uint8_t* code = out.image.data() + kFirmwareHeaderSize;
    const size_t size = std::min<size_t>(FirmwareCodeSize(out.image.data()), kFirmwareCodeArea);
    std::fill(code + size, code + kFirmwareCodeArea, 0xFF);
    std::copy(out.record.begin(), out.record.end(), code + kFirmwareRecordOffset);
}

void LoadBuiltIn(PreparedFirmware& out) {
    const std::vector<uint8_t>& f = BuiltInFirmware();
    out.image.fill(0);
    std::copy(f.begin(), f.end(), out.image.begin());
    out.sourceFile.clear();
}

}  // namespace

const std::vector<uint8_t>& BuiltInFirmware() {
    static const std::vector<uint8_t> file = MakeBuiltInFile();
    return file;
}

uint16_t FirmwareCodeSize(const uint8_t* header) { return ReadLe16(header); }
uint32_t FirmwareVersion(const uint8_t* header) { return ReadLe32(header + 8); }

bool IsValidFirmware(const uint8_t* header, size_t headerBytes, uint64_t fileSize) {
    if (headerBytes < 34 || header[32] != 0x94 || header[33] != 0x82 || header[25] != 3) return false;
    // Longer files or codes would not fit the programmer's flash; a file shorter than its code
    // would be flashed with whatever stood in the buffer before.
    const uint16_t code = FirmwareCodeSize(header);
    return fileSize <= kFirmwareMaxFile && code <= kFirmwareCodeArea && fileSize >= kFirmwareHeaderSize + code;
}

FirmwareRecord RepackFirmwareRecord(const uint8_t* h) {
    FirmwareRecord r{};
    std::copy(h + 0, h + 2, &r[0]);    // code size
    std::copy(h + 4, h + 6, &r[2]);    // word A
    std::copy(h + 8, h + 12, &r[4]);   // version
    std::copy(h + 16, h + 18, &r[8]);  // word B
    std::copy(h + 20, h + 22, &r[10]); // word C
    std::copy(h + 24, h + 32, &r[12]); // D, type, major, minor, E, F, word G
    r[20] = 0x94;
    r[21] = 0x82;
    return r;
}

const PreparedFirmware& BuiltInPrepared() {
    static const PreparedFirmware prepared = [] {
        PreparedFirmware p;
        LoadBuiltIn(p);
        Prepare(p);
        return p;
    }();
    return prepared;
}

void FindFirmware(PreparedFirmware& out, const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    LoadBuiltIn(out);
    uint32_t bestVersion = FirmwareVersion(out.image.data());
    std::string bestFile;

    for (const std::string& folder : folders) {
        std::error_code ec;
        std::vector<fs::path> names;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code fec;
            if (!it->is_regular_file(fec)) continue;
            if (EndsWithHas(it->path().filename().string())) names.push_back(it->path());
        }
        std::sort(names.begin(), names.end());
        for (const fs::path& p : names) {
            std::ifstream in(p, std::ios::binary);
            if (!in) continue;
            uint8_t header[64] = {};
            in.read(reinterpret_cast<char*>(header), sizeof header);
            const size_t got = static_cast<size_t>(in.gcount());
            std::error_code sec;
            const uint64_t size = fs::file_size(p, sec);
            if (sec) continue;
            if (IsValidFirmware(header, got, size) && FirmwareVersion(header) >= bestVersion) {
                bestVersion = FirmwareVersion(header);
                bestFile = p.string();
            }
        }
    }

    if (!bestFile.empty()) {
        std::ifstream in(bestFile, std::ios::binary);
        if (in) {
            std::array<uint8_t, kFirmwareMaxFile> file{};
            in.read(reinterpret_cast<char*>(file.data()), file.size());
            const size_t got = static_cast<size_t>(in.gcount());
            const bool longer = in && in.peek() != std::char_traits<char>::eof();
            // The file may have changed since it was chosen; take it only when it still holds up.
            if (!longer && IsValidFirmware(file.data(), got, got)) {
                out.image.fill(0);
                std::copy(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(got), out.image.begin());
                out.sourceFile = bestFile;
            }
        }
    }
    Prepare(out);
}

std::vector<std::string> DefaultFirmwareFolders() {
    std::vector<std::string> folders;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        folders.push_back(exe.parent_path().string());
        folders.push_back((exe.parent_path().parent_path() / "share" / "korvis" / "firmware").string());
    }
    return folders;
}
