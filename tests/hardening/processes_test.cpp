// Processes at once and processes killed. Of running copies at most one holds the library, the
// others are refused with string 24; two writers of one PPD end with one whole version. A process
// writing a PPD file or the library, SIGKILLed after a random delay, leaves it byte for byte its
// old or its new version, and the next start leaves no temporary file. TONALIS_KILL_RUNS sets
// the number of kills, TONALIS_KILL_SEED repeats a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <random>

#include "formats/library_file.h"
#include "support/fixtures.h"

namespace tonalis {
namespace {

using namespace test;

// A child of its own process group that dies with the test; `body`'s value is its exit status.
pid_t StartChild(const std::function<int()>& body) {
  const pid_t parent = getpid(), pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    _exit(getppid() == parent ? body() : 120);
  }
  if (pid > 0) setpgid(pid, pid);
  return pid;
}
int WaitChild(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What a child shows and answers: nothing to a terminal, yes to questions.
struct QuietInteraction final : UserInteraction {
  void Show(const Message& m) override { last = m; }
  bool Ask(const Message&) override { return true; }
  Message last;
};

bool IsOneOf(const std::vector<std::string>& versions, const std::string& file) {
  const bool whole = std::find(versions.begin(), versions.end(), file) != versions.end();
  EXPECT_TRUE(whole) << "a file of " << file.size() << " bytes";
  return whole;
}

// Starts `writer` (writing the file at `path` for ever) and SIGKILLs its process group after a
// delay spread over the orders of magnitude from 20 us to 50 ms, 50 times; then `reopen` opens
// the file as the next start does, and it must be one of `versions`, alone in its folder. Prints
// the figures as the reliability report quotes them; returns how often the new version was found.
int KillRepeatedly(const char* what, const std::string& path, const Names& versions,
                   const std::function<int()>& writer, const std::function<void()>& reopen) {
  const char* runsEnv = std::getenv("TONALIS_KILL_RUNS");
  const int runs = runsEnv && std::atoi(runsEnv) > 0 ? std::atoi(runsEnv) : 50;
  const char* seedEnv = std::getenv("TONALIS_KILL_SEED");
  const unsigned long long now = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned long long seed = seedEnv ? std::strtoull(seedEnv, nullptr, 10) : now;
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> spread(std::log(20.0), std::log(50000.0));
  const std::filesystem::path file(path);
  // A slow machine (a sanitizer build under load) may finish no write within
  // the usual delays: then later runs wait longer, until one does.
  std::uniform_real_distribution<double> longer(std::log(50000.0), std::log(2000000.0));
  int kills = 0, same = 0;
  for (; kills < runs || (kills == same && kills < 3 * runs); ++kills) {
    const std::string before = ReadBytes(path);
    const pid_t child = StartChild(writer);
    usleep(static_cast<useconds_t>(std::exp(kills < runs ? spread(rng) : longer(rng))));
    kill(-child, SIGKILL), kill(child, SIGKILL);
    const int status = WaitChild(child);
    EXPECT_EQ(status, 128 + SIGKILL) << "the writer stopped by itself, seed " << seed;
    const std::string after = ReadBytes(path);
    same += after == before;
    if (status != 128 + SIGKILL) break;
    reopen();
    EXPECT_EQ(TempDir::Entries(file.parent_path()), Names{file.filename()}) << "seed " << seed;
    if (!IsOneOf(versions, after) || ::testing::Test::HasFailure()) break;
  }
  std::printf("kill-figures: %s kills=%d old=%d new=%d seed=%llu\n", what, kills, same,
              kills - same, seed);
  return kills - same;
}

const PrinterDefinitionList kA = ListOf({Def("Alpha", 1, Curve(kGamma22, 220))});
const PrinterDefinitionList kB =
    ListOf({Def("Beta", 0, {Curve(kIdentity), Curve(kGamma22), Curve(Ends(0, 9000)),
                            Curve(Ends(500, 10000))}),
            Def("Gamma", 1, Curve(Ends(0, 8000)))});

// Reads the PPD file and writes `next(what it read)` into it: 0, or 3 when
// the read failed or saw no whole version, 4 when the write failed.
int Rewrite(const std::string& path,
            const std::function<const PrinterDefinitionList*(int count)>& next) {
  QuietInteraction ui;
  auto list = std::make_unique<PrinterDefinitionList>();
  PpdReadOutcome read = GetPPDToneInfo(FileTarget(path), *list, {ui});
  const PrinterDefinitionList* written = read.loaded ? next(list->count) : nullptr;
  if (!written) return 3;
  return SetPPDToneInfo(*read.loaded, *written, {ui}) ? 0 : 4;
}

// The PPD file as written with each list in turn, starting from `golden`.
std::vector<std::string> PpdVersions(const std::string& path, const char* golden,
                                     std::initializer_list<const PrinterDefinitionList*> lists) {
  WriteBytes(path, Golden(golden));
  std::vector<std::string> versions;
  for (const PrinterDefinitionList* list : lists) {
    ScriptedInteraction ui;
    PrinterDefinitionList read;
    EXPECT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), read, ui), *list, {ui}));
    versions.push_back(ReadBytes(path));
  }
  return versions;
}

TEST(KillWhileWriting, PpdFileIsAlwaysOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / "printer.ppd";
  const auto versions = PpdVersions(path, "sample_lf.ppd", {&kB, &kA});
  const auto rewrite = [&] {
    for (;;)
      if (const int failed = Rewrite(path, [](int count) { return count == 1 ? &kB : &kA; }))
        return failed;
  };
  EXPECT_GT(KillRepeatedly("ppd-file", path, versions, rewrite, [&] {
              ScriptedInteraction ui;
              PrinterDefinitionList list;
              MustLoad(FileTarget(path), list, ui);  // clears what the killed writer left
            }), 0);
}

TEST(KillWhileWriting, LibraryIsAlwaysOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  const std::vector<std::string> versions = {LibraryImage({kA}), LibraryImage({kB})};
  auto libA = std::make_unique<DefinitionLibrary>(), libB = std::make_unique<DefinitionLibrary>();
  DecodeLibrary(std::vector<uint8_t>(versions[0].begin(), versions[0].end()), *libA);
  DecodeLibrary(std::vector<uint8_t>(versions[1].begin(), versions[1].end()), *libB);
  WriteBytes(path, versions[0]);
  const auto alternate = [&] {
    QuietInteraction ui;
    auto lib = std::make_unique<DefinitionLibrary>();
    LibraryFile file(path);
    if (!file.Open(*lib, ui)) return 3;
    for (bool isA = lib->count == 1;; isA = !isA)
      if (!file.Write(isA ? *libB : *libA, ui)) return 4;
  };
  EXPECT_GT(KillRepeatedly("library", path, versions, alternate, [&] {
              ScriptedInteraction ui;  // the dead writer's lock is gone
              auto lib = std::make_unique<DefinitionLibrary>();
              EXPECT_TRUE(LibraryFile(path).Open(*lib, ui));
            }), 0);
}

struct Shared {
  std::atomic<int> holders, overlaps, refused, wrong;
};

// Tries the library once; true when this copy holds it.
bool TryOpen(LibraryFile& file, DefinitionLibrary& lib, Shared& s) {
  QuietInteraction ui;
  if (file.Open(lib, ui)) return true;
  ++s.refused;  // by the other copy's lock, and the reason names it
  if (ui.last.stringId != sid::kLibraryOpenFailed ||
      ui.last.detail.find(" holds it open") == std::string::npos)
    ++s.wrong;
  return false;
}

TEST(TwoCopies, OnlyOneHoldsTheLibraryAndTheOtherIsRefused) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  Shared* s = new (mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0)) Shared{};
  std::vector<pid_t> copies;
  for (int c = 0; c < 3; ++c)
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
  for (pid_t pid : copies) EXPECT_EQ(WaitChild(pid), 0);
  EXPECT_EQ(s->overlaps.load(), 0);
  EXPECT_GT(s->refused.load(), 0);
  EXPECT_EQ(dir.Entries(), Names{kLibraryFileName});

  // Copies started together on a missing library: one makes it, the others
  // are refused by its lock (and never take the new file for a dangling link).
  for (int round = 0; round < 60; ++round) {
    std::remove(path.c_str());
    s->holders = 0;
    copies.clear();
    for (int c = 0; c < 4; ++c)
      copies.push_back(StartChild([&] {
        auto lib = std::make_unique<DefinitionLibrary>();
        LibraryFile file(path);
        for (++s->holders; s->holders.load() < 4;) continue;
        if (TryOpen(file, *lib, *s)) usleep(2000);  // hold it while the others try
        return 0;
      }));
    for (pid_t pid : copies) ASSERT_EQ(WaitChild(pid), 0);
  }
  EXPECT_EQ(s->wrong.load(), 0);
  munmap(s, sizeof(Shared));
}

TEST(TwoCopies, TwoWritersOfOnePpdEndWithOneWholeVersion) {
  TempDir dir;
  const std::string path = dir / "printer.ppd";
  const PrinterDefinitionList* lists[2] = {&kA, &kB};
  const auto versions = PpdVersions(path, "sample_written.ppd", {&kA, &kB});
  for (int round = 0; round < 20; ++round) {
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w)
      writers.push_back(StartChild([&, w] {
        // Each read sees one whole version, the other writer's or its own.
        auto mine = [&](int count) { return count == 1 || count == 2 ? lists[w] : nullptr; };
        for (int i = 0; i < 10; ++i)
          if (const int failed = Rewrite(path, mine)) return failed;
        return 0;
      }));
    for (pid_t pid : writers) ASSERT_EQ(WaitChild(pid), 0) << "round " << round;
    ASSERT_TRUE(IsOneOf(versions, ReadBytes(path))) << "round " << round;
    ASSERT_EQ(dir.Entries(), Names{"printer.ppd"});
  }
}

}  // namespace
}  // namespace tonalis
