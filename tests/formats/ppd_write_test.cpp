// The section as text and the writer: golden sections and files, names in
// the translation string, keywords, refusals, the check by CUPS's parser,
// questions and failures of the replacement.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "formats/ppd_fixtures.h"
#include "formats/ppd_section.h"
#include "formats/ppd_verify.h"
#include "support/fault_ops.h"

namespace tonalis {
namespace {

using namespace test;

// Only the reader makes a LoadedPpd, so nothing else can be written.
static_assert(!std::is_default_constructible_v<LoadedPpd>);

TEST(Section, MatchesTheGoldenFilesByteForByte) {
  PrinterDefinitionList ordinals = ListOf({});
  InsertDefinition(ordinals, Def("Second slot", 1, Curve(Ends(0, 10000))), InsertMode::AtSlot(1));
  InsertDefinition(ordinals, Def("Fourth slot", 1, Curve(kGamma22, 220)), InsertMode::AtSlot(3));
  const Points up = {0, 10000, U, U, U, U, U, U, U, U, U, U, 10000};
  const Points down = {10000, 0, U, U, U, U, U, U, U, U, U, U, 0};
  const Points both = {0, U, U, U, U, 9000, 1000, U, U, U, U, U, 10000};
  const std::pair<const char*, PrinterDefinitionList> cases[] = {
      {"section_worked_example.txt", ListOf({Standard()})},
      {"section_empty.txt", ListOf({})},
      {"section_ordinals.txt", ordinals},
      {"section_four_tables.txt",
       ListOf({Def("Per channel", 0, {Curve(kIdentity), Curve(kGamma22, 220), Curve(Ends(0, 5000)),
                                      Curve(Ends(2000, 10000), 150)})})},
      {"section_one_table_differing.txt",
       ListOf({Def("Cyan serves all", 1, {Curve(kGamma22, 220), Curve(kIdentity),
                                          Curve(Ends(0, 5000)), Curve(Ends(2000, 10000))})})},
      {"section_lut_half.txt", ListOf({Def("Half", 1, Curve(Ends(0, 5000)))})},
      {"section_lut_offset.txt", ListOf({Def("Offset", 1, Curve(Ends(2000, 10000)))})},
      {"section_clipping.txt", ListOf({Def("Overshoot", 0, {Curve(up), Curve(down), Curve(both),
                                                            Curve(Ends(U, 10000))})})},
  };
  for (const auto& [file, list] : cases) EXPECT_EQ(BuildSection(list), Golden(file)) << file;
}

TEST(Section, KeywordsStayWithTheirNamesAndNewOnesAvoidTheFilesOwn) {
  struct Case {
    std::vector<std::string> names;
    std::vector<ChoiceRead> read;
    std::vector<int> keywords;
  } cases[] = {
      {{"A", "B"}, {}, {1, 2}},
      {{"C", "B"}, {{1, "A"}, {2, "B"}}, {3, 2}},
      {{"B", "A"}, {{1, "A"}, {2, "B"}}, {2, 1}},
      {{"D", "D", "X"}, {{4, "D"}, {5, "D"}, {0, "X"}}, {4, 5, 1}},
      {{"N"}, {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}, {6, "f"}, {7, "g"}, {8, "h"},
               {9, "i"}}, {1}},
  };
  for (const Case& c : cases) EXPECT_EQ(ppd::AssignKeywords(c.names, c.read), c.keywords);
}

TEST(Section, ChoiceNamesLineBreaksAndTheSupportedTest) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> names[] = {
      {"*VLTone Gumma2/a<3A>b<3c>c: \"\r\n", "a:b<c"},
      {"*VLTone Gumma3/<4142>: \"\r\n", "AB"},
      {"*VLTone Gumma4/old:style: \"\r\n", "old"},
      {"*VLTone Gumma1/x<3G>y<3>z<>: \"\r\n", "x<3G>y<3>z<>"},
      {"*VLTone Gumma1/open<41\r\n", "open<41\r\n"},
      {"*VLTone Gumma1\r\n", "\n"},
  };
  for (const auto& [line, name] : names) EXPECT_EQ(ppd::ReadChoiceName(line), name) << line;
  for (const std::string name : {"a:b", "<3A>", "x<y:z", "<<>>", ":::::::::::::::::::::::::::::::"}) {
    const std::string escaped = ppd::EscapeName(name);
    EXPECT_EQ(escaped.find(':'), std::string::npos) << name;
    EXPECT_EQ(ppd::ReadChoiceName("*VLTone Gumma1/" + escaped + ": \"\r\n"), name);
  }
  const std::pair<std::string, std::string> breaks[] = {
      {"a\r\nb\n", "\r\n"}, {"a\nb\r\n", "\n"}, {"a\rb", "\r"}, {"a\n\rb", "\n"}, {"", "\n"}};
  for (const auto& [text, lineBreak] : breaks) EXPECT_EQ(ppd::FirstLineBreak(text), lineBreak);
  EXPECT_TRUE(IsSupportedPpdText("binary\0junk\0*QRHTUtility"s));
  EXPECT_TRUE(IsSupportedPpdText("*NickName: \"OEM XXX Color\"\r\n"));
  EXPECT_FALSE(IsSupportedPpdText("*NickName: \"OEM XX\"\r\n*QRHTUtilit"));
}

class Writer : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "printer.ppd";
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  LoadedPpd Load(const std::string& text, FileOps& ops = SystemFileOps()) {
    WriteBytes(path, text);
    LoadedPpd loaded = MustLoad(std::make_shared<PpdFileTarget>(path, ops), list, ui);
    ui.Clear();
    return loaded;
  }
};

TEST_F(Writer, GoldenFilesAndTheirRoundTrips) {
  const DensityDef warm = Def("Warm", 0, {Curve(kIdentity), Curve(kGamma22, 220),
                                          Curve(Ends(0, 9000)), Curve(Ends(0, 10000))});
  const DensityDef cafe = Def("Caf\xE9 au lait", 1, Curve(Ends(0, 8000)));
  const struct {
    const char *input, *expected;
    PrinterDefinitionList list;
  } cases[] = {
      {"sample_lf.ppd", "sample_written.ppd", ListOf({Standard()})},
      {"no_anchor.ppd", "no_anchor_written.ppd", ListOf({Standard()})},
      {"anchor_first.ppd", "anchor_first_written.ppd", ListOf({Standard()})},
      {"multilingual_cr.ppd", "multilingual_cr_written.ppd", ListOf({cafe, warm})},
  };
  for (const auto& [input, expected, defs] : cases) {
    EXPECT_TRUE(SetPPDToneInfo(Load(Golden(input)), defs, {ui}));
    EXPECT_EQ(ReadBytes(path), Golden(expected)) << input;
    EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    ui.Clear();
    // The names come back exactly, and writing them again changes nothing.
    LoadedPpd again = MustLoad(FileTarget(path), list, ui);
    EXPECT_EQ(VisibleNames(list), VisibleNames(defs)) << input;
    ASSERT_TRUE(SetPPDToneInfo(again, list, {ui}));
    EXPECT_EQ(ReadBytes(path), Golden(expected)) << input;
    ui.Clear();
  }
}

TEST_F(Writer, AsksBeforeReadingOrWritingAReadOnlyFile) {
  const std::string original = Golden("anchor_first.ppd");
  WriteBytes(path, original);
  chmod(path.c_str(), 0444);
  ui.Answer(false);
  EXPECT_EQ(GetPPDToneInfo(FileTarget(path), list, {ui}).result, kPpdFailed);
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdOpenFailed}));
  ui.Clear();
  ui.Answer(true);
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  EXPECT_EQ(ui.Ids(), std::vector<int>{sid::kPpdReadOnly});

  chmod(path.c_str(), 0444);
  ui.Clear();
  ui.Answer(false);
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdWriteFailed}));
  EXPECT_EQ(ui.shown()[1].detail, SystemReason(EACCES));
  EXPECT_EQ(ReadBytes(path), original);
  ui.Clear();
  ui.Answer(true);
  EXPECT_TRUE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first_written.ppd"));

  std::remove(path.c_str());  // a file that is gone is never created
  ui.Clear();
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({}), {ui}));
  EXPECT_EQ(ui.shown()[0].detail, SystemReason(ENOENT));
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(Writer, RefusesNamesWithControlCharactersAndTouchesNothing) {
  LoadedPpd ppd = Load(Golden("anchor_first.ppd"));
  chmod(path.c_str(), 0444);  // a refused list does not even lead to the question
  for (const char* bad : {"Line\nbreak", "Tab\tbed", "Del\x7F", "\x1B[31m", "c1\x85", "c1\x9F"}) {
    ui.Clear();
    EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard(), Def(bad, 1, Curve(kIdentity))}), {ui}));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed}) << bad;
    EXPECT_NE(ui.shown()[0].detail.find("Definition 2"), std::string::npos);
    EXPECT_EQ(ui.shown()[0].detail.find_first_of("\n\t\x1B\x7F"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first.ppd"));
}

TEST(Verify, RefusesWhatCupsWouldReadDifferently) {
  const std::string head =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
      "*NickName: \"Test\"\n*OpenUI *Duplex: PickOne\n*DefaultDuplex: None\n"
      "*Duplex None: \"\"\n*Duplex On: \"x\"\n*CloseUI: *Duplex\n";
  const std::string option =
      "*OpenUI *VLTone/Color adjustment:  PickOne\n*DefaultVLTone: None\n"
      "*VLTone None/Not Specified: \"\"\n*VLTone Gumma2/A: \"x\"\n*End\n*CloseUI: *VLTone\n";
  std::string boolean = option;
  boolean.replace(boolean.find("PickOne"), 7, "Boolean");
  const struct {
    std::string reference, written;
    bool sound;
  } cases[] = {
      {head, head + option, true},
      {head, head + "*Patch: \"\n" + option, false},  // swallowed by a value that never ends
      {head, option, false},                          // a vendor option lost
      {head, head.substr(0, head.find("*Duplex On")) + "*CloseUI: *Duplex\n" + option, false},
      {head, head + boolean, false},
      {head, head, false},
      {"not a PPD", "not a PPD either", true},  // nothing to compare
  };
  for (const auto& c : cases)
    EXPECT_EQ(VerifyWrittenPpd(c.reference, c.written, {"None", "Gumma2"}).empty(), c.sound)
        << c.written;
}

TEST_F(Writer, AFailedReplacementLeavesTheFileAndSaysWhy) {
  using Step = FaultOps::Step;
  const std::string original = Golden("sample_written.ppd");
  for (FaultOps ops : {FaultOps{Step::Create, ENOSPC}, FaultOps{Step::Write, ENOSPC, 1000},
                       FaultOps{Step::Write, EIO, 2999}, FaultOps{Step::Fsync, EIO},
                       FaultOps{Step::Rename, EROFS}}) {
    LoadedPpd ppd = Load(original, ops);
    EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Def("New", 0, Curve(kGamma22))}), {ui}));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(ops.error));
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  }
}

}  // namespace
}  // namespace tonalis
