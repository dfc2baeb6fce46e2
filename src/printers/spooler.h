// The print spooler as the printer list needs it: the queues of a scheduler,
// each queue's driver and PPD, and the user's default queue.
//
// A queue's PPD is a copy that the scheduler keeps for that queue; it is
// fetched and replaced through the scheduler, never as a file, so an ordinary
// user can read it and a member of the scheduler's admin group can replace it,
// on this machine or on another server alike.
//
// Every call that can fail returns a SpoolerStatus: the scheduler's status
// code and its own wording of the reason. The CUPS implementation lives in
// cups_spooler.h; tests use a fake that can fail any call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tonalis {

// Which queues a listing returns.
enum class SpoolerScope {
  Local,        // queues whose PPD this scheduler keeps
  Connections,  // queues that forward to a queue of another server, which keeps the PPD
};

struct SpoolerStatus {
  int code = 0;        // 0 when the call succeeded; otherwise the scheduler's status code
  std::string reason;  // the scheduler's or the system's wording of the failure

  bool ok() const { return code == 0; }
  static SpoolerStatus Failure(int code, std::string reason) {
    return {code, std::move(reason)};
  }
};

// Where a PPD is kept: a queue of a server. An empty server is the configured
// scheduler (the one CUPS_SERVER or client.conf names).
struct QueueRef {
  std::string server;
  std::string queue;

  bool operator==(const QueueRef&) const = default;
};

// One queue as the scheduler lists it.
struct SpoolerQueue {
  std::string name;          // the queue the user prints to
  std::string makeAndModel;  // the driver name as listed
  bool hasPpd = false;       // whether a PPD is kept for it (as listed)
  QueueRef ppd;              // where its PPD is kept
  // When the queue's configuration (its PPD among it) last changed, and the
  // scheduler's clock when it listed the queue, in seconds since 1970 by
  // that clock; 0 when it did not say.
  std::int64_t configChanged = 0;
  std::int64_t listedAt = 0;
};

// A queue's driver, as the server that keeps its PPD describes it.
struct QueueDriver {
  std::string makeAndModel;
  bool hasPpd = false;
  // As in SpoolerQueue, from the server that keeps the PPD.
  std::int64_t configChanged = 0;
  std::int64_t listedAt = 0;
};

// Whether a queue's PPD contains a text, or why it could not be read.
struct PpdSearch {
  SpoolerStatus status;
  bool found = false;
};

// What the scheduler asks when it wants a password.
struct PasswordRequest {
  std::string prompt;  // the scheduler library's own question
  std::string user;    // the user name it will send
  std::string server;  // the server that asks
};

// A document for a queue of the configured scheduler, as `lp -o` sends one.
struct PrintJob {
  std::string queue;
  std::string title;     // the job's name in the queue
  std::string format;    // its MIME type: application/postscript, application/pdf
  std::string document;  // the bytes
  // Job options over the queue's own (VLTone=Gumma2), in this order.
  std::vector<std::pair<std::string, std::string>> options;
};

// Answers a password request; nothing cancels the request (the call that
// needed it then fails with the scheduler's "not authorised").
using PasswordPrompt = std::function<std::optional<std::string>(const PasswordRequest&)>;

class Spooler {
 public:
  virtual ~Spooler() = default;

  // The queues of `scope`, in the scheduler's order. An empty scope is not
  // a failure.
  virtual SpoolerStatus ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) = 0;

  // Makes the server that keeps `queue`'s PPD ready for the calls below.
  virtual SpoolerStatus OpenQueue(const SpoolerQueue& queue) = 0;

  // The driver of `queue`, from the server that keeps its PPD.
  virtual SpoolerStatus GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) = 0;

  // The user's default queue (empty when there is none): the one that
  // `lpstat -d` names.
  virtual SpoolerStatus DefaultQueue(std::string& name) = 0;

  // The PPD kept for a queue, byte for byte.
  virtual SpoolerStatus FetchPpd(const QueueRef& ref, std::string& bytes) = 0;

  // Whether the PPD of each of `refs` contains `text` (zero bytes and all),
  // into `results` in the same order. Nothing is reported to the user: the
  // caller may ask again, one queue at a time, for the ones that failed. By
  // default the PPDs are fetched one after the other.
  virtual void SearchPpds(const std::vector<QueueRef>& refs, std::string_view text,
                          std::vector<PpdSearch>& results) {
    results.assign(refs.size(), {});
    std::string bytes;
    for (std::size_t i = 0; i < refs.size(); ++i) {
      results[i].status = FetchPpd(refs[i], bytes);
      results[i].found =
          results[i].status.ok() && std::string_view(bytes).find(text) != std::string_view::npos;
    }
  }

  // Replaces the PPD kept for a queue. On failure the queue keeps its old PPD.
  virtual SpoolerStatus ReplacePpd(const QueueRef& ref, std::string_view bytes) = 0;

  // The user's saved value of `option` for the queue (every saved instance
  // of it, as lpoptions keeps them): a value listed in `renamed` becomes its
  // new value, or is removed when that is empty. Nothing is written when no
  // saved value changes.
  virtual SpoolerStatus FollowSavedOption(
      const QueueRef& ref, std::string_view option,
      const std::vector<std::pair<std::string, std::string>>& renamed) = 0;

  // Sends `job` to its queue on the configured scheduler and tells the job's
  // number. A queue of another server prints through the queue that
  // forwards to it. When the scheduler refuses the document, the job it
  // created for it is cancelled.
  virtual SpoolerStatus Print(const PrintJob& job, int& jobId) = 0;

  // How the configured scheduler is named to the user (a host, a host and
  // port, or a local socket).
  virtual std::string ServerName() const = 0;
};

}  // namespace tonalis
