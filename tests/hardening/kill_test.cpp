// Crash safety: a process writing a PPD file, the library or a queue's PPD is
// SIGKILLed after a random delay, many times. The file is then byte for byte
// its old or its new version, and the next start leaves no temporary file.
// TONALIS_KILL_RUNS sets the number of kills, TONALIS_KILL_SEED repeats a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"
#include "hardening/hardening_support.h"
#include "support/private_cupsd.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;

const PrinterDefinitionList kA = ListOf({Def("Alpha", 1, Curve(kGamma22, 220))});
const PrinterDefinitionList kB = ListOf(
    {Def("Beta", 0, {Curve(kIdentity), Curve(kGamma22), Curve(Ends(0, 9000)), Curve(Ends(500, 10000))}),
     Def("Gamma", 1, Curve(Ends(0, 8000)))});

// The check after each kill: one of `versions`, and after the next start
// (`restart`) only `files` in the folder.
auto WholeVersion(const std::vector<std::string>& versions, const TempDir& dir,
                  std::vector<std::string> files, std::function<void()> restart) {
  return [&versions, &dir, files, restart](const std::string&, const std::string& after) {
    const bool whole = std::find(versions.begin(), versions.end(), after) != versions.end();
    EXPECT_TRUE(whole) << "a file of " << after.size() << " bytes";
    restart();
    EXPECT_EQ(dir.Entries(), files);
    return whole && !::testing::Test::HasFailure();
  };
}

TEST(KillWhileWriting, PpdFileIsAlwaysOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / "printer.ppd";
  WriteBytes(path, Golden("sample_lf.ppd"));
  std::vector<std::string> versions;
  for (const PrinterDefinitionList* list : {&kB, &kA}) {
    ScriptedInteraction ui;
    PrinterDefinitionList read;
    ASSERT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), read, ui), *list, {ui}));
    versions.push_back(ReadBytes(path));
  }
  const KillFigures f = KillRepeatedly(
      "ppd-file", 50, 20, 50000, [&] { return ReadBytes(path); },
      [&] {
        QuietInteraction ui;
        for (;;) {
          auto list = std::make_unique<PrinterDefinitionList>();
          PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
          if (!read.loaded || !SetPPDToneInfo(*read.loaded, list->count == 1 ? kB : kA, {ui}))
            return 3;
        }
      },
      WholeVersion(versions, dir, {"printer.ppd"}, [&] {
        ScriptedInteraction ui;
        PrinterDefinitionList list;
        MustLoad(FileTarget(path), list, ui);  // clears what the killed writer left
      }));
  EXPECT_GT(f.newVersion, 0);
}

TEST(KillWhileWriting, LibraryIsAlwaysOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  auto libA = std::make_unique<DefinitionLibrary>(), libB = std::make_unique<DefinitionLibrary>();
  for (DefinitionLibrary* lib : {libA.get(), libB.get()}) EmptyTable(*lib);
  InsertDefinition(*libA, Def("Alpha", 1, Curve(kGamma22)), InsertMode::AddMode());
  for (int i = 0; i < 100; ++i)
    InsertDefinition(*libB, Def("B" + std::to_string(i), 0, Curve(Ends(i, 10000 - i))),
                     InsertMode::AddMode());
  std::vector<std::string> versions;
  for (const auto* lib : {libA.get(), libB.get()}) {
    const std::vector<uint8_t> image = EncodeLibrary(*lib);
    versions.emplace_back(image.begin(), image.end());
  }
  WriteBytes(path, versions[0]);
  const KillFigures f = KillRepeatedly(
      "library", 50, 20, 50000, [&] { return ReadBytes(path); },
      [&] {
        QuietInteraction ui;
        auto lib = std::make_unique<DefinitionLibrary>();
        LibraryFile file(path);
        if (!file.Open(*lib, ui)) return 3;
        for (bool isA = lib->count == 1;; isA = !isA)
          if (!file.Write(isA ? *libB : *libA, ui)) return 4;
      },
      WholeVersion(versions, dir, {kLibraryFileName}, [&] {
        // The dead writer's lock is gone and its temporary file is cleared.
        ScriptedInteraction ui;
        auto lib = std::make_unique<DefinitionLibrary>();
        LibraryFile file(path);
        EXPECT_TRUE(file.Open(*lib, ui));
      }));
  EXPECT_GT(f.newVersion, 0);
}

// tonalis-cli replaces a queue's PPD through a private scheduler and is
// killed at a random moment: the scheduler keeps one whole PPD.
TEST(KillWhileWriting, QueuePpdIsAlwaysOneWholeVersion) {
  TempDir dir;
  const std::string library = dir / kLibraryFileName;
  {
    auto lib = std::make_unique<DefinitionLibrary>();
    ScriptedInteraction ui;
    LibraryFile file(library);
    ASSERT_TRUE(file.Open(*lib, ui));
    for (const auto* list : {&kA, &kB})
      for (int slot : VisibleSlots(*list)) InsertDefinition(*lib, list->slots[slot], InsertMode::AddMode());
    ASSERT_TRUE(file.Write(*lib, ui));
  }
  PrivateCupsd cupsd;
  cupsd.UseAsConfigured();
  cupsd.AddQueue("Kill", std::string(TONALIS_TEST_DATA_DIR) + "/cups/marked.ppd");
  std::vector<std::string> versions;
  std::string out;
  for (std::vector<std::string> names : {std::vector<std::string>{"Beta", "Gamma"}, {"Alpha"}}) {
    std::vector<std::string> apply = {TONALIS_CLI, "apply", "--printer", "Kill", "--library", library};
    apply.insert(apply.end(), names.begin(), names.end());
    ASSERT_EQ(cupsd.Run(apply, &out), 0) << out;
    versions.push_back(cupsd.PpdFile("Kill"));
  }
  const std::vector<std::string> folder = TempDir::Entries(cupsd.root() + "/ppd");
  const std::string loop = "while :; do \"$0\" apply --printer Kill --library \"$1\" Beta Gamma; "
                           "\"$0\" apply --printer Kill --library \"$1\" Alpha; done";
  KillRepeatedly(
      "queue-ppd", 25, 500, 200000, [&] { return cupsd.PpdFile("Kill"); },
      [&] {
        ::execl("/bin/sh", "sh", "-c", loop.c_str(), TONALIS_CLI, library.c_str(),
                static_cast<char*>(nullptr));
        return 127;
      },
      [&](const std::string&, const std::string&) {
        // One answer to a later request means a request that arrived whole is done.
        EXPECT_EQ(cupsd.Run({"lpstat", "-p", "Kill"}, &out), 0) << out;
        const std::string now = cupsd.PpdFile("Kill");
        EXPECT_TRUE(now == versions[0] || now == versions[1]) << "a PPD of " << now.size() << " bytes";
        EXPECT_EQ(TempDir::Entries(cupsd.root() + "/ppd"), folder);
        return !::testing::Test::HasFailure();
      });
}

}  // namespace
}  // namespace tonalis
