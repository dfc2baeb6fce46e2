// Replacing a file's contents safely: mode, links, failing steps and stale temporaries.
#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "support/fault_ops.h"
#include "support/fixtures.h"

namespace tonalis::test {
namespace {

namespace fs = std::filesystem;
using Step = FaultOps::Step;
ReplaceResult Replace(const std::string& p, const std::string& s, FileOps& ops = SystemFileOps(),
                      const ReplaceOptions& o = {}) {
  return ReplaceFileContents(p, {reinterpret_cast<const uint8_t*>(s.data()), s.size()}, o, ops);
}
mode_t ModeOf(const std::string& p) { return static_cast<mode_t>(fs::status(p).permissions()); }

TEST(ReplaceFileContents, KeepsModeAndLinksAndNeverCreatesThroughADanglingLink) {
  TempDir dir;
  fs::create_directory(dir / "real");
  const std::string target = dir / "real/target", link = dir / "link";
  WriteBytes(target, "old contents, longer than the new");
  chmod(target.c_str(), 0640);
  fs::create_symlink("real/target", link);
  ASSERT_TRUE(Replace(link, "new").ok);
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(TempDir::Entries(dir / "real"), Names{"target"});
  const mode_t saved = umask(027);
  EXPECT_TRUE(Replace(dir / "fresh", "x").ok);
  umask(saved);
  EXPECT_EQ(ModeOf(dir / "fresh"), 0640u);
  fs::create_symlink("real/gone", dir / "dangling");
  EXPECT_EQ(Replace(dir / "dangling", "x").error, ENOENT);
  EXPECT_FALSE(fs::exists(dir / "real/gone"));
}

TEST(ReplaceFileContents, EveryFailingStepLeavesTheOldFileAndNoTemporary) {
  struct Case { FaultOps ops; const char* step; int error; } cases[] = {
      {{Step::Create, EIO}, "create", EIO},  {{Step::Chmod, EACCES}, "chmod", EACCES},
      {{Step::Write, EIO}, "write", EIO},    {{Step::Write, EDQUOT, 5}, "write", EDQUOT},
      {{}, "write", ENOSPC},                 {{Step::Fsync, EIO}, "sync", EIO},
      {{Step::Rename, EXDEV}, "rename", EXDEV},
  };
  cases[4].ops.chunk = 0;  // a write that takes nothing: the disk is full
  for (Case& c : cases) {
    SCOPED_TRACE(c.step);
    TempDir dir;
    WriteBytes(dir / "f", "old");
    int kept = -1;
    const ReplaceResult r = Replace(dir / "f", "new contents", c.ops, {.keepOpenFd = &kept});
    EXPECT_TRUE(!r.ok && r.failedStep == c.step && r.error == c.error && kept == -1) << r.error;
    EXPECT_EQ(ReadBytes(dir / "f"), "old");
    EXPECT_EQ(dir.Entries(), Names{"f"});
  }
}

TEST(ReplaceFileContents, ShortAndInterruptedWritesStillGiveTheWholeFile) {
  TempDir dir;
  std::string bytes;
  for (size_t i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7 + i / 256);
  for (size_t chunk : {size_t{1}, size_t{4095}, size_t{65536}}) {
    FaultOps ops;
    ops.chunk = chunk, ops.interrupt = true;
    ASSERT_TRUE(Replace(dir / "data", bytes, ops).ok) << chunk;
    EXPECT_EQ(ReadBytes(dir / "data"), bytes);
    EXPECT_EQ(dir.Entries(), Names{"data"});
  }
}

TEST(StaleTemporaries, EveryReplacementRemovesWhatNobodyHoldsAndNothingElse) {
  TempDir dir;
  WriteBytes(dir / "f", "old");
  for (const char* name : {".f.a1B2c3.tonalis-tmp", ".f.ZZZZZZ.tonalis-tmp",
                           ".other.a1B2c3.tonalis-tmp", ".f.a1B2c3.tonalis-tmp.keep"})
    WriteBytes(dir / name, "half a fi");
  fs::create_symlink("f", dir / ".f.LINK00.tonalis-tmp");
  // A writer at work holds its temporary file locked.
  const int held = open((dir / ".f.ZZZZZZ.tonalis-tmp").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  ASSERT_TRUE(Replace(dir / "f", "new").ok);
  close(held);
  EXPECT_EQ(dir.Entries(), (Names{".f.LINK00.tonalis-tmp", ".f.ZZZZZZ.tonalis-tmp",
                                  ".f.a1B2c3.tonalis-tmp.keep", ".other.a1B2c3.tonalis-tmp", "f"}));
  EXPECT_EQ(RemoveStaleTemporaries(dir / "f"), 1);
}

TEST(StaleTemporaries, LongNamesGetShortenedTemporariesThatStayTheirOwn) {
  // Two 250-byte names alike in their first 240 bytes: each replacement
  // removes its own stale temporary only, and every name fits.
  TempDir dir;
  const std::string a = std::string(240, 'n') + "aaaaaaaaaa";
  const std::string b = std::string(240, 'n') + "bbbbbbbbbb";
  for (const std::string& name : {a, b}) {
    WriteBytes(dir / name, "old");
    WriteBytes(dir / (TemporaryStem(name) + "a1B2c3" + kTempSuffix), "half");
  }
  EXPECT_NE(TemporaryStem(a), TemporaryStem(b));
  ASSERT_TRUE(Replace(dir / a, "new").ok);
  EXPECT_EQ(ReadBytes(dir / a), "new");
  EXPECT_EQ(dir.Entries(), (Names{TemporaryStem(b) + "a1B2c3" + kTempSuffix, a, b}));
  // Up to 235 bytes a name is copied whole; a longer one is cut, and never
  // inside a character.
  std::string accents;
  for (int i = 0; i < 126; ++i) accents += "\xC3\xA9";
  for (const std::string& name : {std::string(235, 'x'), std::string(236, 'x'), accents}) {
    const std::string stem = TemporaryStem(name);
    const std::size_t size = stem.size() + 6 + std::strlen(kTempSuffix);
    EXPECT_EQ(size, name.size() <= 235 ? name.size() + 20 : 255u);
    EXPECT_EQ(stem == "." + name + ".", name.size() <= 235);
  }
  const std::string cut = TemporaryStem(accents);
  EXPECT_EQ(cut.substr(cut.find('~') - 2, 2), "\xC3\xA9");
}

}  // namespace
}  // namespace tonalis::test
