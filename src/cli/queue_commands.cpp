// tonalis-cli check and restore: whether the print queues Tonalis wrote still
// hold their density controls, and putting them back.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "formats/definition_json.h"
#include "printers/cups_spooler.h"
#include "printers/queue_records.h"
#include "workspace/queue_watch.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kCheckHelp =
    "Usage: tonalis-cli check [--printer QUEUE]... [--server HOST[:PORT]] [--json]\n"
    "\n"
    "Tells for each print queue that Tonalis wrote density controls to whether\n"
    "they are still there. Each successful write to a queue is recorded in\n"
    "$XDG_STATE_HOME/tonalis/queues.json (~/.local/state/tonalis/queues.json);\n"
    "check compares the queue's PPD now with that record:\n"
    "  in place                 the density controls are the ones written\n"
    "  changed by someone else  another program or user changed them\n"
    "  lost                     the PPD has none any more: a driver update or a\n"
    "                           new installation of the queue replaced it\n"
    "  gone                     the server has no such queue any more\n"
    "A change of the default choice alone (lpadmin -o VLTone=...) is no change.\n"
    "Exits with 0 only when every queue checked is in place.\n"
    "\n"
    "  -p, --printer QUEUE  check this recorded queue (may be given again);\n"
    "                       without it, every recorded queue\n"
    "  -s, --server HOST    the queues of this server (default: the configured\n"
    "                       scheduler when --printer is given; otherwise all)\n"
    "  -j, --json           the same as a JSON array: \"printer\", \"server\",\n"
    "                       \"state\" (in-place, changed, lost, gone, unreachable)\n"
    "                       and \"reason\"\n"
    "\n"
    "After package updates: see 'restore --help'.\n";

constexpr std::string_view kRestoreHelp =
    "Usage: tonalis-cli restore [--printer QUEUE]... [--server HOST[:PORT]]\n"
    "\n"
    "Puts the recorded density controls (see 'check --help') back onto each\n"
    "recorded queue whose controls were lost or changed: the definitions in\n"
    "their order and the default choice, written onto the queue's PPD as it is\n"
    "now (the driver's part stays as the update left it), verified like every\n"
    "write. Queues in place are left alone. Exits with 0 only when every queue\n"
    "is in place afterwards.\n"
    "\n"
    "  -p, --printer QUEUE  restore this recorded queue (may be given again);\n"
    "                       without it, every recorded queue\n"
    "  -s, --server HOST    the queues of this server, as for check\n"
    "\n"
    "An administrator can run 'tonalis-cli check' and 'tonalis-cli restore' after\n"
    "the printer drivers were updated, for example from an APT hook or a systemd\n"
    "timer; examples are in /usr/share/doc/tonalis/examples.\n";

// The command's own interaction, without the guide to the print dialog that
// follows each write: restore puts back what the user has seen before, and
// says so in one line per queue.
class WithoutPrintingGuide final : public UserInteraction {
 public:
  explicit WithoutPrintingGuide(UserInteraction& ui) : ui_(ui) {}
  void Show(const Message& message) override {
    if (message.stringId != sid::kPpdWritten)
      ui_.Show(message);
  }
  bool Ask(const Message& message) override { return ui_.Ask(message); }

 private:
  UserInteraction& ui_;
};

struct Options {
  std::vector<std::string> printers;
  std::string server;
  CLI::Option* serverOption = nullptr;
  bool json = false;
};

// The records the options pick; a failure (reported) when the file cannot
// be read or a named queue has no record.
std::optional<std::vector<QueueRecord>> Selected(CommandContext& ctx, const Options& options,
                                                 const Spooler& spooler) {
  std::string error;
  std::optional<std::vector<QueueRecord>> all = ReadQueueRecords(QueueRecordsPath(), error);
  if (!all) {
    Failure(ctx, error);
    return std::nullopt;
  }
  const bool serverGiven = options.serverOption->count() > 0;
  const std::string server = serverGiven ? options.server : spooler.ServerName();
  std::vector<QueueRecord> picked;
  for (const QueueRecord& record : *all) {
    if ((serverGiven || !options.printers.empty()) && record.server != server)
      continue;
    if (!options.printers.empty() &&
        std::find(options.printers.begin(), options.printers.end(), record.queue) == options.printers.end())
      continue;
    picked.push_back(record);
  }
  for (const std::string& queue : options.printers) {
    const bool found = std::any_of(picked.begin(), picked.end(),
                                   [&](const QueueRecord& r) { return r.queue == queue; });
    if (!found) {
      Failure(ctx, queue + (serverGiven ? " on " + server : std::string()) +
                       ": Tonalis has written no density controls to this queue");
      return std::nullopt;
    }
  }
  return picked;
}

int NothingRecorded(CommandContext& ctx) {
  ctx.out << "No print queue has density controls recorded yet (Tonalis records each queue it\n"
             "writes them to, in " << QueueRecordsPath() << ").\n";
  return kExitOk;
}

void PrintState(CommandContext& ctx, const std::string& queue, const QueueCheck& check) {
  ctx.out << queue << ": " << QueueStateText(check.state);
  if (check.state == QueueState::Unreachable)
    ctx.out << " (" << check.reason << ")";
  ctx.out << '\n';
}

using QueueRun = int (*)(CommandContext& ctx, const Options& options, CupsSpooler& spooler,
                         const std::vector<QueueRecord>& records);

// Declares the options of check or restore and runs `run` on the records
// they pick.
template <QueueRun run>
CommandRun DefineQueueCommand(CLI::App& command, bool json) {
  auto options = std::make_shared<Options>();
  command.add_option("-p,--printer", options->printers);
  options->serverOption = command.add_option("-s,--server", options->server);
  if (json)
    command.add_flag("-j,--json", options->json);
  return [options](CommandContext& ctx) {
    if (!ctx.arguments.empty())
      return UsageError(ctx, "unexpected argument '" + ctx.arguments.front() + "'");
    CupsSpooler& spooler = SystemSpooler();
    const std::optional<std::vector<QueueRecord>> records = Selected(ctx, *options, spooler);
    if (!records)
      return kExitFailure;
    if (records->empty() && !options->json)
      return NothingRecorded(ctx);
    return run(ctx, *options, spooler, *records);
  };
}

int Check(CommandContext& ctx, const Options& options, CupsSpooler& spooler,
          const std::vector<QueueRecord>& records) {
  bool allInPlace = true;
  Json out = Json::array();
  for (const QueueRecord& record : records) {
    const QueueCheck check = CheckQueueRecord(record, spooler);
    allInPlace = allInPlace && check.state == QueueState::InPlace;
    if (options.json) {
      out.push_back(Json{{"printer", record.queue},
                         {"server", record.server},
                         {"state", QueueStateKey(check.state)},
                         {"reason", check.reason}});
    } else {
      PrintState(ctx, DescribeRecord(record, spooler), check);
    }
  }
  if (options.json)
    ctx.out << WriteJson(out) << '\n';
  return allInPlace ? kExitOk : kExitFailure;
}

int Restore(CommandContext& ctx, const Options&, CupsSpooler& spooler,
            const std::vector<QueueRecord>& records) {
  WithoutPrintingGuide ui(ctx.ui);
  WorkspaceSeams seams{ui, ctx.strings};
  seams.holdTarget = true;
  seams.queueRecords = QueueRecordsPath();
  bool allInPlace = true;
  for (const QueueRecord& record : records) {
    const std::string queue = DescribeRecord(record, spooler);
    const QueueCheck check = CheckQueueRecord(record, spooler);
    if (check.state == QueueState::InPlace) {
      ctx.out << queue << ": in place\n";
      continue;
    }
    if (check.state == QueueState::Gone || check.state == QueueState::Unreachable) {
      PrintState(ctx, queue, check);
      allInPlace = false;
      continue;
    }
    ctx.ui.SetSubject(queue);
    const bool restored = RestoreQueue(record, spooler, seams);
    ctx.ui.SetSubject({});
    if (!restored) {
      allInPlace = false;
      ctx.out << queue << ": not restored\n";
      continue;
    }
    ctx.out << queue << ": restored";
    const char* separator = " ";
    for (const DensityDef& def : record.definitions) {
      ctx.out << separator << Quoted(NameOf(def));
      separator = ", ";
    }
    if (record.definitions.empty())
      ctx.out << " (no density controls)";
    ctx.out << '\n';
  }
  return allInPlace ? kExitOk : kExitFailure;
}

CommandRun DefineCheck(CLI::App& command) {
  return DefineQueueCommand<Check>(command, true);
}
CommandRun DefineRestore(CLI::App& command) {
  return DefineQueueCommand<Restore>(command, false);
}

const CommandRegistration kRegisterCheck{
    {"check", "tell whether the queues written to still hold their density controls", kCheckHelp,
     DefineCheck}};
const CommandRegistration kRegisterRestore{
    {"restore", "put lost or changed density controls back onto their queues", kRestoreHelp,
     DefineRestore}};

}  // namespace
}  // namespace tonalis::cli
