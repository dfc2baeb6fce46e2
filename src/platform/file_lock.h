// Locks that keep other running copies of Tonalis out of a file while one
// copy reads, changes and writes it, and who holds such a lock.
//
// The lock is an exclusive flock on the file itself, so `flock FILE ...`
// and other programs that flock the file are kept out as well. A writer
// replaces the file by renaming a new one over it, so a copy that waited for
// the lock may end up holding the old file: LockFile then locks the file now
// at the path, again and again until it holds the one that is there.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace tonalis {

// An exclusive flock on an open file, released when the object goes.
class FileLock {
 public:
  FileLock() = default;
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock();
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

struct LockResult {
  FileLock lock;       // held when error is 0
  int error = 0;       // errno of the open; EWOULDBLOCK when the wait ran out
  std::string reason;  // for EWOULDBLOCK: who holds the file, and how long we waited
};

// Locks the file at `path` (links followed), waiting up to LockWait() for a
// copy that holds it. Only regular files are locked (EINVAL otherwise).
// With `create`, a missing file is made (mode 0600), never through a link:
// a lock file that stands for something else.
LockResult LockFile(const std::string& path, bool create = false);

// How long LockFile waits for another copy: 30 seconds unless set.
void SetLockWait(std::chrono::milliseconds wait);
std::chrono::milliseconds LockWait();

// The process holding a flock on the file `device`/`inode` as
// "tonalis-cli (process 4321)", from /proc/locks and /proc/PID/comm; empty
// when that cannot be found out.
std::string LockHolder(dev_t device, ino_t inode);

// "NAME (process PID) holds it open" for the holder of the file at `path`,
// or the words for an unknown other copy.
std::string HeldOpenReason(const std::string& path);

}  // namespace tonalis
