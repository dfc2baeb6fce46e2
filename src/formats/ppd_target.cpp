#include "formats/ppd_target.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <span>

namespace tonalis {

int PpdFileTarget::Read(std::string& bytes) const {
  RemoveStaleTemporaries(path_);
  return ReadWholeFile(path_, bytes, /*regularOnly=*/true);
}

LockResult PpdFileTarget::Lock() const {
  LockResult result = LockFile(path_);
  // Only a copy that keeps the file is worth reporting; anything else is
  // said by the read or the write that follows.
  if (result.error != 0 && result.error != EWOULDBLOCK)
    return {};
  return result;
}

ReplaceResult PpdFileTarget::Replace(const std::string& bytes) const {
  // A PPD is replaced, never created: it must still be there, and a file
  // that is read-only (the user declined to change that) is not written.
  struct stat st;
  if (::stat(path_.c_str(), &st) != 0) return {false, errno, "open"};
  if (IsReadOnly()) return {false, EACCES, "open"};
  const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()),
                                      bytes.size());
  return ReplaceFileContents(path_, data, {}, ops_);
}

}  // namespace tonalis
