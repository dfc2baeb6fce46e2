// Runs the real tonalis-cli on temporary files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "formats/library_file.h"
#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

using test::Cli;
using test::ReadText;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// One definition object with the given name, flag and cyan 5 % point and gamma.
std::string Def(const std::string& name, int all = 1, const std::string& cyan5 = "-1",
                const std::string& gamma = "-1", const std::string& magenta0 = "0") {
  auto channel = [&](const std::string& p0, const std::string& p1) {
    return "{\"points\": [" + p0 + ", " + p1 +
           ", -1, -1, -1, -1, 5000, -1, -1, -1, -1, -1, 10000], \"gamma\": " + gamma + "}";
  };
  return "{\"name\": \"" + name + "\", \"allChannels\": " + std::to_string(all) +
         ", \"channels\": [" + channel("0", cyan5) + ", " + channel(magenta0, "-1") + ", " +
         channel("0", "-1") + ", " + channel("0", "-1") + "]}";
}

TEST_F(Cli, GammaPrintsThePointsAndRefusesAnythingElse) {
  EXPECT_EQ(Run({"gamma", "220"}).out,
            "0 13 63 289 707 1332 2176 3250 4562 6120 7931 8932 10000\n");
  EXPECT_EQ(Run({"gamma", "100"}).out,
            "0 500 1000 2000 3000 4000 5000 6000 7000 8000 9000 9500 10000\n");
  EXPECT_EQ(Run({"gamma", "9999"}).out, "0 0 0 0 0 0 0 0 0 0 0 59 10000\n");
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"gamma"},
                                                                             {"gamma", "0"},
                                                                             {"gamma", "10000"},
                                                                             {"gamma", "2.2"},
                                                                             {"gamma", "-5"},
                                                                             {"gamma", "x"},
                                                                             {"gamma", "1", "2"},
                                                                             {"nosuch"},
                                                                             {},
                                                                             {"--bogus"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(r.err.empty());
  }
}

TEST_F(Cli, HelpAndVersion) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("  gamma "), std::string::npos);
  EXPECT_NE(help.out.find("  library "), std::string::npos);
  for (const char* cmd : {"gamma", "library"}) {
    EXPECT_EQ(Run({cmd, "--help"}).status, 0);
    EXPECT_EQ(Run({cmd, "--help"}).out, Run({"help", cmd}).out);
  }
  EXPECT_EQ(Run({"--version"}).out.rfind("tonalis-cli ", 0), 0u);
}

TEST_F(Cli, SampleLibraryShowsAndRegenerates) {
  CopySample();
  const Result table = Run({"library", lib_});
  EXPECT_EQ(table.status, 0);
  std::size_t at = 0;
  for (const char* line : {"Standard  (one curve for all colours)", "Darker", "Lighter",
                           "Warm  (a curve per colour)", "  magenta   0.00  5.20", "Contrast"}) {
    at = table.out.find(line, at);
    EXPECT_NE(at, std::string::npos) << line;
  }
  // The JSON form is the committed source, and putting it into an empty
  // library gives the committed file byte for byte.
  const std::string json = ReadText(fs::path(TONALIS_SAMPLES) / "library.json");
  EXPECT_EQ(Run({"library", lib_, "--json"}).out, json);
  const std::string fresh = (dir_ / "fresh.dat").string();
  EXPECT_EQ(Run({"library", fresh, "put", WriteJson(json)}).status, 0);
  EXPECT_EQ(ReadText(fresh), ReadText(lib_));
  // Putting the library's own JSON back changes no byte.
  const std::string before = ReadText(lib_);
  EXPECT_EQ(Run({"library", lib_, "put", WriteJson(json)}).status, 0);
  EXPECT_EQ(ReadText(lib_), before);
}

TEST_F(Cli, PutReplacesInPlaceFillsHolesAndCopiesCyan) {
  CopySample();
  ASSERT_EQ(Run({"library", lib_, "delete", "Darker"}).status, 0);
  auto lib = Load();
  EXPECT_FALSE(IsUsed(lib->slots[1]));
  EXPECT_EQ(NameOf(lib->slots[2]), "Lighter");
  // Magenta's 0 % point is unset, which only matters per channel.
  const Result r =
      Run({"library", lib_, "put",
           WriteJson("[" + Def("Warm", 1, "700", "-1", "-1") + ", " + Def("New") + "]")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "replaced \"Warm\"\nadded \"New\"\n");
  lib = Load();
  EXPECT_EQ(lib->count, 5);
  EXPECT_EQ(NameOf(lib->slots[1]), "New");
  const DensityDef& warm = lib->slots[3];
  EXPECT_EQ(NameOf(warm), "Warm");
  EXPECT_EQ(warm.allChannels, 1);
  EXPECT_EQ(warm.channels[kCyan].points[1], 700);
  for (const ToneCurve& c : warm.channels) EXPECT_EQ(c, warm.channels[kCyan]);
}

TEST_F(Cli, PutRefusesWithTheEditorsMessagesAndWritesNothing) {
  struct Case {
    std::string json;
    std::string message;
  };
  const std::string longName(33, 'n');
  const Case cases[] = {
      {"[" + Def("") + "]", "Name this setting."},
      {"[" + Def(longName) + "]", "at most 32"},
      {"[" + Def("bell\\u0007") + "]", "control character 0x07"},
      {"[" + Def("ok") + ", " + Def("tab\\there") + "]", "definition 2"},
      {"[" + Def("a", 0, "-1", "-1", "-1") + "]",
       "magenta: There is no specified number in active range."},
      {"[" + Def("a", 1, "10001") + "]", "all colours: The number specified in \"\"5%\"\" is not"},
      {"[" + Def("a", 1, "-2") + "]", "\"\"5%\"\""},
      {"[" + Def("a", 1, "-1", "0") + "]", "\"\"Gamma-value\"\" is not within"},
      {"[" + Def("a", 1, "-1", "10000") + "]", "\"\"Gamma-value\"\""},
      {"[" + Def("K\\u20ac") + "]", "above U+00FF"},
      {"[" + Def("a", 2) + "]", "\"allChannels\" must be 0 or 1"},
      {"[" + Def("a", 1, "1.5") + "]", "must be an integer"},
      {"[" + Def("a") + ", " + Def("a") + "]", "both named \"a\""},
      {"[{\"name\": \"a\", \"allChannels\": 1}]", "missing member \"channels\""},
      {Def("a"), "expected an array"},
      {"[" + Def("a") + ",]", "not valid JSON"},
      {"[\"\\ud800\"]", "not valid JSON"},
      {"[01]", "not valid JSON"},
      {"[{\"name\": \"a\", \"name\": \"b\"}]", "duplicate member"},
  };
  CopySample();
  const std::string before = ReadText(lib_);
  for (const Case& c : cases) {
    const Result r = Run({"library", lib_, "put", WriteJson(c.json)});
    EXPECT_EQ(r.status, 1) << c.json;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.json << "\n" << r.err;
    EXPECT_EQ(ReadText(lib_), before);
  }
  // A refused put does not create a missing library.
  EXPECT_EQ(
      Run({"library", (dir_ / "none.dat").string(), "put", WriteJson("[" + Def("") + "]")}).status,
      1);
  EXPECT_FALSE(fs::exists(dir_ / "none.dat"));
}

TEST_F(Cli, FullLibraryRefusesNewNamesButTakesReplacements) {
  std::string json = "[";
  for (int i = 0; i < 100; ++i) json += (i ? ", " : "") + Def("d" + std::to_string(i));
  ASSERT_EQ(Run({"library", lib_, "put", WriteJson(json + "]")}).status, 0);
  const std::string before = ReadText(lib_);
  const Result r = Run(
      {"library", lib_, "put", WriteJson("[" + Def("d5", 1, "300") + ", " + Def("more") + "]")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\"more\": It exceeds the number which can be registered."),
            std::string::npos);
  EXPECT_EQ(ReadText(lib_), before);
  EXPECT_EQ(Run({"library", lib_, "put", WriteJson("[" + Def("d5", 1, "300") + "]")}).status, 0);
  EXPECT_EQ(Load()->slots[5].channels[kBlack].points[1], 300);
}

TEST_F(Cli, DeleteUnknownNameChangesNothing) {
  CopySample();
  const std::string before = ReadText(lib_);
  const Result r = Run({"library", lib_, "delete", "Warm", "Nothing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no definition named \"Nothing\""), std::string::npos);
  EXPECT_EQ(ReadText(lib_), before);
  EXPECT_EQ(Run({"library", lib_, "delete", "Warm", "Standard"}).out,
            "deleted \"Warm\"\ndeleted \"Standard\"\n");
  auto lib = Load();
  EXPECT_EQ(lib->count, 3);
  EXPECT_EQ(VisibleNames(*lib), (std::vector<std::string_view>{"Darker", "Lighter", "Contrast"}));
  EXPECT_EQ(NameOf(lib->slots[4]), "Contrast");
}

TEST_F(Cli, NamesAreIso88591) {
  ASSERT_EQ(Run({"library", lib_, "put", WriteJson("[" + Def("K\u00fchl \u00e4") + "]")}).status,
            0);
  auto lib = Load();
  EXPECT_EQ(NameOf(lib->slots[0]), "K\xFChl \xE4");
  const std::string json = Run({"library", lib_, "--json"}).out;
  EXPECT_NE(json.find("\"name\": \"K\u00fchl \u00e4\""), std::string::npos);
  const std::string before = ReadText(lib_);
  ASSERT_EQ(Run({"library", lib_, "put", WriteJson(json)}).status, 0);
  EXPECT_EQ(ReadText(lib_), before);
  EXPECT_EQ(Run({"library", lib_, "delete", "K\u00fchl \u00e4"}).status, 0);
}

TEST_F(Cli, LibraryHeldElsewhereOrReadOnly) {
  CopySample();
  const std::string opened = "It failed to open a " + lib_ +
                             ".\nThe definition of the density control isn't kept in " + lib_ + ".";
  {
    test::ScriptedInteraction ui;
    auto held = std::make_unique<DefinitionLibrary>();
    LibraryFile other(lib_);
    ASSERT_TRUE(other.Open(*held, ui));
    const std::string before = ReadText(lib_);
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"library", lib_}, {"library", lib_, "put", WriteJson("[" + Def("x") + "]")}}) {
      const Result r = Run(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find(opened), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadText(lib_), before);
  }
  chmod(lib_.c_str(), 0444);
  Result r = Run({"library", lib_});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The dat file is read-only."), std::string::npos);
  EXPECT_NE(r.err.find("--yes"), std::string::npos);
  EXPECT_TRUE(r.out.empty());
  r = Run({"--yes", "library", lib_});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Contrast"), std::string::npos);
  EXPECT_NE(fs::status(lib_).permissions() & fs::perms::owner_write, fs::perms::none) << r.err;
}

}  // namespace
}  // namespace tonalis
