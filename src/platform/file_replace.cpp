#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/interaction.h"

namespace tonalis {

int FileOps::CreateTemp(std::string& pattern, int suffix_len) {
  return mkostemps(pattern.data(), suffix_len, O_CLOEXEC);
}
ssize_t FileOps::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int FileOps::Fsync(int fd) { return ::fsync(fd); }
int FileOps::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileOps::Fchown(int fd, uid_t uid, gid_t gid) { return ::fchown(fd, uid, gid); }
int FileOps::Rename(const char* from, const char* to) { return ::rename(from, to); }
int FileOps::RenameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A file system without the flag: a hard link fails just as well on an
  // existing name.
  if (::link(from, to) != 0) return -1;
  ::unlink(from);
  return 0;
}
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

// Whether `name` is one of our temporary names for the file whose stem
// (TemporaryStem) is `stem`.
bool IsTemporaryOf(std::string_view name, std::string_view stem) {
  const std::string_view suffix = kTempSuffix;
  return name.size() == stem.size() + 6 + suffix.size() && name.starts_with(stem) &&
         name.ends_with(suffix);
}

std::string UserName(uid_t uid) {
  const struct passwd* entry = ::getpwuid(uid);
  return entry ? entry->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const struct group* entry = ::getgrgid(gid);
  return entry ? entry->gr_name : std::to_string(gid);
}

// The parts of a path, last first (so that the next one is at the back).
void PushParts(std::string_view path, std::vector<std::string>& parts) {
  std::vector<std::string> ahead;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) ahead.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  parts.insert(parts.end(), ahead.rbegin(), ahead.rend());
}

// Reads one extended attribute list or value, growing the buffer while it
// changes under us.
template <typename Call>
bool ReadAttribute(std::vector<char>& buffer, Call call) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return false;
    buffer.resize(static_cast<std::size_t>(size));
    const ssize_t got = call(buffer.data(), buffer.size());
    if (got >= 0) {
      buffer.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

constexpr const char* kAccessAcl = "system.posix_acl_access";

// Gives the new file the old one's extended attributes: ACLs, security
// labels, user attributes. What the file system or our privileges refuse
// (ENOTSUP, trusted.* or security.* without the privilege) is left out. An
// ACL the new file inherited from its folder's default ACL goes when the old
// file had none: the old permissions are the mode alone.
void CopyAttributes(const std::string& from, int toFd) {
  const int fromFd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fromFd < 0) return;
  std::vector<char> names, value;
  bool hadAcl = false;
  if (ReadAttribute(names, [&](char* b, size_t n) { return ::flistxattr(fromFd, b, n); })) {
    for (std::size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
      const char* name = &names[at];
      if (!ReadAttribute(value, [&](char* b, size_t n) { return ::fgetxattr(fromFd, name, b, n); }))
        continue;
      ::fsetxattr(toFd, name, value.data(), value.size(), 0);
      hadAcl = hadAcl || std::string_view(name) == kAccessAcl;
    }
  }
  if (!hadAcl) ::fremovexattr(toFd, kAccessAcl);
  ::close(fromFd);
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

std::string TemporaryStem(const std::string& base) {
  // NAME_MAX less the random part and the suffix.
  const std::size_t room = NAME_MAX - 6 - std::char_traits<char>::length(kTempSuffix);
  if (base.size() + 2 <= room) return "." + base + ".";
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : base) hash = (hash ^ c) * 16777619u;
  char tail[16];
  std::snprintf(tail, sizeof tail, "~%08x.", static_cast<unsigned>(hash));
  std::size_t keep = room - 1 - std::char_traits<char>::length(tail);
  // Not in the middle of a UTF-8 character.
  while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
  return "." + base.substr(0, keep) + tail;
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

int RemoveStaleTemporaries(const std::string& path) {
  const ResolvedPath resolved = ResolveTarget(path);
  if (resolved.error != 0) return 0;
  const std::string& target = resolved.path;
  const std::string stem = TemporaryStem(BaseOf(target));
  const int dirFd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryOf(entry->d_name, stem)) continue;
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

ResolvedPath ResolveTarget(const std::string& path) {
  ResolvedPath result;
  if (path.empty()) {
    result.error = ENOENT;
    return result;
  }
  std::string done = "/";  // resolved so far: a folder without links
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) {
      result.error = errno;
      return result;
    }
    done = cwd;
  }
  std::vector<std::string> parts;
  PushParts(path, parts);
  int hops = 0;
  while (!parts.empty()) {
    const std::string part = std::move(parts.back());
    parts.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      done = DirectoryOf(done);
      continue;
    }
    const std::string next = (done == "/" ? "" : done) + "/" + part;
    struct stat st;
    if (::lstat(next.c_str(), &st) != 0) {
      if (errno == ENOENT && parts.empty())
        result.path = next;  // not there yet
      else
        result.error = errno;
      return result;
    }
    if (!S_ISLNK(st.st_mode)) {
      if (!parts.empty() && !S_ISDIR(st.st_mode)) {
        result.error = ENOTDIR;
        return result;
      }
      done = next;
      continue;
    }
    if (++hops > kMaxLinkHops) {
      result.error = ELOOP;
      return result;
    }
    // Anybody can put a link into a shared folder: only the folder's owner's
    // links and our own are followed there.
    struct stat folder;
    if (::stat(done.c_str(), &folder) == 0 && (folder.st_mode & (S_ISVTX | S_IWOTH)) &&
        st.st_uid != ::geteuid() && st.st_uid != folder.st_uid) {
      result.error = EACCES;
      result.refusedLink = next;
      result.sharedFolder = done;
      return result;
    }
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(next.c_str(), buf, sizeof buf);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof buf)) {
      result.error = n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG;
      return result;
    }
    if (buf[0] == '/') done = "/";
    PushParts(std::string_view(buf, static_cast<std::size_t>(n)), parts);
  }
  result.path = done;
  return result;
}

int OpenResolved(const std::string& path, int flags, mode_t mode) {
  const ResolvedPath resolved = ResolveTarget(path);
  if (resolved.error != 0) {
    errno = resolved.error;
    return -1;
  }
  // Resolved, the path holds no link: one put there since is not followed.
  return ::open(resolved.path.c_str(), flags | O_NOFOLLOW, mode);
}

std::string FileFailureReason(const std::string& path, int error, const std::string& step) {
  const ResolvedPath resolved = ResolveTarget(path);
  if (error == EACCES && !resolved.refusedLink.empty()) {
    struct stat link;
    const std::string owner =
        ::lstat(resolved.refusedLink.c_str(), &link) == 0 ? " (" + UserName(link.st_uid) + ")" : "";
    return "refusing to follow the symbolic link " + resolved.refusedLink +
           ", which belongs to another user" + owner + ", in the shared folder " +
           resolved.sharedFolder;
  }
  const std::string folder = DirectoryOf(resolved.path);
  if (error == EACCES && step == "create" && resolved.error == 0 &&
      ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    // The folder as the user named it, unless a link led elsewhere.
    const bool named = path.find('/') != std::string::npos &&
                       ResolveTarget(DirectoryOf(path)).path == folder;
    return "no permission to create files in the folder " + (named ? DirectoryOf(path) : folder) +
           " (a file is saved by writing a new one beside it)";
  }
  struct stat st;
  if (error == EPERM && step == "chown" && resolved.error == 0 &&
      ::stat(resolved.path.c_str(), &st) == 0) {
    if (st.st_uid != ::geteuid()) {
      const std::string owner = UserName(st.st_uid);
      return "the file belongs to " + owner + "; only " + (st.st_uid == 0 ? "" : owner + " or ") +
             "root can replace it";
    }
    return "the file's group is " + GroupName(st.st_gid) +
           ", which you are not a member of; only root can replace it keeping that group";
  }
  return SystemReason(error);
}

ReplaceResult ReplaceFileContents(const std::string& path, std::span<const uint8_t> data,
                                  const ReplaceOptions& options, FileOps& ops) {
  ReplaceResult result;
  auto fail = [&result, &path](const char* step, int error) {
    result.ok = false;
    result.failedStep = step;
    result.error = error ? error : EIO;
    result.reason = FileFailureReason(path, result.error, step);
    return result;
  };
  const ResolvedPath resolved = ResolveTarget(path);
  if (resolved.error != 0) return fail("resolve", resolved.error);
  const std::string& target = resolved.path;

  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return fail("stat", errno);
  if (exists && !S_ISREG(old.st_mode)) return fail("stat", EISDIR);
  if (exists && options.mustBeNew) return fail("stat", EEXIST);
  // A link whose file is gone: creating that file would put a file wherever
  // the link points, which is not what the user named.
  struct stat named;
  if (!exists && ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode))
    return fail("stat", ENOENT);

  RemoveStaleTemporaries(target);

  const std::string pattern =
      DirectoryOf(target) + "/" + TemporaryStem(BaseOf(target)) + "XXXXXX" + kTempSuffix;
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
  // The new file's owner and group are what the system gave it (a folder
  // with the setgid bit gives its own group), not necessarily ours.
  struct stat fresh;
  if (::fstat(fd, &fresh) != 0) return abandon("stat", errno);
  if (exists && (old.st_uid != fresh.st_uid || old.st_gid != fresh.st_gid)) {
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
  if (exists) CopyAttributes(target, fd);
  if (ops.Fsync(fd) != 0) return abandon("sync", errno);
  const int renamed = options.mustBeNew ? ops.RenameNoReplace(temp.c_str(), target.c_str())
                                        : ops.Rename(temp.c_str(), target.c_str());
  if (renamed != 0) return abandon("rename", errno);
  SyncDirectory(DirectoryOf(target));
  if (options.keepOpenFd) {
    *options.keepOpenFd = fd;
  } else {
    ops.Close(fd);
  }
  return result;
}

bool IsReadOnly(const std::string& path) {
  const ResolvedPath resolved = ResolveTarget(path);
  struct stat st;
  if (resolved.error != 0 || ::stat(resolved.path.c_str(), &st) != 0) return false;
  struct statvfs mount;
  if (::statvfs(resolved.path.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY)) return false;
  if (!(st.st_mode & S_IWUSR)) return true;
  return ::access(resolved.path.c_str(), W_OK) != 0 && errno == EACCES;
}

int MakeWritable(const std::string& path) {
  const ResolvedPath resolved = ResolveTarget(path);
  if (resolved.error != 0) return resolved.error;
  struct stat st;
  if (::stat(resolved.path.c_str(), &st) != 0) return errno;
  if (::chmod(resolved.path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) return errno;
  return 0;
}

std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string_view what, std::string& error) {
  std::string bytes;
  const int failed = ReadWholeFile(path, bytes, /*regularOnly=*/false, maxBytes);
  if (failed == EFBIG) {
    error = path + ": too large for " + std::string(what) + " (more than " +
            std::to_string(maxBytes >> 20) + " MiB)";
    return std::nullopt;
  }
  if (failed != 0) {
    error = path + ": cannot be read: " + FileFailureReason(path, failed);
    return std::nullopt;
  }
  return bytes;
}

int ReadWholeFile(const std::string& path, std::string& out, bool regularOnly,
                  std::size_t maxBytes) {
  out.clear();
  int fd = OpenResolved(path, O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
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
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    if (static_cast<uintmax_t>(st.st_size) > maxBytes) {
      ::close(fd);
      return EFBIG;
    }
    out.reserve(static_cast<std::size_t>(st.st_size) + 1);
  }
  for (;;) {
    // A device or pipe has no size to check first.
    if (out.size() > maxBytes) {
      ::close(fd);
      out.clear();
      return EFBIG;
    }
    if (out.capacity() - out.size() < 4096) out.reserve(out.capacity() * 2 + 65536);
    const std::size_t filled = out.size();
    out.resize(out.capacity());
    // Never more than one byte past the limit.
    std::size_t room = out.size() - filled;
    if (maxBytes - filled < room) room = maxBytes - filled + 1;
    const ssize_t n = ::read(fd, out.data() + filled, room);
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
