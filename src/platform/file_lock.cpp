#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/file_replace.h"

namespace tonalis {

namespace {

std::atomic<long long> lockWaitMs{30000};

// How often a waiting copy tries the lock again.
constexpr std::chrono::milliseconds kRetryInterval{25};

std::string Seconds(std::chrono::milliseconds wait) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(wait.count()) / 1000.0);
  return std::string(text) + (wait.count() == 1000 ? " second" : " seconds");
}

}  // namespace

FileLock::~FileLock() {
  Release();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void FileLock::Release() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

void SetLockWait(std::chrono::milliseconds wait) {
  lockWaitMs = wait.count();
}

std::chrono::milliseconds LockWait() {
  return std::chrono::milliseconds(lockWaitMs.load());
}

LockResult LockFile(const std::string& path, bool create) {
  LockResult result;
  const auto wait = LockWait();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    // Non-blocking, so that a FIFO named as the file does not hold us up.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT | O_NOFOLLOW : 0);
    // An existing file is opened as every other one is: loops and links
    // planted by another user are refused.
    const int fd = create ? ::open(path.c_str(), flags, 0600) : OpenResolved(path, flags);
    if (fd < 0) {
      result.error = errno;
      return result;
    }
    struct stat held;
    const int statError = ::fstat(fd, &held) != 0 ? errno : 0;
    if (statError != 0 || !S_ISREG(held.st_mode)) {
      result.error = statError != 0 ? statError : EINVAL;
      ::close(fd);
      return result;
    }
    // Polled rather than blocking: the wait has an end, and no signal is
    // needed to end it.
    int error = 0;
    while ((error = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno) == EWOULDBLOCK &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(kRetryInterval);
    if (error != 0) {
      result.error = error;
      if (error == EWOULDBLOCK)
        result.reason = HeldOpenReason(path) + "; Tonalis waited " + Seconds(wait) + " for it";
      ::close(fd);
      return result;
    }
    // The copy we waited for may have renamed a new file over the one we
    // hold: then the file at the path is the one to lock.
    struct stat named;
    if (::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      result.lock = FileLock(fd);
      return result;
    }
    ::close(fd);
  }
}

std::string LockHolder(dev_t device, ino_t inode) {
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    // "1: FLOCK  ADVISORY  WRITE 4321 fe:00:10953642 0 EOF"; a waiter's
    // line has "->" before the type.
    std::istringstream in(line);
    std::string id, type, mode, access, where;
    long pid = 0;
    if (!(in >> id >> type) || type != "FLOCK")
      continue;
    if (!(in >> mode >> access >> pid >> where))
      continue;
    unsigned major = 0, minor = 0;
    uintmax_t number = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%" SCNuMAX, &major, &minor, &number) != 3)
      continue;
    if (number != inode || major != ::major(device) || minor != ::minor(device))
      continue;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name.empty())
      name = "a program";
    return name + " (process " + std::to_string(pid) + ")";
  }
  return {};
}

std::string HeldOpenReason(const std::string& path) {
  struct stat st;
  std::string holder;
  if (::stat(path.c_str(), &st) == 0)
    holder = LockHolder(st.st_dev, st.st_ino);
  if (holder.empty())
    return "another running copy of Tonalis (the window or tonalis-cli) holds it open";
  return holder + " holds it open";
}

}  // namespace tonalis
