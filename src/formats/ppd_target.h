// Where a PPD lives: a file on disk, or (later) a print queue of a scheduler.
// The PPD reader and writer work on a target and never on paths directly.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_lock.h"
#include "platform/file_replace.h"
#include "platform/interaction.h"

namespace tonalis {

class PpdTarget {
 public:
  virtual ~PpdTarget() = default;
  // What the user knows the target by (a path, or "queue on server").
  virtual std::string Describe() const = 0;
  // Reads the whole PPD; returns 0 or an errno.
  virtual int Read(std::string& bytes) const = 0;
  // Why the last Read failed with `error`, in the words of whoever refused.
  virtual std::string ReadFailure(int error) const { return SystemReason(error); }
  // Replaces the whole PPD atomically; on failure the old PPD is intact.
  virtual ReplaceResult Replace(const std::string& bytes) const = 0;
  // The read-only question applies to targets that can be read-only.
  virtual bool IsReadOnly() const = 0;
  // Makes a read-only target writable; returns 0 or an errno.
  virtual int MakeWritable() const = 0;
  // Keeps other running copies of Tonalis from changing the target until
  // the returned lock goes, waiting for one that holds it (see LockFile).
  // Fails (EWOULDBLOCK, with the reason) only when that wait runs out; a
  // target that has nothing to lock, or cannot be locked (a missing file),
  // gets no lock, and its read or write says what is wrong.
  virtual LockResult Lock() const { return {}; }
  // After a write that gave choices new keywords (old -> new, new empty when
  // the choice is gone): settings saved elsewhere under the old keywords
  // follow. Returns why that failed, or nothing.
  virtual std::string FollowSavedChoices(
      const std::vector<std::pair<std::string, std::string>>& renamed) const {
    (void)renamed;
    return {};
  }
};

// A PPD file. Replacement goes through `ops`, so tests can inject faults.
class PpdFileTarget final : public PpdTarget {
 public:
  explicit PpdFileTarget(std::string path, FileOps& ops = SystemFileOps())
      : path_(std::move(path)), ops_(ops) {}
  const std::string& path() const { return path_; }
  std::string Describe() const override { return path_; }
  // Only a regular file is read (a pipe or a device is refused at once).
  // Temporary files that a killed writer left next to it are removed first.
  int Read(std::string& bytes) const override;
  std::string ReadFailure(int error) const override { return FileFailureReason(path_, error); }
  ReplaceResult Replace(const std::string& bytes) const override;
  bool IsReadOnly() const override { return tonalis::IsReadOnly(path_); }
  int MakeWritable() const override { return tonalis::MakeWritable(path_); }
  // An exclusive flock on the file; the replacement renames a new file
  // over it, so the lock lasts until it is released, never longer.
  LockResult Lock() const override;

 private:
  std::string path_;
  FileOps& ops_;
};

inline std::shared_ptr<PpdTarget> FileTarget(std::string path) {
  return std::make_shared<PpdFileTarget>(std::move(path));
}

}  // namespace tonalis
