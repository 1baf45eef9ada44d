#pragma once
// The character sets of the informer: the display boards take their own set, with an optional
// substitution of Tatar letters by similar-looking ones for older boards; the 16-character names
// use code page 866.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

uint8_t BoardByte(uint8_t cp1251);
uint8_t TatarSubstitute(uint8_t cp1251);
uint8_t NameByte(uint8_t cp1251);

// In place, type bytes and control texts included.
void RecodeDisplayTexts(uint8_t* pool, size_t length, bool substituteTatar);
void RecodeName(uint8_t* name16);

// The way back, for showing what an image holds. The board set maps several letters to one byte;
// the letter is preferred, then the CP1251 byte with that value.
uint8_t Cp1251FromBoardByte(uint8_t board);
uint8_t Cp1251FromNameByte(uint8_t name);
std::string BoardTextToUtf8(std::string_view board);
std::string NameToUtf8(std::string_view name);
