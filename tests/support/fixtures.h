// What the tests share: files, scratch folders, golden files, curves, definitions, lists,
// library images and small supported PPDs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/library_file.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"
#include "model/definition_table.h"
#include "support/scripted_interaction.h"

namespace tonalis::test {

using Names = std::vector<std::string>;

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
inline std::string Golden(const std::string& name) {
  std::string bytes = ReadBytes(std::string(TONALIS_PPD_TEST_DATA) + "/" + name);
  EXPECT_FALSE(bytes.empty()) << "missing golden file " << name;
  return bytes;
}

// A private temporary folder for one test, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonalis-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
  }
  ~TempDir() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // The names in the folder (or in `folder`), sorted.
  Names Entries() const { return Entries(path_); }
  static Names Entries(const std::filesystem::path& folder) {
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

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
// A new definition named `name`, its middle point at `middle` in every channel.
inline DensityDef Definition(const std::string& name, int32_t middle = kUnset) {
  Points p = Ends(0, 10000);
  p[6] = middle;
  return Def(name, 1, Curve(p));
}
// A per-channel definition with its own middle point and gamma in each channel.
inline DensityDef FourCurves() {
  DensityDef def = Definition("Four");
  def.allChannels = 0;
  for (int c = 0; c < kChannelCount; ++c)
    def.channels[c].points[6] = 1000 * (c + 3), def.channels[c].gamma = 110 + 10 * c;
  return def;
}

inline PrinterDefinitionList ListOf(std::initializer_list<DensityDef> defs) {
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const DensityDef& d : defs) InsertDefinition(list, d, InsertMode::AddMode());
  return list;
}
inline PrinterDefinitionList ListOf(const Names& names) {
  PrinterDefinitionList list = ListOf({});
  for (const auto& name : names) InsertDefinition(list, Definition(name), InsertMode::AddMode());
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

// A library file image holding the definitions of `lists`, in slots 0, 1, ...
inline std::string LibraryImage(std::initializer_list<PrinterDefinitionList> lists) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& list : lists)
    for (int slot : VisibleSlots(list)) InsertDefinition(*library, list.slots[slot], InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}
inline std::string LibraryImage(const Names& names) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& name : names) InsertDefinition(*library, Definition(name), InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}

// A supported PPD with CR LF line endings and a section holding `names`. An empty nickname
// leaves the *NickName line out; an empty `marker` makes it a PPD of another make.
inline std::string PpdText(const std::string& nickName, const Names& names,
                           const std::string& marker = "*QRHTUtility: True") {
  std::string text = "*PPD-Adobe: \"4.3\"\r\n" + (marker.empty() ? "" : marker + "\r\n");
  if (!nickName.empty()) text += "*NickName: \"" + nickName + "\"\r\n";
  if (!names.empty()) text += BuildSection(ListOf(names));
  return text + "*% Font Information\r\n*DefaultFont: Courier\r\n";
}

// The names of the definitions in a PPD text, as the reader finds them.
inline Names DefinitionsIn(const std::string& ppd) {
  PrinterDefinitionList list = ListOf({});
  PPDToneState state;
  ppd::SplitPpdText(ppd, list, state);
  Names names;
  for (auto name : VisibleNames(list)) names.emplace_back(name);
  return names;
}

}  // namespace tonalis::test
