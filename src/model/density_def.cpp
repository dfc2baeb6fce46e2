#include "model/density_def.h"

#include <algorithm>
#include <cstring>

namespace tonalis {

void ResetCurves(DensityDef& def) {
  def.allChannels = 1;
  for (ToneCurve& c : def.channels) {
    c.points[0] = 0;
    std::fill(c.points + 1, c.points + kPointCount - 1, kUnset);
    c.points[kPointCount - 1] = 10000;
  }
}

DensityDef NewDefinition() {
  DensityDef def{};
  ResetCurves(def);
  for (ToneCurve& c : def.channels) c.gamma = kUnset;
  return def;
}

std::string_view NameOf(const DensityDef& def) {
  const void* end = std::memchr(def.name, 0, kNameFieldSize);
  std::size_t len = end ? static_cast<std::size_t>(static_cast<const char*>(end) - def.name)
                        : kNameFieldSize;
  return {def.name, len};
}

void SetName(DensityDef& def, std::string_view name) {
  std::size_t len = std::min(name.size(), kNameFieldSize);
  std::memcpy(def.name, name.data(), len);
  if (len < kNameFieldSize) def.name[len] = '\0';
}

bool IsUsed(const DensityDef& def) { return def.name[0] != '\0'; }

void EncodeToneCurve(const ToneCurve& curve, std::span<uint8_t, kToneCurveBytes> out) {
  for (int i = 0; i < kPointCount; ++i) StoreLE32(&out[4 * i], curve.points[i]);
  StoreLE32(&out[52], curve.gamma);
}

ToneCurve DecodeToneCurve(std::span<const uint8_t, kToneCurveBytes> in) {
  ToneCurve c;
  for (int i = 0; i < kPointCount; ++i) c.points[i] = LoadLE32(&in[4 * i]);
  c.gamma = LoadLE32(&in[52]);
  return c;
}

void EncodeDensityDef(const DensityDef& def, std::span<uint8_t, kDensityDefBytes> out) {
  StoreLE32(&out[0], def.allChannels);
  std::memcpy(&out[4], def.name, kNameFieldSize);
  for (int c = 0; c < kChannelCount; ++c)
    EncodeToneCurve(def.channels[c], out.subspan(40 + 56 * c).first<kToneCurveBytes>());
}

DensityDef DecodeDensityDef(std::span<const uint8_t, kDensityDefBytes> in) {
  DensityDef def;
  def.allChannels = LoadLE32(&in[0]);
  std::memcpy(def.name, &in[4], kNameFieldSize);
  for (int c = 0; c < kChannelCount; ++c)
    def.channels[c] = DecodeToneCurve(in.subspan(40 + 56 * c).first<kToneCurveBytes>());
  return def;
}

}  // namespace tonalis
