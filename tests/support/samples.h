// Sample files for tests above the formats: definitions by name, library
// images and small supported PPDs.
#pragma once

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "formats/library_file.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"

namespace tonalis::test {

using Names = std::vector<std::string>;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A new definition named `name`, its middle point at `middle` in every
// channel.
inline DensityDef Definition(const std::string& name, int32_t middle = kUnset) {
  DensityDef def = NewDefinition();
  SetName(def, name);
  for (ToneCurve& c : def.channels) c.points[6] = middle;
  return def;
}

// A library file image holding `names` in slots 0, 1, ...
inline std::string LibraryImage(const Names& names) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& name : names) InsertDefinition(*library, Definition(name), InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}

// A supported PPD with CR LF line endings and a section holding `names`. An
// empty nickname leaves the *NickName line out; an empty `marker` makes it a
// PPD of another make.
inline std::string PpdText(const std::string& nickName, const Names& names,
                           const std::string& marker = "*QRHTUtility: True") {
  std::string text = "*PPD-Adobe: \"4.3\"\r\n" + (marker.empty() ? "" : marker + "\r\n");
  if (!nickName.empty()) text += "*NickName: \"" + nickName + "\"\r\n";
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const auto& name : names) InsertDefinition(list, Definition(name), InsertMode::AddMode());
  if (!names.empty()) text += BuildSection(list);
  return text + "*% Font Information\r\n*DefaultFont: Courier\r\n";
}

// The names of the definitions in a PPD text, as the reader finds them.
inline Names DefinitionsIn(const std::string& ppd) {
  PrinterDefinitionList list;
  EmptyTable(list);
  PPDToneState state;
  ppd::SplitPpdText(ppd, list, state);
  Names names;
  for (auto name : VisibleNames(list)) names.emplace_back(name);
  return names;
}

}  // namespace tonalis::test
