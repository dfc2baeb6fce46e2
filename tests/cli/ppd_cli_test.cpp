// tonalis-cli list, apply, add, remove and pick on PPD files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "formats/library_file.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"

namespace tonalis {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

class PpdCli : public test::Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    CopySample();
    ppd_ = (dir_ / "printer.ppd").string();
    fs::copy_file(fs::path(TONALIS_TEST_DATA) / "ppd" / "sample_lf.ppd", ppd_);
  }

  // The names of the PPD's density controls, read back with the core.
  std::vector<std::string> PpdNames() {
    auto list = std::make_unique<PrinterDefinitionList>();
    EmptyTable(*list);
    PPDToneState state;
    ppd::SplitPpdText(ReadText(ppd_), *list, state);
    std::vector<std::string> names;
    for (auto n : VisibleNames(*list)) names.emplace_back(n);
    return names;
  }

  std::vector<std::string> LibraryNames() {
    std::vector<std::string> names;
    auto lib = Load();
    for (auto n : VisibleNames(*lib)) names.emplace_back(n);
    return names;
  }

  std::string ppd_;
};

using Names = std::vector<std::string>;

constexpr const char* kExtra =
    "[{\"name\": \"Extra\", \"allChannels\": 1, \"channels\": ["
    "{\"points\": [0, -1, -1, -1, -1, -1, 4000, -1, -1, -1, -1, -1, 10000], \"gamma\": -1},"
    "{\"points\": [0, -1, -1, -1, -1, -1, 4000, -1, -1, -1, -1, -1, 10000], \"gamma\": -1},"
    "{\"points\": [0, -1, -1, -1, -1, -1, 4000, -1, -1, -1, -1, -1, 10000], \"gamma\": -1},"
    "{\"points\": [0, -1, -1, -1, -1, -1, 4000, -1, -1, -1, -1, -1, 10000], \"gamma\": -1}]}]";

TEST_F(PpdCli, ApplyMakesTheNamedDefinitionsTheDensityControlsInOrder) {
  auto r = Run({"apply", ppd_, "--library", lib_, "Warm", "Standard", "Darker"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PpdNames(), (Names{"Warm", "Standard", "Darker"}));
  EXPECT_NE(r.err.find("The density control was put on the PPD File."), std::string::npos);
  const std::string text = ReadText(ppd_);
  // "Old" held Gumma1; the new ones take the next keywords, in the file's LF.
  EXPECT_NE(text.find("*VLTone Gumma4/Darker: \"\n"), std::string::npos);
  EXPECT_EQ(text.find("Old"), std::string::npos);  // the earlier section is gone

  // The PPD's definitions as JSON equal the library's own.
  auto listed = Run({"list", ppd_, "--json"});
  auto library = Run({"library", lib_, "--json"});
  ASSERT_EQ(listed.status, 0);
  EXPECT_NE(library.out.find(listed.out.substr(listed.out.find("\"name\": \"Warm\""), 200)),
            std::string::npos);

  // No names empties the section.
  ASSERT_EQ(Run({"apply", ppd_, "--library", lib_}).status, 0);
  EXPECT_TRUE(PpdNames().empty());
  EXPECT_NE(ReadText(ppd_).find("*VLTone None/Not Specified: \"\"\n*CloseUI: *VLTone\n"),
            std::string::npos);
}

TEST_F(PpdCli, ListOnlyLooks) {
  const std::string before = ReadText(ppd_);
  const auto mtime = fs::last_write_time(ppd_);
  auto r = Run({"list", ppd_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(Sample Color PS v1.2)"), std::string::npos);
  EXPECT_NE(r.out.find("Old"), std::string::npos);
  EXPECT_EQ(ReadText(ppd_), before);  // still LF
  EXPECT_EQ(fs::last_write_time(ppd_), mtime);
}

TEST_F(PpdCli, RefusedApplyWritesNothing) {
  const std::string before = ReadText(ppd_);
  const std::vector<std::vector<std::string>> refused = {
      {"apply", ppd_, "--library", lib_, "Standard", "Nonesuch"},
      {"apply", ppd_, "--library", lib_, "Standard", "Warm", "Standard"},
      {"apply", ppd_, "--library", lib_, "Standard", "Darker", "Lighter", "Warm", "Contrast", "a",
       "b"},
  };
  for (const auto& args : refused) {
    auto r = Run(args);
    EXPECT_EQ(r.status, 1) << args.back();
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(ReadText(ppd_), before);  // not even the line endings changed
  }
  EXPECT_NE(Run(refused[2]).err.find("It exceeds the number which can be registered."),
            std::string::npos);
  EXPECT_EQ(Run({"apply", ppd_, "Standard"}).status, 2);   // no --library
  EXPECT_EQ(Run({"apply", "--library", lib_}).status, 2);  // no target
  EXPECT_EQ(Run({"list", ppd_, "--library"}).status, 2);   // option without value
}

TEST_F(PpdCli, UnsupportedAndBrokenPpdsAreRefused) {
  const std::string other = (dir_ / "other.ppd").string();
  std::ofstream(other, std::ios::binary) << "*PPD-Adobe: \"4.3\"\n*NickName: \"Other\"\n";
  for (std::vector<std::string> args :
       {std::vector<std::string>{"list", other}, {"apply", other, "--library", lib_, "Standard"}}) {
    auto r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("doesn't cope with an VEL product"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadText(other), "*PPD-Adobe: \"4.3\"\n*NickName: \"Other\"\n");

  const std::string broken = (dir_ / "broken.ppd").string();
  std::ofstream(broken, std::ios::binary)
      << "*QRHTUtility: True\r\n*OpenUI *VLTone/Color adjustment:  PickOne\r\n";
  for (std::vector<std::string> args :
       {std::vector<std::string>{"list", broken}, {"remove", broken, "x"}}) {
    auto r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("There is a construction error in the PPD file."), std::string::npos);
  }
  auto missing = Run({"list", (dir_ / "missing.ppd").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("It failed to open a PPD file."), std::string::npos);
}

TEST_F(PpdCli, AddAppendsAndReplacesOnlyWhenAsked) {
  ASSERT_EQ(Run({"apply", ppd_, "--library", lib_, "Standard", "Warm"}).status, 0);
  ASSERT_EQ(Run({"add", ppd_, "--library", lib_, "Darker"}).status, 0);
  EXPECT_EQ(PpdNames(), (Names{"Standard", "Warm", "Darker"}));

  const std::string before = ReadText(ppd_);
  auto clash = Run({"add", ppd_, "--library", lib_, "Lighter", "Warm"});
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find("--replace"), std::string::npos);
  EXPECT_EQ(ReadText(ppd_), before);

  ASSERT_EQ(Run({"add", ppd_, "--library", lib_, "--replace", "Lighter", "Warm"}).status, 0);
  EXPECT_EQ(PpdNames(), (Names{"Standard", "Warm", "Darker", "Lighter"}));

  ASSERT_EQ(Run({"add", ppd_, "--library", lib_, "Contrast"}).status, 0);
  // Six names fit; the list is full at six even when a name would clash.
  ASSERT_EQ(Run({"library", lib_, "put", WriteJson(kExtra)}).status, 0);
  ASSERT_EQ(Run({"add", ppd_, "--library", lib_, "Extra"}).status, 0);
  auto full = Run({"add", ppd_, "--library", lib_, "--replace", "Warm"});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("It exceeds the number which can be registered."), std::string::npos);
}

TEST_F(PpdCli, RemoveKeepsTheOrderOfTheRest) {
  ASSERT_EQ(
      Run({"apply", ppd_, "--library", lib_, "Standard", "Warm", "Darker", "Contrast"}).status, 0);
  ASSERT_EQ(Run({"remove", ppd_, "Warm"}).status, 0);
  EXPECT_EQ(PpdNames(), (Names{"Standard", "Darker", "Contrast"}));
  const std::string before = ReadText(ppd_);
  EXPECT_EQ(Run({"remove", ppd_, "Darker", "Warm"}).status, 1);
  EXPECT_EQ(ReadText(ppd_), before);
}

TEST_F(PpdCli, PickCopiesIntoTheLibrary) {
  // The sample PPD holds "Old", which the library lacks.
  ASSERT_EQ(Run({"pick", ppd_, "--library", lib_, "Old"}).status, 0);
  Names names = LibraryNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "Old"), names.end());

  ASSERT_EQ(Run({"apply", ppd_, "--library", lib_, "Warm"}).status, 0);
  const std::string before = ReadText(lib_);
  EXPECT_EQ(Run({"pick", ppd_, "--library", lib_, "Warm"}).status, 1);
  EXPECT_EQ(ReadText(lib_), before);
  EXPECT_EQ(Run({"pick", ppd_, "--library", lib_, "--replace", "Warm"}).status, 0);
  EXPECT_EQ(Run({"pick", ppd_, "--library", lib_, "Nonesuch"}).status, 1);
}

TEST_F(PpdCli, ReadOnlyPpdNeedsYes) {
  ASSERT_EQ(chmod(ppd_.c_str(), 0444), 0);
  const std::string before = ReadText(ppd_);
  auto asked = Run({"apply", ppd_, "--library", lib_, "Standard"});
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find("The specified PPD file is read-only."), std::string::npos);
  EXPECT_EQ(ReadText(ppd_), before);

  ASSERT_EQ(Run({"--yes", "apply", ppd_, "--library", lib_, "Standard"}).status, 0);
  EXPECT_EQ(PpdNames(), (Names{"Standard"}));
  EXPECT_NE(fs::status(ppd_).permissions() & fs::perms::owner_write, fs::perms::none);
}

}  // namespace
}  // namespace tonalis
