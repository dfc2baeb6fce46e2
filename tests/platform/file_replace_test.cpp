#include "platform/file_replace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace tonalis {
namespace {

namespace fs = std::filesystem;

using test::TempDir;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return 0;
  return st.st_mode & 07777;
}

TEST(ReplaceFileContents, KeepsTheModeOfTheOldFile) {
  TempDir dir;
  const std::string path = dir / "f";
  Write(path, "old contents, longer than the new");
  chmod(path.c_str(), 0640);
  const ReplaceResult r = ReplaceFileContents(path, Bytes("new"));
  ASSERT_TRUE(r.ok) << r.failedStep;
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(ModeOf(path), 0640u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f"});
}

TEST(ReplaceFileContents, NewFileGetsTheDefaultModeLessTheUmask) {
  TempDir dir;
  for (mode_t mask : {mode_t{022}, mode_t{027}}) {
    const mode_t saved = umask(mask);
    const std::string path = dir / ("new" + std::to_string(mask));
    const ReplaceResult r = ReplaceFileContents(path, Bytes("x"));
    umask(saved);
    ASSERT_TRUE(r.ok) << r.failedStep;
    EXPECT_EQ(ModeOf(path), 0666u & ~mask);
  }
}

TEST(ReplaceFileContents, ReplacesThroughASymlinkAndKeepsTheLink) {
  TempDir dir;
  fs::create_directory(dir / "real");
  const std::string target = dir / "real/target";
  Write(target, "old");
  chmod(target.c_str(), 0600);
  const std::string link = dir / "link";
  fs::create_symlink("real/target", link);

  const ReplaceResult r = ReplaceFileContents(link, Bytes("new"));
  ASSERT_TRUE(r.ok) << r.failedStep;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "real/target");
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link", "real"}));
  EXPECT_EQ(fs::directory_iterator(dir / "real")->path().filename(), "target");
}

// Fails the named step with EIO (a write that "succeeds" with 0 bytes for
// "short-write").
class FailingOps : public FileOps {
 public:
  explicit FailingOps(std::string step) : step_(std::move(step)) {}
  int CreateTemp(std::string& pattern, int suffix_len) override {
    return step_ == "create" ? Fail() : FileOps::CreateTemp(pattern, suffix_len);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (step_ == "write")
      return Fail();
    if (step_ == "short-write")
      return written_++ ? 0 : FileOps::Write(fd, data, 1);
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return step_ == "sync" ? Fail() : FileOps::Fsync(fd); }
  int Fchmod(int fd, mode_t mode) override {
    return step_ == "chmod" ? Fail() : FileOps::Fchmod(fd, mode);
  }
  int Rename(const char* from, const char* to) override {
    return step_ == "rename" ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = EIO;
    return -1;
  }
  std::string step_;
  int written_ = 0;
};

TEST(ReplaceFileContents, EveryFailingStepLeavesTheOldFileAndNoTemporaryFile) {
  struct Case {
    const char* fault;
    const char* step;
    int error;
  };
  const Case cases[] = {{"create", "create", EIO}, {"chmod", "chmod", EIO},
                        {"write", "write", EIO},   {"short-write", "write", ENOSPC},
                        {"sync", "sync", EIO},     {"lock", "lock", EWOULDBLOCK},
                        {"rename", "rename", EIO}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    TempDir dir;
    const std::string path = dir / "f";
    Write(path, "old");
    chmod(path.c_str(), 0640);
    FailingOps ops(c.fault);
    ReplaceOptions options;
    int kept = -1;
    options.keepOpenFd = &kept;
    if (std::string(c.fault) == "lock")
      options.beforeRename = [](int) { return EWOULDBLOCK; };

    const ReplaceResult r = ReplaceFileContents(path, Bytes("new contents"), options, ops);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, c.step);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(kept, -1);
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f"});
  }
}

}  // namespace
}  // namespace tonalis
