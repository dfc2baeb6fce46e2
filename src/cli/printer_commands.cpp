// tonalis-cli printers: the installed printers whose PPD Tonalis can change.
#include "cli/printer_commands.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "formats/json.h"
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
    "      --json   show them as a JSON array of objects: \"printer\" (the queue),\n"
    "               \"driver\" (its make and model), \"server\" (the server that\n"
    "               keeps its PPD), \"default\" (true for the default printer)\n"
    "\n"
    "Use a listed queue with --printer QUEUE in list, apply, add, remove and pick.\n";

// Asks on the controlling terminal with echo off; nothing without one.
std::optional<std::string> TerminalPassword(const PasswordRequest& request) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string prompt = request.prompt.empty()
                           ? "Password for " + request.user + " on " + request.server + "? "
                           : request.prompt;
  if (::write(fd, prompt.data(), prompt.size()) < 0) {
    ::close(fd);
    return std::nullopt;
  }
  termios saved{};
  const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
  if (isTerminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::string password;
  bool ended = false;
  char c;
  while (::read(fd, &c, 1) == 1) {
    if (c == '\n' || c == '\r') {
      ended = true;
      break;
    }
    password += c;
  }
  if (isTerminal) ::tcsetattr(fd, TCSAFLUSH, &saved);
  if (::write(fd, "\n", 1) < 0) {
    // The answer counts all the same.
  }
  ::close(fd);
  if (!ended && password.empty()) return std::nullopt;
  return password;
}

CupsSpooler& TerminalSpooler() {
  CupsSpooler& spooler = SystemSpooler();
  spooler.SetPasswordPrompt(TerminalPassword);
  return spooler;
}

int RunPrinters(std::span<const std::string> args, CommandContext& ctx) {
  const Arguments parsed(args);
  if (auto flag = parsed.Unknown({"--json"}))
    return UsageError(ctx, "unknown option '" + *flag + "'");
  if (!parsed.positional().empty())
    return UsageError(ctx, "unexpected argument '" + parsed.positional().front() + "'");

  CupsSpooler& spooler = TerminalSpooler();
  PrinterDiscovery discovery;
  auto list = std::make_unique<PrinterDefinitionList>();
  const PpdServices services{ctx.ui, ctx.strings};
  if (DiscoverPrinters(spooler, discovery, *list, services) != 1) return kExitFailure;

  const auto& entries = discovery.entries;
  if (parsed.Has("--json")) {
    json::Array out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const PrinterEntry& e = entries[i];
      out.push_back(json::Object{
          {"printer", e.queue},
          {"driver", e.driver},
          {"server", e.server.empty() ? spooler.ServerName() : e.server},
          {"default", discovery.defaultEntry == i},
      });
    }
    ctx.out << json::Write(json::Value(std::move(out)), true) << '\n';
    return kExitOk;
  }
  for (std::size_t i = 0; i < entries.size(); ++i)
    ctx.out << (discovery.defaultEntry == i ? "* " : "  ") << entries[i].Text() << '\n';
  return kExitOk;
}

}  // namespace

std::shared_ptr<PpdTarget> PrinterTarget(const std::string& queue, const std::string& server) {
  return std::make_shared<PpdQueueTarget>(TerminalSpooler(), QueueRef{server, queue});
}

const CommandRegistration kRegisterPrinters{
    {"printers", "list the printers whose PPD Tonalis can change", kHelp, RunPrinters}};

}  // namespace tonalis::cli
