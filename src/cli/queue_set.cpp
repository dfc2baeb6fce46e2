#include "cli/queue_set.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/cli_interaction.h"
#include "cli/printer_commands.h"
#include "printers/cups_spooler.h"
#include "printers/printer_discovery.h"
#include "printers/queue_target.h"

namespace tonalis::cli {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Every supported queue of the configured scheduler, or of `server`.
std::optional<std::vector<SelectedQueue>> AllQueues(CommandContext& ctx,
                                                    const QueueSelection& selection,
                                                    int& status) {
  // The listing goes to the server named; the queues' PPDs are then read and
  // replaced through the process's spooler, as --printer QUEUE --server HOST
  // does.
  std::unique_ptr<CupsSpooler> own;
  if (selection.server) own = std::make_unique<CupsSpooler>(*selection.server);
  CupsSpooler& spooler = own ? *own : SystemSpooler();
  const std::string server = selection.server.value_or(std::string());
  PrinterDiscovery discovery;
  discovery.makeTarget = [&server](const QueueRef& ref) {
    return PrinterTarget(ref.queue, ref.server.empty() ? server : ref.server);
  };
  auto list = std::make_unique<PrinterDefinitionList>();
  if (DiscoverPrinters(spooler, discovery, *list, PpdServices{ctx.ui, ctx.strings}) != 1) {
    status = kExitFailure;
    return std::nullopt;
  }
  std::vector<SelectedQueue> queues;
  for (const PrinterEntry& entry : discovery.entries) {
    if (selection.model && !ModelMatches(entry.driver, *selection.model)) continue;
    queues.push_back({entry.queue, entry.server.empty() ? spooler.ServerName() : entry.server,
                      entry.target});
  }
  if (queues.empty()) {
    std::string text = "the print server " + spooler.ServerName() + " has no printer";
    text += selection.model ? " whose make and model contains \"" + *selection.model + "\""
                            : " whose PPD Tonalis can change";
    status = Failure(ctx, text + " ('tonalis-cli printers' lists them)");
    return std::nullopt;
  }
  return queues;
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

}  // namespace

bool ModelMatches(std::string_view makeAndModel, std::string_view model) {
  return std::search(makeAndModel.begin(), makeAndModel.end(), model.begin(), model.end(),
                     [](char a, char b) { return Lower(a) == Lower(b); }) != makeAndModel.end();
}

std::optional<std::vector<SelectedQueue>> SelectQueues(CommandContext& ctx,
                                                       const QueueSelection& selection,
                                                       int& status) {
  if (selection.all) return AllQueues(ctx, selection, status);
  std::vector<SelectedQueue> queues;
  for (std::size_t i = 0; i < selection.printers.size(); ++i) {
    const std::string& printer = selection.printers[i];
    if (printer.empty()) {
      status = UsageError(ctx, "--printer needs a queue name");
      return std::nullopt;
    }
    if (std::find(selection.printers.begin(), selection.printers.begin() + i, printer) !=
        selection.printers.begin() + i) {
      status = UsageError(ctx, "--printer " + printer + " is given twice");
      return std::nullopt;
    }
    const std::string server = selection.server.value_or(std::string());
    queues.push_back({printer, server.empty() ? SystemSpooler().ServerName() : server,
                      PrinterTarget(printer, server)});
  }
  return queues;
}

int RunOnQueues(CommandContext& ctx, const std::vector<SelectedQueue>& queues,
                const std::optional<std::string>& input, bool json, std::string_view doneWord,
                const QueueRun& run) {
  // The advice after a write is the same for every queue.
  ctx.ui.ShowOnce(sid::kPpdWritten);
  Json objects = Json::array();
  std::vector<std::string> failed;
  bool ownOutput = false;  // the previous queue printed more than a result line
  for (const SelectedQueue& queue : queues) {
    ctx.ui.ForgetShown();
    std::istringstream queueInput(input.value_or(std::string()));
    CommandContext queueCtx{input ? queueInput : ctx.in, ctx.out,     ctx.err,
                            ctx.ui,                      ctx.strings, ctx.command,
                            ctx.arguments};
    if (ownOutput && !json) ctx.out << '\n';
    QueueResult result;
    bool unanswered = false;
    int status = kExitFailure;
    try {
      status = run(queueCtx, queue.target, result);
    } catch (const QuestionNotAnswered&) {
      // The queue's workspace has let go of its PPD untouched.
      unanswered = true;
    }
    ctx.ui.SetSubject({});
    Json object{{"printer", queue.printer}, {"server", queue.server}, {"ok", status == kExitOk}};
    if (status == kExitOk) {
      ownOutput = result.text.empty();
      if (!json && !result.text.empty()) ctx.out << queue.printer << ": " << result.text << '\n';
      object.update(result.data);
    } else {
      ownOutput = false;
      failed.push_back(queue.printer);
      Message why = ctx.ui.lastShown().value_or(Message{});
      // A message that starts with the queue's name says it once.
      const std::string prefix = queue.target->Describe() + ": ";
      if (why.text.rfind(prefix, 0) == 0) why.text.erase(0, prefix.size());
      if (unanswered) why.detail = "the question was not answered (--yes answers yes)";
      if (!json) {
        ctx.out << queue.printer << ": failed";
        if (!why.text.empty()) ctx.out << ": " << FirstLine(why.text);
        if (!why.detail.empty()) ctx.out << " (" << FirstLine(why.detail) << ")";
        ctx.out << '\n';
      }
      object["message"] = why.text;
      object["reason"] = why.detail;
    }
    objects.push_back(std::move(object));
  }

  const std::size_t done = queues.size() - failed.size();
  std::string summary = std::to_string(queues.size()) +
                        (queues.size() == 1 ? " printer: " : " printers: ") +
                        std::to_string(done) + " " + std::string(doneWord);
  if (!failed.empty())
    summary += ", " + std::to_string(failed.size()) + " failed (" + Joined(failed) + ")";
  if (json) {
    Json out{{"printers", std::move(objects)},
             {"summary", Json{{"printers", queues.size()},
                              {std::string(doneWord), done},
                              {"failed", failed},
                              {"text", summary}}}};
    ctx.out << WriteJson(out) << '\n';
  } else {
    if (ownOutput) ctx.out << '\n';
    ctx.out << summary << '\n';
  }
  return failed.empty() ? kExitOk : kExitFailure;
}

}  // namespace tonalis::cli
