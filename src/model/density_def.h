// The density-control record: one named tone curve per process colour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tonalis {

inline constexpr int kPointCount = 13;
inline constexpr int kChannelCount = 4;
inline constexpr std::size_t kNameFieldSize = 36;
// Longest name the editor and the command line accept, in bytes.
inline constexpr std::size_t kMaxNameLength = 32;
inline constexpr int32_t kUnset = -1;

// Input percentages of the thirteen control points; point i of every curve
// is the output at ControlInputs[i].
inline constexpr std::array<int, kPointCount> ControlInputs = {0,  5,  10, 20, 30, 40, 50,
                                                               60, 70, 80, 90, 95, 100};

enum Channel : int { kCyan = 0, kMagenta = 1, kYellow = 2, kBlack = 3 };

// The colours' names as files and messages spell them, by Channel.
inline constexpr std::string_view kChannelWords[kChannelCount] = {"cyan", "magenta", "yellow",
                                                                  "black"};

// One channel: outputs in hundredths of a percent at ControlInputs, and a
// gamma in hundredths (-1 = unset for both).
struct ToneCurve {
  int32_t points[kPointCount];
  int32_t gamma;

  bool operator==(const ToneCurve&) const = default;
};

// 264-byte record, also the record of the library file. The in-memory layout
// matches the file layout on little-endian hosts; serialisation below does
// not rely on that and encodes every field explicitly.
struct DensityDef {
  int32_t allChannels;  // 1: cyan serves all four colours
  char name[kNameFieldSize];
  ToneCurve channels[kChannelCount];

  bool operator==(const DensityDef&) const = default;
};

static_assert(sizeof(ToneCurve) == 56);
static_assert(offsetof(ToneCurve, gamma) == 52);
static_assert(sizeof(DensityDef) == 264);
static_assert(offsetof(DensityDef, name) == 4);
static_assert(offsetof(DensityDef, channels) == 40);
static_assert(offsetof(DensityDef, channels[1]) == 96);
static_assert(offsetof(DensityDef, channels[3]) == 208);

inline constexpr std::size_t kToneCurveBytes = 56;
inline constexpr std::size_t kDensityDefBytes = 264;

// The record of a new definition: all channels, no name, 0 % -> 0 and
// 100 % -> 10000 set, every other point and every gamma unset.
DensityDef NewDefinition();

// Sets the flag and points of a new definition, keeping name and gammas.
void ResetCurves(DensityDef& def);

// The name as stored: up to the first zero byte, or the whole 36-byte field
// when it holds none. Never reads past the field.
std::string_view NameOf(const DensityDef& def);

// Stores `name` (at most 36 bytes are kept) followed by a zero byte when
// there is room. Bytes after the terminator are left as they were.
void SetName(DensityDef& def, std::string_view name);

bool IsUsed(const DensityDef& def);

// Little-endian byte image of a record and back.
void EncodeToneCurve(const ToneCurve& curve, std::span<uint8_t, kToneCurveBytes> out);
ToneCurve DecodeToneCurve(std::span<const uint8_t, kToneCurveBytes> in);
void EncodeDensityDef(const DensityDef& def, std::span<uint8_t, kDensityDefBytes> out);
DensityDef DecodeDensityDef(std::span<const uint8_t, kDensityDefBytes> in);

// Explicit little-endian helpers shared by the file formats.
inline void StoreLE32(uint8_t* p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}
inline int32_t LoadLE32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLE16(uint8_t* p, int16_t v) {
  auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
}
inline int16_t LoadLE16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace tonalis
