// A spooler in memory for unit tests: queues with PPDs held as bytes, and any call made to fail
// on demand, for one queue or for all. It keeps no saved options.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "printers/spooler.h"

namespace tonalis::test {

struct FakeQueue {
  std::string name{}, makeAndModel{}, ppd{};
  bool hasPpd = true;
  SpoolerScope scope = SpoolerScope::Local;
  std::string server{};  // the server that keeps the PPD (connections)
  std::int64_t changed = 0;  // its printer-config-change-time; 0: not said
};

class FakeSpooler final : public Spooler {
 public:
  using Failures = std::map<std::string, SpoolerStatus>;  // by queue name

  static SpoolerStatus Fail(int code, std::string reason = "refused by the fake") {
    return SpoolerStatus::Failure(code, std::move(reason));
  }
  FakeSpooler& Add(FakeQueue queue) { return queues_.push_back(std::move(queue)), *this; }
  // The PPD now kept for the local `queue`, which must exist (after replacements).
  const std::string& Ppd(const std::string& queue) { return Find({"", queue})->ppd; }

  std::string defaultQueue;
  std::map<SpoolerScope, SpoolerStatus> listFailure;
  Failures openFailure, driverFailure, fetchFailure;
  std::optional<SpoolerStatus> replaceFailure, defaultFailure;
  std::vector<std::string> fetched;  // the queues whose PPD was asked for
  std::int64_t clock = 0;  // the scheduler's clock, as listed; a replacement changes a queue then
  std::function<void()> beforeListing;  // runs at the start of every listing (a slow server)

  SpoolerStatus ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) override {
    if (beforeListing) beforeListing();
    queues.clear();
    if (auto it = listFailure.find(scope); it != listFailure.end()) return it->second;
    for (const FakeQueue& q : queues_)
      if (q.scope == scope)
        queues.push_back({q.name, q.makeAndModel, q.hasPpd, {q.server, q.name}, q.changed, clock});
    return {};
  }
  SpoolerStatus OpenQueue(const SpoolerQueue& q) override { return Planned(openFailure, q.name); }
  SpoolerStatus GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) override {
    driver = {queue.makeAndModel, queue.hasPpd, queue.configChanged, queue.listedAt};
    return Planned(driverFailure, queue.name);
  }
  SpoolerStatus DefaultQueue(std::string& name) override {
    name = defaultFailure ? std::string() : defaultQueue;
    return defaultFailure.value_or(SpoolerStatus{});
  }
  SpoolerStatus FetchPpd(const QueueRef& ref, std::string& bytes) override {
    fetched.push_back(ref.queue);
    if (auto it = fetchFailure.find(ref.queue); it != fetchFailure.end()) return it->second;
    const FakeQueue* q = Find(ref);
    if (!q || !q->hasPpd) return Fail(kNotFound, "Not Found");
    return bytes = q->ppd, SpoolerStatus{};
  }
  SpoolerStatus ReplacePpd(const QueueRef& ref, std::string_view bytes) override {
    FakeQueue* q = Find(ref);
    if (replaceFailure || !q)
      return replaceFailure.value_or(Fail(kNotFound, "The printer or class does not exist."));
    q->ppd = std::string(bytes), q->hasPpd = true, q->changed = clock;
    return {};
  }
  SpoolerStatus FollowSavedOption(const QueueRef&, std::string_view,
                                  const std::vector<std::pair<std::string, std::string>>&) override {
    return {};
  }
  // Jobs are kept here, numbered from 1; `printFailure` refuses them.
  std::vector<PrintJob> printed;
  std::optional<SpoolerStatus> printFailure;
  SpoolerStatus Print(const PrintJob& job, int& jobId) override {
    if (printFailure) return *printFailure;
    if (!Find({"", job.queue})) return Fail(kNotFound, "The printer or class does not exist.");
    printed.push_back(job);
    jobId = static_cast<int>(printed.size());
    return {};
  }
  std::string ServerName() const override { return "fake"; }

 private:
  static constexpr int kNotFound = 0x0406;
  static SpoolerStatus Planned(const Failures& failures, const std::string& queue) {
    const auto it = failures.find(queue);
    return it == failures.end() ? SpoolerStatus{} : it->second;
  }
  FakeQueue* Find(const QueueRef& ref) {
    for (FakeQueue& q : queues_)
      if (q.name == ref.queue && q.server == ref.server) return &q;
    return nullptr;
  }
  std::vector<FakeQueue> queues_;
};

}  // namespace tonalis::test
