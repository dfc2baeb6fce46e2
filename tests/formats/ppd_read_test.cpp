// Reading PPD files against golden files: every NAME.ppd under the data
// folders has a NAME.json beside it that says what the reader made of it (the
// result, the NickName, the choices, the definitions, the line break, head
// and tail; a channel is its thirteen points and its gamma) and whether
// writing the definitions read back was allowed. With
// TONALIS_REGENERATE_GOLDEN=1 the .json files are written instead of checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/ppd_fixtures.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::string Quoted(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b >= 0x7F) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04X", b);  // bytes as Latin-1
      out += u;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Size and FNV-1a hash: the split is checked byte for byte without holding
// megabytes in the golden file.
std::string Digest(std::string_view bytes) {
  uint64_t h = 1469598103934665603ull;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "\"%zu:%016llx\"", bytes.size(),
                static_cast<unsigned long long>(h));
  return text;
}

std::string Describe(const PpdReadOutcome& outcome, const PrinterDefinitionList& list,
                     int written) {
  std::string j = "{\n  \"result\": " + std::to_string(outcome.result) + ",\n";
  j += "  \"nickName\": " + Quoted(outcome.nickName) + ",\n";
  if (outcome.loaded) {
    const PPDToneState& s = outcome.loaded->state();
    j += "  \"lineBreak\": " + Quoted(s.lineBreak) + ",\n";
    j += "  \"head\": " + Digest(s.headText) + ",\n  \"tail\": " + Digest(s.tailText) + ",\n";
    j += "  \"endsInQuote\": " + std::string(s.endsInQuote ? "true" : "false") + ",\n";
    j += "  \"default\": " + Quoted(s.defaultChoice) + ",\n  \"languages\": [";
    for (std::size_t i = 0; i < s.languages.size(); ++i)
      j += (i ? ", " : "") + Quoted(s.languages[i]);
    j += "],\n  \"choices\": [";
    for (std::size_t i = 0; i < s.choices.size(); ++i)
      j += (i ? ", [" : "[") + std::to_string(s.choices[i].keyword) + ", " +
           Quoted(s.choices[i].name) + "]";
    j += "],\n  \"definitions\": [";
    for (int slot : VisibleSlots(list)) {
      const DensityDef& d = list.slots[slot];
      j += std::string(slot ? "," : "") + "\n    {\"name\": " + Quoted(NameOf(d)) +
           ", \"same\": " + std::to_string(d.allChannels) + ", \"channels\": [";
      for (int c = 0; c < kChannelCount; ++c) {
        j += c ? ", [" : "[";
        for (int32_t p : d.channels[c].points) j += std::to_string(p) + ", ";
        j += std::to_string(d.channels[c].gamma) + "]";
      }
      j += "]}";
    }
    j += "],\n  \"written\": " + std::string(written ? "true" : "false") + ",\n";
  }
  return j + "  \"end\": true\n}\n";
}

std::vector<fs::path> Inputs() {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(TONALIS_PPD_TEST_DATA))
    if (e.path().extension() == ".ppd") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(ReadGolden, EveryFileReadsAsItsGoldenSays) {
  const bool regenerate = std::getenv("TONALIS_REGENERATE_GOLDEN") != nullptr;
  int checked = 0;
  for (const fs::path& input : Inputs()) {
    SCOPED_TRACE(input.filename().string());
    TempDir dir;
    const std::string path = dir / "printer.ppd";
    const std::string original = ReadBytes(input);
    WriteBytes(path, original);
    ScriptedInteraction ui;
    PrinterDefinitionList list = ListOf({Standard()});  // emptied by every read
    const PpdReadOutcome outcome = GetPPDToneInfo(FileTarget(path), list, {ui});
    EXPECT_EQ(ReadBytes(path), original) << "reading changed the file";
    EXPECT_EQ(outcome.loaded.has_value(), outcome.result == kPpdLoaded);
    if (outcome.result == kPpdFailed)
      EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdConstructionError});
    else
      EXPECT_TRUE(ui.Empty());

    bool written = false;
    if (outcome.loaded) {
      // Writing back what was read either replaces the section alone or is
      // refused before anything is touched.
      const PPDToneState& state = outcome.loaded->state();
      const std::string composed = ComposePpd(state, list).bytes;
      ui.Clear();
      written = SetPPDToneInfo(*outcome.loaded, list, {ui});
      if (written) {
        EXPECT_TRUE(ReadBytes(path) == composed);
        PrinterDefinitionList again;
        const LoadedPpd reread = MustLoad(FileTarget(path), again, ui);
        EXPECT_TRUE(reread.state().tailText == state.tailText);
        EXPECT_EQ(reread.state().headText.substr(0, state.headText.size()), state.headText);
        ASSERT_EQ(again.count, list.count);
        for (int i = 0; i < list.count; ++i) {
          EXPECT_EQ(NameOf(again.slots[i]), NameOf(list.slots[i]));
          EXPECT_EQ(std::memcmp(again.slots[i].channels, list.slots[i].channels,
                                sizeof list.slots[i].channels), 0);
        }
      } else {
        ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
        EXPECT_EQ(ui.shown()[0].detail.find_first_of("\r\n\x07\x1B"), std::string::npos);
        EXPECT_TRUE(ReadBytes(path) == original);
      }
    }
    const std::string got = Describe(outcome, list, written);
    fs::path golden = input;
    golden.replace_extension(".json");
    if (regenerate) WriteBytes(golden, got);
    EXPECT_EQ(got, ReadBytes(golden));
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
}  // namespace tonalis
