// Choosing and preparing the firmware image.
#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "devices/firmware.h"
#include "support/temp_dir.h"

namespace {

// A firmware file: the built-in header with another version and code.
std::string FirmwareFile(uint32_t version, uint16_t codeSize = 300, uint8_t type = 3, size_t extra = 0) {
    std::vector<uint8_t> f(BuiltInFirmware().begin(), BuiltInFirmware().begin() + kFirmwareHeaderSize);
    WriteLe16(&f[0], codeSize);
    WriteLe32(&f[8], version);
    f[25] = type;
    f.resize(kFirmwareHeaderSize + codeSize + extra, static_cast<uint8_t>(version));
    return std::string(f.begin(), f.end());
}

TEST(Firmware, BuiltInImageIsAValidVersionOneOne) {
    const auto& f = BuiltInFirmware();
    ASSERT_EQ(f.size(), kFirmwareHeaderSize + 7161);
    EXPECT_TRUE(IsValidFirmware(f.data(), f.size(), f.size()));
    const PreparedFirmware& p = BuiltInPrepared();
    EXPECT_EQ(p.codeSize(), 7161);
    EXPECT_EQ(p.major(), 1);
    EXPECT_EQ(p.minor(), 1);
    EXPECT_EQ(p.version(), kBuiltInVersion);
    EXPECT_TRUE(p.sourceFile.empty());
}

TEST(Firmware, RecordRepacksTheHeaderFields) {
    uint8_t h[64];
    for (int i = 0; i < 64; ++i) h[i] = static_cast<uint8_t>(0xA0 + i);
    const FirmwareRecord r = RepackFirmwareRecord(h);
    const uint8_t want[32] = {0xA0, 0xA1, 0xA4, 0xA5, 0xA8, 0xA9, 0xAA, 0xAB, 0xB0, 0xB1, 0xB4,
                              0xB5, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0x94, 0x82};
    EXPECT_TRUE(std::equal(r.begin(), r.end(), want));
}

TEST(Firmware, PreparedCodeAreaIsFilledAndCarriesTheRecord) {
    const PreparedFirmware& p = BuiltInPrepared();
    const uint8_t* code = p.code();
    EXPECT_EQ(code[7160], BuiltInFirmware()[kFirmwareHeaderSize + 7160]);
    for (size_t i = 7161; i < kFirmwareCodeArea; ++i) {
        if (i >= kFirmwareRecordOffset && i < kFirmwareRecordOffset + kFirmwareRecordSize) continue;
        ASSERT_EQ(code[i], 0xFF) << i;
    }
    EXPECT_TRUE(std::equal(p.record.begin(), p.record.end(), code + kFirmwareRecordOffset));
}

TEST(Firmware, NewestValidFileWins) {
    const uint32_t v = kBuiltInVersion;
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> first, second;  // name, bytes
        std::string chosen;                                               // empty: built-in
    } cases[] = {
        {"versions 5 and 7", {{"v5.HAS", FirmwareFile(v + 5)}, {"v7.has", FirmwareFile(v + 7)}}, {}, "v7.has"},
        {"older than built-in", {{"old.HAS", FirmwareFile(v - 1)}}, {}, ""},
        {"equal to built-in", {{"same.HAS", FirmwareFile(v)}}, {}, "same.HAS"},
        {"type 2 ignored", {{"t2.HAS", FirmwareFile(v + 9, 300, 2)}, {"ok.HAS", FirmwareFile(v + 1)}}, {}, "ok.HAS"},
        {"longer than 16,896 bytes ignored",
         {{"long.HAS", FirmwareFile(v + 9, 16384, 3, 1)}, {"ok.HAS", FirmwareFile(v + 1)}}, {}, "ok.HAS"},
        {"shorter than its code ignored",
         {{"cut.HAS", FirmwareFile(v + 9).substr(0, 600)}, {"ok.HAS", FirmwareFile(v + 1)}}, {}, "ok.HAS"},
        {"other extension ignored", {{"v9.bin", FirmwareFile(v + 9)}}, {}, ""},
        {"equal versions: the last name", {{"a.has", FirmwareFile(v + 3)}, {"b.HAS", FirmwareFile(v + 3)}}, {}, "b.HAS"},
        {"installed folder after the program's",
         {{"p.HAS", FirmwareFile(v + 3)}}, {{"i.HAS", FirmwareFile(v + 4)}}, "i.HAS"},
        {"program's folder newer", {{"p.HAS", FirmwareFile(v + 4)}}, {{"i.HAS", FirmwareFile(v + 3)}}, "p.HAS"},
    };
    for (const Case& c : cases) {
        TempDir a, b;
        for (const auto& [name, bytes] : c.first) a.write(name, bytes);
        for (const auto& [name, bytes] : c.second) b.write(name, bytes);
        std::filesystem::create_directory(a / "dir.HAS");
        PreparedFirmware p;
        FindFirmware(p, {a.str(), b.str(), (a / "missing").string()});
        if (c.chosen.empty()) {
            EXPECT_TRUE(p.sourceFile.empty()) << c.what << ": " << p.sourceFile;
            EXPECT_EQ(p.version(), v) << c.what;
            EXPECT_EQ(p.image, BuiltInPrepared().image) << c.what;
        } else {
            EXPECT_EQ(std::filesystem::path(p.sourceFile).filename().string(), c.chosen) << c.what;
            EXPECT_EQ(p.codeSize(), 300) << c.what;
            EXPECT_EQ(p.code()[299], static_cast<uint8_t>(p.version())) << c.what;
            EXPECT_EQ(p.code()[300], 0xFF) << c.what;
        }
    }
}

}  // namespace
