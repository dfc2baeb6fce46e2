// Durable, all-or-nothing replacement of a file's contents.
//
// The new contents go to a fresh file in the same folder (created exclusively
// under an unpredictable name), are flushed to disk, and are renamed over the
// old file, which keeps its permissions, owner and group. Whatever fails, the
// old file is left as it was and the temporary file is removed.
//
// A path that is a symbolic link is resolved first: the file the link points
// to is replaced in its own folder and the link stays a link. A link whose
// file does not exist is refused (ENOENT): no file is ever created through a
// link. The temporary file is created with O_EXCL, so it is never opened
// through a link someone placed under its name. Links are resolved by
// ResolveTarget, which refuses loops and links planted by other users.
//
// The new file gets the old one's owner, group, permissions and extended
// attributes (POSIX ACLs and security labels among them) as far as the file
// system and the program's privileges allow; an attribute they refuse is
// left out. A hard link to the old file keeps the old contents: the path
// gets a new file.
//
// A copy of the program killed while writing leaves its temporary file
// behind (".NAME.XXXXXX.tonalis-tmp", hidden, next to the file; see
// TemporaryStem for names too long to copy whole). The writer
// holds a lock on its temporary file, and RemoveStaleTemporaries removes the
// ones nobody holds: each replacement does so first, and so do the next
// opening of the library and the next reading of a PPD file.
//
// All system calls go through FileOps so that tests can make any step fail.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tonalis {

class FileOps {
 public:
  virtual ~FileOps() = default;
  // mkostemps-like: `pattern` ends in "XXXXXX" followed by `suffix_len` bytes;
  // the X's are replaced in place. Returns an fd opened O_RDWR|O_EXCL or -1.
  virtual int CreateTemp(std::string& pattern, int suffix_len);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fsync(int fd);
  virtual int Fchmod(int fd, mode_t mode);
  virtual int Fchown(int fd, uid_t uid, gid_t gid);
  virtual int Rename(const char* from, const char* to);
  // Like Rename, but fails with EEXIST when `to` exists.
  virtual int RenameNoReplace(const char* from, const char* to);
  virtual int Unlink(const char* path);
  virtual int Close(int fd);
};

FileOps& SystemFileOps();

struct ReplaceResult {
  bool ok = true;
  int error = 0;           // errno of the failed step
  std::string failedStep;  // "create", "write", "sync", "rename", ...
  std::string reason{};    // the refusing party's own words, when it gave any (a scheduler)
};

struct ReplaceOptions {
  // Mode for a file that does not exist yet; the umask applies.
  mode_t newFileMode = 0666;
  // When set, the descriptor of the new file is handed over here instead of
  // being closed, still holding the writer's lock on it (flock, exclusive):
  // the library keeps holding its file without a moment unlocked.
  int* keepOpenFd = nullptr;
  // The file must not exist yet: it is created only if nothing has appeared
  // at the path in the meantime (EEXIST otherwise, nothing changed).
  bool mustBeNew = false;
};

// The suffix of every temporary file this program makes.
inline constexpr const char* kTempSuffix = ".tonalis-tmp";

ReplaceResult ReplaceFileContents(const std::string& path, std::span<const uint8_t> data,
                                  const ReplaceOptions& options = {},
                                  FileOps& ops = SystemFileOps());

// Removes the temporary files of `path` (".NAME.XXXXXX.tonalis-tmp" beside
// the file a link resolves to) that no running writer holds: regular files
// of this user only, never following links. Returns how many it removed.
int RemoveStaleTemporaries(const std::string& path);

// The most symbolic links one resolution follows, as the kernel counts them.
inline constexpr int kMaxLinkHops = 40;

struct ResolvedPath {
  std::string path;          // absolute, without links; may not exist yet
  int error = 0;             // ELOOP, EACCES for a refused link, lstat's errno
  std::string refusedLink;   // with EACCES: the link that was not followed
  std::string sharedFolder;  // and the folder it sits in
};

// Resolves the symbolic links of every part of `path`, one hop at a time; a
// path whose last part does not exist yet resolves its folder (and a link
// whose file is gone resolves to where it points). A link in a shared folder
// (sticky, or writable by everybody) is followed only when it belongs to this
// user or to the folder's owner: another user's link there is refused with
// EACCES, so that nobody can plant a link where this program writes or reads.
ResolvedPath ResolveTarget(const std::string& path);

// open(2) of the file `path` leads to, resolved by ResolveTarget; -1 with
// errno when the resolution or the open fails.
int OpenResolved(const std::string& path, int flags, mode_t mode = 0);

// Why doing `step` ("create", "chown", ... of ReplaceResult, or empty for a
// read) to `path` failed with `error`, in the user's words: a refused link
// and a missing permission say which; anything else is the system's reason.
std::string FileFailureReason(const std::string& path, int error, const std::string& step = {});

// The name part shared by the temporary files of the file `base`: "." BASE
// "." when that leaves room for the random part and the suffix within a
// file name's 255 bytes; for a longer name, its start (cut at a character)
// and a hash of the whole name, so that temporaries of two long names that
// start alike are told apart. A temporary of `base` is exactly this stem,
// six random characters and kTempSuffix. Only should two long names agree
// in their start and their hash could one file's cleanup take the other's
// temporary, and then only one that no writer holds (a stale one).
std::string TemporaryStem(const std::string& base);

// A write past the file-size limit (ulimit -f) fails with EFBIG instead of
// ending the program: called once at start-up.
void IgnoreFileSizeSignal();

// Whether the file exists and lacks its owner's write permission, or cannot
// be written by this process. False on a read-only mount, where adding the
// permission cannot help: a write then fails with the system's reason.
bool IsReadOnly(const std::string& path);
// Adds the owner's write permission; returns 0 or an errno.
int MakeWritable(const std::string& path);

// Reads a whole file; returns 0 or an errno. With `regularOnly`, anything
// but a regular file (a pipe, a device, a folder) is refused with EINVAL
// without waiting for it. A file of more than `maxBytes` bytes fails with
// EFBIG, after reading at most one byte more (a device or pipe has no end).
int ReadWholeFile(const std::string& path, std::string& out, bool regularOnly = false,
                  std::size_t maxBytes = SIZE_MAX);

// A file the user gives as input (measurements, curves): ReadWholeFile of at
// most `maxBytes`, or nothing with `error` as "PATH: too large for WHAT (more
// than N MiB)" or "PATH: cannot be read: REASON".
std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string_view what, std::string& error);

}  // namespace tonalis
