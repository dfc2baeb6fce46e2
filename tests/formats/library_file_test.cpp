#include "formats/library_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

namespace fs = std::filesystem;
using test::ScriptedInteraction;
using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string_view>;

std::unique_ptr<DefinitionLibrary> NewLibrary() {
  return std::make_unique<DefinitionLibrary>();
}

// --- Images built byte by byte -------------------------------------------

void Put16(Bytes& b, std::size_t at, int16_t v) {
  StoreLE16(&b[at], v);
}
void Put32(Bytes& b, std::size_t at, int32_t v) {
  StoreLE32(&b[at], v);
}

std::size_t SlotAt(int i) {
  return 4 + 264 * static_cast<std::size_t>(i);
}

// A current-format image whose listed slots carry a name and a marker value in
// the cyan 50 % point.
Bytes CurrentImage(int16_t version, int16_t count, std::vector<std::pair<int, std::string>> slots) {
  Bytes b(kLibraryFileBytes, 0);
  Put16(b, 0, version);
  Put16(b, 2, count);
  for (auto& [i, name] : slots) {
    Put32(b, SlotAt(i), 0);
    std::memcpy(&b[SlotAt(i) + 4], name.data(), name.size());
    Put32(b, SlotAt(i) + 40 + 4 * 6, 1000 + i);
  }
  return b;
}

std::size_t OldRecordAt(int i) {
  return 4 + 92 * static_cast<std::size_t>(i);
}

Bytes OldImage(int16_t count, std::vector<std::string> names) {
  Bytes b(kOldLibraryFileBytes, 0);
  Put16(b, 0, 1);
  Put16(b, 2, count);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t at = OldRecordAt(static_cast<int>(i));
    std::memcpy(&b[at], names[i].data(), names[i].size());
    for (int p = 0; p < 13; ++p) Put32(b, at + 36 + 4 * p, p == 0 ? 0 : -1);
    Put32(b, at + 36 + 4 * 12, 10000);
    Put32(b, at + 36 + 4 * 6, 5000 + static_cast<int32_t>(i));  // marker
    Put32(b, at + 88, 220);
  }
  return b;
}

TEST(LibraryImage, CurrentFormatKeepsHolesAndShowsOnlyCountUsedSlots) {
  auto lib = NewLibrary();
  // Five used slots with holes, but a count of 3.
  Bytes image = CurrentImage(2, 3, {{0, "a"}, {2, "b"}, {3, "c"}, {7, "d"}, {9, "e"}});
  EXPECT_EQ(DecodeLibrary(image, *lib), LibraryFormat::Current);
  EXPECT_EQ(lib->count, 3);
  EXPECT_EQ(VisibleNames(*lib), (Names{"a", "b", "c"}));
  EXPECT_EQ(lib->slots[3].channels[kCyan].points[6], 1003);
  // The hidden slots stay in the block and go back out unchanged.
  EXPECT_EQ(NameOf(lib->slots[9]), "e");
  EXPECT_EQ(EncodeLibrary(*lib), image);
}

TEST(LibraryImage, CountIsClampedAndVersionNormalised) {
  auto lib = NewLibrary();
  std::vector<std::pair<int, std::string>> all;
  for (int i = 0; i < 100; ++i) all.emplace_back(i, "n" + std::to_string(i));

  DecodeLibrary(CurrentImage(2, 150, all), *lib);
  EXPECT_EQ(lib->count, 100);
  EXPECT_EQ(VisibleNames(*lib).size(), 100u);
  Bytes out = EncodeLibrary(*lib);
  EXPECT_EQ(LoadLE16(&out[2]), 100);

  DecodeLibrary(CurrentImage(3, 1, {{0, "x"}}), *lib);
  EXPECT_EQ(lib->version, 2);
  EXPECT_EQ(VisibleNames(*lib), (Names{"x"}));
  EXPECT_EQ(LoadLE16(&EncodeLibrary(*lib)[0]), 2);

  // A negative count shows nothing and lets entries be added normally.
  DecodeLibrary(CurrentImage(2, -5, {{0, "x"}}), *lib);
  EXPECT_EQ(lib->count, 0);
  EXPECT_TRUE(VisibleNames(*lib).empty());
  DecodeLibrary(CurrentImage(2, -5, {}), *lib);
  DensityDef d = NewDefinition();
  SetName(d, "y");
  EXPECT_EQ(InsertDefinition(*lib, d, InsertMode::AddMode()), InsertResult::Stored);
  EXPECT_EQ(VisibleNames(*lib), Names{"y"});
}

TEST(LibraryImage, RoundTripKeepsReservedBytesAndBytesAfterNames) {
  Bytes image(kLibraryFileBytes);
  unsigned seed = 12345;
  for (auto& byte : image) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  Put16(image, 0, 2);
  Put16(image, 2, 7);
  auto lib = NewLibrary();
  DecodeLibrary(image, *lib);
  EXPECT_EQ(lib->count, 7);
  EXPECT_EQ(EncodeLibrary(*lib), image);
}

TEST(LibraryImage, NameWithoutTerminatorStaysInsideItsField) {
  Bytes image = CurrentImage(2, 2, {{0, std::string(36, 'N')}, {1, "next"}});
  auto lib = NewLibrary();
  DecodeLibrary(image, *lib);
  EXPECT_EQ(VisibleNames(*lib), (Names{std::string(36, 'N'), "next"}));
  EXPECT_EQ(EncodeLibrary(*lib), image);
}

TEST(LibraryImage, TruncatedFilesReadAsFarAsTheyGo) {
  auto lib = NewLibrary();
  EXPECT_EQ(DecodeLibrary({}, *lib), LibraryFormat::Empty);
  EXPECT_EQ(lib->count, 0);
  EXPECT_EQ(lib->version, 2);

  // One byte: a version of 5 with nothing else; an empty current library.
  const uint8_t one[] = {5};
  EXPECT_EQ(DecodeLibrary(one, *lib), LibraryFormat::Current);
  EXPECT_EQ(lib->count, 0);

  // Cut in the middle of slot 1's name: slot 0 whole, slot 1 named "ab".
  Bytes image = CurrentImage(2, 2, {{0, "first"}, {1, "abcdef"}});
  image.resize(SlotAt(1) + 4 + 2);
  DecodeLibrary(image, *lib);
  EXPECT_EQ(VisibleNames(*lib), (Names{"first", "ab"}));
  EXPECT_EQ(lib->slots[1].channels[kCyan].points[6], 0);
  EXPECT_EQ(lib->slots[0].channels[kCyan].points[6], 1000);

  // An old-format file cut inside its second record's curve.
  Bytes old = OldImage(2, {"one", "two"});
  old.resize(OldRecordAt(1) + 36 + 8);
  EXPECT_EQ(DecodeLibrary(old, *lib), LibraryFormat::Old);
  EXPECT_EQ(VisibleNames(*lib), (Names{"one", "two"}));
  EXPECT_EQ(lib->slots[1].channels[kBlack].points[1], -1);
  EXPECT_EQ(lib->slots[1].channels[kBlack].points[6], 0);
}

TEST(LibraryImage, OldFormatIsConvertedToOneCurveForAllColours) {
  Bytes old = OldImage(2, {"Soft", "Hard"});
  // Bytes after the name in the old record come along with the name field.
  old[OldRecordAt(1) + 30] = 0xAB;
  auto lib = NewLibrary();
  EXPECT_EQ(DecodeLibrary(old, *lib), LibraryFormat::Old);
  EXPECT_EQ(lib->version, 2);
  EXPECT_EQ(lib->count, 2);
  EXPECT_EQ(VisibleNames(*lib), (Names{"Soft", "Hard"}));
  for (int i = 0; i < 2; ++i) {
    const DensityDef& d = lib->slots[i];
    EXPECT_EQ(d.allChannels, 1);
    for (const ToneCurve& c : d.channels) {
      EXPECT_EQ(c, d.channels[kCyan]);
      EXPECT_EQ(c.points[6], 5000 + i);
      EXPECT_EQ(c.gamma, 220);
    }
  }
  EXPECT_EQ(static_cast<uint8_t>(lib->slots[1].name[30]), 0xAB);
  EXPECT_FALSE(IsUsed(lib->slots[2]));

  // Records beyond the count are not converted; a count of 150 means 100.
  Bytes many = OldImage(150, {"a", "b"});
  DecodeLibrary(many, *lib);
  EXPECT_EQ(lib->count, 100);
  old = OldImage(1, {"a", "b"});
  DecodeLibrary(old, *lib);
  EXPECT_FALSE(IsUsed(lib->slots[1]));
  old = OldImage(-1, {"a"});
  DecodeLibrary(old, *lib);
  EXPECT_EQ(lib->count, 0);
  EXPECT_FALSE(IsUsed(lib->slots[0]));
}

// --- The file on disk ------------------------------------------------------

using test::TempDir;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string OpenFailureText(const std::string& path) {
  return "It failed to open a " + path + ".\nThe definition of the density control isn't kept in " +
         path + ".";
}

// Tries to open the library in a separate process, as a second running copy
// would. Returns 0 when it opened, 24 when it was refused with string 24.
int OpenInChild(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    ScriptedInteraction ui;
    auto lib = NewLibrary();
    LibraryFile file(path);
    const bool opened = file.Open(*lib, ui);
    int code = 99;
    if (opened && ui.Empty())
      code = 0;
    if (!opened && ui.Ids() == std::vector<int>{24} && ui.Texts()[0] == OpenFailureText(path))
      code = 24;
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

DensityDef Named(std::string_view name) {
  DensityDef d = NewDefinition();
  SetName(d, name);
  return d;
}

TEST(LibraryFile, MissingFileIsCreatedEmptyAndFirstWriteMakesAFullBlock) {
  TempDir dir;
  const std::string path = dir / "QR_grad.dat";
  ScriptedInteraction ui;
  auto lib = NewLibrary();
  LibraryFile file(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  EXPECT_TRUE(ui.Empty());
  EXPECT_EQ(lib->count, 0);
  EXPECT_EQ(file.format(), LibraryFormat::Empty);
  EXPECT_EQ(fs::file_size(path), 0u);

  ASSERT_EQ(InsertDefinition(*lib, Named("Standard"), InsertMode::AddMode()), InsertResult::Stored);
  ASSERT_TRUE(file.Write(*lib, ui));
  EXPECT_TRUE(ui.Empty());
  EXPECT_EQ(ReadFile(path), EncodeLibrary(*lib));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"QR_grad.dat"});
}

TEST(LibraryFile, OldFormatStaysOldUntilWritten) {
  TempDir dir;
  const std::string path = dir / "QR_grad.dat";
  const Bytes old = OldImage(2, {"Soft", "Hard"});
  WriteFile(path, old);
  ScriptedInteraction ui;
  auto lib = NewLibrary();
  {
    LibraryFile file(path);
    ASSERT_TRUE(file.Open(*lib, ui));
    EXPECT_EQ(file.format(), LibraryFormat::Old);
    EXPECT_EQ(VisibleNames(*lib), (Names{"Soft", "Hard"}));
  }
  EXPECT_EQ(ReadFile(path), old);

  LibraryFile file(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  ASSERT_TRUE(file.Write(*lib, ui));
  const Bytes now = ReadFile(path);
  ASSERT_EQ(now.size(), kLibraryFileBytes);
  EXPECT_EQ(LoadLE16(&now[0]), 2);
  auto again = NewLibrary();
  EXPECT_EQ(DecodeLibrary(now, *again), LibraryFormat::Current);
  EXPECT_EQ(VisibleNames(*again), (Names{"Soft", "Hard"}));
  EXPECT_EQ(again->slots[1].allChannels, 1);
  EXPECT_EQ(again->slots[1].channels[kYellow].points[6], 5001);
}

TEST(LibraryFile, SecondOpenerIsRefusedWhileTheFirstHoldsTheFile) {
  TempDir dir;
  const std::string path = dir / "QR_grad.dat";
  WriteFile(path, CurrentImage(2, 1, {{0, "kept"}}));
  ScriptedInteraction ui;
  auto lib = NewLibrary();
  LibraryFile first(path);
  ASSERT_TRUE(first.Open(*lib, ui));

  EXPECT_EQ(OpenInChild(path), 24);

  // Within one process a second opener is a second open file, refused too;
  // its library is left empty.
  auto other = NewLibrary();
  LibraryFile second(path);
  EXPECT_FALSE(second.Open(*other, ui));
  EXPECT_EQ(ui.Ids(), std::vector<int>{24});
  EXPECT_EQ(ui.shown()[0].kind, MessageKind::Information);
  EXPECT_EQ(other->count, 0);
  // ... and every save it attempts says so.
  ui.Clear();
  EXPECT_FALSE(second.Write(*other, ui));
  ASSERT_EQ(ui.Ids(), std::vector<int>{28});
  EXPECT_EQ(ui.Texts()[0], "It failed to write a " + path + " file.");
  EXPECT_TRUE(ui.shown()[0].detail.empty());

  first.Close();
  EXPECT_EQ(OpenInChild(path), 0);
}

TEST(LibraryFile, WriteKeepsTheLockAcrossTheReplacement) {
  TempDir dir;
  const std::string path = dir / "QR_grad.dat";
  ScriptedInteraction ui;
  auto lib = NewLibrary();
  LibraryFile file(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  struct stat oldStat;
  ASSERT_EQ(stat(path.c_str(), &oldStat), 0);

  ASSERT_EQ(InsertDefinition(*lib, Named("one"), InsertMode::AddMode()), InsertResult::Stored);
  ASSERT_TRUE(file.Write(*lib, ui));
  struct stat newStat;
  ASSERT_EQ(stat(path.c_str(), &newStat), 0);
  EXPECT_NE(newStat.st_ino, oldStat.st_ino);  // really replaced
  EXPECT_EQ(OpenInChild(path), 24);

  ASSERT_TRUE(file.Write(*lib, ui));
  EXPECT_EQ(OpenInChild(path), 24);
  file.Close();
  EXPECT_EQ(OpenInChild(path), 0);
}

TEST(LibraryFile, ReadOnlyFileAsksFirst) {
  TempDir dir;
  const std::string path = dir / "QR_grad.dat";
  WriteFile(path, CurrentImage(2, 1, {{0, "kept"}}));
  chmod(path.c_str(), 0444);
  auto lib = NewLibrary();

  {
    ScriptedInteraction ui;
    ui.Answer(false);
    LibraryFile file(path);
    EXPECT_FALSE(file.Open(*lib, ui));
    EXPECT_EQ(ui.Ids(), (std::vector<int>{82, 24}));
    EXPECT_EQ(ui.shown()[0].kind, MessageKind::Proceed);
    EXPECT_EQ(lib->count, 0);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);
    ui.Clear();
    EXPECT_FALSE(file.Write(*lib, ui));
    EXPECT_EQ(ui.Ids(), std::vector<int>{28});
  }
  {
    ScriptedInteraction ui;
    ui.Answer(true);
    LibraryFile file(path);
    EXPECT_TRUE(file.Open(*lib, ui));
    EXPECT_EQ(ui.Ids(), std::vector<int>{82});
    EXPECT_EQ(VisibleNames(*lib), Names{"kept"});
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
  }
}

TEST(LibraryFile, SavesToTheFileOpenedEvenAfterTheDirectoryChanges) {
  TempDir dir;
  TempDir elsewhere;
  const fs::path start = fs::current_path();
  fs::current_path(dir.path());
  ScriptedInteraction ui;
  auto lib = NewLibrary();
  LibraryFile file;  // the bare default name
  ASSERT_TRUE(file.Open(*lib, ui));
  fs::current_path(elsewhere.path());
  ASSERT_EQ(InsertDefinition(*lib, Named("x"), InsertMode::AddMode()), InsertResult::Stored);
  const bool written = file.Write(*lib, ui);
  fs::current_path(start);
  ASSERT_TRUE(written);
  EXPECT_EQ(fs::file_size(dir / kLibraryFileName), kLibraryFileBytes);
  EXPECT_TRUE(elsewhere.Entries().empty());
}

// File operations that fail at one chosen step.
class FaultyOps : public FileOps {
 public:
  enum Step { kWrite, kWriteAfter, kSync, kRename };
  FaultyOps(Step step, int error, std::size_t after = 0)
      : step_(step), error_(error), after_(after) {}

  ssize_t Write(int fd, const void* data, size_t size) override {
    if (step_ == kWrite)
      return Fail();
    if (step_ == kWriteAfter) {
      if (written_ >= after_)
        return Fail();
      size = std::min(size, after_ - written_);
      const ssize_t n = FileOps::Write(fd, data, size);
      if (n > 0)
        written_ += static_cast<std::size_t>(n);
      return n;
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return step_ == kSync ? Fail() : FileOps::Fsync(fd); }
  int Rename(const char* from, const char* to) override {
    return step_ == kRename ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = error_;
    return -1;
  }
  Step step_;
  int error_;
  std::size_t after_;
  std::size_t written_ = 0;
};

TEST(LibraryFile, FailedSaveReportsTheReasonAndLeavesTheOldFile) {
  struct Case {
    FaultyOps::Step step;
    int error;
    std::size_t after;
  };
  const Case cases[] = {{FaultyOps::kWrite, ENOSPC, 0},
                        {FaultyOps::kWriteAfter, ENOSPC, 4096},
                        {FaultyOps::kSync, EIO, 0},
                        {FaultyOps::kRename, EIO, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    TempDir dir;
    const std::string path = dir / "QR_grad.dat";
    const Bytes original = CurrentImage(2, 1, {{0, "kept"}});
    WriteFile(path, original);
    FaultyOps ops(c.step, c.error, c.after);
    ScriptedInteraction ui;
    auto lib = NewLibrary();
    LibraryFile file(path, ops);
    ASSERT_TRUE(file.Open(*lib, ui));
    ASSERT_EQ(InsertDefinition(*lib, Named("new"), InsertMode::AddMode()), InsertResult::Stored);

    EXPECT_FALSE(file.Write(*lib, ui));
    ASSERT_EQ(ui.Ids(), std::vector<int>{28});
    EXPECT_EQ(ui.Texts()[0], "It failed to write a " + path + " file.");
    EXPECT_EQ(ui.shown()[0].detail, SystemReason(c.error));
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"QR_grad.dat"});
    // The library is still held.
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(OpenInChild(path), 24);
  }
}

}  // namespace
}  // namespace tonalis
