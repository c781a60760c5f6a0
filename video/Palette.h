#pragma once
// Pseudo-colour palettes: 14 tables of 256 entries, each 0x00YYUUVV (Y in bits 16-23, U in
// bits 8-15, V in bits 0-7), indexed by palette id and an 8-bit grey level. No entry holds a
// zero byte. The user chooses among ids 0, 1, 3 and 6; the others are further thermal ramps.

#include <cstddef>
#include <cstdint>

namespace Palette {

constexpr int kCount = 14;
constexpr int kLevels = 256;

constexpr int kWhiteHot = 0;
constexpr int kBlackHot = 1;
constexpr int kArctic = 2;
constexpr int kRainbow = 3;
constexpr int kLava = 4;
constexpr int kHotMetal = 5;
constexpr int kIronRed = 6;
constexpr int kMedical = 7;
constexpr int kAmber = 8;
constexpr int kNightGreen = 9;
constexpr int kRedHot = 10;
constexpr int kBlueCold = 11;
constexpr int kRainbowHC = 12;
constexpr int kOcean = 13;

inline bool isValid(int nId) { return nId >= 0 && nId < kCount; }

// The 256 entries of palette nId, or null for an id outside 0..13.
const uint32_t* table(int nId);
// One entry; 0 for an id outside 0..13, the level clamped to 0..255.
uint32_t entry(int nId, int nLevel);

inline uint8_t entryY(uint32_t nEntry) { return uint8_t(nEntry >> 16); }
inline uint8_t entryU(uint32_t nEntry) { return uint8_t(nEntry >> 8); }
inline uint8_t entryV(uint32_t nEntry) { return uint8_t(nEntry); }

// Splits a 256-entry table into its Y, U and V bytes.
void split(const uint32_t* pTable, uint8_t* pY, uint8_t* pU, uint8_t* pV);

// Palette lookup on packed UYVY, in place, over nBytes (a multiple of 4). Each pixel's Y goes
// through pY; the pair's U and V come from pU and pV at the first pixel's level.
// pPre, when given, is applied to every Y before the lookup (the gamma table), in one pass.
void applyLookup(uint8_t* pUyvy, size_t nBytes, const uint8_t* pY, const uint8_t* pU, const uint8_t* pV,
                 const uint8_t* pPre = nullptr);

// Only a byte table on every Y (the gamma pass, or a palette without colour).
void applyLumaTable(uint8_t* pUyvy, size_t nBytes, const uint8_t* pTable);

} // namespace Palette
