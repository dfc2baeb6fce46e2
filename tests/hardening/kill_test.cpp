// Crash safety: a process writing a PPD file, a queue's PPD or the library is
// SIGKILLed after a random delay, many times. Afterwards the file is byte for
// byte its old or its new version, and after the next start no temporary file
// is left. TONALIS_KILL_RUNS sets the number of kills per test (default 50),
// TONALIS_KILL_SEED repeats a run; each test prints its figures.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "hardening/hardening_support.h"
#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"
#include "support/private_cupsd.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;

int TemporariesIn(const std::string& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(kTempSuffix) != std::string::npos) ++n;
  return n;
}

PrinterDefinitionList VersionA() { return ListOf({Def("Alpha", 1, Curve(kGamma22, 220))}); }
PrinterDefinitionList VersionB() {
  return ListOf({Def("Beta", 0, {Curve(kIdentity), Curve(kGamma22), Curve(Ends(0, 9000)),
                                 Curve(Ends(500, 10000))}),
                 Def("Gamma", 1, Curve(Ends(0, 8000)))});
}

// Writes `list` into the PPD file at `path` as the program does.
void WritePpd(const std::string& path, const PrinterDefinitionList& list) {
  ScriptedInteraction ui;
  PrinterDefinitionList read;
  LoadedPpd loaded = MustLoad(FileTarget(path), read, ui);
  ASSERT_TRUE(SetPPDToneInfo(loaded, list, {ui}));
}

TEST(KillWhileWriting, PpdFileIsAlwaysOneWholeVersion) {
  ScratchDir dir;
  const std::string path = dir.File("printer.ppd");
  WriteBytes(path, Golden("sample_lf.ppd"));
  const PrinterDefinitionList a = VersionA(), b = VersionB();
  WritePpd(path, b);
  const std::string bytesB = ReadBytes(path);
  WritePpd(path, a);
  const std::string bytesA = ReadBytes(path);

  const uint64_t seed = KillSeed();
  KillClock clock(seed, 20, 50000);
  KillFigures figures;
  const int runs = KillRuns(50);
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run) + ", TONALIS_KILL_SEED=" + std::to_string(seed));
    const std::string before = ReadBytes(path);
    // The child reads the PPD and writes the other version, again and again.
    const pid_t child = StartChild([&] {
      QuietInteraction ui;
      for (;;) {
        auto list = std::make_unique<PrinterDefinitionList>();
        PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
        if (!read.loaded) return 3;
        if (!SetPPDToneInfo(*read.loaded, list->count == 1 ? b : a, {ui})) return 4;
      }
    });
    std::this_thread::sleep_for(clock.Next());
    const int status = KillChild(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
    ++figures.kills;

    const std::string after = ReadBytes(path);
    ASSERT_TRUE(after == bytesA || after == bytesB) << "a file of " << after.size() << " bytes";
    ++(after == before ? figures.oldVersion : figures.newVersion);
    if (TemporariesIn(dir.File("")) > 0) ++figures.temporariesLeft;

    // The next start reads the file and clears what the killed writer left.
    ScriptedInteraction ui;
    PrinterDefinitionList list;
    MustLoad(FileTarget(path), list, ui);
    ASSERT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  }
  figures.Print("ppd-file", seed);
  // Some kills landed inside a replacement or after one.
  EXPECT_GT(figures.temporariesLeft + figures.newVersion, 0);
}

TEST(KillWhileWriting, LibraryIsAlwaysOneWholeVersion) {
  ScratchDir dir;
  const std::string path = dir.File(kLibraryFileName);
  auto libA = std::make_unique<DefinitionLibrary>();
  auto libB = std::make_unique<DefinitionLibrary>();
  for (DefinitionLibrary* lib : {libA.get(), libB.get()}) {
    EmptyTable(*lib);
    lib->version = kLibraryVersion;
  }
  InsertDefinition(*libA, Def("Alpha", 1, Curve(kGamma22)), InsertMode::AddMode());
  for (int i = 0; i < 100; ++i)
    InsertDefinition(*libB, Def("B" + std::to_string(i), 0, Curve(Ends(i, 10000 - i))),
                     InsertMode::AddMode());
  const std::vector<uint8_t> imageA = EncodeLibrary(*libA), imageB = EncodeLibrary(*libB);
  const std::string bytesA(imageA.begin(), imageA.end()), bytesB(imageB.begin(), imageB.end());
  WriteBytes(path, bytesA);

  const uint64_t seed = KillSeed();
  KillClock clock(seed, 20, 50000);
  KillFigures figures;
  const int runs = KillRuns(50);
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run) + ", TONALIS_KILL_SEED=" + std::to_string(seed));
    const std::string before = ReadBytes(path);
    const pid_t child = StartChild([&] {
      QuietInteraction ui;
      auto lib = std::make_unique<DefinitionLibrary>();
      LibraryFile file(path);
      if (!file.Open(*lib, ui)) return 3;
      for (bool isA = lib->count == 1;; isA = !isA) {
        if (!file.Write(isA ? *libB : *libA, ui)) return 4;
      }
    });
    std::this_thread::sleep_for(clock.Next());
    const int status = KillChild(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
    ++figures.kills;

    const std::string after = ReadBytes(path);
    ASSERT_TRUE(after == bytesA || after == bytesB) << "a file of " << after.size() << " bytes";
    ++(after == before ? figures.oldVersion : figures.newVersion);
    if (TemporariesIn(dir.File("")) > 0) ++figures.temporariesLeft;

    // The next start opens the library (the dead writer's lock is gone) and
    // clears its temporary file.
    ScriptedInteraction ui;
    auto lib = std::make_unique<DefinitionLibrary>();
    LibraryFile file(path);
    ASSERT_TRUE(file.Open(*lib, ui));
    EXPECT_TRUE(ui.Empty());
    ASSERT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});
  }
  figures.Print("library", seed);
  EXPECT_GT(figures.temporariesLeft + figures.newVersion, 0);
}

// tonalis-cli replaces a queue's PPD through a private scheduler, again and
// again, and is killed at a random moment: the scheduler keeps one whole PPD.
TEST(KillWhileWriting, QueuePpdIsAlwaysOneWholeVersion) {
  ScratchDir dir;
  const std::string library = dir.File(kLibraryFileName);
  {
    auto lib = std::make_unique<DefinitionLibrary>();
    ScriptedInteraction ui;
    LibraryFile file(library);
    ASSERT_TRUE(file.Open(*lib, ui));
    const PrinterDefinitionList a = VersionA(), b = VersionB();
    for (const auto* list : {&a, &b})
      for (int slot : VisibleSlots(*list))
        InsertDefinition(*lib, list->slots[slot], InsertMode::AddMode());
    ASSERT_TRUE(file.Write(*lib, ui));
  }
  PrivateCupsd cupsd;
  cupsd.UseAsConfigured();
  cupsd.AddQueue("Kill", std::string(TONALIS_TEST_DATA_DIR) + "/cups/marked.ppd");
  const std::vector<std::string> applyA = {TONALIS_CLI, "apply", "--printer", "Kill",
                                           "--library", library, "Alpha"};
  const std::vector<std::string> applyB = {TONALIS_CLI, "apply", "--printer", "Kill",
                                           "--library", library, "Beta", "Gamma"};
  std::string out;
  ASSERT_EQ(cupsd.Run(applyB, &out), 0) << out;
  const std::string bytesB = cupsd.PpdFile("Kill");
  ASSERT_EQ(cupsd.Run(applyA, &out), 0) << out;
  const std::string bytesA = cupsd.PpdFile("Kill");
  ASSERT_NE(bytesA, bytesB);
  const auto ppdFolder = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(cupsd.root() + "/ppd"))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> folderBefore = ppdFolder();

  const uint64_t seed = KillSeed();
  KillClock clock(seed, 500, 200000);
  KillFigures figures;
  const int runs = KillRuns(50) / 2;
  const std::string loop = "while :; do \"$0\" apply --printer Kill --library \"$1\" Beta Gamma; "
                           "\"$0\" apply --printer Kill --library \"$1\" Alpha; done";
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run) + ", TONALIS_KILL_SEED=" + std::to_string(seed));
    const std::string before = cupsd.PpdFile("Kill");
    const pid_t child = StartChild([&] {
      ::execl("/bin/sh", "sh", "-c", loop.c_str(), TONALIS_CLI, library.c_str(),
              static_cast<char*>(nullptr));
      return 127;
    });
    std::this_thread::sleep_for(clock.Next());
    const int status = KillChild(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
    ++figures.kills;
    // A request that reached the scheduler whole is carried out; one answer
    // to a later request means it is done.
    ASSERT_EQ(cupsd.Run({"lpstat", "-p", "Kill"}, &out), 0) << out;

    const std::string after = cupsd.PpdFile("Kill");
    ASSERT_TRUE(after == bytesA || after == bytesB) << "a PPD of " << after.size() << " bytes";
    ++(after == before ? figures.oldVersion : figures.newVersion);
    EXPECT_EQ(ppdFolder(), folderBefore);
  }
  figures.Print("queue-ppd", seed);
}

}  // namespace
}  // namespace tonalis
