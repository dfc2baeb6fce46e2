// The FileOps of every test that makes a file replacement go wrong: one step
// fails with a chosen errno, a disk fills up after `budget` bytes, writes get
// through in short pieces or are interrupted.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

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

  int CreateTemp(std::string& pattern, int suffix) override {
    return step == Step::Create ? Fail() : FileOps::CreateTemp(pattern, suffix);
  }
  int Fchmod(int fd, mode_t mode) override {
    return step == Step::Chmod ? Fail() : FileOps::Fchmod(fd, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (interrupt && ++calls_ % 2 == 1) {
      errno = EINTR;
      return -1;
    }
    size = std::min(size, chunk);
    if (step == Step::Write) {
      if (budget == 0) return Fail();
      size = std::min(size, budget);
      budget -= size;
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return step == Step::Fsync ? Fail() : FileOps::Fsync(fd); }
  int Rename(const char* from, const char* to) override {
    return step == Step::Rename ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = error;
    return -1;
  }
  int calls_ = 0;
};

}  // namespace tonalis::test
