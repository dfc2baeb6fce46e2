#include "model/validate.h"

#include <cstdio>

namespace tonalis {

std::optional<unsigned char> ForbiddenByteIn(std::string_view name) {
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (!IsNameByte(byte)) return byte;
  }
  return std::nullopt;
}

std::optional<Refusal> ValidateName(std::string_view name, const StringSource& strings) {
  if (name.empty())
    return Refusal{sid::kNameThisSetting, strings.Load(sid::kNameThisSetting), -1, -1};
  if (name.size() > kMaxNameLength) {
    return Refusal{0,
                   "The name has " + std::to_string(name.size()) + " bytes; at most " +
                       std::to_string(kMaxNameLength) + " are allowed.",
                   -1, -1};
  }
  if (const std::optional<unsigned char> b = ForbiddenByteIn(name)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", *b);
    return Refusal{0, std::string("The name contains the control character ") + hex + ".", -1,
                   -1};
  }
  return std::nullopt;
}

std::optional<Refusal> ValidateCurve(const ToneCurve& curve, int channel,
                                     const StringSource& strings) {
  auto refuse = [&](int id, int point) { return Refusal{id, strings.Load(id), channel, point}; };
  if (curve.points[0] == kUnset || curve.points[kPointCount - 1] == kUnset)
    return refuse(sid::kNoEndPoints, curve.points[0] == kUnset ? 0 : kPointCount - 1);
  for (int i = 0; i < kPointCount; ++i) {
    const int32_t p = curve.points[i];
    if (p != kUnset && (p < 0 || p > 10000))
      return refuse(sid::kFirstPointOutOfRange + i, i);
  }
  if (curve.gamma != kUnset && (curve.gamma < 1 || curve.gamma > 9999))
    return refuse(sid::kGammaOutOfRange, -1);
  return std::nullopt;
}

std::optional<Refusal> Validate(const DensityDef& def, const StringSource& strings) {
  if (std::optional<Refusal> refusal = ValidateName(NameOf(def), strings))
    return refusal;
  const int last = def.allChannels == 1 ? kCyan : kBlack;
  for (int c = kCyan; c <= last; ++c) {
    if (std::optional<Refusal> refusal = ValidateCurve(def.channels[c], c, strings))
      return refusal;
  }
  return std::nullopt;
}

}  // namespace tonalis
