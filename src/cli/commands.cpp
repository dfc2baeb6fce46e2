#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>

#include "cli/cli_interaction.h"
#include "formats/definition_json.h"
#include "model/version.h"
#include "platform/file_lock.h"
#include "printers/cups_spooler.h"

namespace tonalis::cli {

namespace {

std::map<std::string_view, Command>& Registry() {
  static std::map<std::string_view, Command> registry;
  return registry;
}

constexpr std::string_view kUsage =
    "Usage: tonalis-cli [--yes] COMMAND [ARGUMENTS]\n"
    "       tonalis-cli COMMAND --help\n"
    "       tonalis-cli --help | --version\n";

void PrintOverview(std::ostream& out) {
  out << kUsage << "\nDensity controls for colour PostScript printers.\n\nCommands:\n";
  std::size_t width = 0;
  for (const Command& c : RegisteredCommands()) width = std::max(width, c.name.size());
  for (const Command& c : RegisteredCommands()) {
    out << "  " << c.name << std::string(width - c.name.size() + 2, ' ') << c.summary << '\n';
  }
  out << "\nOptions:\n"
         "  -y, --yes   answer yes to every question (for example, whether to make a\n"
         "              read-only library writable); without it a question stops the\n"
         "              command with exit status 1\n"
         "  --timeout SECONDS\n"
         "              how long a print server may take to accept the connection\n"
         "              and to answer (default 5); one that does not fails the\n"
         "              command with exit status 1. Given, it is also how long\n"
         "              to wait for another copy of Tonalis that is changing the\n"
         "              same PPD file (default 30)\n"
         "  -h, --help  show this text, or a command's own help after its name\n"
         "  --version   show the version\n"
         "\nExit status: 0 done, 1 failed (the message says why), 2 usage error.\n";
}

bool IsOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-';
}

// The parser's complaint about a command's arguments, in our words.
std::string CommandUsageText(const CLI::ParseError& error, const CLI::App& command) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    const std::vector<std::string> extra = command.remaining();
    if (!extra.empty()) {
      return (IsOption(extra.front()) ? "unknown option '" : "unexpected argument '") +
             extra.front() + "'";
    }
  }
  const std::string what = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && what.find(':') != std::string::npos)
    return what.substr(0, what.find(':')) + " needs a value";
  return what;
}

// The parsed command, if the parser got as far as one.
CLI::App* ParsedCommand(const CLI::App& app) {
  const std::vector<CLI::App*> parsed = app.get_subcommands();
  return parsed.empty() ? nullptr : parsed.front();
}

}  // namespace

CommandRegistration::CommandRegistration(const Command& command) {
  Registry().emplace(command.name, command);
}

std::vector<Command> RegisteredCommands() {
  std::vector<Command> list;
  for (const auto& [name, c] : Registry()) list.push_back(c);
  return list;
}

int UsageError(CommandContext& ctx, std::string_view text) {
  ctx.err << kProgram << ' ' << ctx.command << ": " << text << '\n'
          << "Try '" << kProgram << ' ' << ctx.command << " --help'.\n";
  return kExitUsage;
}

int Failure(CommandContext& ctx, std::string_view text) {
  ctx.ui.Fail(text);
  return kExitFailure;
}

std::string Quoted(std::string_view nameBytes) {
  return "\"" + DisplayName(nameBytes) + "\"";
}

std::string NameArgument(const std::string& arg) {
  return Utf8ToLatin1(arg).value_or(arg);
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  CLI::App app{std::string(), std::string(kProgram)};
  app.set_help_flag("-h,--help");
  app.require_subcommand(0, 1);
  bool assumeYes = false;
  bool version = false;
  app.add_flag("-y,--yes", assumeYes);
  app.add_flag("--version", version);
  double timeout = kDefaultSchedulerTimeout;
  app.add_option("--timeout", timeout)->check(CLI::Validator(
      [](const std::string& value) {
        char* end = nullptr;
        const double seconds = std::strtod(value.c_str(), &end);
        return end != value.c_str() && *end == '\0' && seconds > 0 && seconds <= 86400
                   ? std::string()
                   : "expected a number of seconds from above 0 to 86400, not '" + value + "'";
      },
      "SECONDS"));

  // `help COMMAND` is `COMMAND --help`.
  CLI::App* help = app.add_subcommand("help");
  help->set_help_flag();
  std::vector<std::string> topic;
  help->add_option("command", topic);

  struct Entry {
    Command command;
    CommandRun run;
    std::vector<std::string> arguments;
  };
  std::map<const CLI::App*, Entry> commands;
  for (const Command& c : RegisteredCommands()) {
    CLI::App* sub = app.add_subcommand(std::string(c.name));
    sub->set_help_flag("-h,--help");
    sub->add_flag("-y,--yes", assumeYes);
    Entry& entry = commands.emplace(sub, Entry{c, c.define(*sub), {}}).first->second;
    sub->add_option("ARGUMENTS", entry.arguments);
  }

  CliInteraction ui(err, std::string(kProgram), false);
  auto context = [&](const Command& c) {
    return CommandContext{in, out, err, ui, DefaultStrings(), c.name, {}};
  };

  // What follows the first "--" after the command's name is positional
  // whatever it looks like; the parser is given only what comes before.
  const auto name = std::find_if(args.begin(), args.end(), [](const std::string& a) { return !IsOption(a); });
  const auto dashes = std::find(name, args.end(), std::string("--"));
  try {
    // The parser takes its arguments last first.
    app.parse(std::vector<std::string>(std::make_reverse_iterator(dashes), args.rend()));
  } catch (const CLI::CallForHelp&) {
    const CLI::App* sub = ParsedCommand(app);
    if (sub && commands.count(sub)) {
      out << commands.at(sub).command.help;
    } else {
      PrintOverview(out);
    }
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    // An unknown option before the command's name is the program's.
    const CLI::App* sub = ParsedCommand(app);
    const bool before = dynamic_cast<const CLI::ExtrasError*>(&error) && sub && sub->remaining().empty();
    if (sub && commands.count(sub) && !before) {
      CommandContext ctx = context(commands.at(sub).command);
      return UsageError(ctx, CommandUsageText(error, *sub));
    }
    const std::vector<std::string> extra = app.remaining();
    if (!extra.empty() && !IsOption(extra.front())) {
      err << kProgram << ": unknown command '" << extra.front() << "'\nTry 'tonalis-cli --help'.\n";
    } else {
      err << kProgram << ": "
          << (extra.empty() ? std::string(error.what()) : "unknown option '" + extra.front() + "'")
          << '\n'
          << kUsage;
    }
    return kExitUsage;
  }

  if (version) {
    out << kProgram << ' ' << TONALIS_VERSION << '\n';
    return kExitOk;
  }
  const CLI::App* sub = ParsedCommand(app);
  if (sub == help) {
    if (topic.empty()) {
      PrintOverview(out);
      return kExitOk;
    }
    const auto found = Registry().find(topic.front());
    if (found == Registry().end()) {
      err << kProgram << ": unknown command '" << topic.front() << "'\nTry 'tonalis-cli --help'.\n";
      return kExitUsage;
    }
    out << found->second.help;
    return kExitOk;
  }
  if (!sub) {
    err << kProgram << ": no command given\n" << kUsage << "Try 'tonalis-cli --help'.\n";
    return kExitUsage;
  }

  Entry& entry = commands.at(sub);
  ui.SetAssumeYes(assumeYes);
  SetSchedulerTimeout(timeout);
  if (app.count("--timeout"))
    SetLockWait(std::chrono::milliseconds(static_cast<long long>(timeout * 1000)));
  CommandContext ctx = context(entry.command);
  ctx.arguments = std::move(entry.arguments);
  if (dashes != args.end())
    ctx.arguments.insert(ctx.arguments.end(), dashes + 1, args.end());
  try {
    return entry.run(ctx);
  } catch (const QuestionNotAnswered&) {
    return kExitFailure;
  }
}

}  // namespace tonalis::cli
