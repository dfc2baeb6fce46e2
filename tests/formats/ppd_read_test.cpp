// Reading PPD files against golden files: every NAME.ppd under the data folders has a
// NAME.json beside it that says what the reader made of it (result, messages, NickName,
// choices, definitions as [13 points, gamma] per channel, line break, head and tail) and
// whether writing back what was read was allowed, or the refusal. Text is Latin-1. With
// TONALIS_REGENERATE_GOLDEN=1 the .json files are written instead of checked.
#include <cstdio>
#include <cstdlib>

#include "formats/definition_json.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

namespace fs = std::filesystem;
using cli::Json;
using cli::Latin1ToUtf8;

// Size and FNV-1a hash: the split is checked byte for byte without megabytes of golden file.
std::string Digest(std::string_view bytes) {
  uint64_t h = 1469598103934665603ull;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(h));
  return text;
}

// One member a line, one definition a line.
std::string Describe(const PpdReadOutcome& outcome, const PrinterDefinitionList& list,
                     const ScriptedInteraction& ui, const std::string& refusal) {
  Json j = {{"result", outcome.result}, {"messages", ui.Ids()},
            {"nickName", Latin1ToUtf8(outcome.nickName)}};
  Json defs = Json::array();
  if (outcome.loaded) {
    const PPDToneState& s = outcome.loaded->state();
    j.update({{"lineBreak", s.lineBreak}, {"head", Digest(s.headText)},
              {"tail", Digest(s.tailText)}, {"endsInQuote", s.endsInQuote},
              {"default", Latin1ToUtf8(s.defaultChoice)}, {"languages", s.languages},
              {"choices", Json::array()}});
    for (const ChoiceRead& c : s.choices) j["choices"].push_back({c.keyword, Latin1ToUtf8(c.name)});
    for (int slot : VisibleSlots(list)) {
      const DensityDef& d = list.slots[slot];
      Json channels = Json::array();
      for (const ToneCurve& c : d.channels) channels.emplace_back(c.points).push_back(c.gamma);
      defs.push_back(
          {{"name", Latin1ToUtf8(NameOf(d))}, {"same", d.allChannels}, {"channels", channels}});
    }
    if (refusal.empty()) j["written"] = true;
    else j["refused"] = Latin1ToUtf8(refusal);
  }
  auto text = [](const Json& v) { return v.dump(-1, ' ', true); };
  std::string out = "{\n";
  for (const auto& [key, value] : j.items()) out += "  \"" + key + "\": " + text(value) + ",\n";
  out += "  \"definitions\": [";
  for (const Json& d : defs) out += (&d == &defs.front() ? "\n    " : ",\n    ") + text(d);
  return out + "]\n}\n";
}

TEST(ReadGolden, EveryFileReadsAsItsGoldenSays) {
  const bool regenerate = std::getenv("TONALIS_REGENERATE_GOLDEN") != nullptr;
  int checked = 0;
  for (const auto& input : fs::recursive_directory_iterator(TONALIS_PPD_TEST_DATA)) {
    if (input.path().extension() != ".ppd") continue;
    SCOPED_TRACE(input.path().filename().string());
    TempDir dir;
    const std::string path = dir / "printer.ppd", original = ReadBytes(input.path());
    WriteBytes(path, original);
    ScriptedInteraction ui;
    PrinterDefinitionList list = ListOf({Standard()});  // emptied by every read
    const PpdReadOutcome outcome = GetPPDToneInfo(FileTarget(path), list, {ui});
    EXPECT_EQ(ReadBytes(path), original) << "reading changed the file";
    EXPECT_EQ(outcome.loaded.has_value(), outcome.result == kPpdLoaded);
    // Writing back what was read either replaces the section alone (the fuzz
    // replay's round trip checks that) or is refused before anything is touched.
    std::string refusal;
    if (outcome.loaded && !SetPPDToneInfo(*outcome.loaded, list, {ui})) {
      refusal = ui.shown().back().detail;
      EXPECT_TRUE(ReadBytes(path) == original);
    }
    const std::string got = Describe(outcome, list, ui, refusal);
    const std::string golden = fs::path(input.path()).replace_extension(".json");
    if (regenerate) WriteBytes(golden, got);
    EXPECT_EQ(got, ReadBytes(golden));
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
}  // namespace tonalis::test
