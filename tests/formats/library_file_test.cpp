// The library file: images of both formats however damaged, and the file held by one copy.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "formats/definition_json.h"
#include "support/fault_ops.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// An image of `size` bytes with version and count, and names at the given
// slots (record size 264 for the current format, 92 for the old one); each
// named record carries 1000 + slot in its cyan 50 % point.
Bytes Image(std::size_t size, int16_t version, int16_t count,
            std::vector<std::pair<int, std::string>> names) {
  const bool old = version < kLibraryVersion;
  Bytes b(std::max<std::size_t>(size, old ? kOldLibraryFileBytes : kLibraryFileBytes), 0);
  StoreLE16(&b[0], version), StoreLE16(&b[2], count);
  for (auto& [i, name] : names) {
    const std::size_t at = old ? 4 + 92 * i : 4 + 264 * i, curve = at + (old ? 36 : 40);
    std::memcpy(&b[at + (old ? 0 : 4)], name.data(), name.size());
    for (int p = 0; p < kPointCount; ++p) StoreLE32(&b[curve + 4 * p], p == 6 ? 1000 + i : -1);
  }
  b.resize(size);
  return b;
}
std::unique_ptr<DefinitionLibrary> Decoded(const Bytes& image, LibraryFormat* format = nullptr) {
  auto lib = std::make_unique<DefinitionLibrary>();
  const LibraryFormat f = DecodeLibrary(image, *lib);
  if (format) *format = f;
  return lib;
}

// The cases are in library_images.json.
TEST(LibraryImage, DecodesEveryShapeOfFile) {
  const std::map<std::string, LibraryFormat> formats = {{"Empty", LibraryFormat::Empty},
      {"Current", LibraryFormat::Current}, {"Old", LibraryFormat::Old}};
  const cli::Json cases = cli::Json::parse(Golden("library_images.json"));
  for (const cli::Json& c : cases["images"]) {
    SCOPED_TRACE(c[0].get<std::string>());
    LibraryFormat format;
    auto lib = Decoded(Image(c[1], c[2], c[3], c[4]), &format);
    EXPECT_EQ(format, formats.at(c[5]));
    EXPECT_EQ(lib->version, kLibraryVersion);
    EXPECT_EQ(lib->count, c[6].get<int>());
    EXPECT_EQ(cli::Json(VisibleNames(*lib)), c[7]);
    // Saving gives one current-format block that reads back the same.
    const Bytes out = EncodeLibrary(*lib);
    ASSERT_EQ(out.size(), kLibraryFileBytes);
    EXPECT_EQ(std::memcmp(Decoded(out).get(), lib.get(), sizeof(DefinitionLibrary)), 0);
  }
  // An old record serves all four colours; a cut-off one reads as zeros.
  auto old = Decoded(Image(4 + 92 + 44, 1, 2, {{0, "one"}, {1, "two"}}));
  EXPECT_TRUE(old->slots[0].allChannels == 1 && old->slots[0].channels[kBlack].points[6] == 1000);
  EXPECT_EQ(old->slots[1].channels[kBlack].points[6], 0);
  EXPECT_EQ(Decoded(Image(kOldLibraryFileBytes, 1, 1, {{0, "a"}, {1, "b"}}))->slots[1].name[0], 0);
}

TEST(LibraryImage, RoundTripKeepsEveryByte) {
  Bytes image(kLibraryFileBytes);
  unsigned seed = 12345;
  for (auto& byte : image) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  StoreLE16(&image[0], 2), StoreLE16(&image[2], 7);
  EXPECT_EQ(EncodeLibrary(*Decoded(image)), image);
}

// Opens the library in another process, as a second running copy would:
// 0 when it opened, 24 when string 24 refused it.
int OpenInChild(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    ScriptedInteraction ui;
    auto lib = std::make_unique<DefinitionLibrary>();
    const bool opened = LibraryFile(path).Open(*lib, ui);
    _exit(opened && ui.Empty() ? 0 : !opened && ui.Ids() == std::vector<int>{24} ? 24 : 99);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LibraryFile, TheDefaultLibraryFollowsXdgDataHome) {
  EXPECT_EQ(UserDataFolderFor("/data/", "/home/u"), "/data/tonalis");
  EXPECT_EQ(UserDataFolderFor("relative", "/home/u/"), "/home/u/.local/share/tonalis");
  EXPECT_EQ(UserDataFolderFor("", "/home/u"), "/home/u/.local/share/tonalis");
  EXPECT_EQ(UserDataFolderFor(nullptr, "/"), "/.local/share/tonalis");
}

TEST(LibraryFile, IsHeldByOneCopyAndReplacedUnderItsLock) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  const Bytes old = Image(kOldLibraryFileBytes, 1, 1, {{0, "Soft"}});
  WriteBytes(path, std::string(old.begin(), old.end()));
  ScriptedInteraction ui;
  auto lib = std::make_unique<DefinitionLibrary>();
  LibraryFile file(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  EXPECT_EQ(file.format(), LibraryFormat::Old);
  EXPECT_EQ(OpenInChild(path), 24);
  LibraryFile second(path);  // a second opener in the same process too
  auto other = std::make_unique<DefinitionLibrary>();
  EXPECT_FALSE(second.Open(*other, ui));
  EXPECT_FALSE(second.Write(*other, ui));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{24, 28}));
  EXPECT_EQ(ui.Texts()[1], "It failed to write a " + path + " file.");
  // A save replaces the file and goes on holding the new one.
  ASSERT_TRUE(file.Write(*lib, ui));
  EXPECT_EQ(ReadBytes(path).size(), kLibraryFileBytes);
  EXPECT_EQ(OpenInChild(path), 24);
  file.Close();
  EXPECT_EQ(OpenInChild(path), 0);
}

TEST(LibraryFile, ReadOnlyFileAsksFirstAndSavesGoWhereItWasOpened) {
  TempDir dir, elsewhere;
  const std::string path = dir / kLibraryFileName;
  WriteBytes(path, "");
  chmod(path.c_str(), 0444);
  auto lib = std::make_unique<DefinitionLibrary>();
  ScriptedInteraction ui;
  ui.Answer(false).Answer(true);
  const fs::path start = fs::current_path();
  fs::current_path(dir.path());
  LibraryFile file;  // the bare default name
  EXPECT_FALSE(file.Open(*lib, ui));
  EXPECT_TRUE(file.Open(*lib, ui));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{82, 24, 82}));
  fs::current_path(elsewhere.path());
  const bool written = file.Write(*lib, ui);
  fs::current_path(start);
  EXPECT_TRUE(written);
  EXPECT_EQ(fs::file_size(path), kLibraryFileBytes);
  EXPECT_TRUE(elsewhere.Entries().empty());
}

// Every step of a failing save is in the hardening tests; here the lock.
TEST(LibraryFile, AFailedSaveKeepsTheOldFileHeld) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  WriteBytes(path, "");
  FaultOps ops(FaultOps::Step::Rename, EIO);
  ScriptedInteraction ui;
  auto lib = std::make_unique<DefinitionLibrary>();
  LibraryFile file(path, ops);
  ASSERT_TRUE(file.Open(*lib, ui));
  EXPECT_FALSE(file.Write(*lib, ui));
  EXPECT_EQ(ui.Ids(), std::vector<int>{28});
  EXPECT_EQ(OpenInChild(path), 24);
}

// Opening a missing library makes no file; the first save does, unless
// another program has made one since, which is then left alone.
TEST(LibraryFile, AMissingFileIsMadeByTheFirstSaveOnly) {
  TempDir dir;
  const std::string path = dir / kLibraryFileName;
  ScriptedInteraction ui;
  auto lib = std::make_unique<DefinitionLibrary>();
  LibraryFile file(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  EXPECT_TRUE(dir.Entries().empty());
  EXPECT_EQ(OpenInChild(path), 24);  // held all the same
  WriteBytes(path, "theirs");
  EXPECT_FALSE(file.Write(*lib, ui));
  EXPECT_EQ(ui.Ids(), std::vector<int>{28});
  EXPECT_EQ(ReadBytes(path), "theirs");
  file.Close();
  fs::remove(path);
  ASSERT_TRUE(file.Open(*lib, ui));
  ASSERT_TRUE(file.Write(*lib, ui));
  EXPECT_EQ(fs::file_size(path), kLibraryFileBytes);
  EXPECT_EQ(OpenInChild(path), 24);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{kLibraryFileName});
}

}  // namespace
}  // namespace tonalis::test
