// The FileOps of every test that makes a file replacement go wrong: one step
// fails with a chosen errno, a disk fills up after `budget` bytes, writes get
// through in short pieces or are interrupted.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/file_replace.h"

namespace tonalis::test {

class FaultOps : public FileOps {
 public:
  enum class Step { None, Create, Chmod, Write, Fsync, Rename };
  FaultOps() = default;
  FaultOps(Step failing, int errorNumber, size_t bytesBefore = 0)
      : step(failing), error(errorNumber), budget(bytesBefore) {}

  Step step = Step::None;
  int error = EIO;
  size_t budget = 0;        // Step::Write: bytes that get through before it fails
  size_t chunk = SIZE_MAX;  // at most this many bytes per call; 0: nothing, no error
  bool interrupt = false;   // every other write call fails with EINTR

  int CreateTemp(std::string& p, int suffix) override {
    return Fails(Step::Create) ? -1 : FileOps::CreateTemp(p, suffix);
  }
  int Fchmod(int fd, mode_t m) override { return Fails(Step::Chmod) ? -1 : FileOps::Fchmod(fd, m); }
  int Fsync(int fd) override { return Fails(Step::Fsync) ? -1 : FileOps::Fsync(fd); }
  int Rename(const char* from, const char* to) override {
    return Fails(Step::Rename) ? -1 : FileOps::Rename(from, to);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (interrupt && ++calls_ % 2 == 1) return errno = EINTR, -1;
    size = std::min(size, chunk);
    if (step == Step::Write) {
      if (budget == 0) return Fails(Step::Write), -1;
      budget -= size = std::min(size, budget);
    }
    return FileOps::Write(fd, data, size);
  }

 private:
  bool Fails(Step s) { return step == s && (errno = error, true); }
  int calls_ = 0;
};

}  // namespace tonalis::test
