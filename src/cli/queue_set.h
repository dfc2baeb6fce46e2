// Several print queues in one command: --printer given more than once, or
// --all (every queue that `tonalis-cli printers` lists) narrowed by --model.
//
// Each queue is done on its own, exactly as the command does a single queue:
// its own workspace reads, changes, verifies and replaces its PPD under its
// own lock, and a queue that fails keeps its PPD and does not stop the
// others. Its messages go to stderr as they come; stdout gets one result
// line per queue and a summary ("3 printers: 2 changed, 1 failed (Lab)"), or
// the same as one JSON object.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/definition_json.h"
#include "formats/ppd_target.h"

namespace tonalis::cli {

// The queues the command line names.
struct QueueSelection {
  std::vector<std::string> printers;    // each --printer, in order
  std::optional<std::string> server;    // --server HOST[:PORT]
  bool all = false;                     // --all
  std::optional<std::string> model;     // --model TEXT
};

struct SelectedQueue {
  std::string printer;  // the queue the user prints to
  std::string server;   // the server that keeps its PPD, as the user names it
  std::shared_ptr<PpdTarget> target;
};

// The queues of `selection`: those named, or those --all finds. Nothing,
// after a message, when the server's queues cannot be listed or --all finds
// none; `status` is then the exit status.
std::optional<std::vector<SelectedQueue>> SelectQueues(CommandContext& ctx,
                                                       const QueueSelection& selection,
                                                       int& status);

// Whether `model` is within `makeAndModel`, letters compared without their
// case.
bool ModelMatches(std::string_view makeAndModel, std::string_view model);

// What one queue's run did, for its result line and its JSON object.
struct QueueResult {
  std::string text;  // the result line after "QUEUE: "; empty: no line
  Json data = Json::object();  // members added to the queue's JSON object
};

// Runs one queue; returns its exit status (0 when it succeeded).
using QueueRun =
    std::function<int(CommandContext& ctx, const std::shared_ptr<PpdTarget>& target,
                      QueueResult& result)>;

// Runs `run` on each queue in turn with a context of its own (standard
// input, when given, is `input` anew for each) and prints the results and
// the summary, counting the queues that succeeded as `doneWord` ("changed",
// "listed"). Exit status 0 when every queue succeeded, 1 otherwise.
int RunOnQueues(CommandContext& ctx, const std::vector<SelectedQueue>& queues,
                const std::optional<std::string>& input, bool json, std::string_view doneWord,
                const QueueRun& run);

}  // namespace tonalis::cli
