// The section and the writer: golden sections and files (lists in written.json), names,
// keywords, refusals, the check by CUPS's parser and the questions before a read-only file.
#include <sys/stat.h>

#include "formats/definition_json.h"
#include "formats/ppd_verify.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

using cli::Json;

// Only the reader makes a LoadedPpd, so nothing else can be written.
static_assert(!std::is_default_constructible_v<LoadedPpd>);

const Json& Cases() { static const Json c = Json::parse(Golden("written.json")); return c; }
// A list of written.json (its "_" tells the form).
PrinterDefinitionList JsonList(const Json& defs) {
  PrinterDefinitionList list = ListOf({});
  for (const Json& d : defs) {
    std::array<ToneCurve, 4> ch;
    for (int c = 0; c < kChannelCount; ++c) {
      const std::vector<int32_t> p = d["channels"][d["channels"].size() == 1 ? 0 : c];
      std::copy(p.begin(), p.begin() + kPointCount, ch[c].points), ch[c].gamma = p.at(kPointCount);
    }
    InsertDefinition(list, Def(*cli::Utf8ToLatin1(d["name"].get<std::string>()), d["same"], ch),
                     d.contains("slot") ? InsertMode::AtSlot(d["slot"]) : InsertMode::AddMode());
  }
  return list;
}

TEST(Section, MatchesTheGoldenFilesByteForByte) {
  for (const auto& [file, defs] : Cases()["sections"].items())
    EXPECT_EQ(BuildSection(JsonList(defs)), Golden(file)) << file;
}

TEST(Section, KeywordsStayWithTheirNamesAndNewOnesAvoidTheFilesOwn) {
  for (const Json& c : Cases()["keywords"]) {
    std::vector<ChoiceRead> read;
    for (const Json& choice : c[1]) read.push_back({choice[0], choice[1]});
    EXPECT_EQ(ppd::AssignKeywords(c[0], read), c[2].get<std::vector<int>>()) << c[0];
  }
}

TEST(Section, ChoiceNamesAndTheSupportedTest) {
  using namespace std::string_literals;
  for (const Json& c : Cases()["choiceNames"])
    EXPECT_EQ(ppd::ReadChoiceName(c[0].get<std::string>()), c[1].get<std::string>()) << c[0];
  for (const std::string& name : Cases()["escapedNames"].get<std::vector<std::string>>()) {
    const std::string escaped = ppd::EscapeName(name);
    EXPECT_EQ(escaped.find(':'), std::string::npos) << name;
    EXPECT_EQ(ppd::ReadChoiceName("*VLTone Gumma1/" + escaped + ": \"\r\n"), name);
  }
  const std::string header = "*PPD-Adobe: \"4.3\"\r\n";
  EXPECT_TRUE(IsSupportedPpdText(header + "binary\0junk\0*QRHTUtility"s));
  EXPECT_TRUE(IsSupportedPpdText(header + "*NickName: \"OEM XXX Color\"\r\n"));
  EXPECT_FALSE(IsSupportedPpdText(header + "*NickName: \"OEM XX\"\r\n*QRHTUtilit"));
  // Only a PPD can be supported: the header comes first, as the scheduler
  // wants it, without a byte-order mark.
  for (const std::string& notPpd : {"*QRHTUtility: True\r\n"s, "\xEF\xBB\xBF" + header + "*QRHTUtility"s,
                                    " " + header + "*QRHTUtility"s, "*PPD-Adobe"s + "*QRHTUtility"})
    EXPECT_FALSE(IsSupportedPpdText(notPpd)) << notPpd;
}

class Writer : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "printer.ppd";
  ScriptedInteraction ui;
  PrinterDefinitionList list;
};

TEST_F(Writer, GoldenFilesAndTheirRoundTrips) {
  for (const auto& [input, c] : Cases()["files"].items()) {
    const std::string expected = Golden(c[0]);
    const PrinterDefinitionList defs = JsonList(c[1]);
    WriteBytes(path, Golden(input));
    EXPECT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), list, ui), defs, {ui}));
    EXPECT_EQ(ReadBytes(path), expected) << input;
    // The names come back exactly, and writing them again changes nothing.
    LoadedPpd again = MustLoad(FileTarget(path), list, ui);
    EXPECT_EQ(VisibleNames(list), VisibleNames(defs)) << input;
    ASSERT_TRUE(SetPPDToneInfo(again, list, {ui}));
    EXPECT_EQ(ReadBytes(path), expected) << input;
    EXPECT_EQ(ui.Ids(), std::vector<int>(2, sid::kPpdWritten));
    ui.Clear();
  }
}

TEST_F(Writer, AsksBeforeReadingOrWritingAReadOnlyFile) {
  const std::string original = Golden("anchor_first.ppd");
  WriteBytes(path, original);
  chmod(path.c_str(), 0444);
  ui.Answer(false).Answer(true);
  EXPECT_EQ(GetPPDToneInfo(FileTarget(path), list, {ui}).result, kPpdFailed);
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdOpenFailed, sid::kPpdReadOnly}))
      << "asked, refused, asked again";
  chmod(path.c_str(), 0444);
  ui.Clear(), ui.Answer(false).Answer(true);
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_TRUE(SetPPDToneInfo(ppd, ListOf({Standard()}), {ui}));
  ASSERT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdReadOnly, sid::kPpdWriteFailed, sid::kPpdReadOnly,
                                        sid::kPpdWritten}));
  EXPECT_EQ(ui.shown()[1].detail, SystemReason(EACCES));
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first_written.ppd"));
  std::remove(path.c_str());  // a file that is gone is never created
  ui.Clear();
  EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({}), {ui}));
  EXPECT_EQ(ui.shown()[0].detail, SystemReason(ENOENT));
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(Writer, RefusesNamesWithControlCharactersAndTouchesNothing) {
  WriteBytes(path, Golden("anchor_first.ppd"));
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  chmod(path.c_str(), 0444);  // a refused list does not even lead to the question
  for (const char* bad : {"Line\nbreak", "Tab\tbed", "Del\x7F", "\x1B[31m", "c1\x85", "\x9B[2J"}) {
    ui.Clear();
    EXPECT_FALSE(SetPPDToneInfo(ppd, ListOf({Standard(), Def(bad, 1, Curve(kIdentity))}), {ui}));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed}) << bad;
    // The name is told with its control characters as \xNN, none raw.
    const std::string& detail = ui.shown()[0].detail;
    EXPECT_EQ(detail.rfind("Definition 2, \"", 0), 0u) << detail;
    for (unsigned char b : detail) EXPECT_FALSE(b < 0x20 || (b >= 0x7F && b <= 0x9F)) << detail;
  }
  EXPECT_EQ(ReadBytes(path), Golden("anchor_first.ppd"));
}

// A module's table: the option's title and None text in its language.
class ModuleStrings final : public StringSource {
 public:
  ModuleStrings(std::string title, std::string none) : title_(std::move(title)), none_(std::move(none)) {}
  std::string Load(int id) const override {
    return id == sid::kFeatureTitle ? title_ : id == sid::kNoneChoice ? none_ : DefaultStrings().Load(id);
  }

 private:
  std::string title_, none_;
};

TEST_F(Writer, EveryWritersLanguageStaysAndTheOptionsOwnTextsAreEnglish) {
  const ModuleStrings french("R\xC3\xA9glage des couleurs", "Aucun");
  const ModuleStrings german("Farbanpassung", "Nicht festgelegt");
  const PrinterDefinitionList defs = ListOf({Def("W\xE4rmer", 1, Curve(kGamma22))});
  WriteBytes(path, Golden("anchor_first.ppd"));
  auto write = [&](PpdServices services) {
    EXPECT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), list, ui), defs, services));
    MustLoad(FileTarget(path), list, ui);
    EXPECT_EQ(VisibleNames(list), VisibleNames(defs));  // read back from the English lines
    return ReadBytes(path);
  };
  const std::string byFrench = write({ui, french, "fr"});
  for (const char* line : {"*OpenUI *VLTone/Color adjustment:", "*VLTone None/Not Specified:",
                           "*fr.Translation VLTone/R\xC3\xA9glage des couleurs: \"\"",
                           "*fr.VLTone None/Aucun: \"\"", "*fr.VLTone Gumma1/W\xC3\xA4rmer: \"\"",
                           "*en.VLTone Gumma1/W\xC3\xA4rmer: \"\""})
    EXPECT_NE(byFrench.find(line), std::string::npos) << line;
  // An English writer, the command line, keeps the French lines as they are.
  EXPECT_EQ(write({ui}), byFrench);
  // A German writer adds German ones; a name that is no language, or texts
  // that would break the line, add nothing.
  const std::string both = write({ui, german, "de"});
  EXPECT_NE(both.find("*de.Translation VLTone/Farbanpassung: \"\""), std::string::npos);
  EXPECT_NE(both.find("*fr.VLTone None/Aucun: \"\""), std::string::npos);
  EXPECT_EQ(write({ui, ModuleStrings("Colour: adjust", "None"), "en_GB"}), both);
  EXPECT_EQ(write({ui, german, "German"}), both);
}

TEST(Verify, RefusesWhatCupsWouldReadDifferently) {
  for (const Json& c : Cases()["verify"])
    EXPECT_EQ(VerifyWrittenPpd(c[1].get<std::string>(), c[2].get<std::string>(),
                               {"None", "Gumma2"}).empty(), c[3].get<bool>()) << c[0];
}

}  // namespace
}  // namespace tonalis::test
