// Running copies at once: of the library, at most one holds it and the others
// are refused with string 24; two writers of one PPD end with one whole
// version; a job printed while its queue's PPD is replaced sees a whole PPD.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <atomic>
#include <memory>
#include <thread>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"
#include "hardening/hardening_support.h"
#include "support/private_cupsd.h"

namespace tonalis {
namespace {

using namespace test;

struct Shared {
  std::atomic<int> holders, overlaps, opened, refused, wrong;
};
Shared* MapShared() {
  void* p = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return new (p) Shared{};
}

// Tries the library once; true when this copy holds it.
bool TryOpen(LibraryFile& file, DefinitionLibrary& lib, Shared& s) {
  QuietInteraction ui;
  if (file.Open(lib, ui)) return ++s.opened, true;
  ++s.refused;
  // Refused by the other copy's lock, not by a system error.
  if (ui.last.stringId != sid::kLibraryOpenFailed || !ui.last.detail.empty()) ++s.wrong;
  return false;
}

TEST(TwoCopies, OnlyOneHoldsTheLibraryAndTheOtherIsRefused) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  Shared* s = MapShared();
  std::vector<pid_t> copies;
  for (int c = 0; c < 3; ++c) {
    copies.push_back(StartChild([&, c] {
      auto lib = std::make_unique<DefinitionLibrary>();
      for (int round = 0; round < 150; ++round) {
        LibraryFile file(path);
        if (!TryOpen(file, *lib, *s)) continue;
        if (s->holders.fetch_add(1) != 0) ++s->overlaps;
        // What it read is one whole save: every name by the copy that saved.
        for (int slot : VisibleSlots(*lib))
          if (NameOf(lib->slots[slot])[0] != NameOf(lib->slots[0])[0]) ++s->wrong;
        EmptyTable(*lib);
        for (int i = 0; i <= (round + c) % 40; ++i)
          InsertDefinition(*lib, Def(std::string(1, char('a' + c)) + std::to_string(i), 1,
                                     Curve(kIdentity)), InsertMode::AddMode());
        QuietInteraction ui;
        if (!file.Write(*lib, ui)) return 4;
        s->holders.fetch_sub(1);
      }
      return 0;
    }));
  }
  for (pid_t pid : copies) EXPECT_EQ(WaitChild(pid), 0);
  EXPECT_EQ(s->overlaps.load(), 0);
  EXPECT_EQ(s->wrong.load(), 0);
  EXPECT_GT(s->refused.load(), 0);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});

  // Copies started together on a missing library: one makes it, the others
  // are refused by its lock (and never take the new file for a dangling link).
  for (int round = 0; round < 60; ++round) {
    std::remove(path.c_str());
    s->holders = 0;
    copies.clear();
    for (int c = 0; c < 4; ++c) {
      copies.push_back(StartChild([&] {
        auto lib = std::make_unique<DefinitionLibrary>();
        LibraryFile file(path);
        for (++s->holders; s->holders.load() < 4;) {
        }
        if (TryOpen(file, *lib, *s)) ::usleep(2000);  // hold it while the others try
        return 0;
      }));
    }
    for (pid_t pid : copies) ASSERT_EQ(WaitChild(pid), 0);
  }
  EXPECT_EQ(s->wrong.load(), 0);
  munmap(s, sizeof(Shared));
}

TEST(TwoCopies, TwoWritersOfOnePpdEndWithOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / "printer.ppd";
  WriteBytes(path, Golden("sample_written.ppd"));
  const PrinterDefinitionList lists[2] = {
      ListOf({Def("First", 1, Curve(kGamma22))}),
      ListOf({Def("Second", 0, Curve(kIdentity)), Def("Third", 1, Curve(Ends(0, 5000)))})};
  std::string versions[2];
  for (int w = 0; w < 2; ++w) {
    ScriptedInteraction ui;
    PrinterDefinitionList read;
    ASSERT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), read, ui), lists[w], {ui}));
    versions[w] = ReadBytes(path);
  }
  for (int round = 0; round < 20; ++round) {
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w) {
      writers.push_back(StartChild([&, w] {
        QuietInteraction ui;
        for (int i = 0; i < 10; ++i) {
          auto list = std::make_unique<PrinterDefinitionList>();
          PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
          // Each read sees one whole version, the other writer's or its own.
          if (!read.loaded || (list->count != 1 && list->count != 2)) return 3;
          if (!SetPPDToneInfo(*read.loaded, lists[w], {ui})) return 4;
        }
        return 0;
      }));
    }
    for (pid_t pid : writers) ASSERT_EQ(WaitChild(pid), 0) << "round " << round;
    const std::string now = ReadBytes(path);
    ASSERT_TRUE(now == versions[0] || now == versions[1]) << "round " << round;
    ASSERT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  }
}

// Each job is followed, after a random delay that puts it before, during or
// after the job's filters, by a replacement of the queue's PPD; the filter
// finds the chosen density control whichever version it reads.
TEST(PrintingWhileReplacing, EveryJobSeesAWholePpd) {
  TempDir dir;
  const std::string library = dir / kLibraryFileName, job = dir / "page.ps";
  {
    auto lib = std::make_unique<DefinitionLibrary>();
    ScriptedInteraction ui;
    LibraryFile file(library);
    ASSERT_TRUE(file.Open(*lib, ui));
    InsertDefinition(*lib, Def("Alpha", 1, Curve(kGamma22)), InsertMode::AddMode());
    InsertDefinition(*lib, Def("Beta", 0, Curve(Ends(0, 9000))), InsertMode::AddMode());
    ASSERT_TRUE(file.Write(*lib, ui));
  }
  WriteBytes(job, "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\nshowpage\n%%EOF\n");
  PrivateCupsd cupsd;
  cupsd.UseAsConfigured();
  const std::string output = cupsd.root() + "/job-output.ps";
  std::string out;
  ASSERT_EQ(cupsd.Run({"lpadmin", "-p", "Busy", "-E", "-v", "file:" + output, "-P",
                       std::string(TONALIS_TEST_DATA_DIR) + "/cups/marked.ppd"}, &out), 0) << out;
  auto apply = [&](const char* first, const char* second) {
    return cupsd.Run({TONALIS_CLI, "apply", "--printer", "Busy", "--library", library, first, second}, &out);
  };
  ASSERT_EQ(apply("Alpha", "Beta"), 0) << out;
  std::mt19937 rng(static_cast<unsigned>(KillSeed()));
  for (int j = 0; j < 10; ++j) {
    std::remove(output.c_str());
    ASSERT_EQ(cupsd.Run({"lp", "-d", "Busy", "-o", "VLTone=Gumma1", job}, &out), 0) << out;
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + rng() % 300000));
    // The order changes, the keywords stay: Alpha is always Gumma1.
    ASSERT_EQ(j % 2 ? apply("Alpha", "Beta") : apply("Beta", "Alpha"), 0) << out;
    bool done = false;
    for (int i = 0; i < 300 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      cupsd.Run({"lpstat", "-o", "Busy"}, &out);
      done = out.empty();
    }
    ASSERT_TRUE(done) << "job " << j << " did not finish";
    const std::string printed = ReadBytes(output);
    EXPECT_NE(printed.find("%%BeginFeature: *VLTone Gumma1"), std::string::npos) << "job " << j;
    EXPECT_NE(printed.find("VL@Clut"), std::string::npos) << "job " << j;
  }
  cupsd.Run({"lpstat", "-p", "Busy"}, &out);
  EXPECT_NE(out.find("enabled"), std::string::npos) << out;
}

}  // namespace
}  // namespace tonalis
