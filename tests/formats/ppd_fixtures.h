// Shared helpers of the PPD tests: files, golden files, curves and lists.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "formats/ppd_tone.h"
#include "model/definition_table.h"
#include "support/scripted_interaction.h"
#include "support/temp_dir.h"

namespace tonalis::test {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
inline std::string Golden(const std::string& name) {
  std::string bytes = ReadBytes(std::string(TONALIS_PPD_TEST_DATA) + "/" + name);
  EXPECT_FALSE(bytes.empty()) << "missing golden file " << name;
  return bytes;
}

constexpr int32_t U = kUnset;
using Points = std::array<int32_t, kPointCount>;

inline ToneCurve Curve(const Points& points, int32_t gamma = kUnset) {
  ToneCurve c{};
  std::copy(points.begin(), points.end(), c.points);
  c.gamma = gamma;
  return c;
}
inline Points Ends(int32_t low, int32_t high) {
  return {low, U, U, U, U, U, U, U, U, U, U, U, high};
}
inline const Points kIdentity = {0, 500, 1000, 2000, 3000, 4000, 5000,
                                 6000, 7000, 8000, 9000, 9500, 10000};
inline const Points kGamma22 = {0, 13, 63, 289, 707, 1332, 2176,
                                3250, 4562, 6120, 7931, 8932, 10000};

inline DensityDef Def(std::string_view name, int32_t allChannels, std::array<ToneCurve, 4> ch) {
  DensityDef d = NewDefinition();
  SetName(d, name);
  d.allChannels = allChannels;
  std::copy(ch.begin(), ch.end(), d.channels);
  return d;
}
inline DensityDef Def(std::string_view name, int32_t allChannels, const ToneCurve& all) {
  return Def(name, allChannels, {all, all, all, all});
}
inline DensityDef Standard() { return Def("Standard", 1, Curve(kIdentity)); }

inline PrinterDefinitionList ListOf(std::initializer_list<DensityDef> defs) {
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const DensityDef& d : defs) InsertDefinition(list, d, InsertMode::AddMode());
  return list;
}
// Reads a target, expecting success.
inline LoadedPpd MustLoad(const std::shared_ptr<PpdTarget>& target, PrinterDefinitionList& list,
                          ScriptedInteraction& ui) {
  PpdReadOutcome outcome = GetPPDToneInfo(target, list, {ui});
  EXPECT_EQ(outcome.result, kPpdLoaded);
  if (!outcome.loaded) throw std::runtime_error("PPD did not load");
  return std::move(*outcome.loaded);
}

}  // namespace tonalis::test
