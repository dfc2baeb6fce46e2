#include "support/fake_spooler.h"

#include <stdexcept>

namespace tonalis::test {

namespace {
constexpr int kNotFound = 0x0406;
}

FakeSpooler& FakeSpooler::Add(FakeQueue queue) {
  queues_.push_back(std::move(queue));
  return *this;
}

const std::string& FakeSpooler::Ppd(const std::string& queue) const {
  for (const FakeQueue& q : queues_)
    if (q.name == queue) return q.ppd;
  throw std::out_of_range("no fake queue " + queue);
}

SpoolerStatus FakeSpooler::Fail(int code, std::string reason) {
  return SpoolerStatus::Failure(code, std::move(reason));
}

FakeQueue* FakeSpooler::Find(const QueueRef& ref) {
  for (FakeQueue& q : queues_)
    if (q.name == ref.queue && q.server == ref.server) return &q;
  return nullptr;
}

SpoolerStatus FakeSpooler::ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) {
  queues.clear();
  if (auto it = listFailure.find(scope); it != listFailure.end()) return it->second;
  for (const FakeQueue& q : queues_) {
    if (q.scope != scope) continue;
    SpoolerQueue listed;
    listed.name = q.name;
    listed.makeAndModel = q.makeAndModel;
    listed.hasPpd = q.hasPpd;
    listed.ppd = {q.server, q.name};
    queues.push_back(std::move(listed));
  }
  return {};
}

SpoolerStatus FakeSpooler::OpenQueue(const SpoolerQueue& queue) {
  if (auto it = openFailure.find(queue.name); it != openFailure.end()) return it->second;
  return {};
}

SpoolerStatus FakeSpooler::GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) {
  if (auto it = driverFailure.find(queue.name); it != driverFailure.end()) return it->second;
  const FakeQueue* q = Find(queue.ppd);
  if (!q) return Fail(kNotFound, "no such queue");
  driver = {q->makeAndModel, q->hasPpd};
  return {};
}

SpoolerStatus FakeSpooler::DefaultQueue(std::string& name) {
  if (defaultFailure) return *defaultFailure;
  name = defaultQueue;
  return {};
}

SpoolerStatus FakeSpooler::FetchPpd(const QueueRef& ref, std::string& bytes) {
  fetched.push_back(ref.queue);
  if (auto it = fetchFailure.find(ref.queue); it != fetchFailure.end()) return it->second;
  const FakeQueue* q = Find(ref);
  if (!q || !q->hasPpd) return Fail(kNotFound, "Not Found");
  bytes = q->ppd;
  return {};
}

SpoolerStatus FakeSpooler::ReplacePpd(const QueueRef& ref, std::string_view bytes) {
  replaced.push_back(ref.queue);
  if (replaceFailure) return *replaceFailure;
  FakeQueue* q = Find(ref);
  if (!q) return Fail(kNotFound, "The printer or class does not exist.");
  q->ppd = std::string(bytes);
  q->hasPpd = true;
  return {};
}

SpoolerStatus FakeSpooler::FollowSavedOption(
    const QueueRef& ref, std::string_view option,
    const std::vector<std::pair<std::string, std::string>>& renamed) {
  auto queue = saved.find(ref.queue);
  if (queue == saved.end()) return {};
  auto value = queue->second.find(std::string(option));
  if (value == queue->second.end()) return {};
  for (const auto& [from, to] : renamed) {
    if (from != value->second) continue;
    if (to.empty()) {
      queue->second.erase(value);
    } else {
      value->second = to;
    }
    break;
  }
  return {};
}

}  // namespace tonalis::test
