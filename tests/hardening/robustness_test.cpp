// Faults at every byte and step of a save: the user is told why, the old file
// stays whole and no temporary file is left. A pipe is refused at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/library_file.h"
#include "support/fixtures.h"
#include "support/fault_ops.h"

namespace tonalis {
namespace {

using namespace test;
using Step = FaultOps::Step;

// Every byte count up to 600, then spread over the file, and every step with a few errors;
// each write call lets a different number of bytes through.
std::vector<FaultOps> FaultsFor(size_t size) {
  constexpr int kErrors[] = {ENOSPC, EIO, EDQUOT, EFBIG, EROFS};
  std::vector<FaultOps> faults;
  for (size_t n = 0; n < size; n += n < 600 ? 1 : 211)
    faults.emplace_back(Step::Write, kErrors[n % 4], n).chunk = 1 + n % 4096;
  for (Step step : {Step::Create, Step::Chmod, Step::Fsync, Step::Rename})
    for (int error : kErrors) faults.emplace_back(step, error);
  return faults;
}

TEST(Faults, PpdWriteAndLibrarySaveFailingAnywhereLeaveTheFileAndSayWhy) {
  TempDir dir;
  const std::string ppd = dir / "printer.ppd", lib = dir / kLibraryFileName;
  const std::string original = Golden("sample_written.ppd");
  const PrinterDefinitionList list = ListOf({Def("New", 0, Curve(kGamma22))});
  WriteBytes(lib, "");
  ScriptedInteraction ui;
  // The one message, with the system's reason, and the folder as it was.
  auto failed = [&](bool written, int id, const FaultOps& ops) {
    const bool told = !written && ui.Ids() == std::vector<int>{id} &&
                      ui.shown()[0].detail == SystemReason(ops.error);
    ui.Clear();
    return told && dir.Entries() == Names{kLibraryFileName, "printer.ppd"};
  };
  PrinterDefinitionList read;
  WriteBytes(ppd, original);
  ASSERT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(ppd), read, ui), list, {ui}));
  for (FaultOps& ops : FaultsFor(ReadBytes(ppd).size())) {
    WriteBytes(ppd, original);
    ui.Clear();
    LoadedPpd loaded = MustLoad(std::make_shared<PpdFileTarget>(ppd, ops), read, ui);
    ASSERT_TRUE(failed(SetPPDToneInfo(loaded, list, {ui}), sid::kPpdWriteFailed, ops)) << ops.budget;
    ASSERT_EQ(ReadBytes(ppd), original) << ops.budget;
  }
  auto library = std::make_unique<DefinitionLibrary>();
  for (FaultOps& ops : FaultsFor(kLibraryFileBytes)) {
    LibraryFile file(lib, ops);
    ASSERT_TRUE(file.Open(*library, ui));
    InsertDefinition(*library, Standard(), InsertMode::AddMode());
    ASSERT_TRUE(failed(file.Write(*library, ui), sid::kLibraryWriteFailed, ops)) << ops.budget;
    ASSERT_EQ(ReadBytes(lib), "") << ops.budget;
  }
}

TEST(NotAFile, APipeIsRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir / "pipe.ppd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  alarm(20);  // reading a pipe nobody writes to would wait for ever
  ScriptedInteraction ui;
  PrinterDefinitionList list;
  EXPECT_EQ(GetPPDToneInfo(FileTarget(fifo), list, {ui}).result, kPpdFailed);
  alarm(0);
  ASSERT_FALSE(ui.shown().empty());
  EXPECT_EQ(ui.shown()[0].detail, SystemReason(EINVAL));
}

}  // namespace
}  // namespace tonalis
