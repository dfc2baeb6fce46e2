// Curve files of other colour tools: every format written and read back, then fitted as
// import fits it; ArgyllCMS printcal's layout; what each reader refuses.
#include <cmath>
#include <cstdio>

#include "formats/curve_files.h"
#include "model/curve_fit.h"
#include "model/tone_curve.h"
#include "support/fixtures.h"
#include "workspace/curve_transfer.h"

namespace tonalis::test {
namespace {

std::vector<DensityDef> SampleDefinitions() {
  auto library = std::make_unique<DefinitionLibrary>();
  const std::string image = ReadBytes(TONALIS_SAMPLE_LIBRARY);
  DecodeLibrary(std::span(reinterpret_cast<const uint8_t*>(image.data()), image.size()), *library);
  std::vector<DensityDef> defs;
  for (int slot : VisibleSlots(*library)) defs.push_back(library->slots[slot]);
  EXPECT_FALSE(defs.empty());
  return defs;
}

DensityDef Gamma22() {
  const std::array<int32_t, kPointCount> p = ApplyGamma(220);
  Points points;
  std::copy(p.begin(), p.end(), points.begin());
  return Def("Gamma 2.2", 1, Curve(points, 220));
}

// An S-curve in cyan, a knee in magenta, the ends alone in yellow, a lowered top in black.
DensityDef Mixed() {
  return Def("Mixed", 0,
             {Curve({0, 300, 700, 1500, 2500, 3800, 5000, 6200, 7500, 8500, 9300, 9700, 10000}),
              Curve({0, U, U, 4000, U, 8000, 10000, U, U, U, U, U, 10000}), Curve(Ends(0, 10000)),
              Curve({200, U, U, U, U, U, 4500, U, U, U, U, U, 9000})});
}

struct FormatCase {
  CurveFormat format;
  const char* file;
  int32_t tolerance;  // largest difference of a table entry read back, in hundredths of a level
};
const FormatCase kFormats[] = {
    {CurveFormat::Cal, "x.cal", 0},
    {CurveFormat::Csv, "x.csv", 0},
    // Whole levels: half a level either way.
    {CurveFormat::Amp, "x.amp", 50},
    // Points rounded to whole levels (90 % is input 230 instead of 229.5), where the curve is
    // steep a level and a half between them.
    {CurveFormat::Acv, "x.acv", 160},
};

int32_t LargestDifference(const CurveTables& a, const CurveTables& b) {
  int32_t largest = 0;
  for (int c = 0; c < kChannelCount; ++c)
    for (int i = 0; i < kTableSize; ++i)
      largest = std::max(largest, std::abs(a.channels[c][i] - b.channels[c][i]));
  return largest;
}

IdealCurve Ideal(const CurveTable& t) {
  IdealCurve ideal{};
  for (int i = 0; i < kIdealSize; ++i) ideal[i] = t[i] / 255.0;
  return ideal;
}

// Export, read back, fit: the fitted definition stays within the reported gap of the file's
// curves, and within the reported gap and the format's rounding of the original.
TEST(CurveFiles, RoundTripThroughEveryFormat) {
  struct Entry {
    DensityDef def;
    int group;  // 0: the sample library, 1: gamma 2.2, 2: the others
  };
  std::vector<Entry> defs;
  for (const DensityDef& def : SampleDefinitions()) defs.push_back({def, 0});
  defs.push_back({Gamma22(), 1});
  for (const DensityDef& def : {Standard(), Mixed(), FourCurves()}) defs.push_back({def, 2});
  for (const FormatCase& f : kFormats) {
    double largest[3] = {}, reported[3] = {};
    for (const auto& [def, group] : defs) {
      SCOPED_TRACE(std::string(f.file) + " " + std::string(NameOf(def)));
      EXPECT_EQ(CurveFormatOf(f.file), f.format);
      const CurveTables original = TablesOf(def);
      const CurveFileRead read =
          ParseCurveFile(CurveFileBytes(def, f.format, {"x", "now"}), f.format, f.file);
      ASSERT_TRUE(read.tables) << read.error;
      EXPECT_LE(LargestDifference(*read.tables, original), f.tolerance);
      if (f.tolerance == 0) {
        EXPECT_EQ(*read.tables, original);
      }

      const CurveImportOutcome fit = FitTables(*read.tables);
      const bool same = std::all_of(original.channels.begin(), original.channels.end(),
                                    [&](const CurveTable& t) { return t == original.channels[0]; });
      EXPECT_EQ(fit.definition.allChannels, same ? 1 : 0);
      for (int c = 0; c < kChannelCount; ++c)
        EXPECT_FALSE(ValidateCurve(fit.definition.channels[c], c))
            << "the fit breaks the curve rule";
      for (int c = 0; c < kChannelCount; ++c) {
        const ToneCurve& curve = fit.definition.channels[c];
        EXPECT_LE(MaxGap(curve, Ideal(read.tables->channels[c])), fit.fitGaps[c] + 1e-9) << c;
        const double gap = MaxGap(curve, Ideal(original.channels[c]));
        EXPECT_LE(gap, fit.fitGaps[c] + f.tolerance / 255.0 + 1e-9) << c;
        largest[group] = std::max(largest[group], gap);
        reported[group] = std::max(reported[group], fit.fitGaps[c]);
      }
    }
    std::printf(
        "[ round trip ] %s: largest gap to the original (import's own): sample library %.4f %% "
        "(%.4f %%), gamma 2.2 %.4f %% (%.4f %%), others %.4f %% (%.4f %%)\n",
        f.file, largest[0], reported[0], largest[1], reported[1], largest[2], reported[2]);
  }
}

TEST(CurveFiles, ExportedFilesHoldWhatOtherToolsExpect) {
  const DensityDef mixed = Mixed();
  const std::string cal =
      CurveFileBytes(mixed, CurveFormat::Cal, {"Tonalis density control Mixed", "today"});
  EXPECT_TRUE(cal.starts_with("CAL    \n\nDESCRIPTOR \"Tonalis density control Mixed\"\n"));
  EXPECT_NE(cal.find("CREATED \"today\"\nKEYWORD \"DEVICE_CLASS\"\nDEVICE_CLASS \"OUTPUT\"\n"
                     "KEYWORD \"COLOR_REP\"\nCOLOR_REP \"CMYK\"\n"),
            std::string::npos);
  EXPECT_NE(cal.find("BEGIN_DATA_FORMAT\nCMYK_I CMYK_C CMYK_M CMYK_Y CMYK_K\nEND_DATA_FORMAT\n\n"
                     "NUMBER_OF_SETS 256\nBEGIN_DATA\n0.0000000000 0.0000000000 0.0000000000 "
                     "0.0000000000 0.0200000000\n"),
            std::string::npos);
  EXPECT_TRUE(cal.ends_with(
      "\n1.0000000000 1.0000000000 1.0000000000 1.0000000000 0.9000000000\nEND_DATA\n"));

  const std::string csv = CurveFileBytes(mixed, CurveFormat::Csv);
  EXPECT_TRUE(csv.starts_with("input,cyan,magenta,yellow,black\n0,0.00,0.00,0.00,5.10\n"));
  EXPECT_NE(csv.find("\n128,128.08,255.00,128.00,115.19\n"), std::string::npos)
      << csv.substr(0, 4000);
  EXPECT_TRUE(csv.ends_with("\n255,255.00,255.00,255.00,229.50\n"));

  const std::string amp = CurveFileBytes(mixed, CurveFormat::Amp);
  ASSERT_EQ(amp.size(), 1280u);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(static_cast<unsigned char>(amp[i]), i) << "composite not identity";
  EXPECT_EQ(static_cast<unsigned char>(amp[4 * 256 + 255]), 230);  // black's top: 229.50 rounds up

  // Version 4, five curves; the composite (0,0),(255,255); cyan's thirteen points as
  // (output, input), 5 % at input 13, 3 % at output 8 (7.65); yellow's two ends.
  const std::string acv = CurveFileBytes(mixed, CurveFormat::Acv);
  const auto be16 = [&](std::size_t at) {
    return int(static_cast<unsigned char>(acv[at])) << 8 | static_cast<unsigned char>(acv[at + 1]);
  };
  EXPECT_EQ(be16(0), 4);
  EXPECT_EQ(be16(2), 5);
  EXPECT_EQ(acv.substr(4, 10), std::string("\0\2\0\0\0\0\0\xff\0\xff", 10));
  EXPECT_EQ(be16(14), 13);
  EXPECT_EQ(be16(20), 8);
  EXPECT_EQ(be16(22), 13);
  const std::size_t yellow = 16 + 13 * 4 + 2 + 5 * 4;
  EXPECT_EQ(acv.substr(yellow, 10), std::string("\0\2\0\0\0\0\0\xff\0\xff", 10));
  EXPECT_EQ(acv.size(), yellow + 10 + 2 + 3 * 4);
}

// ArgyllCMS printcal's layout (256 sets, six decimals, a space after each value), with a
// lowered black: read and resampled onto the table's inputs.
TEST(CurveFiles, ReadsPrintcalCalibration) {
  const std::string path = std::string(TONALIS_TEST_DATA) + "/calibration/printcal.cal";
  const CurveFileRead read = ParseCurveFile(ReadBytes(path), CurveFormat::Cal, path);
  ASSERT_TRUE(read.tables) << read.error;
  const struct {
    int input;
    std::array<int32_t, kChannelCount> expected;
  } rows[] = {{0, {0, 0, 0, 0}},
              {64, {4227, 3436, 4854, 3708}},
              {128, {10409, 9387, 11152, 9453}},
              {191, {17514, 16771, 18027, 16227}},
              {255, {25500, 25500, 25500, 23970}}};
  for (const auto& row : rows)
    for (int c = 0; c < kChannelCount; ++c)
      EXPECT_EQ(read.tables->channels[c][row.input], row.expected[c]) << row.input << " " << c;
  const CurveImportOutcome fit = FitTables(*read.tables);
  EXPECT_EQ(fit.definition.allChannels, 0);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_LT(fit.fitGaps[c], 0.1) << c;
}

// What the .cal reader takes besides its own files: other field orders and fields,
// comments, keywords, a few sets read linearly between them.
TEST(CurveFiles, CalibrationReaderIsTolerant) {
  const std::string text =
      "CAL\n# made by hand\n\nDESCRIPTOR \"three sets\"\nKEYWORD \"EXTRA\"\nEXTRA \"yes\"\n"
      "COLOR_REP \"CMYK\"\nNUMBER_OF_FIELDS 6\nBEGIN_DATA_FORMAT\nCMYK_K CMYK_Y SAMPLE_ID\n"
      "CMYK_M CMYK_C CMYK_I\nEND_DATA_FORMAT\nNUMBER_OF_SETS 3\nBEGIN_DATA\n"
      "0 0 1 0 0 0\n\t0.25 0.5 2 0.5 0.75 0.5 # the middle\n\r\n1 1 3 1 1 1\r\nEND_DATA\n";
  const CurveFileRead read = ParseCurveFile(text, CurveFormat::Cal, "hand.cal");
  ASSERT_TRUE(read.tables) << read.error;
  const CurveTables& t = *read.tables;
  EXPECT_EQ(t.channels[kCyan][0], 0);
  EXPECT_EQ(t.channels[kCyan][51], 7650);    // 0.4 of the way to 0.75 at 0.5
  EXPECT_EQ(t.channels[kCyan][204], 22950);  // 0.75 + 0.6 * 0.25
  EXPECT_EQ(t.channels[kMagenta][102], 10200);
  EXPECT_EQ(t.channels[kBlack][102], 5100);
  EXPECT_EQ(t.channels[kBlack][255], 25500);
  EXPECT_EQ(t.channels[kYellow][153], 15300);
}

TEST(CurveFiles, FormatFromTheExtension) {
  const struct {
    const char* path;
    std::optional<CurveFormat> format;
  } cases[] = {{"a.cal", CurveFormat::Cal},     {"A.CAL", CurveFormat::Cal},
               {"dir/x.Amp", CurveFormat::Amp}, {"x.acv", CurveFormat::Acv},
               {"x.CSV", CurveFormat::Csv},     {"cal", std::nullopt},
               {".cal", std::nullopt},          {"x.cal/y", std::nullopt},
               {"x.ti3", std::nullopt},         {"x.cal.bak", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(CurveFormatOf(c.path), c.format) << c.path;
  EXPECT_EQ(UnknownCurveFormat("x.ti3"),
            "x.ti3: unknown kind of curve file (known: .cal ArgyllCMS calibration, .amp Photoshop "
            "arbitrary map, .acv Photoshop curves, .csv table)");
}

std::string CalWith(const std::string& head, const std::string& format, const std::string& data) {
  return "CAL\n" + head + "BEGIN_DATA_FORMAT\n" + format + "\nEND_DATA_FORMAT\nBEGIN_DATA\n" +
         data + "END_DATA\n";
}
const std::string kCmyk = "COLOR_REP \"CMYK\"\n";
const std::string kFields = "CMYK_I CMYK_C CMYK_M CMYK_Y CMYK_K";
const std::string kTwoSets = "0 0 0 0 0\n1 1 1 1 1\n";

std::string Acv(std::initializer_list<int> words) {
  std::string out;
  for (int w : words) out += char((w >> 8) & 0xFF), out += char(w & 0xFF);
  return out;
}

std::string Csv(int rows, const std::string& extra = "") {
  std::string out = "input,cyan,magenta,yellow,black\n";
  for (int i = 0; i < rows; ++i) out += std::to_string(i) + ",1,2,3,4\n";
  return out + extra;
}

TEST(CurveFiles, MalformedFilesAreRefusedWithTheirReason) {
  const struct {
    CurveFormat format;
    std::string bytes;
    std::string message;
  } cases[] = {
      {CurveFormat::Cal, "", "f: empty (an ArgyllCMS calibration starts with CAL)"},
      {CurveFormat::Cal, "\nCTI3\n",
       "f:2: not an ArgyllCMS calibration (the file does not start with CAL)"},
      {CurveFormat::Cal, CalWith("COLOR_REP \"RGB\"\n", kFields, kTwoSets),
       "f:2: COLOR_REP \"RGB\": a calibration of RGB, not of CMYK"},
      {CurveFormat::Cal, CalWith("", kFields, kTwoSets),
       "f:5: no COLOR_REP before the data (a CMYK calibration says COLOR_REP \"CMYK\")"},
      {CurveFormat::Cal, CalWith(kCmyk, "CMYK_I CMYK_C CMYK_M CMYK_Y", kTwoSets),
       "f:5: no CMYK_K field (a CMYK calibration has CMYK_I, CMYK_C, CMYK_M, CMYK_Y and CMYK_K)"},
      {CurveFormat::Cal, CalWith(kCmyk + "NUMBER_OF_SETS 1\n", kFields, kTwoSets),
       "f:3: NUMBER_OF_SETS 1: expected a whole number of two or more"},
      {CurveFormat::Cal, CalWith(kCmyk + "NUMBER_OF_SETS 3\n", kFields, kTwoSets),
       "f:3: NUMBER_OF_SETS is 3 but the data holds 2"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0 0\n"),
       "f: the data holds one set; at least two are needed"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0\n"), "f:7: expected 5 values, not 4"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0 0\n1 1 x 1 1\n"),
       "f:8: CMYK_M 'x' is not a number"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0 0\n1 1 1 1.5 1\n"),
       "f:8: CMYK_Y 1.5 is outside 0 to 1"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0 0\n0.5 0 0 0 0\n0.5 1 1 1 1\n"),
       "f:9: CMYK_I 0.5 does not rise above the set before"},
      {CurveFormat::Cal, CalWith(kCmyk, kFields, "0 0 0 0 0\n0.9 1 1 1 1\n"),
       "f: CMYK_I must run from 0 to 1, not from 0.000000 to 0.900000"},
      {CurveFormat::Cal, "CAL\n" + kCmyk + "BEGIN_DATA\n",
       "f:3: BEGIN_DATA before the data format (BEGIN_DATA_FORMAT)"},
      {CurveFormat::Cal,
       "CAL\n" + kCmyk + "BEGIN_DATA_FORMAT\n" + kFields + "\nEND_DATA_FORMAT\nBEGIN_DATA\n" +
           kTwoSets,
       "f: no END_DATA after the data"},
      {CurveFormat::Amp, std::string(255, '\0'),
       "f: 255 bytes: an arbitrary map holds 256 bytes (one map for all colours) or 1280 "
       "(composite, cyan, "
       "magenta, yellow and black)"},
      {CurveFormat::Acv, std::string(1, '\0'),
       "f: 1 byte: too short for Photoshop curves (version and curve count)"},
      {CurveFormat::Acv, Acv({2, 1}),
       "f: 4 bytes: version 2: not Photoshop curves (version 1 or 4)"},
      {CurveFormat::Acv, Acv({4, 4}),
       "f: 4 bytes: holds 4 curves; CMYK curves are one (for all colours) or five (composite, "
       "cyan, magenta, "
       "yellow and black)"},
      {CurveFormat::Acv, Acv({4, 1, 2, 0, 0}), "f: 10 bytes: ends inside the composite curve"},
      {CurveFormat::Acv, Acv({4, 5, 2, 0, 0, 255, 255}), "f: 14 bytes: ends before the cyan curve"},
      {CurveFormat::Acv, Acv({4, 1, 1, 0, 0}),
       "f: 10 bytes: the composite curve has one point (a curve has 2 to 256)"},
      {CurveFormat::Acv, Acv({4, 1, 2, 0, 0, 256, 255}),
       "f: 14 bytes: the composite curve, point 2: (256, 255) is outside 0 to 255"},
      {CurveFormat::Acv, Acv({4, 1, 3, 0, 0, 9, 100, 99, 100}),
       "f: 18 bytes: the composite curve, point 3: input 100 does not rise above the point before"},
      {CurveFormat::Csv, "", "f: no curves (expected the header input,cyan,magenta,yellow,black)"},
      {CurveFormat::Csv, "input,c,m,y,k\n",
       "f:1: expected the header input,cyan,magenta,yellow,black"},
      {CurveFormat::Csv, Csv(255), "f: no row for input 255 (every input 0 to 255 needs one)"},
      {CurveFormat::Csv, Csv(3, "1,0,0,0,0\n"),
       "f:5: a second row for input 1 (the first is on line 3)"},
      {CurveFormat::Csv, Csv(3, "2.5,0,0,0,0\n"),
       "f:5: input '2.5' is not a whole number from 0 to 255"},
      {CurveFormat::Csv, Csv(3, "3,0,0,0\n"),
       "f:5: expected five fields (input,cyan,magenta,yellow,black), not 4"},
      {CurveFormat::Csv, Csv(3, "3,0,0,255.01,0\n"), "f:5: yellow 255.01 is outside 0 to 255"},
      {CurveFormat::Csv, Csv(3, "3,0,none,0,0\n"), "f:5: magenta 'none' is not a number"},
  };
  for (const auto& c : cases) {
    const CurveFileRead read = ParseCurveFile(c.bytes, c.format, "f");
    EXPECT_FALSE(read.tables) << c.message;
    EXPECT_EQ(read.error, c.message);
  }
}

// The composite of a five-map .amp and of an .acv applies after each colour's own curve; a
// lone map or curve serves all colours.
TEST(CurveFiles, CompositeAppliesAfterEachColour) {
  std::string amp(1280, '\0');
  for (int i = 0; i < 256; ++i) {
    amp[i] = char(i / 2);          // composite: halves
    amp[256 + i] = char(255 - i);  // cyan: inverted
    amp[512 + i] = char(std::min(255, 2 * i));
    amp[768 + i] = char(i);
    amp[1024 + i] = char(0);
  }
  CurveFileRead read = ParseCurveFile(amp, CurveFormat::Amp, "f.amp");
  ASSERT_TRUE(read.tables);
  EXPECT_EQ(read.tables->channels[kCyan][0], 12700);
  EXPECT_EQ(read.tables->channels[kMagenta][100], 10000);
  EXPECT_EQ(read.tables->channels[kYellow][255], 12700);
  EXPECT_EQ(read.tables->channels[kBlack][255], 0);
  read = ParseCurveFile(amp.substr(256, 256), CurveFormat::Amp, "f.amp");
  ASSERT_TRUE(read.tables);
  EXPECT_EQ(read.tables->channels[kBlack][0], 25500);

  // Composite (0,0),(255,127.5 -> 128 at the top); cyan a straight line down; the rest
  // identity; a three-point curve bends between its points and stays within 0..255.
  const std::string acv = Acv({4,   5,   2, 0, 0, 128, 255, 2,   255, 0, 0, 255, 2,   0,  0,
                               255, 255, 3, 0, 0, 250, 128, 255, 255, 2, 0, 0,   255, 255});
  read = ParseCurveFile(acv, CurveFormat::Acv, "f.acv");
  ASSERT_TRUE(read.tables) << read.error;
  EXPECT_EQ(read.tables->channels[kCyan][0], 12800);
  EXPECT_EQ(read.tables->channels[kCyan][255], 0);
  EXPECT_EQ(read.tables->channels[kBlack][255], 12800);
  for (int i = 0; i < 256; ++i) EXPECT_LE(read.tables->channels[kYellow][i], 12800) << i;
  EXPECT_EQ(read.tables->channels[kYellow][128], 12549);  // the composite at 250
  read = ParseCurveFile(Acv({1, 1, 2, 0, 0, 255, 255}), CurveFormat::Acv, "f.acv");
  ASSERT_TRUE(read.tables);
  EXPECT_EQ(read.tables->channels[kMagenta][77], 7700);
}

}  // namespace
}  // namespace tonalis::test
