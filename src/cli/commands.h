// The command registry of tonalis-cli.
//
// A command lives in its own source file and registers itself with one line
// at namespace scope:
//
//   const CommandRegistration kRegisterGamma{{"gamma", "summary", kGammaHelp, DefineGamma}};
//
// and its file is added to tonalis-cli's sources in src/cli/CMakeLists.txt.
// (Registration runs from static initialisation, so command files must be
// linked into the executable directly, not through a static library.)
//
// A command's Define declares its options on its CLI11 subcommand and
// returns what runs it once they are parsed; its positional arguments come
// in CommandContext::arguments. The dispatcher
// handles the global options (--help, --version, --yes), the command's
// --help, the usage errors of the parser and the QuestionNotAnswered stop.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "model/string_table.h"
#include "platform/interaction.h"

namespace CLI {
class App;
}

namespace tonalis::cli {

class CliInteraction;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the message on stderr says why
inline constexpr int kExitUsage = 2;

inline constexpr std::string_view kProgram = "tonalis-cli";

struct CommandContext {
  std::istream& in;   // standard input, for "-" arguments
  std::ostream& out;  // results
  std::ostream& err;  // messages
  CliInteraction& ui;
  const StringSource& strings;
  std::string_view command;  // the command's name, for messages
  // The command's positional arguments, those after "--" included.
  std::vector<std::string> arguments;
};

using CommandRun = std::function<int(CommandContext& ctx)>;
using CommandDefine = CommandRun (*)(CLI::App& command);

struct Command {
  std::string_view name;
  std::string_view summary;  // one line for the command list
  std::string_view help;     // the full text of `tonalis-cli NAME --help`
  CommandDefine define;
};

struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};

// Every registered command, sorted by name.
std::vector<Command> RegisteredCommands();

// Runs the program on argv[1..]; returns the exit status.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

// Reports a usage error ("tonalis-cli COMMAND: text" and a pointer to
// --help) and returns kExitUsage.
int UsageError(CommandContext& ctx, std::string_view text);
// Reports a failure that has no text in the string table and returns
// kExitFailure.
int Failure(CommandContext& ctx, std::string_view text);

// "NAME" for messages, as a terminal shows it.
std::string Quoted(std::string_view nameBytes);
// Command-line names are UTF-8; names in files are ISO 8859-1 bytes. An
// argument that is not such a name is taken byte for byte.
std::string NameArgument(const std::string& arg);

}  // namespace tonalis::cli
