// Writing PPD files: placement of the section, keywords, translations, round
// trips, refusals, the check by CUPS's parser, and failures of the
// replacement at every step.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <type_traits>

#include "formats/ppd_fixtures.h"
#include "formats/ppd_verify.h"

namespace tonalis {
namespace {

using namespace test;

// Only the reader makes a LoadedPpd, so nothing else can be written.
static_assert(!std::is_default_constructible_v<LoadedPpd>);
static_assert(!std::is_constructible_v<LoadedPpd, std::shared_ptr<PpdTarget>, PPDToneState>);

class Writer : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path = dir.File("printer.ppd");
  ScriptedInteraction ui;
  PrinterDefinitionList list;

  LoadedPpd Load(const std::string& text) {
    WriteBytes(path, text);
    LoadedPpd loaded = MustLoad(FileTarget(path), list, ui);
    ui.Clear();
    return loaded;
  }
};

TEST_F(Writer, PutsTheSectionInPlaceInTheFilesOwnLineBreaks) {
  const DensityDef warm = Def("Warm", 0,
                              {Curve(kIdentity), Curve(kGamma22, 220), Curve(Ends(0, 9000)),
                               Curve(Ends(0, 10000))});
  const DensityDef cafe = Def("Caf\xE9 au lait", 1, Curve(Ends(0, 8000)));
  const struct {
    const char* input;
    const char* expected;
    PrinterDefinitionList list;
  } cases[] = {
      {"sample_lf.ppd", "sample_written.ppd", ListOf({Standard()})},  // the old section moves
      {"no_anchor.ppd", "no_anchor_written.ppd", ListOf({Standard()})},
      {"anchor_first.ppd", "anchor_first_written.ppd", ListOf({Standard()})},
      // Keywords and the default stay with their names, translations for
      // each language, the anchor inside a quoted value is none.
      {"multilingual_cr.ppd", "multilingual_cr_written.ppd", ListOf({cafe, warm})},
  };
  for (const auto& [input, expected, defs] : cases) {
    LoadedPpd ppd = Load(Golden(input));
    EXPECT_TRUE(SetPPDToneInfo(ppd, defs, {ui}));
    EXPECT_EQ(ReadBytes(path), Golden(expected)) << input;
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWritten});
    EXPECT_EQ(ui.shown()[0].subject, path);
    // Names come back exactly, also where the choices' own texts are ASCII.
    ui.Clear();
    MustLoad(FileTarget(path), list, ui);
    EXPECT_EQ(VisibleNames(list), VisibleNames(defs)) << input;
  }
}

TEST_F(Writer, RoundTripGivesTheSameDefinitionsAndTheSameBytes) {
  LoadedPpd first = Load(Golden("sample_lf.ppd"));
  ASSERT_EQ(list.count, 1);
  EXPECT_EQ(NameOf(list.slots[0]), "Old");

  const PrinterDefinitionList written = ListOf({
      Standard(),
      Def("Per channel", 0,
          {Curve(kGamma22, 220), Curve(kIdentity), Curve(Ends(0, 5000)), Curve(Ends(2000, 10000))}),
      Def("Cyan for all", 1, {Curve(kGamma22), Curve(kIdentity), Curve(Ends(0, 1)), Curve(kIdentity)}),
      Def("a:b", 1, Curve(Ends(0, 9000), 100)),
      Def("x<3A>y", 1, Curve(kIdentity)),
      Def(std::string(32, 'W'), 0, Curve(Ends(100, 9900))),
  });
  ASSERT_TRUE(SetPPDToneInfo(first, written, {ui}));
  const std::string once = ReadBytes(path);
  // "Old" was Gumma1 and is gone: the six new ones take 2 to 7.
  EXPECT_NE(once.find("*VLTone Gumma5/a<3A>b: \"\n"), std::string::npos);
  EXPECT_NE(once.find("*VLTone Gumma6/x<3C>3A>y: \"\n"), std::string::npos);

  LoadedPpd second = MustLoad(FileTarget(path), list, ui);
  ASSERT_EQ(list.count, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list.slots[i], written.slots[i]) << i;
  // Everything outside the section is kept; the file is not rewritten by the read.
  EXPECT_EQ(second.state().headText, first.state().headText);
  EXPECT_EQ(second.state().tailText, first.state().tailText);
  EXPECT_EQ(ReadBytes(path), once);

  ASSERT_TRUE(SetPPDToneInfo(second, list, {ui}));
  EXPECT_EQ(ReadBytes(path), once);
}

TEST_F(Writer, AsksBeforeWritingAReadOnlyFile) {
  LoadedPpd ppd = Load(Golden("anchor_first.ppd"));
  chmod(path.c_str(), 0444);

  ui.Answer(false);
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdWriteFailed}));
  EXPECT_EQ(ui.shown()[1].detail, SystemReason(EACCES));
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first.ppd"));
  EXPECT_TRUE(IsReadOnly(path));

  ui.Clear();
  ui.Answer(true);
  EXPECT_TRUE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdWritten}));
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first_written.ppd"));
}

TEST_F(Writer, NeverCreatesAFileThatIsGone) {
  LoadedPpd ppd = Load(Golden("anchor_first.ppd"));
  std::remove(path.c_str());
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({}), {ui}));
  ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
  EXPECT_EQ(ui.shown()[0].detail, SystemReason(ENOENT));
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(Writer, RefusesNamesWithControlCharactersAndTouchesNothing) {
  LoadedPpd ppd = Load(Golden("anchor_first.ppd"));
  // Read-only as well: a refused list must not even lead to the question.
  chmod(path.c_str(), 0444);
  const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, path.c_str(), past, 0);

  for (const char* bad : {"Line\nbreak", "Car\rriage", "Tab\tbed", "Del\x7F", "\x1B[31m"}) {
    ui.Clear();
    EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard(), Def(bad, 1, Curve(kIdentity))}), {ui}));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed}) << bad;
    EXPECT_NE(ui.shown()[0].detail.find("Definition 2"), std::string::npos);
    EXPECT_NE(ui.shown()[0].detail.find("control character"), std::string::npos);
    EXPECT_EQ(ui.shown()[0].detail.find_first_of("\r\n\t\x1B\x7F"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first.ppd"));
  EXPECT_EQ(ModificationTime(path).tv_sec, 1000000000);
  EXPECT_TRUE(IsReadOnly(path));
}

// --- The check by CUPS's parser ---

TEST(Verify, RefusesWhatCupsWouldReadDifferently) {
  const std::string head =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
      "*NickName: \"Test\"\n*OpenUI *Duplex: PickOne\n*DefaultDuplex: None\n"
      "*Duplex None: \"\"\n*Duplex On: \"x\"\n*CloseUI: *Duplex\n";
  const std::string option =
      "*OpenUI *VLTone/Color adjustment:  PickOne\n*DefaultVLTone: None\n"
      "*VLTone None/Not Specified: \"\"\n*VLTone Gumma2/A: \"x\"\n*End\n*CloseUI: *VLTone\n";
  const std::vector<std::string> choices = {"None", "Gumma2"};
  std::string boolean = option;
  boolean.replace(boolean.find("PickOne"), 7, "Boolean");
  const struct {
    std::string reference, written;
    bool sound;
  } cases[] = {
      {head, head + option, true},
      // Swallowed by a value that never ends.
      {head, head + "*Patch: \"\n" + option, false},
      // A vendor option or one of its choices lost.
      {head, option, false},
      {head, head.substr(0, head.find("*Duplex On")) + "*CloseUI: *Duplex\n" + option, false},
      // The option itself not as written.
      {head, head + boolean, false},
      {head, head, false},
      // A file CUPS cannot read gives nothing to compare.
      {"not a PPD", "not a PPD either", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VerifyWrittenPpd(c.reference, c.written, choices).empty(), c.sound) << c.written;
}

// --- Failures of the replacement ---

struct Fault {
  FailingFileOps::Step step;
  int error;
  size_t budget;
};

class ReplacementFault : public ::testing::TestWithParam<Fault> {
 protected:
  ScratchDir dir;
  std::string path = dir.File("printer.ppd");
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  FailingFileOps ops{GetParam().step, GetParam().error, GetParam().budget};

  // The old file must be intact, alone in its folder, and the user told why.
  void ExpectReported(int id, const std::string& original) {
    ASSERT_EQ(ui.Ids(), std::vector<int>{id});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(GetParam().error));
    EXPECT_EQ(ui.shown()[0].subject, path);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  }
};

TEST_P(ReplacementFault, LeavesTheFileAsItWasWhenWriting) {
  const std::string original = Golden("sample_written.ppd");
  WriteBytes(path, original);
  LoadedPpd ppd = MustLoad(std::make_shared<PpdFileTarget>(path, ops), list, ui);
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Def("New", 0, Curve(kGamma22))}), {ui}));
  ExpectReported(sid::kPpdWriteFailed, original);
}

using Step = FailingFileOps::Step;
INSTANTIATE_TEST_SUITE_P(EveryStep, ReplacementFault,
                         ::testing::Values(Fault{Step::Create, ENOSPC, 0},
                                           Fault{Step::Write, ENOSPC, 0},
                                           Fault{Step::Write, ENOSPC, 1000},
                                           Fault{Step::Write, EIO, 2999},
                                           Fault{Step::Fsync, EIO, 0},
                                           Fault{Step::Rename, EIO, 0},
                                           Fault{Step::Rename, ENOSPC, 0}));

}  // namespace
}  // namespace tonalis
