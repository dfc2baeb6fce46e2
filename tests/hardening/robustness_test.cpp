// Faults at every byte and step of a save, files that are not files, links,
// a huge PPD and the longest names: the user is told why, the old file stays
// whole and no temporary file is left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"
#include "support/fault_ops.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;
using Step = FaultOps::Step;

// Every byte count up to 600, then spread over the file, and every step with
// a few errors; each write call lets a different number of bytes through.
std::vector<FaultOps> FaultsFor(size_t size) {
  constexpr int kErrors[] = {ENOSPC, EIO, EDQUOT, EFBIG, EROFS};
  std::vector<FaultOps> faults;
  for (size_t n = 0; n < size; n += n < 600 ? 1 : 211) {
    faults.emplace_back(Step::Write, kErrors[n % 4], n);
    faults.back().chunk = 1 + n % 4096;
  }
  for (Step step : {Step::Create, Step::Chmod, Step::Fsync, Step::Rename})
    for (int error : kErrors) faults.emplace_back(step, error);
  return faults;
}

TEST(Faults, PpdWriteAndLibrarySaveFailingAnywhereLeaveTheFileAndSayWhy) {
  TempDir dir;
  const std::string ppd = dir / "printer.ppd", lib = dir / kLibraryFileName;
  const std::string original = Golden("sample_written.ppd");
  const PrinterDefinitionList list = ListOf({Def("New", 0, Curve(kGamma22))});
  WriteBytes(ppd, original);
  WriteBytes(lib, "");
  ScriptedInteraction ui;
  PrinterDefinitionList read;
  ASSERT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(ppd), read, ui), list, {ui}));
  int injected = 0;
  for (FaultOps& ops : FaultsFor(ReadBytes(ppd).size())) {
    WriteBytes(ppd, original);
    ui.Clear();
    LoadedPpd loaded = MustLoad(std::make_shared<PpdFileTarget>(ppd, ops), read, ui);
    ASSERT_FALSE(SetPPDToneInfo(loaded, list, {ui})) << injected;
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(ops.error));
    ASSERT_EQ(ReadBytes(ppd), original) << injected;
    ASSERT_EQ(dir.Entries(), (std::vector<std::string>{kLibraryFileName, "printer.ppd"}));
    ++injected;
  }
  auto library = std::make_unique<DefinitionLibrary>();
  for (FaultOps& ops : FaultsFor(kLibraryFileBytes)) {
    ui.Clear();
    LibraryFile file(lib, ops);
    ASSERT_TRUE(file.Open(*library, ui));
    InsertDefinition(*library, Standard(), InsertMode::AddMode());
    ASSERT_FALSE(file.Write(*library, ui)) << injected;
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kLibraryWriteFailed});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(ops.error));
    ASSERT_EQ(fs::file_size(lib), 0u);
    ASSERT_EQ(dir.Entries(), (std::vector<std::string>{kLibraryFileName, "printer.ppd"}));
    ++injected;
  }
  std::printf("faults-injected: %d\n", injected);
}

TEST(NotAFile, PipesDevicesAndDanglingLinksAreRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir / "pipe.ppd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  alarm(20);  // reading a pipe nobody writes to would wait for ever
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    ScriptedInteraction ui;
    PrinterDefinitionList list;
    EXPECT_EQ(GetPPDToneInfo(FileTarget(path), list, {ui}).result, kPpdFailed) << path;
    ASSERT_FALSE(ui.shown().empty());
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(EINVAL));
  }
  alarm(0);
  // The library through a link to nothing: string 24, and nothing is made.
  const std::string gone = dir / "elsewhere.dat", link = dir / kLibraryFileName;
  fs::create_symlink(gone, link);
  ScriptedInteraction ui;
  auto library = std::make_unique<DefinitionLibrary>();
  LibraryFile file(link);
  EXPECT_FALSE(file.Open(*library, ui));
  EXPECT_EQ(ui.shown().at(0).detail, SystemReason(ENOENT));
  EXPECT_FALSE(fs::exists(gone));
  WriteBytes(gone, "");  // once it is there, it is saved through the link
  ASSERT_TRUE(file.Open(*library, ui));
  ASSERT_TRUE(file.Write(*library, ui));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::file_size(gone), kLibraryFileBytes);
}

TEST(Hostile, AHugePpdAndAnUnendedNameAreWrittenWhole) {
  TempDir dir;
  const std::string path = dir / "huge.ppd";
  std::string text = "*PPD-Adobe: \"4.3\"\r\n*QRHTUtility: True\r\n";
  while (text.size() < (8u << 20)) text += "*% " + std::string(200, 'f') + "\r\n";
  WriteBytes(path, text + "*% Font Information\r\n");
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  // A 36-byte name from a library goes in whole and comes back as the
  // longest name a PPD definition has.
  DensityDef unended = Standard();
  std::memset(unended.name, 'U', kNameFieldSize);
  LoadedPpd ppd = MustLoad(FileTarget(path), list, ui);
  ASSERT_TRUE(SetPPDToneInfo(ppd, ListOf({unended}), {ui}));
  EXPECT_TRUE(ReadBytes(path) == ComposePpd(ppd.state(), ListOf({unended})).bytes);
  MustLoad(FileTarget(path), list, ui);
  EXPECT_EQ(VisibleNames(list), std::vector<std::string_view>{std::string(32, 'U')});
}

}  // namespace
}  // namespace tonalis
