// The engine on real vendor PPDs, checked by the real print system: a write
// changes nothing but the section and cupstestppd finds nothing new; each
// printer's whole CUPS filter chain carries the chosen density control onto
// the CMYK step wedge that Ghostscript renders. The tools come from
// scripts/install-deps; the whole sample renders with TONALIS_CHAIN_SAMPLE=all.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "formats/definition_json.h"
#include "support/fixtures.h"
#include "formats/real_support.h"

namespace tonalis {
namespace {

using namespace test;
using namespace test::real;

// The lines of a PPD, each with its offset and whether it belongs to a
// density-control section ("*OpenUI *VLTone/" through "*CloseUI: *VLTone").
struct Line {
  std::string_view text;
  std::size_t offset;
  bool section;
};
std::vector<Line> Scan(std::string_view ppd) {
  std::vector<Line> lines;
  std::size_t offset = 0;
  bool inside = false;
  for (std::string_view text : LinesOf(ppd)) {
    inside = inside || text.starts_with("*OpenUI *VLTone/");
    lines.push_back({text, offset, inside});
    inside = inside && !text.starts_with("*CloseUI: *VLTone");
    offset += text.size();
  }
  return lines;
}

// The file without its sections and the option's translation lines.
std::string WithoutSections(std::string_view ppd) {
  static const std::regex translation(R"(^\*[A-Za-z_]+\.(Translation VLTone/|VLTone ))");
  std::string out;
  for (const Line& l : Scan(ppd))
    if (!l.section && !std::regex_search(std::string(l.text), translation))
      out += l.text;
  return out;
}

// What cupstestppd reports on a file beyond its PASS lines.
std::set<std::string> Findings(const std::string& path, const std::string& scratch) {
  const RunResult r = RunTool({"cupstestppd", "-W", "all", "-v", path}, scratch);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::set<std::string> findings;
  std::istringstream in(r.out + r.err);
  for (std::string line; in >> std::ws && std::getline(in, line);)
    if (!line.starts_with("PASS"))
      findings.insert(line);
  return findings;
}

// A vendor file copied into a scratch folder, read and written by the engine.
class RealPpd : public ::testing::TestWithParam<VendorCase> {
 protected:
  TempDir dir;
  std::string path = dir / "printer.ppd";
  std::string original = ReadBytes(VendorPath(GetParam()));
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  void SetUp() override {
    ASSERT_FALSE(original.empty()) << "missing vendor file";
    WriteBytes(path, original);
  }
  LoadedPpd Load() {
    LoadedPpd loaded = MustLoad(FileTarget(path), list, ui);
    EXPECT_TRUE(ui.Empty());
    return loaded;
  }
  // Writing succeeds: CUPS's parser, in the engine, finds every vendor option.
  void Write(const LoadedPpd& loaded, const PrinterDefinitionList& defs) {
    ASSERT_TRUE(SetPPDToneInfo(loaded, defs, {ui})) << ui.shown().at(0).detail;
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    ui.Clear();
  }
};

TEST_P(RealPpd, AWriteChangesOnlyTheSectionAndCupsTestPpdFindsNothingNew) {
  const std::set<std::string> delivered = Findings(path, dir.path());
  LoadedPpd first = Load();
  EXPECT_EQ(list.count, GetParam().sections);
  const PrinterDefinitionList defs = Definitions();
  Write(first, defs);
  const std::string written = ReadBytes(path);

  // Outside the section the file is the original, byte for byte; a last line
  // without a break gets one when the section comes after it.
  const std::string_view line1 = LinesOf(original)[0];
  const std::string lineBreak(line1.substr(line1.find_first_of("\r\n")));
  const bool endsWithBreak = original.back() == '\n' || original.back() == '\r';
  EXPECT_EQ(WithoutSections(written),
            WithoutSections(original) + (GetParam().fontAnchor || endsWithBreak ? "" : lineBreak));

  // The section uses the file's own line break (foomatic-rip joins continued
  // lines only with LF), and stands directly before the first font anchor,
  // or at the end of a file without one.
  std::size_t end = std::string::npos, anchor = written.size();
  for (const Line& l : Scan(written)) {
    if (l.section) {
      EXPECT_EQ(l.text.substr(l.text.find_last_not_of("\r\n") + 1), lineBreak) << l.text;
      if (end == std::string::npos && l.text.starts_with("*CloseUI: *VLTone"))
        end = l.offset + l.text.size();
    } else if (anchor == written.size() && (l.text.starts_with("*% Font Information") ||
                                            l.text.starts_with("*DefaultFont: Courier"))) {
      anchor = l.offset;
    }
  }
  EXPECT_EQ(end, anchor);
  EXPECT_EQ(anchor == written.size(), !GetParam().fontAnchor);

  // Every language of *cupsLanguages gets the option's texts.
  const std::size_t at = original.find("*cupsLanguages: \"") + 17;
  std::istringstream languages(at < 17 ? "" : original.substr(at, original.find('"', at) - at));
  std::vector<std::string> texts = {"Translation VLTone/"};
  for (const Line& l : Scan(written))
    if (l.text.starts_with("*VLTone "))
      texts.emplace_back(l.text.substr(1, l.text.find('/')));
  for (std::string ll; languages >> ll;)
    for (const std::string& text : texts)
      EXPECT_NE(written.find(lineBreak + "*" + ll + "." + text), std::string::npos) << ll << text;

  // Reading gives the definitions back; writing them again gives the same file.
  LoadedPpd second = Load();
  ASSERT_EQ(list.count, defs.count);
  for (std::size_t i = 0; i < VisibleSlots(defs).size(); ++i)
    EXPECT_EQ(cli::DefinitionToJson(list.slots[VisibleSlots(list)[i]]),
              cli::DefinitionToJson(defs.slots[VisibleSlots(defs)[i]]));
  Write(second, list);
  EXPECT_EQ(ReadBytes(path), written);
  for (const std::string& f : Findings(path, dir.path()))
    EXPECT_TRUE(delivered.count(f)) << "new: " << f;
}

std::string FileName(const ::testing::TestParamInfo<VendorCase>& info) {
  return info.param.file.substr(0, info.param.file.find('.'));
}
INSTANTIATE_TEST_SUITE_P(Vendor, RealPpd, ::testing::ValuesIn(VendorCases()), FileName);

// The rendered files with every job input; each job is rendered on a plain
// printer and on one whose /Install resets the transfer functions.
class RealChain : public RealPpd {};

TEST_P(RealChain, EveryPatchPrintsItsTableEntryAndNonePrintsLikeTheUntouchedFile) {
  Write(Load(), Definitions());
  for (JobInput input : kJobInputs) {
    SCOPED_TRACE(::testing::PrintToString(input));
    for (const Printed& p : PrintWedges(GetParam(), original, path, input, dir.path())) {
      SCOPED_TRACE(p.definition + (p.resetting ? ", resetting printer" : ", plain printer"));
      EXPECT_EQ(p.error, "");
      EXPECT_LE(p.worst, kWedgeTolerance) << "colorant " << p.worstRow << " at " << p.worstStep * 5;
      EXPECT_EQ(p.strayInk, 0);
      EXPECT_TRUE(p.sizeOk);
      EXPECT_TRUE(p.duplexOk);
    }
    EXPECT_EQ(NoneDiffers(GetParam(), path, input, dir.path()), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Vendor, RealChain, ::testing::ValuesIn(RenderedCases()), FileName);

}  // namespace
}  // namespace tonalis
