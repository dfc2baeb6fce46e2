// A print queue's PPD as a target of the PPD reader and writer.
//
// The scheduler keeps the queue's PPD; it is read and replaced through the
// spooler, byte for byte.
#pragma once

#include <memory>
#include <string>

#include "printers/spooler.h"
#include "formats/ppd_target.h"

namespace tonalis {

class PpdQueueTarget final : public PpdTarget {
 public:
  PpdQueueTarget(Spooler& spooler, QueueRef ref) : spooler_(spooler), ref_(std::move(ref)) {}

  const QueueRef& ref() const { return ref_; }
  // The server that keeps the PPD, named even when it is the configured one.
  std::string ServerName() const { return ref_.server.empty() ? spooler_.ServerName() : ref_.server; }
  Spooler& spooler() const { return spooler_; }
  // "QUEUE" for the configured scheduler, "QUEUE on SERVER" for another one.
  std::string Describe() const override;
  // 0, or an errno that stands for the scheduler's refusal (ENOENT for a
  // queue or PPD that is not there, EACCES for a refusal, EIO otherwise).
  int Read(std::string& bytes) const override;
  // The scheduler's reason, naming the server when Describe does not.
  std::string ReadFailure(int) const override { return readFailure_; }
  // A refusal comes back with failedStep "scheduler" and the scheduler's
  // reason; the queue then keeps its old PPD.
  ReplaceResult Replace(const std::string& bytes) const override;
  // Whether a queue's PPD may be replaced is the scheduler's decision, made
  // when it is replaced.
  bool IsReadOnly() const override { return false; }
  int MakeWritable() const override { return 0; }
  // Only the scheduler writes a queue's PPD, so the copies of Tonalis of one
  // user take turns on a queue through a lock file in the user's runtime
  // folder ($XDG_RUNTIME_DIR; without one, no lock). Changes by anyone else
  // are found by the workspace's comparison before a write.
  LockResult Lock() const override;
  // The user's saved default of the queue (lpoptions) follows its choice.
  std::string FollowSavedChoices(
      const std::vector<std::pair<std::string, std::string>>& renamed) const override;

 private:
  // The reason of `status`, with the server that gave it.
  std::string Reason(const SpoolerStatus& status) const;

  Spooler& spooler_;
  QueueRef ref_;
  mutable std::string readFailure_;
};

// The target for queue `queue` of `server` (empty: the configured
// scheduler), through the process's CUPS spooler.
std::shared_ptr<PpdTarget> QueueTarget(std::string queue, std::string server = {});

// The errno a spooler failure is reported with.
int SpoolerErrno(const SpoolerStatus& status);

}  // namespace tonalis
