// Temporary files, links and files that are not files: what a killed writer
// leaves is cleared by the next start, no file is created through a link, and
// a pipe or device named as a PPD is refused instead of read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"

namespace tonalis {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A temporary file as a killed writer leaves it: our name pattern, partly
// written, nobody holding it.
std::string LeaveTemporary(const ScratchDir& dir, const std::string& of, const char* x6) {
  const std::string name = "." + of + "." + x6 + kTempSuffix;
  WriteBytes(dir.File(name), "half a fi");
  return name;
}

// An open file holding the writer's lock, as a running writer does.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~HeldFile() { close(fd_); }

 private:
  int fd_;
};

TEST(StaleTemporaries, TheNextStartRemovesWhatNobodyHoldsAndNothingElse) {
  ScratchDir dir;
  const std::string ppd = dir.File("printer.ppd");
  WriteBytes(ppd, Golden("sample_written.ppd"));
  LeaveTemporary(dir, "printer.ppd", "a1B2c3");
  const std::string held = LeaveTemporary(dir, "printer.ppd", "ZZZZZZ");
  HeldFile writer(dir.File(held));
  // Lookalikes that are not ours stay: another file's, a longer name, a link.
  LeaveTemporary(dir, "other.ppd", "a1B2c3");
  WriteBytes(dir.File(".printer.ppd.a1B2c3.tonalis-tmp.keep"), "x");
  fs::create_symlink("printer.ppd", dir.File(".printer.ppd.LINK00.tonalis-tmp"));

  ScriptedInteraction ui;
  PrinterDefinitionList list;
  MustLoad(FileTarget(ppd), list, ui);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{".other.ppd.a1B2c3.tonalis-tmp",
                                                     ".printer.ppd.LINK00.tonalis-tmp",
                                                     ".printer.ppd.ZZZZZZ.tonalis-tmp",
                                                     ".printer.ppd.a1B2c3.tonalis-tmp.keep",
                                                     "printer.ppd"}));
  EXPECT_EQ(ReadBytes(ppd), Golden("sample_written.ppd"));
}

TEST(StaleTemporaries, LibraryOpenAndEveryReplacementClearThem) {
  ScratchDir dir;
  const std::string lib = dir.File(kLibraryFileName);
  LeaveTemporary(dir, kLibraryFileName, "Qw3rty");
  ScriptedInteraction ui;
  auto library = std::make_unique<DefinitionLibrary>();
  {
    LibraryFile file(lib);
    ASSERT_TRUE(file.Open(*library, ui));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});
  }
  const std::string data = dir.File("data");
  WriteBytes(data, "old");
  LeaveTemporary(dir, "data", "000000");
  const std::string bytes = "new";
  ASSERT_TRUE(ReplaceFileContents(
                  data, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()})
                  .ok);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{kLibraryFileName, "data"}));
}

TEST(Links, AreFollowedToAFileThatExistsButNeverCreateOne) {
  ScratchDir dir;
  fs::create_directory(dir.File("elsewhere"));
  const std::string gone = dir.File("elsewhere/QR_grad.dat");
  const std::string link = dir.File(kLibraryFileName);
  fs::create_symlink(gone, link);

  // The library through a dangling link: string 24 with the reason, nothing made.
  ScriptedInteraction ui;
  auto library = std::make_unique<DefinitionLibrary>();
  LibraryFile file(link);
  EXPECT_FALSE(file.Open(*library, ui));
  ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kLibraryOpenFailed});
  EXPECT_EQ(ui.shown()[0].detail, SystemReason(ENOENT));
  EXPECT_FALSE(fs::exists(gone));

  // Any replacement through it is refused the same way.
  const ReplaceResult r = ReplaceFileContents(link, {});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, ENOENT);
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_TRUE(fs::is_empty(dir.File("elsewhere")));

  // Once the file is there, the library is read and saved through the link,
  // which stays a link; the new file is made beside the real one.
  ui.Clear();
  EmptyTable(*library);
  library->version = kLibraryVersion;
  WriteBytes(gone, "");
  ASSERT_TRUE(file.Open(*library, ui));
  InsertDefinition(*library, Standard(), InsertMode::AddMode());
  ASSERT_TRUE(file.Write(*library, ui));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::file_size(gone), kLibraryFileBytes);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{kLibraryFileName, "elsewhere"}));
}

TEST(NotAFile, APipeOrDeviceNamedAsPpdIsRefusedAtOnce) {
  ScratchDir dir;
  const std::string fifo = dir.File("pipe.ppd");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Reading a pipe nobody writes to would wait for ever.
  alarm(20);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    ScriptedInteraction ui;
    PrinterDefinitionList list;
    const PpdReadOutcome out = GetPPDToneInfo(FileTarget(path), list, {ui});
    EXPECT_EQ(out.result, kPpdFailed);
    ASSERT_FALSE(ui.shown().empty());
    EXPECT_EQ(ui.shown()[0].stringId, sid::kPpdOpenFailed);
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(EINVAL));
  }
  alarm(0);
}

}  // namespace
}  // namespace tonalis
