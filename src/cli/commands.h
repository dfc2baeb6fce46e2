// The command registry of tonalis-cli.
//
// A command lives in its own source file and registers itself with one line
// at namespace scope:
//
//   const CommandRegistration kRegisterGamma{{"gamma", "summary", kGammaHelp, RunGamma}};
//
// and its file is added to tonalis-cli's sources in src/cli/CMakeLists.txt.
// (Registration runs from static initialisation, so command files must be
// linked into the executable directly, not through a static library.)
//
// The dispatcher handles the global options (--help, --version, --yes), the
// command's --help, and the QuestionNotAnswered stop; a command parses the
// rest of its arguments and returns its exit status.
#pragma once

#include <initializer_list>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/string_table.h"
#include "platform/interaction.h"

namespace tonalis::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the message on stderr says why
inline constexpr int kExitUsage = 2;

inline constexpr std::string_view kProgram = "tonalis-cli";

struct CommandContext {
  std::istream& in;   // standard input, for "-" arguments
  std::ostream& out;  // results
  std::ostream& err;  // messages
  UserInteraction& ui;
  const StringSource& strings;
  bool assumeYes = false;    // --yes was given
  std::string_view command;  // the command's name, for messages
};

using CommandRun = int (*)(std::span<const std::string> args, CommandContext& ctx);

struct Command {
  std::string_view name;
  std::string_view summary;  // one line for the command list
  std::string_view help;     // the full text of `tonalis-cli NAME --help`
  CommandRun run;
};

struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};

// Every registered command, sorted by name.
std::vector<Command> RegisteredCommands();

// Runs the program on argv[1..]; returns the exit status.
int RunCli(std::span<const std::string> args, std::istream& in, std::ostream& out,
           std::ostream& err);

// A command's arguments split into flags and positional arguments. "--"
// ends the flags; a lone "-" is positional (standard input or output).
//
// Options listed in `withValue` take the next argument as their value
// ("--library LIB"); a missing value is reported by MissingValue().
class Arguments {
 public:
  explicit Arguments(std::span<const std::string> args,
                     std::initializer_list<std::string_view> withValue = {});
  bool Has(std::string_view flag) const;
  // The value of a value option, if given (the last one counts).
  std::optional<std::string> Value(std::string_view option) const;
  // A value option given last without its value.
  const std::optional<std::string>& MissingValue() const { return missingValue_; }
  const std::vector<std::string>& positional() const { return positional_; }
  // Every option given, value options included (without their values).
  const std::vector<std::string>& Flags() const { return flags_; }
  // The first flag that is not one of `known`.
  std::optional<std::string> Unknown(std::initializer_list<std::string_view> known) const;

 private:
  std::vector<std::string> flags_;
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::optional<std::string> missingValue_;
};

// Reports a usage error ("tonalis-cli COMMAND: text" and a pointer to
// --help) and returns kExitUsage.
int UsageError(CommandContext& ctx, std::string_view text);
// Reports a failure that has no text in the string table and returns
// kExitFailure.
int Failure(CommandContext& ctx, std::string_view text);

}  // namespace tonalis::cli
