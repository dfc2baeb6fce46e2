// The PPD engine on real vendor PPDs, checked by the real print system:
// round trips on the files, cupstestppd before and after a write, and each
// printer's whole CUPS filter chain (pstops, cups-filters' pdftops with
// Ghostscript or Poppler, foomatic-rip) carrying the chosen density control
// onto a CMYK step wedge that Ghostscript renders.
//
// The tools come from the packages that scripts/install-deps installs; a
// missing tool fails the test. Nothing here needs a running scheduler or the
// network. The chain renders a few printers by default and the whole sample
// with TONALIS_CHAIN_SAMPLE=all (scripts/ci-jobs chain).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <tuple>

#include "model/tone_curve.h"
#include "formats/ppd_fixtures.h"
#include "formats/real_support.h"

namespace tonalis::test::real {
// Names in test failures, instead of the bytes of the parameters.
void PrintTo(const VendorCase& c, std::ostream* os) {
  *os << c.file;
}
void PrintTo(JobInput input, std::ostream* os) {
  *os << JobInputName(input);
}
}  // namespace tonalis::test::real

namespace tonalis {
namespace {

using namespace test;
using namespace test::real;

// brother_hl2700cn_lf.ppd -> BrotherHl2700cnLf
std::string FileTestName(const VendorCase& c) {
  std::string name;
  bool upper = true;
  for (const char* p = c.file; *p && *p != '.'; ++p) {
    if (*p == '_') {
      upper = true;
    } else {
      name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
      upper = false;
    }
  }
  return name;
}

// --- Definitions written into the vendor files ---

// Beside the two of the rendering: a gamma-only record, a name of the full
// length, and a name with bytes that PPD translation strings treat specially.
PrinterDefinitionList FiveDefinitions() {
  return ListOf(
      {OneTableDefinition(), FourTableDefinition(), Def("Gamma 2.20", 1, Curve(kGamma22, 220)),
       Def("Thirty-two characters long name!", 0,
           {Curve(kIdentity), Curve(Ends(0, 9000)), Curve(Ends(500, 10000)), Curve(kGamma22)}),
       Def("Caf\xE9 1:1 <draft>", 1, Curve(Ends(0, 7000)))});
}

void ExpectSameDefinitions(const PrinterDefinitionList& got, const PrinterDefinitionList& want) {
  ASSERT_EQ(got.count, want.count);
  const std::vector<int> g = VisibleSlots(got), w = VisibleSlots(want);
  for (std::size_t i = 0; i < w.size(); ++i) {
    const DensityDef& a = got.slots[g[i]];
    const DensityDef& b = want.slots[w[i]];
    EXPECT_EQ(NameOf(a), NameOf(b));
    EXPECT_EQ(a.allChannels, b.allChannels) << NameOf(b);
    for (int c = 0; c < kChannelCount; ++c)
      EXPECT_EQ(a.channels[c], b.channels[c]) << NameOf(b) << " channel " << c;
  }
}

bool HasLineStarting(std::string_view text, std::string_view prefix) {
  for (std::string_view line : LinesWithBreaks(text))
    if (line.substr(0, prefix.size()) == prefix)
      return true;
  return false;
}

// The keywords of the choices other than None, in file order.
std::vector<std::string> ChoiceKeywords(std::string_view ppd) {
  std::vector<std::string> keywords;
  for (std::string_view line : LinesWithBreaks(ppd))
    if (line.substr(0, 13) == "*VLTone Gumma")
      keywords.emplace_back(line.substr(8, line.find('/') - 8));
  return keywords;
}

// The value of a main keyword line such as "*DefaultVLTone: Gumma2".
std::string MainValue(std::string_view text, std::string_view keyword) {
  const std::string prefix = "*" + std::string(keyword) + ": ";
  for (std::string_view line : LinesWithBreaks(text)) {
    if (line.substr(0, prefix.size()) != prefix)
      continue;
    std::string value(line.substr(prefix.size()));
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    return value;
  }
  return {};
}

constexpr double kDpi = 36;

// A vendor file copied into a scratch folder, read and written by the engine.
class VendorPpd {
 protected:
  TempDir dir;
  std::string path = (dir / "printer.ppd");
  std::string original;
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  void Open(const VendorCase& vendor) {
    original = ReadBytes(VendorDir() + "/" + vendor.file);
    ASSERT_FALSE(original.empty()) << "missing vendor file " << vendor.file;
    WriteBytes(path, original);
  }

  static std::string Tool(const std::string& name) {
    std::string tool = FindTool(name);
    EXPECT_FALSE(tool.empty()) << name << " is not installed (scripts/install-deps installs it)";
    return tool;
  }

  LoadedPpd Load() {
    LoadedPpd loaded = MustLoad(FileTarget(path), list, ui);
    EXPECT_TRUE(ui.Empty()) << ui.Texts().front();
    ui.Clear();
    return loaded;
  }

  void Write(const LoadedPpd& loaded, const PrinterDefinitionList& defs) {
    ASSERT_TRUE(SetPPDToneInfo(loaded, defs, {ui}));
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    ui.Clear();
  }

  void Apply(const PrinterDefinitionList& defs) { Write(Load(), defs); }
};

class RealPpd : public VendorPpd, public ::testing::TestWithParam<VendorCase> {
 protected:
  void SetUp() override { Open(GetParam()); }
};

// ---------------------------------------------------------------------------
// Round trips

TEST_P(RealPpd, RoundTripKeepsTheFileAroundTheSection) {
  LoadedPpd first = Load();
  EXPECT_EQ(list.count, GetParam().definitionsInFile);
  EXPECT_EQ(ReadBytes(path), original) << "reading changed the file";
  ASSERT_FALSE(first.state().nickName.empty());
  EXPECT_NE(original.find("*NickName: \"" + first.state().nickName + "\""), std::string::npos);

  const PrinterDefinitionList defs = FiveDefinitions();
  Write(first, defs);
  const std::string written = ReadBytes(path);
  const std::string lineBreak = LineBreakOf(original);

  // Outside the section the file is the original, byte for byte; a last line
  // without a break gets one when the section comes after it.
  std::string outside = WithoutSections(original);
  const bool endsWithBreak =
      !original.empty() && (original.back() == '\n' || original.back() == '\r');
  if (!GetParam().fontAnchor && !endsWithBreak)
    outside += lineBreak;
  EXPECT_EQ(WithoutSections(written), outside);

  // The section uses the file's own line break, stands directly before the
  // font anchor (at the end of a file without one) and never inside a value.
  const SectionPlace section = FindSection(written);
  ASSERT_TRUE(section.found());
  for (std::string_view line : LinesWithBreaks(
           std::string_view(written).substr(section.begin, section.end - section.begin))) {
    const std::size_t text = line.find_last_not_of("\r\n");
    ASSERT_EQ(line.substr(text == std::string_view::npos ? 0 : text + 1), lineBreak) << line;
  }
  EXPECT_EQ(section.end, GetParam().fontAnchor ? FindFontAnchor(written) : written.size());
  EXPECT_FALSE(InsideQuotedValue(written, section.begin));

  // Every language the file lists gets the option's texts.
  for (const std::string& ll : CupsLanguages(original)) {
    EXPECT_TRUE(HasLineStarting(written, "*" + ll + ".Translation VLTone/")) << ll;
    EXPECT_TRUE(HasLineStarting(written, "*" + ll + ".VLTone None/")) << ll;
    for (const std::string& keyword : ChoiceKeywords(written)) {
      EXPECT_TRUE(HasLineStarting(written, "*" + ll + ".VLTone " + keyword + "/")) << ll << keyword;
    }
  }

  // Reading gives the definitions back; writing them again gives the same file.
  LoadedPpd second = Load();
  ExpectSameDefinitions(list, defs);
  Write(second, list);
  ASSERT_EQ(ReadBytes(path), written);

  // A definition that stays keeps its keyword, and the default choice stays
  // with it; a new one takes the lowest keyword the file did not have.
  const std::vector<std::string> keywords = ChoiceKeywords(written);
  ASSERT_EQ(keywords.size(), 5u);
  const std::set<std::string> inFile(keywords.begin(), keywords.end());
  std::string newKeyword;
  for (int n = 1; n <= 9 && newKeyword.empty(); ++n)
    if (!inFile.count("Gumma" + std::to_string(n)))
      newKeyword = "Gumma" + std::to_string(n);
  const std::string gammaKeyword = ChoiceNamed(written, "Gamma 2.20");
  std::string withDefault = written;
  const std::string noDefault = "*DefaultVLTone: None";
  const std::size_t at = withDefault.find(noDefault);
  ASSERT_NE(at, std::string::npos);
  withDefault.replace(at, noDefault.size(), "*DefaultVLTone: " + gammaKeyword);
  WriteBytes(path, withDefault);
  Write(Load(), ListOf({FourTableDefinition(), Def("Added", 1, Curve(kGamma22)),
                        Def("Gamma 2.20", 1, Curve(kGamma22, 220))}));
  const std::string rewritten = ReadBytes(path);
  EXPECT_EQ(ChoiceNamed(rewritten, "Proof CMYK"), ChoiceNamed(written, "Proof CMYK"));
  EXPECT_EQ(ChoiceNamed(rewritten, "Gamma 2.20"), gammaKeyword);
  EXPECT_EQ(ChoiceNamed(rewritten, "Added"), newKeyword);
  EXPECT_EQ(MainValue(rewritten, "DefaultVLTone"), gammaKeyword);
}

// ---------------------------------------------------------------------------
// cupstestppd

// What cupstestppd reports beyond its PASS lines, without the line naming
// the file.
std::set<std::string> Findings(const RunResult& r) {
  std::set<std::string> findings;
  const std::vector<std::string> lines = Lines(r.out + r.err);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, 4, "PASS") == 0)
      continue;
    findings.insert(line.substr(start));
  }
  return findings;
}

TEST_P(RealPpd, CupsTestPpdFindsNothingNewAfterAWrite) {
  const std::string tool = Tool("cupstestppd");
  ASSERT_FALSE(tool.empty());
  auto check = [&] { return RunTool({tool, "-W", "all", "-v", path}, dir.path().string()); };

  const RunResult delivered = check();
  ASSERT_EQ(delivered.status, 0) << delivered.out;
  Apply(FiveDefinitions());
  const RunResult written = check();
  EXPECT_EQ(written.status, 0) << written.out;
  const std::set<std::string> before = Findings(delivered);
  for (const std::string& f : Findings(written)) EXPECT_TRUE(before.count(f)) << "new: " << f;
  // cupstestppd saw the option and its default choice.
  EXPECT_NE(written.out.find("PASS    DefaultVLTone"), std::string::npos) << written.out;
}

// ---------------------------------------------------------------------------
// The printer's filter chain

TEST_P(RealPpd, TheChainPutsOnlyTheChosenCodeIntoTheJobSetup) {
  Apply(FiveDefinitions());
  const std::string ppd = ReadBytes(path);
  for (const char* name : {"Lighter", "Proof CMYK", "Thirty-two characters long name!"}) {
    const std::string choice = ChoiceNamed(ppd, name);
    SCOPED_TRACE(choice);
    const std::string code = ToLf(InvocationOf(ppd, "VLTone", choice));
    ASSERT_NE(code.find("%%VELCLT Start"), std::string::npos);

    const ChainOutput chain =
        RunChain(path, WedgeJob(), JobInput::kPostScript, {"VLTone=" + choice}, dir.path().string());
    ASSERT_EQ(chain.error, "");
    const std::string job = ToLf(chain.postscript);
    const std::string feature =
        "%%BeginFeature: *VLTone " + choice + "\n" + code + "\n%%EndFeature\n";
    EXPECT_NE(job.find(feature), std::string::npos) << job.substr(0, 2000);
    EXPECT_EQ(job.find("%%VELCLT Start"), job.rfind("%%VELCLT Start"));
    EXPECT_LT(job.find(feature), job.find("%%EndSetup"));
  }
  const ChainOutput none =
      RunChain(path, WedgeJob(), JobInput::kPostScript, {"VLTone=None"}, dir.path().string());
  ASSERT_EQ(none.error, "");
  EXPECT_EQ(none.postscript.find("%%VELCLT"), std::string::npos);
  EXPECT_NE(none.postscript.find("%%Page: 1 1"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Vendor, RealPpd, ::testing::ValuesIn(VendorCases()),
                         [](const auto& info) { return FileTestName(info.param); });

// ---------------------------------------------------------------------------
// Ghostscript renders the wedge that each chain sends to the printer, on a
// plain device and on one whose /Install resets the transfer functions at
// every setpagedevice.

using ChainParam = std::tuple<VendorCase, JobInput>;

class RealChain : public VendorPpd, public ::testing::TestWithParam<ChainParam> {
 protected:
  const VendorCase& vendor() const { return std::get<0>(GetParam()); }
  JobInput input() const { return std::get<1>(GetParam()); }
  void SetUp() override { Open(vendor()); }

  std::optional<CmykRaster> Render(const std::string& job, bool resetting) {
    std::string error;
    std::optional<CmykRaster> page = RenderCmyk(job, resetting, kDpi, dir.path().string(), error);
    EXPECT_TRUE(page.has_value()) << error;
    return page;
  }
};

TEST_P(RealChain, EveryPatchPrintsItsTableEntryAndThePrinterSettingsStay) {
  Apply(ListOf({OneTableDefinition(), FourTableDefinition()}));
  for (const ChainCheck& check : ChainChecks(vendor(), original, ReadBytes(path), input())) {
    SCOPED_TRACE(check.label);
    const ChainOutput chain = RunChain(path, check.job, input(), check.options, dir.path().string());
    ASSERT_EQ(chain.error, "");
    if (!check.duplexCode.empty()) {
      EXPECT_NE(ToLf(chain.postscript).find(check.duplexCode), std::string::npos);
    }
    for (bool resetting : {false, true}) {
      SCOPED_TRACE(resetting ? "resetting printer" : "plain printer");
      const std::optional<CmykRaster> page = Render(chain.postscript, resetting);
      ASSERT_TRUE(page.has_value());
      if (check.page.width > 0) {
        EXPECT_EQ(page->width, PixelsFor(check.page.width, kDpi));
        EXPECT_EQ(page->height, PixelsFor(check.page.height, kDpi));
      }
      const WedgeDeviation d =
          MeasureWedge(*page, kDpi, check.def, WedgeOrigin(*page, kDpi, input()));
      EXPECT_LE(d.worst, kWedgeTolerance)
          << "colorant " << d.worstRow << " at " << d.worstStep * 5 << " %";
      EXPECT_EQ(d.strayInk, 0);
      RecordProperty("worst_patch_deviation", d.worst);
    }
  }
}

TEST_P(RealChain, NonePrintsLikeTheUntouchedPpd) {
  const std::string untouched = (dir / "untouched.ppd");
  WriteBytes(untouched, original);
  Apply(FiveDefinitions());
  std::vector<std::string> options = vendor().neutralOptions;
  const ChainOutput before = RunChain(untouched, WedgeJob(), input(), options, dir.path().string());
  options.push_back("VLTone=None");
  const ChainOutput after = RunChain(path, WedgeJob(), input(), options, dir.path().string());
  ASSERT_EQ(before.error, "");
  ASSERT_EQ(after.error, "");
  const std::optional<CmykRaster> a = Render(before.postscript, false);
  const std::optional<CmykRaster> b = Render(after.postscript, false);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->width, b->width);
  EXPECT_EQ(a->height, b->height);
  EXPECT_TRUE(a->samples == b->samples);
}

std::vector<VendorCase> RenderedCases() {
  std::vector<VendorCase> cases;
  for (const VendorCase& c : VendorCases())
    if (c.rendering == VendorCase::kAlways ||
        (c.rendering == VendorCase::kWholeSample && WholeSampleRequested()))
      cases.push_back(c);
  return cases;
}

std::string ChainTestName(const ::testing::TestParamInfo<ChainParam>& info) {
  const JobInput input = std::get<1>(info.param);
  return FileTestName(std::get<0>(info.param)) + (input == JobInput::kPostScript ? "_Ps"
                                                  : input == JobInput::kPdfGhostscript
                                                      ? "_PdfGs"
                                                      : "_PdfPoppler");
}

INSTANTIATE_TEST_SUITE_P(Vendor, RealChain,
                         ::testing::Combine(::testing::ValuesIn(RenderedCases()),
                                            ::testing::ValuesIn(kJobInputs)),
                         ChainTestName);

// ---------------------------------------------------------------------------
// A file that already holds a section, in the middle of its options

TEST(RealPpdSection, ASectionInTheMiddleIsReadAndMovesToTheAnchor) {
  TempDir dir;
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  const std::string path = (dir / "printer.ppd");
  const std::string original = ReadBytes(VendorDir() + "/oce_vp2090_section_crlf.ppd");
  ASSERT_FALSE(original.empty());
  WriteBytes(path, original);

  const SectionPlace before = FindSection(original);
  ASSERT_TRUE(before.found());
  ASSERT_LT(before.end, FindFontAnchor(original));
  ASSERT_NE(original.compare(before.end, 21, "*DefaultFont: Courier"), 0)
      << "the section should not stand at the anchor yet";

  LoadedPpd loaded = MustLoad(FileTarget(path), list, ui);
  EXPECT_TRUE(ui.Empty());
  ASSERT_EQ(list.count, 2);
  ExpectSameDefinitions(
      list,
      ListOf(
          {Def("Office soft", 1,
               Curve({0, 400, 850, 1750, 2700, 3650, 4600, 5600, 6600, 7650, 8750, 9350, 10000})),
           Def("Proof CMYK", 0,
               {Curve({0, U, U, U, U, U, 5500, U, U, U, U, U, 10000}),
                Curve({0, 600, 1200, U, U, U, 5200, U, U, U, U, U, 9500}),
                Curve({0, 366, 732, 1544, 2383, 3249, 4141, 5061, 6009, 6985, 7989, 8502, 9000},
                      120),
                Curve(Ends(0, 8000))})}));

  ASSERT_TRUE(SetPPDToneInfo(loaded, list, {ui}));
  const std::string written = ReadBytes(path);
  const SectionPlace after = FindSection(written);
  ASSERT_TRUE(after.found());
  EXPECT_EQ(after.end, FindFontAnchor(written));
  EXPECT_EQ(WithoutSections(written), WithoutSections(original));
}

}  // namespace
}  // namespace tonalis
