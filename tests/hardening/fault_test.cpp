// Faults injected into file replacement, at every byte count and every step,
// for the PPD writer and the library: the user sees the failure message with
// the system's reason, the original file is intact, no temporary file stays.
// Writes that are cut short or interrupted still give the whole new file.
#include <gtest/gtest.h>

#include <memory>

#include "formats/library_file.h"
#include "formats/ppd_fixtures.h"

namespace tonalis {
namespace {

using namespace test;

// Fails a replacement as configured: the write after `budget` bytes, or one
// step; each write call passes at most `chunk` bytes and every other call
// is interrupted (EINTR) when `interrupt` is set.
class FaultOps : public FileOps {
 public:
  enum class Step { None, Write, Fsync, Rename, Chmod, Create };
  Step step = Step::None;
  int error = EIO;
  size_t budget = 0;
  size_t chunk = SIZE_MAX;
  bool interrupt = false;
  int writeCalls = 0;

  int CreateTemp(std::string& pattern, int suffix) override {
    return step == Step::Create ? Fail() : FileOps::CreateTemp(pattern, suffix);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    ++writeCalls;
    if (interrupt && writeCalls % 2 == 1) {
      errno = EINTR;
      return -1;
    }
    size = std::min(size, chunk);
    if (step == Step::Write) {
      if (budget == 0) return Fail();
      size = std::min(size, budget);
      budget -= size;
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return step == Step::Fsync ? Fail() : FileOps::Fsync(fd); }
  int Fchmod(int fd, mode_t mode) override {
    return step == Step::Chmod ? Fail() : FileOps::Fchmod(fd, mode);
  }
  int Rename(const char* from, const char* to) override {
    return step == Step::Rename ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = error;
    return -1;
  }
};

// Byte counts to fail at: every one up to 600, then spread over the rest.
std::vector<size_t> FailurePoints(size_t size) {
  std::vector<size_t> points;
  for (size_t n = 0; n < size; n += n < 600 ? 1 : 211) points.push_back(n);
  points.push_back(size - 1);
  return points;
}

constexpr int kErrors[] = {ENOSPC, EIO, EDQUOT, EFBIG};

TEST(Faults, PpdWriteFailingAtAnyByteOrStepLeavesTheFileAndSaysWhy) {
  ScratchDir dir;
  const std::string path = dir.File("printer.ppd");
  const std::string original = Golden("sample_written.ppd");
  const PrinterDefinitionList list =
      ListOf({Def("New", 0, {Curve(kGamma22), Curve(kIdentity), Curve(Ends(0, 9000)),
                             Curve(Ends(100, 10000))})});
  // The size of the file the writer makes.
  WriteBytes(path, original);
  size_t newSize = 0;
  {
    ScriptedInteraction ui;
    PrinterDefinitionList read;
    ASSERT_TRUE(SetPPDToneInfo(MustLoad(FileTarget(path), read, ui), list, {ui}));
    newSize = ReadBytes(path).size();
  }

  auto attempt = [&](FaultOps& ops) {
    WriteBytes(path, original);
    ScriptedInteraction ui;
    PrinterDefinitionList read;
    LoadedPpd ppd = MustLoad(std::make_shared<PpdFileTarget>(path, ops), read, ui);
    ui.Clear();
    EXPECT_FALSE(SetPPDToneInfo(ppd, list, {ui}));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kPpdWriteFailed});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(ops.error));
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"printer.ppd"});
  };

  int injected = 0;
  for (size_t n : FailurePoints(newSize)) {
    SCOPED_TRACE("failing after " + std::to_string(n) + " bytes");
    FaultOps ops;
    ops.step = FaultOps::Step::Write;
    ops.budget = n;
    ops.error = kErrors[n % 4];
    ops.chunk = 1 + n % 4096;  // short writes of varying length on the way
    attempt(ops);
    ++injected;
  }
  for (auto step : {FaultOps::Step::Create, FaultOps::Step::Chmod, FaultOps::Step::Fsync,
                    FaultOps::Step::Rename}) {
    for (int error : {EIO, ENOSPC, EACCES, EXDEV, EROFS}) {
      FaultOps ops;
      ops.step = step;
      ops.error = error;
      attempt(ops);
      ++injected;
    }
  }
  std::printf("faults-injected: ppd-write=%d (file of %zu bytes)\n", injected, newSize);
}

TEST(Faults, LibrarySaveFailingAtAnyByteOrStepLeavesTheFileAndSaysWhy) {
  ScratchDir dir;
  const std::string path = dir.File(kLibraryFileName);
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  library->version = kLibraryVersion;
  InsertDefinition(*library, Def("Kept", 1, Curve(kGamma22)), InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  const std::string original(image.begin(), image.end());

  int injected = 0;
  auto attempt = [&](FaultOps& ops) {
    WriteBytes(path, original);
    ScriptedInteraction ui;
    auto lib = std::make_unique<DefinitionLibrary>();
    LibraryFile file(path, ops);
    ASSERT_TRUE(file.Open(*lib, ui));
    InsertDefinition(*lib, Def("Added", 0, Curve(kIdentity)), InsertMode::AddMode());
    EXPECT_FALSE(file.Write(*lib, ui));
    ASSERT_EQ(ui.Ids(), std::vector<int>{sid::kLibraryWriteFailed});
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(ops.error));
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});
    EXPECT_TRUE(file.isOpen());
    ++injected;
  };
  for (size_t n : FailurePoints(kLibraryFileBytes)) {
    SCOPED_TRACE("failing after " + std::to_string(n) + " bytes");
    FaultOps ops;
    ops.step = FaultOps::Step::Write;
    ops.budget = n;
    ops.error = kErrors[n % 4];
    ops.chunk = 1 + n % 8192;
    attempt(ops);
  }
  for (auto step : {FaultOps::Step::Create, FaultOps::Step::Chmod, FaultOps::Step::Fsync,
                    FaultOps::Step::Rename}) {
    for (int error : {EIO, ENOSPC, EACCES, EXDEV, EROFS}) {
      FaultOps ops;
      ops.step = step;
      ops.error = error;
      attempt(ops);
    }
  }
  std::printf("faults-injected: library-save=%d (file of %zu bytes)\n", injected,
              kLibraryFileBytes);
}

TEST(Faults, ShortAndInterruptedWritesStillGiveTheWholeFile) {
  ScratchDir dir;
  const std::string path = dir.File("data");
  std::string bytes(100000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  for (size_t chunk : {size_t{1}, size_t{3}, size_t{4095}, size_t{65536}}) {
    WriteBytes(path, "old");
    FaultOps ops;
    ops.chunk = chunk;
    ops.interrupt = true;
    const ReplaceResult r = ReplaceFileContents(
        path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, {}, ops);
    ASSERT_TRUE(r.ok) << chunk << ": " << r.failedStep;
    EXPECT_EQ(ReadBytes(path), bytes) << chunk;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"data"});
  }
}

}  // namespace
}  // namespace tonalis
