#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

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

// Whether `name` is one of our temporary names for the file `base`.
bool IsTemporaryOf(std::string_view name, const std::string& base) {
  const std::string_view suffix = kTempSuffix;
  const std::size_t prefix = 1 + base.size() + 1;  // "." BASE "."
  if (name.size() != prefix + 6 + suffix.size()) return false;
  if (name[0] != '.' || name.substr(1, base.size()) != base || name[prefix - 1] != '.')
    return false;
  return name.substr(prefix + 6) == suffix;
}

// Takes the writer's lock on a fresh temporary file. False when the file was
// taken away in the meantime (a cleanup found it before the lock).
bool HoldTemporary(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Only a cleanup looking at it holds a lock on a file this new; a file
    // system without locks gets none.
    return errno != EWOULDBLOCK;
  }
  struct stat st;
  return ::fstat(fd, &st) != 0 || st.st_nlink > 0;
}

constexpr int kCreateAttempts = 4;

}  // namespace

int RemoveStaleTemporaries(const std::string& path) {
  const std::string target = ResolveTarget(path);
  const std::string base = BaseOf(target);
  const int dirFd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryOf(entry->d_name, base)) continue;
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, named;
    // A writer still at work holds its lock; what nobody holds was left by a
    // copy that ended before renaming it into place.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
        ::unlinkat(dirFd, entry->d_name, 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

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
  // A link whose file is gone: creating that file would put a file wherever
  // the link points, which is not what the user named.
  struct stat named;
  if (!exists && ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode))
    return fail("stat", ENOENT);

  RemoveStaleTemporaries(target);

  const std::string pattern = DirectoryOf(target) + "/." + BaseOf(target) + ".XXXXXX" + kTempSuffix;
  const int suffix = static_cast<int>(std::char_traits<char>::length(kTempSuffix));
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kCreateAttempts; ++attempt) {
    temp = pattern;
    fd = ops.CreateTemp(temp, suffix);
    if (fd < 0) return fail("create", errno);
    if (!HoldTemporary(fd)) {
      ops.Close(fd);
      fd = -1;
    }
  }
  if (fd < 0) return fail("create", EAGAIN);

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

int ReadWholeFile(const std::string& path, std::string& out, bool regularOnly) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
  if (fd < 0) return errno;
  if (regularOnly) {
    struct stat st;
    const int error = ::fstat(fd, &st) != 0 ? errno
                      : S_ISDIR(st.st_mode) ? EISDIR
                      : !S_ISREG(st.st_mode) ? EINVAL
                                             : 0;
    if (error != 0) {
      ::close(fd);
      return error;
    }
  }
  // Read straight into the string, sized by the file when it has a size:
  // no second copy of a large PPD.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    out.reserve(static_cast<std::size_t>(st.st_size) + 1);
  for (;;) {
    if (out.capacity() - out.size() < 4096) out.reserve(out.capacity() * 2 + 65536);
    const std::size_t filled = out.size();
    out.resize(out.capacity());
    const ssize_t n = ::read(fd, out.data() + filled, out.size() - filled);
    out.resize(filled + static_cast<std::size_t>(n > 0 ? n : 0));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      out.clear();
      return error;
    }
    if (n == 0) break;
  }
  ::close(fd);
  return 0;
}

}  // namespace tonalis
