#include "cli/commands.h"

#include <algorithm>
#include <map>

#include "cli/cli_interaction.h"
#include "model/version.h"

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
         "  --yes      answer yes to every question (for example, whether to make a\n"
         "             read-only library writable); without it a question stops the\n"
         "             command with exit status 1\n"
         "  --help     show this text, or a command's own help after its name\n"
         "  --version  show the version\n"
         "\nExit status: 0 done, 1 failed (the message says why), 2 usage error.\n";
}

bool IsHelp(std::string_view a) {
  return a == "--help" || a == "-h";
}
bool IsYes(std::string_view a) {
  return a == "--yes" || a == "-y";
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

Arguments::Arguments(std::span<const std::string> args,
                     std::initializer_list<std::string_view> withValue) {
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && std::find(withValue.begin(), withValue.end(), a) != withValue.end()) {
      flags_.push_back(a);
      if (i + 1 < args.size()) {
        values_.emplace_back(a, args[++i]);
      } else {
        missingValue_ = a;
      }
    } else if (options && a.size() > 1 && a[0] == '-') {
      flags_.push_back(a);
    } else {
      positional_.push_back(a);
    }
  }
}

bool Arguments::Has(std::string_view flag) const {
  return std::find(flags_.begin(), flags_.end(), flag) != flags_.end();
}

std::optional<std::string> Arguments::Value(std::string_view option) const {
  std::optional<std::string> value;
  for (const auto& [name, v] : values_) {
    if (name == option) value = v;
  }
  return value;
}

std::optional<std::string> Arguments::Unknown(std::initializer_list<std::string_view> known) const {
  for (const std::string& f : flags_) {
    if (std::find(known.begin(), known.end(), f) == known.end())
      return f;
  }
  return std::nullopt;
}

int UsageError(CommandContext& ctx, std::string_view text) {
  ctx.err << kProgram << ' ' << ctx.command << ": " << text << '\n'
          << "Try '" << kProgram << ' ' << ctx.command << " --help'.\n";
  return kExitUsage;
}

int Failure(CommandContext& ctx, std::string_view text) {
  ctx.err << kProgram << ": " << text << '\n';
  return kExitFailure;
}

int RunCli(std::span<const std::string> args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  // Global options come before the command; --yes is also taken after it,
  // up to a "--".
  bool assumeYes = false;
  std::size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    if (IsHelp(args[i])) {
      PrintOverview(out);
      return kExitOk;
    }
    if (args[i] == "--version") {
      out << kProgram << ' ' << TONALIS_VERSION << '\n';
      return kExitOk;
    }
    if (!IsYes(args[i])) {
      err << kProgram << ": unknown option '" << args[i] << "'\n" << kUsage;
      return kExitUsage;
    }
    assumeYes = true;
  }
  if (i == args.size()) {
    err << kProgram << ": no command given\n" << kUsage << "Try 'tonalis-cli --help'.\n";
    return kExitUsage;
  }

  std::string name = args[i++];
  std::vector<std::string> rest;
  bool wantsHelp = false;
  if (name == "help") {
    if (i == args.size()) {
      PrintOverview(out);
      return kExitOk;
    }
    name = args[i++];
    wantsHelp = true;
  }
  const auto& registry = Registry();
  const auto found = registry.find(name);
  if (found == registry.end()) {
    err << kProgram << ": unknown command '" << name << "'\nTry 'tonalis-cli --help'.\n";
    return kExitUsage;
  }
  const Command& command = found->second;

  bool options = true;
  for (; i < args.size(); ++i) {
    if (options && args[i] == "--")
      options = false;
    if (options && IsHelp(args[i])) {
      wantsHelp = true;
    } else if (options && IsYes(args[i])) {
      assumeYes = true;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (wantsHelp) {
    out << command.help;
    return kExitOk;
  }

  CliInteraction ui(err, std::string(kProgram), assumeYes);
  CommandContext ctx{in, out, err, ui, DefaultStrings(), assumeYes, command.name};
  try {
    return command.run(rest, ctx);
  } catch (const QuestionNotAnswered&) {
    return kExitFailure;
  }
}

}  // namespace tonalis::cli
