#include "image/recoding.h"

#include <array>

#include "base/cp1251.h"

namespace {

// CP1251 0xA0..0xFF on the display boards; everything below 0xA0 is shown as it is.
constexpr uint8_t kBoardHigh[96] = {
    0xF0, 0xCD, 0xCD, 0xCD, 0xCD, 0x82, 0xCD, 0xCD, 0xA2, 0xCD, 0x85, 0xF2, 0xF4, 0xF5, 0xCD, 0x87,  // A0
    0xCD, 0xF1, 0x49, 0x69, 0x84, 0xCD, 0xF6, 0xF7, 0xB5, 0xCD, 0x86, 0xF3, 0xCD, 0x53, 0x73, 0x88,  // B0
    0x41, 0xA0, 0x42, 0xA1, 0xE0, 0x45, 0xA3, 0xA4, 0xA5, 0xA6, 0x4B, 0xA7, 0x4D, 0x48, 0x4F, 0xA8,  // C0
    0x50, 0x43, 0x54, 0xA9, 0xAA, 0x58, 0xE1, 0xAB, 0xAC, 0xE2, 0xAD, 0xAE, 0x62, 0xAF, 0xB0, 0xB1,  // D0
    0x61, 0xB2, 0xB3, 0xB4, 0xE3, 0x65, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0x6F, 0xBE,  // E0
    0x70, 0x63, 0xBF, 0x79, 0xE4, 0x78, 0xE5, 0xC0, 0xC1, 0xE6, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7,  // F0
};

// Tatar letters of CP1251 0x80..0xBF replaced by similar letters the older boards have.
constexpr uint8_t kTatarHigh[64] = {
    0x68, 0xC3, 0xE0, 0xE3, 0xA8, 0xC6, 0xCD, 0x68, 0xDD, 0x43, 0xCB, 0x47, 0xCD, 0xCA, 0x68, 0xD6,  // 80
    0x68, 0x59, 0xE0, 0x79, 0xB8, 0xE6, 0xED, 0x68, 0x20, 0x63, 0xEB, 0x67, 0xED, 0xEA, 0x68, 0xF6,  // 90
    0x49, 0x59, 0x79, 0x4A, 0xB0, 0xC3, 0x7C, 0x24, 0xA8, 0x63, 0xDD, 0x4F, 0x55, 0x75, 0x52, 0x49,  // A0
    0xB0, 0x69, 0x49, 0x69, 0xE3, 0x6D, 0x53, 0x73, 0xB8, 0x4E, 0xFD, 0x6F, 0x6A, 0x53, 0x73, 0x69,  // B0
};

std::array<uint8_t, 256> MakeNameTable() {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<uint8_t>(b);
    for (int b = 0xC0; b <= 0xEF; ++b) t[b] = static_cast<uint8_t>(b - 0x40);  // А..Я, а..п
    for (int b = 0xF0; b <= 0xFF; ++b) t[b] = static_cast<uint8_t>(b - 0x10);  // р..я
    t[0xA8] = 0xF0;  // Ё
    t[0xB8] = 0xF1;  // ё
    t[0xA5] = 0x83;  // Ґ as Г
    t[0xB4] = 0xA3;  // ґ as г
    t[0xAA] = 0x9D;  // Є as Э
    t[0xBA] = 0xED;  // є as э
    t[0xAF] = 0x49;  // Ї
    t[0xB2] = 0x49;  // І
    t[0xBF] = 0x69;  // ї
    t[0xB3] = 0x69;  // і
    return t;
}

const std::array<uint8_t, 256> kNameTable = MakeNameTable();

// Letters first so that a shared board byte reads back as the letter it most likely was.
std::array<uint8_t, 256> MakeBoardInverse() {
    std::array<uint8_t, 256> inv{};
    std::array<bool, 256> set{};
    for (int b = 0; b < 0x80; ++b) {
        inv[b] = static_cast<uint8_t>(b);
        set[b] = true;
    }
    for (int b : {0xC0, 0xA0}) {
        for (int c = b; c < b + (b == 0xC0 ? 64 : 32); ++c) {
            uint8_t x = kBoardHigh[c - 0xA0];
            if (!set[x]) {
                inv[x] = static_cast<uint8_t>(c);
                set[x] = true;
            }
        }
    }
    for (int x = 0x80; x < 256; ++x)
        if (!set[x]) inv[x] = x < 0xA0 ? static_cast<uint8_t>(x) : static_cast<uint8_t>('?');
    return inv;
}

std::array<uint8_t, 256> MakeNameInverse() {
    std::array<uint8_t, 256> inv{};
    for (int b = 0; b < 256; ++b) inv[b] = static_cast<uint8_t>(b);
    for (int b = 0xC0; b <= 0xFF; ++b) inv[kNameTable[b]] = static_cast<uint8_t>(b);
    inv[0xF0] = 0xA8;
    inv[0xF1] = 0xB8;
    return inv;
}

const std::array<uint8_t, 256> kBoardInverse = MakeBoardInverse();
const std::array<uint8_t, 256> kNameInverse = MakeNameInverse();

}  // namespace

uint8_t BoardByte(uint8_t b) { return b < 0xA0 ? b : kBoardHigh[b - 0xA0]; }

uint8_t TatarSubstitute(uint8_t b) { return b >= 0x80 && b <= 0xBF ? kTatarHigh[b - 0x80] : b; }

uint8_t NameByte(uint8_t b) { return kNameTable[b]; }

void RecodeDisplayTexts(uint8_t* pool, size_t length, bool substituteTatar) {
    for (size_t i = 0; i < length; ++i)
        pool[i] = substituteTatar ? BoardByte(TatarSubstitute(pool[i])) : BoardByte(pool[i]);
}

void RecodeName(uint8_t* name16) {
    for (int i = 0; i < 16; ++i) name16[i] = kNameTable[name16[i]];
}

uint8_t Cp1251FromBoardByte(uint8_t board) { return kBoardInverse[board]; }

uint8_t Cp1251FromNameByte(uint8_t name) { return kNameInverse[name]; }

std::string BoardTextToUtf8(std::string_view board) {
    std::string cp;
    cp.reserve(board.size());
    for (unsigned char c : board) cp.push_back(static_cast<char>(Cp1251FromBoardByte(c)));
    return Cp1251ToUtf8(cp);
}

std::string NameToUtf8(std::string_view name) {
    std::string cp;
    cp.reserve(name.size());
    for (unsigned char c : name) cp.push_back(static_cast<char>(Cp1251FromNameByte(c)));
    return Cp1251ToUtf8(cp);
}
