// tonalis-cli printers: the installed printers whose PPD Tonalis can change.
#include "cli/printer_commands.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "formats/definition_json.h"
#include "printers/cups_spooler.h"
#include "printers/printer_discovery.h"
#include "printers/queue_target.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli printers [--json]\n"
    "\n"
    "Lists the printers whose PPD Tonalis can change: the print queues of the\n"
    "configured CUPS scheduler (CUPS_SERVER, or client.conf) whose make and model\n"
    "names a supported product or whose PPD carries the supported-product keyword,\n"
    "in the scheduler's order; then the queues that forward to a queue of another\n"
    "server, whose PPD that server keeps. Each queue has its own PPD, so each is\n"
    "listed. The default printer (the one `lpstat -d` names) is marked with '*';\n"
    "its PPD is read, and when that fails the printer is left out and the reason\n"
    "is shown.\n"
    "\n"
    "What each queue's PPD said is kept in $XDG_CACHE_HOME/tonalis/printers.json\n"
    "(~/.cache/tonalis/printers.json) until the queue's configuration changes, so\n"
    "that a later listing need not fetch it again; the file may be deleted.\n"
    "\n"
    "  -j, --json   show them as a JSON array of objects: \"printer\" (the queue),\n"
    "               \"driver\" (its make and model), \"server\" (the server that\n"
    "               keeps its PPD), \"default\" (true for the default printer)\n"
    "\n"
    "Use a listed queue with --printer QUEUE in list, apply, add, remove and pick;\n"
    "--all (with --model TEXT) in list, apply, add, remove and default takes them\n"
    "all (those whose make and model contains TEXT).\n";

CommandRun DefinePrinters(CLI::App& command) {
  auto json = std::make_shared<bool>(false);
  command.add_flag("-j,--json", *json);
  return [json](CommandContext& ctx) {
    if (!ctx.arguments.empty())
      return UsageError(ctx, "unexpected argument '" + ctx.arguments.front() + "'");
    // No password prompt of our own: libcups asks on the terminal itself.
    CupsSpooler& spooler = SystemSpooler();
    PrinterDiscovery discovery;
    VerdictCache verdicts(VerdictCache::DefaultPath());
    discovery.verdicts = &verdicts;
    auto list = std::make_unique<PrinterDefinitionList>();
    const PpdServices services{ctx.ui, ctx.strings};
    if (DiscoverPrinters(spooler, discovery, *list, services) != 1)
      return kExitFailure;

    const auto& entries = discovery.entries;
    if (*json) {
      Json out = Json::array();
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const PrinterEntry& e = entries[i];
        out.push_back(Json{
            {"printer", e.queue},
            {"driver", e.driver},
            {"server", e.server.empty() ? spooler.ServerName() : e.server},
            {"default", discovery.defaultEntry == i},
        });
      }
      ctx.out << WriteJson(out) << '\n';
      return kExitOk;
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
      ctx.out << (discovery.defaultEntry == i ? "* " : "  ") << entries[i].Text() << '\n';
    return kExitOk;
  };
}

}  // namespace

std::shared_ptr<PpdTarget> PrinterTarget(const std::string& queue, const std::string& server) {
  return std::make_shared<PpdQueueTarget>(SystemSpooler(), QueueRef{server, queue});
}

const CommandRegistration kRegisterPrinters{
    {"printers", "list the printers whose PPD Tonalis can change", kHelp, DefinePrinters}};

}  // namespace tonalis::cli
