#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace tonalis {

int FileOps::CreateTemp(std::string& pattern, int suffix_len) {
  return mkostemps(pattern.data(), suffix_len, O_CLOEXEC);
}
ssize_t FileOps::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int FileOps::Fsync(int fd) { return ::fsync(fd); }
int FileOps::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileOps::Fchown(int fd, uid_t uid, gid_t gid) { return ::fchown(fd, uid, gid); }
int FileOps::Rename(const char* from, const char* to) { return ::rename(from, to); }
int FileOps::Unlink(const char* path) { return ::unlink(path); }
int FileOps::Close(int fd) { return ::close(fd); }

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

namespace {

std::string DirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

void SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string ResolveTarget(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> full(realpath(path.c_str(), nullptr), &std::free);
  if (full) return full.get();
  // Not there yet (or a dangling link): keep the name, resolve the folder.
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char buf[PATH_MAX];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    if (n > 0) {
      std::string target(buf, static_cast<size_t>(n));
      if (target[0] != '/') target = DirectoryOf(path) + "/" + target;
      return ResolveTarget(target);
    }
  }
  std::unique_ptr<char, decltype(&std::free)> dir(realpath(DirectoryOf(path).c_str(), nullptr),
                                                  &std::free);
  if (!dir) return path;
  return std::string(dir.get()) + "/" + BaseOf(path);
}

ReplaceResult ReplaceFileContents(const std::string& path, std::span<const uint8_t> data,
                                  const ReplaceOptions& options, FileOps& ops) {
  const std::string target = ResolveTarget(path);
  ReplaceResult result;
  auto fail = [&result](const char* step, int error) {
    result.ok = false;
    result.failedStep = step;
    result.error = error ? error : EIO;
    return result;
  };

  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return fail("stat", errno);
  if (exists && !S_ISREG(old.st_mode)) return fail("stat", EISDIR);

  std::string temp = DirectoryOf(target) + "/." + BaseOf(target) + ".XXXXXX" + kTempSuffix;
  const int suffix = static_cast<int>(std::char_traits<char>::length(kTempSuffix));
  int fd = ops.CreateTemp(temp, suffix);
  if (fd < 0) return fail("create", errno);

  auto abandon = [&](const char* step, int error) {
    ops.Close(fd);
    ops.Unlink(temp.c_str());
    return fail(step, error);
  };

  const mode_t mode = exists ? (old.st_mode & 07777) : (options.newFileMode & ~CurrentUmask());
  if (exists && (old.st_uid != geteuid() || old.st_gid != getegid())) {
    if (ops.Fchown(fd, old.st_uid, old.st_gid) != 0) return abandon("chown", errno);
  }
  if (ops.Fchmod(fd, mode) != 0) return abandon("chmod", errno);

  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ops.Write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon("write", errno);
    }
    if (n == 0) return abandon("write", ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  if (ops.Fsync(fd) != 0) return abandon("sync", errno);
  if (options.beforeRename) {
    if (int error = options.beforeRename(fd)) return abandon("lock", error);
  }
  if (ops.Rename(temp.c_str(), target.c_str()) != 0) return abandon("rename", errno);
  SyncDirectory(DirectoryOf(target));
  if (options.keepOpenFd) {
    *options.keepOpenFd = fd;
  } else {
    ops.Close(fd);
  }
  return result;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  if (!(st.st_mode & S_IWUSR)) return true;
  return ::access(path.c_str(), W_OK) != 0 && errno == EACCES;
}

int MakeWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) return errno;
  return 0;
}

int ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      return error;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return 0;
}

}  // namespace tonalis
