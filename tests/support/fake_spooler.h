// A spooler in memory for unit tests: queues with PPDs held as bytes, and
// any call made to fail on demand, for one queue or for all.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "printers/spooler.h"

namespace tonalis::test {

struct FakeQueue {
  std::string name{};
  std::string makeAndModel{};
  std::string ppd{};                // the PPD's bytes
  bool hasPpd = true;
  SpoolerScope scope = SpoolerScope::Local;
  std::string server{};             // the server that keeps the PPD (connections)
};

class FakeSpooler final : public Spooler {
 public:
  FakeSpooler& Add(FakeQueue queue);
  // The PPD now kept for `queue` (after replacements).
  const std::string& Ppd(const std::string& queue) const;

  std::string defaultQueue;

  // Failures, by call; per-queue ones by queue name.
  std::map<SpoolerScope, SpoolerStatus> listFailure;
  std::map<std::string, SpoolerStatus> openFailure;
  std::map<std::string, SpoolerStatus> driverFailure;
  std::map<std::string, SpoolerStatus> fetchFailure;
  std::optional<SpoolerStatus> replaceFailure;
  std::optional<SpoolerStatus> defaultFailure;

  // Calls seen, by queue name.
  std::vector<std::string> fetched;
  std::vector<std::string> replaced;

  static SpoolerStatus Fail(int code, std::string reason = "refused by the fake");

  SpoolerStatus ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) override;
  SpoolerStatus OpenQueue(const SpoolerQueue& queue) override;
  SpoolerStatus GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) override;
  SpoolerStatus DefaultQueue(std::string& name) override;
  SpoolerStatus FetchPpd(const QueueRef& ref, std::string& bytes) override;
  SpoolerStatus ReplacePpd(const QueueRef& ref, std::string_view bytes) override;
  // Saved options live in `saved` (queue -> option -> value).
  SpoolerStatus FollowSavedOption(
      const QueueRef& ref, std::string_view option,
      const std::vector<std::pair<std::string, std::string>>& renamed) override;
  std::string ServerName() const override { return "fake"; }

  std::map<std::string, std::map<std::string, std::string>> saved;

 private:
  FakeQueue* Find(const QueueRef& ref);
  std::vector<FakeQueue> queues_;
};

}  // namespace tonalis::test
