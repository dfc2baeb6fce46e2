// The PPD engine on real vendor PPDs, checked by the real print system:
// round trips on the files, cupstestppd before and after a write, the CUPS
// filter chain (cupsfilter, pstops) carrying the chosen density control into
// the job, and Ghostscript rendering a CMYK step wedge through it.
//
// The tools come from the packages that scripts/install-deps installs; a
// missing tool fails the test. Nothing here needs a running scheduler or the
// network.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <set>

#include "model/tone_curve.h"
#include "ppd/ppd_fixtures.h"
#include "ppd/real_support.h"

namespace tonalis {
namespace {

using namespace test;
using namespace test::real;

struct VendorCase {
  const char* file;
  bool fontAnchor;        // the file has a font anchor line
  int definitionsInFile;  // the file already holds a section with this many
  // A page size other than the file's default whose code CUPS puts into the
  // job; nullptr when CUPS sends no page size code for this printer (it has
  // input trays and does not ask for PageRegion, so the tray decides).
  const char* otherPageSize;
  // The printer's page size code calls systemdict's setpagedevice itself and
  // so never meets the wrapper that the density control installs.
  bool sizeCodeBypassesWrapper;
  // Vendor choices that would change the colours on their own (colour
  // management in the printer's PostScript), turned off for the rendering.
  std::vector<std::string> neutralOptions;
};

// The files' names tell their line endings (LF, CR, CR LF).
const VendorCase kCases[] = {
    {"brother_hl2700cn_lf.ppd", true, 0, "A5", false, {"BRGammaValue=Off"}},
    {"brother_hl3070cw_noanchor_lf.ppd", false, 0, "A5", false, {"BRColorMode=None"}},
    {"canon_lbp7660c_lf.ppd", true, 0, "A5", true, {}},
    {"epson_alcx21_crlf.ppd", true, 0, "Letter", false, {}},
    {"oce_vp2090_cr.ppd", true, 0, nullptr, false, {}},
    // Last, and left out of the rendering: the same printer as the one above.
    {"oce_vp2090_section_crlf.ppd", true, 2, nullptr, false, {}},
};

std::string CaseName(const ::testing::TestParamInfo<VendorCase>& info) {
  // brother_hl2700cn_lf.ppd -> BrotherHl2700cnLf
  std::string name;
  bool upper = true;
  for (const char* c = info.param.file; *c && *c != '.'; ++c) {
    if (*c == '_') {
      upper = true;
    } else {
      name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
      upper = false;
    }
  }
  return name;
}

// --- Definitions written into the vendor files ---

// One curve for all colorants; the stored magenta, yellow and black curves
// differ and must not be used.
DensityDef Lighter() {
  return Def("Lighter", 1,
             {Curve({0, 350, 700, 1450, 2250, 3100, 4000, 5000, 6050, 7200, 8450, 9150, 10000}),
              Curve(kGamma22, 220), Curve(Ends(0, 5000)), Curve(kIdentity)});
}

// A curve per colorant.
DensityDef PerColorant() {
  return Def("Proof CMYK", 0,
             {Curve({0, U, U, U, U, U, 6000, U, U, U, U, U, 10000}),
              Curve({0, 600, 1200, U, U, U, 5200, U, U, U, U, U, 9500}),
              Curve({0, 366, 732, 1544, 2383, 3249, 4141, 5061, 6009, 6985, 7989, 8502, 9000}, 120),
              Curve(Ends(0, 8000))});
}

// A few more for the round trips: a gamma-only record, a name of the full
// length, and a name with bytes that PPD translation strings treat specially.
DensityDef GammaOnly() {
  return Def("Gamma 2.20", 1, Curve(kGamma22, 220));
}
DensityDef LongName() {
  return Def("Thirty-two characters long name!", 0,
             {Curve(kIdentity), Curve(Ends(0, 9000)), Curve(Ends(500, 10000)), Curve(kGamma22)});
}
DensityDef Latin1Colon() {
  return Def("Caf\xE9 1:1 <draft>", 1, Curve(Ends(0, 7000)));
}

PrinterDefinitionList FourDefinitions() {
  return ListOf({Lighter(), PerColorant(), GammaOnly(), LongName()});
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

// The tables as written lose the last digit of entries of 100 or more; the
// rendering tolerance covers that.
int TableColorant(const std::array<int32_t, kTableSize>& table, float input) {
  // The transfer procedure gets the additive value 1 - input and answers
  // element round(255 v) of the table divided by 255; the device puts down
  // the complement.
  const double additive = 1.0 - static_cast<double>(input);
  const int index = static_cast<int>(std::floor(255.0 * additive + 0.5));
  return static_cast<int>(std::lround(255.0 - table[index] / 100.0));
}

// Strings 77 and 78 as they were before the fault in their setpagedevice
// wrapper was mended: "5 -1 roll" leaves the mark where the page device
// dictionary belongs.
class OldWrapperStrings final : public StringSource {
 public:
  std::string Load(int id) const override {
    std::string text = DefaultStrings().Load(id);
    if (id == sid::kCloseOneTable || id == sid::kCloseFourTables) {
      const std::string mended = "currentcolortransfer 6 -1 roll";
      const std::size_t at = text.find(mended);
      if (at != std::string::npos)
        text.replace(at, mended.size(), "currentcolortransfer 5 -1 roll");
    }
    return text;
  }
};

constexpr double kDpi = 36;

class RealPpd : public ::testing::TestWithParam<VendorCase> {
 protected:
  ScratchDir dir;
  std::string path = dir.File("printer.ppd");
  std::string original;
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  void SetUp() override {
    original = ReadBytes(VendorDir() + "/" + GetParam().file);
    ASSERT_FALSE(original.empty()) << "missing vendor file " << GetParam().file;
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

  void Write(const LoadedPpd& loaded, const PrinterDefinitionList& defs,
             const StringSource& strings = DefaultStrings()) {
    ASSERT_TRUE(SetPPDToneInfo(loaded, defs, {ui, strings}));
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    ui.Clear();
  }

  // Reads the vendor file and writes `defs` into it.
  void Apply(const PrinterDefinitionList& defs, const StringSource& strings = DefaultStrings()) {
    LoadedPpd loaded = Load();
    Write(loaded, defs, strings);
  }

  // Runs the CUPS filter chain on `job` with the PPD, up to the PostScript
  // that would go to the printer. Returns the filtered job.
  std::string Filter(const std::string& job, std::vector<std::string> options) {
    const std::string tool = Tool("cupsfilter");
    if (tool.empty())
      return {};
    const std::string input = dir.File("job.ps");
    WriteBytes(input, job);
    std::vector<std::string> argv = {tool, "-p", path, "-m", "application/vnd.cups-postscript"};
    for (const std::string& o : options) {
      argv.push_back("-o");
      argv.push_back(o);
    }
    argv.push_back(input);
    const RunResult r = RunTool(argv, dir.File(""));
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }

  // Renders a PostScript job to a CMYK raster at kDpi.
  RunResult Render(const std::string& job, const std::string& raster) {
    const std::string gs = Tool("gs");
    if (gs.empty())
      return {};
    const std::string input = dir.File("filtered.ps");
    WriteBytes(input, job);
    return RunTool({gs, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pamcmyk32",
                    "-r" + std::to_string(static_cast<int>(kDpi)), "-sOutputFile=" + raster, input},
                   dir.File(""));
  }

  std::optional<CmykRaster> RenderOk(const std::string& job) {
    const std::string raster = dir.File("page.pam");
    const RunResult r = Render(job, raster);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::string error;
    std::optional<CmykRaster> page = ReadCmykPam(raster, error);
    EXPECT_TRUE(page.has_value()) << error;
    return page;
  }

  std::vector<std::string> Options(std::vector<std::string> extra) const {
    for (const std::string& o : GetParam().neutralOptions) extra.push_back(o);
    return extra;
  }

  PagePoints OtherPageSize() const {
    std::optional<PagePoints> size = PaperDimension(original, GetParam().otherPageSize);
    EXPECT_TRUE(size.has_value()) << GetParam().otherPageSize;
    return size.value_or(PagePoints{});
  }

  // Every patch of the wedge against the table of the curve that serves its
  // colorant.
  static void ExpectWedge(const CmykRaster& page, const DensityDef& def) {
    int worst = 0;
    for (int row = 0; row < kChannelCount; ++row) {
      const ToneCurve& curve = def.channels[def.allChannels == 1 ? kCyan : row];
      const auto table = TransferTable(curve);
      for (int step = 0; step < kWedgeSteps; ++step) {
        const int expected = TableColorant(table, WedgeInput(step));
        const int got = WedgePatch(page, kDpi, row, step, row);
        worst = std::max(worst, std::abs(got - expected));
        EXPECT_NEAR(got, expected, 2) << "colorant " << row << " at " << step * 5 << " %";
        // The other colorants stay empty.
        for (int plane = 0; plane < kChannelCount; ++plane) {
          if (plane == row)
            continue;
          ASSERT_EQ(WedgePatch(page, kDpi, row, step, plane), 0);
        }
      }
    }
    ::testing::Test::RecordProperty("worst_patch_deviation", worst);
  }
};

// ---------------------------------------------------------------------------
// Round trips

TEST_P(RealPpd, RoundTripKeepsTheDefinitionsAndEverythingAroundThem) {
  const std::string crlf = ToCrLf(original);
  LoadedPpd first = Load();
  EXPECT_EQ(list.count, GetParam().definitionsInFile);
  // Reading leaves the file with CR LF line endings and nothing else changed.
  EXPECT_EQ(ReadBytes(path), crlf);
  ASSERT_FALSE(first.state().nickName.empty());
  EXPECT_NE(original.find("*NickName: \"" + first.state().nickName + "\""), std::string::npos);

  const PrinterDefinitionList defs = FourDefinitions();
  Write(first, defs);
  const std::string written = ReadBytes(path);

  // Outside the section the file is the original, byte for byte.
  EXPECT_EQ(WithoutSections(written), WithoutSections(crlf));

  // The section is the one generated for the list, directly before the
  // font anchor, or at the end of a file without one.
  const SectionPlace section = FindSection(written);
  ASSERT_TRUE(section.found());
  EXPECT_EQ(written.substr(section.begin, section.end - section.begin),
            BuildSection(defs));
  if (GetParam().fontAnchor) {
    EXPECT_EQ(section.end, FindFontAnchor(written));
  } else {
    EXPECT_EQ(section.end, written.size());
  }

  // Reading gives the definitions back; writing them again gives the same file.
  LoadedPpd second = Load();
  ExpectSameDefinitions(list, defs);
  Write(second, list);
  EXPECT_EQ(ReadBytes(path), written);
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
  auto check = [&] { return RunTool({tool, "-W", "all", "-v", path}, dir.File("")); };

  const RunResult delivered = check();
  ASSERT_EQ(delivered.status, 0) << delivered.out;

  LoadedPpd loaded = Load();
  const RunResult read = check();
  EXPECT_EQ(read.status, 0) << read.out;
  // The CR LF line endings that reading gives every PPD are the only thing
  // cupstestppd may find new in a file the engine has read.
  std::set<std::string> allowed = Findings(delivered);
  allowed.insert("WARN    Non-Windows PPD files should use lines ending with only LF, not CR LF.");
  for (const std::string& f : Findings(read))
    EXPECT_TRUE(allowed.count(f)) << "new after reading: " << f;

  Write(loaded, FourDefinitions());
  const RunResult written = check();
  EXPECT_EQ(written.status, 0) << written.out;
  const std::set<std::string> beforeWriting = Findings(read);
  for (const std::string& f : Findings(written))
    EXPECT_TRUE(beforeWriting.count(f)) << "new after writing: " << f;
  // cupstestppd saw the option and its default choice.
  EXPECT_NE(written.out.find("PASS    DefaultVLTone"), std::string::npos) << written.out;
}

TEST_P(RealPpd, CupsTestPpdAcceptsNamesWithReservedAndLatin1Bytes) {
  const std::string tool = Tool("cupstestppd");
  ASSERT_FALSE(tool.empty());
  LoadedPpd loaded = Load();
  const std::set<std::string> before =
      Findings(RunTool({tool, "-W", "all", "-v", path}, dir.File("")));
  Write(loaded, ListOf({Latin1Colon()}));
  const RunResult after = RunTool({tool, "-W", "all", "-v", path}, dir.File(""));
  EXPECT_EQ(after.status, 0) << after.out;
  for (const std::string& f : Findings(after)) EXPECT_TRUE(before.count(f)) << "new: " << f;

  Load();
  ExpectSameDefinitions(list, ListOf({Latin1Colon()}));
}

// ---------------------------------------------------------------------------
// cupsfilter

TEST_P(RealPpd, CupsFilterPutsTheChosenCodeIntoTheJob) {
  Apply(FourDefinitions());
  const std::string ppd = ReadBytes(path);
  for (const char* choice : {"Gumma1", "Gumma2", "Gumma4"}) {
    SCOPED_TRACE(choice);
    const std::string code = WithoutCr(InvocationOf(ppd, "VLTone", choice));
    ASSERT_NE(code.find("%%VELCLT Start"), std::string::npos);
    ASSERT_NE(code.find("erasepage"), std::string::npos);

    const std::string job = WithoutCr(Filter(WedgeJob(), {std::string("VLTone=") + choice}));
    const std::string feature = "[{\n%%BeginFeature: *VLTone " + std::string(choice) + "\n" + code +
                                "\n%%EndFeature\n} stopped cleartomark\n";
    EXPECT_NE(job.find(feature), std::string::npos) << job.substr(0, 2000);
    // Only the chosen density control is in the job.
    EXPECT_EQ(job.find("%%VELCLT Start"), job.rfind("%%VELCLT Start"));
    // It belongs to the document setup, ahead of the page.
    EXPECT_LT(job.find(feature), job.find("%%EndSetup"));
  }
  const std::string none = Filter(WedgeJob(), {"VLTone=None"});
  EXPECT_EQ(none.find("%%VELCLT"), std::string::npos);
  EXPECT_NE(none.find("%%Page: 1 1"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Ghostscript
//
// One printer of each model renders the wedge: the second Oce file differs
// from the first only in where its section stood.

INSTANTIATE_TEST_SUITE_P(Vendor, RealPpd, ::testing::ValuesIn(kCases), CaseName);

class RealRendering : public RealPpd {};

TEST_P(RealRendering, OneTableServesEveryColorantAndThePageSizeChoiceTakesEffect) {
  Apply(FourDefinitions());
  std::vector<std::string> options = {"VLTone=Gumma1"};
  if (GetParam().otherPageSize)
    options.push_back(std::string("PageSize=") + GetParam().otherPageSize);
  const std::optional<CmykRaster> page = RenderOk(Filter(WedgeJob(), Options(options)));
  ASSERT_TRUE(page.has_value());
  if (GetParam().otherPageSize) {
    // The printer's page size code runs after the density control and goes
    // through its setpagedevice wrapper.
    const PagePoints size = OtherPageSize();
    EXPECT_EQ(page->width, PixelsFor(size.width, kDpi));
    EXPECT_EQ(page->height, PixelsFor(size.height, kDpi));
  }
  ExpectWedge(*page, Lighter());
}

TEST_P(RealRendering, FourTablesStillApplyAfterThePageSetsItsSize) {
  Apply(FourDefinitions());
  const std::string job =
      Filter(WedgeJob("<< /PageSize [300 300] >> setpagedevice"), Options({"VLTone=Gumma2"}));
  const std::optional<CmykRaster> page = RenderOk(job);
  ASSERT_TRUE(page.has_value());
  EXPECT_EQ(page->width, PixelsFor(300, kDpi));
  EXPECT_EQ(page->height, PixelsFor(300, kDpi));
  ExpectWedge(*page, PerColorant());
}

// The wrapper that the density control puts around setpagedevice, in the form
// it had before it was mended, breaks every later setpagedevice: a page that
// sets its size ends the job with an error, and the printer's own page size
// choice is dropped without a word (CUPS runs each feature under "stopped"),
// unless the printer's code calls systemdict's setpagedevice itself.
TEST_P(RealRendering, TheOldSetPageDeviceWrapperBreaksLaterPageSizeChanges) {
  const OldWrapperStrings old;
  Apply(FourDefinitions(), old);
  ASSERT_NE(ReadBytes(path).find("currentcolortransfer 5 -1 roll"), std::string::npos);

  const RunResult r = Render(
      Filter(WedgeJob("<< /PageSize [300 300] >> setpagedevice"), Options({"VLTone=Gumma2"})),
      dir.File("sized.pam"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE((r.out + r.err).find("typecheck in --setpagedevice--"), std::string::npos)
      << r.out << r.err;

  if (!GetParam().otherPageSize)
    return;
  const std::string job = Filter(
      WedgeJob(), Options({"VLTone=Gumma1", std::string("PageSize=") + GetParam().otherPageSize}));
  const std::optional<CmykRaster> page = RenderOk(job);
  ASSERT_TRUE(page.has_value());
  const PagePoints size = OtherPageSize();
  const bool sizeApplied =
      page->width == PixelsFor(size.width, kDpi) && page->height == PixelsFor(size.height, kDpi);
  EXPECT_EQ(sizeApplied, GetParam().sizeCodeBypassesWrapper);
}

INSTANTIATE_TEST_SUITE_P(Vendor, RealRendering,
                         ::testing::ValuesIn(std::begin(kCases), std::end(kCases) - 1), CaseName);

// ---------------------------------------------------------------------------
// A file that already holds a section, in the middle of its options

TEST(RealPpdSection, ASectionInTheMiddleMovesToTheAnchorUnchanged) {
  ScratchDir dir;
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  const std::string path = dir.File("printer.ppd");
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
  EXPECT_EQ(written.substr(after.begin, after.end - after.begin),
            original.substr(before.begin, before.end - before.begin));
  EXPECT_EQ(after.end, FindFontAnchor(written));
  EXPECT_EQ(WithoutSections(written), WithoutSections(original));
}

}  // namespace
}  // namespace tonalis
