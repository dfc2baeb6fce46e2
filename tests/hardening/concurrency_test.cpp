// Two running copies: of the library, at most one holds it at any moment and
// the other is refused with string 24; two writers of one PPD end with one
// whole version; a print job started while its queue's PPD is being replaced
// sees a whole PPD.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <atomic>
#include <chrono>
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

// Counters shared by the copies.
struct Shared {
  std::atomic<int> holders;
  std::atomic<int> overlaps;
  std::atomic<int> opened;
  std::atomic<int> refused;
  std::atomic<int> wrongMessage;
  std::atomic<int> brokenReads;
};

Shared* MapShared() {
  void* p = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return new (p) Shared{};
}

TEST(TwoCopies, OnlyOneHoldsTheLibraryAndTheOtherIsRefused) {
  ScratchDir dir;
  const std::string path = dir.File(kLibraryFileName);
  Shared* shared = MapShared();
  constexpr int kCopies = 3;
  constexpr int kRounds = 150;

  std::vector<pid_t> copies;
  for (int c = 0; c < kCopies; ++c) {
    copies.push_back(StartChild([&, c] {
      auto lib = std::make_unique<DefinitionLibrary>();
      for (int round = 0; round < kRounds; ++round) {
        QuietInteraction ui;
        LibraryFile file(path);
        if (!file.Open(*lib, ui)) {
          ++shared->refused;
          if (ui.last.stringId != sid::kLibraryOpenFailed || !ui.last.detail.empty())
            ++shared->wrongMessage;
          continue;
        }
        if (shared->holders.fetch_add(1) != 0) ++shared->overlaps;
        ++shared->opened;
        // What it read is one whole save of some copy: `count` definitions
        // all named by the copy that saved.
        if (lib->count > 0) {
          const char who = NameOf(lib->slots[0])[0];
          for (int slot : VisibleSlots(*lib))
            if (NameOf(lib->slots[slot])[0] != who) ++shared->brokenReads;
        }
        EmptyTable(*lib);
        lib->version = kLibraryVersion;
        for (int i = 0; i <= (round + c) % 40; ++i)
          InsertDefinition(*lib, Def(std::string(1, char('a' + c)) + std::to_string(i), 1,
                                     Curve(kIdentity)),
                           InsertMode::AddMode());
        if (!file.Write(*lib, ui)) return 4;
        shared->holders.fetch_sub(1);
        file.Close();
      }
      return 0;
    }));
  }
  for (pid_t pid : copies) EXPECT_EQ(WaitChild(pid), 0);

  std::printf("two-copies-library: opened=%d refused=%d\n", shared->opened.load(),
              shared->refused.load());
  EXPECT_EQ(shared->overlaps.load(), 0);
  EXPECT_EQ(shared->wrongMessage.load(), 0);
  EXPECT_EQ(shared->brokenReads.load(), 0);
  EXPECT_EQ(shared->opened + shared->refused, kCopies * kRounds);
  EXPECT_GT(shared->refused.load(), 0);
  EXPECT_EQ(fs::file_size(path), kLibraryFileBytes);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});
  munmap(shared, sizeof(Shared));
}

// Copies started together on a library that does not exist yet: one makes
// it, the others are refused by its lock. (A copy that found the file
// missing and then present took it for a dangling link, and said so with a
// system reason.)
TEST(TwoCopies, StartingTogetherOnAMissingLibrary) {
  ScratchDir dir;
  const std::string path = dir.File(kLibraryFileName);
  Shared* shared = MapShared();
  std::atomic<int>& ready = shared->holders;
  constexpr int kCopies = 4;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    std::remove(path.c_str());
    ready = 0;
    std::vector<pid_t> copies;
    for (int c = 0; c < kCopies; ++c) {
      copies.push_back(StartChild([&] {
        auto lib = std::make_unique<DefinitionLibrary>();
        QuietInteraction ui;
        LibraryFile file(path);
        ++ready;
        while (ready.load() < kCopies) {
        }
        if (file.Open(*lib, ui)) {
          ++shared->opened;
          ::usleep(2000);  // hold it while the others try
          return 0;
        }
        ++shared->refused;
        if (ui.last.stringId != sid::kLibraryOpenFailed || !ui.last.detail.empty())
          ++shared->wrongMessage;
        return 0;
      }));
    }
    for (pid_t pid : copies) ASSERT_EQ(WaitChild(pid), 0);
  }
  std::printf("missing-library-start: opened=%d refused=%d wrong=%d\n", shared->opened.load(),
              shared->refused.load(), shared->wrongMessage.load());
  EXPECT_EQ(shared->wrongMessage.load(), 0);
  EXPECT_GE(shared->opened.load(), kRounds);
  munmap(shared, sizeof(Shared));
}

TEST(TwoCopies, TwoWritersOfOnePpdEndWithOneWholeVersion) {
  ScratchDir dir;
  const std::string path = dir.File("printer.ppd");
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

  constexpr int kRounds = 20;
  constexpr int kWritesEach = 10;
  int endedAs[2] = {0, 0};
  for (int round = 0; round < kRounds; ++round) {
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w) {
      writers.push_back(StartChild([&, w] {
        QuietInteraction ui;
        for (int i = 0; i < kWritesEach; ++i) {
          auto list = std::make_unique<PrinterDefinitionList>();
          PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
          // Each read sees one whole version: the other writer's or its own.
          if (!read.loaded || (list->count != 1 && list->count != 2)) return 3;
          if (!SetPPDToneInfo(*read.loaded, lists[w], {ui})) return 4;
        }
        return 0;
      }));
    }
    for (pid_t pid : writers) ASSERT_EQ(WaitChild(pid), 0) << "round " << round;
    const std::string now = ReadBytes(path);
    ASSERT_TRUE(now == versions[0] || now == versions[1]) << "round " << round;
    ++endedAs[now == versions[0] ? 0 : 1];
    ASSERT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  }
  std::printf("two-writers-ppd: rounds=%d writes=%d first=%d second=%d\n", kRounds,
              kRounds * 2 * kWritesEach, endedAs[0], endedAs[1]);
}

// A job printed while the queue's PPD is replaced in a loop: the filter that
// reads the PPD finds the chosen density control in it and puts its code
// into the job, whichever version it got.
TEST(PrintingWhileReplacing, EveryJobSeesAWholePpd) {
  ScratchDir dir;
  const std::string library = dir.File(kLibraryFileName);
  {
    auto lib = std::make_unique<DefinitionLibrary>();
    ScriptedInteraction ui;
    LibraryFile file(library);
    ASSERT_TRUE(file.Open(*lib, ui));
    InsertDefinition(*lib, Def("Alpha", 1, Curve(kGamma22)), InsertMode::AddMode());
    InsertDefinition(*lib, Def("Beta", 0, Curve(Ends(0, 9000))), InsertMode::AddMode());
    ASSERT_TRUE(file.Write(*lib, ui));
  }
  PrivateCupsd cupsd;
  cupsd.UseAsConfigured();
  const std::string output = cupsd.root() + "/job-output.ps";
  std::string out;
  ASSERT_EQ(cupsd.Run({"lpadmin", "-p", "Busy", "-E", "-v", "file:" + output, "-P",
                       std::string(TONALIS_TEST_DATA_DIR) + "/cups/marked.ppd"},
                      &out),
            0)
      << out;
  ASSERT_EQ(cupsd.Run({TONALIS_CLI, "apply", "--printer", "Busy", "--library", library, "Alpha"},
                      &out),
            0)
      << out;
  const std::string job = dir.File("page.ps");
  WriteBytes(job, "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                  "newpath 72 72 moveto 300 300 lineto stroke\nshowpage\n%%EOF\n");

  // Each job is followed, after a random delay that puts it before, during
  // or after the job's filters, by a replacement of the queue's PPD. (The
  // scheduler restarts a job whose queue is changed while it prints, so a
  // replacement loop with no pause would keep a job from ever finishing.)
  const uint64_t seed = KillSeed();
  KillClock clock(seed, 1000, 300000);
  constexpr int kJobs = 10;
  int whole = 0;
  for (int j = 0; j < kJobs; ++j) {
    std::remove(output.c_str());
    ASSERT_EQ(cupsd.Run({"lp", "-d", "Busy", "-o", "VLTone=Gumma1", job}, &out), 0) << out;
    std::this_thread::sleep_for(clock.Next());
    // The order changes, the keywords stay: Alpha is always Gumma1.
    ASSERT_EQ(cupsd.Run({TONALIS_CLI, "apply", "--printer", "Busy", "--library", library,
                         j % 2 ? "Alpha" : "Beta", j % 2 ? "Beta" : "Alpha"},
                        &out),
              0)
        << out;
    // Wait for the job to be done.
    bool done = false;
    for (int i = 0; i < 300 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      cupsd.Run({"lpstat", "-o", "Busy"}, &out);
      done = out.empty();
    }
    ASSERT_TRUE(done) << "job " << j << " did not finish, TONALIS_KILL_SEED=" << seed;
    const std::string printed = ReadBytes(output);
    EXPECT_NE(printed.find("%%BeginFeature: *VLTone Gumma1"), std::string::npos)
        << "job " << j << ":\n" << printed.substr(0, 2000);
    EXPECT_NE(printed.find("VL@Clut"), std::string::npos) << "job " << j;
    if (printed.find("VL@Clut") != std::string::npos) ++whole;
  }
  std::printf("printing-while-replacing: jobs=%d with-density-code=%d seed=%llu\n", kJobs, whole,
              static_cast<unsigned long long>(seed));
  // No job was stopped or aborted, and the queue still accepts and prints.
  cupsd.Run({"lpstat", "-p", "Busy"}, &out);
  EXPECT_NE(out.find("enabled"), std::string::npos) << out;
}

}  // namespace
}  // namespace tonalis
