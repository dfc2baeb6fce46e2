// tonalis-cli library: show, store and delete the definitions of a library
// file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <memory>
#include <string>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "cli/library_option.h"
#include "formats/definition_json.h"
#include "platform/file_replace.h"
#include "workspace/workspace.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli library [LIB] [--json]\n"
    "       tonalis-cli library [LIB] put FILE.json\n"
    "       tonalis-cli library [LIB] delete NAME...\n"
    "\n"
    "Works on the library file LIB (or --library LIB), the file in which Tonalis\n"
    "keeps the user's density controls. Without LIB it is the library of the\n"
    "window started from the desktop menu, $XDG_DATA_HOME/tonalis/QR_grad.dat\n"
    "(~/.local/share/tonalis/QR_grad.dat); a library named put or delete is given\n"
    "as ./put or with --library.\n"
    "\n"
    "Showing only reads LIB: a missing LIB is an error, and '-' reads the library\n"
    "from standard input. put creates a missing LIB (and the default library's\n"
    "folder). put and delete hold LIB under an exclusive lock while they run:\n"
    "when another running copy of Tonalis holds it, they fail. A read-only LIB is\n"
    "made writable only with --yes.\n"
    "\n"
    "  -l, --library LIB     the library file, instead of LIB before the action\n"
    "  library LIB           show the definitions as a table: for each, its name,\n"
    "                        whether one curve serves all colours, and the points\n"
    "                        (in percent, '-' for unset) and gamma of each curve\n"
    "  -j, --json            show them as a JSON array of definition objects\n"
    "  put FILE.json         store each definition of the JSON array in FILE\n"
    "                        ('-' reads standard input): a definition whose name is\n"
    "                        in the library replaces it in its place, a new one\n"
    "                        takes the first free place. Each definition must pass\n"
    "                        the curve editor's checks; if one does not, or the\n"
    "                        library (100 definitions) is full, nothing is stored\n"
    "  delete NAME...        delete the definitions of these names\n"
    "\n"
    "A definition object:\n"
    "  {\"name\": \"Standard\", \"allChannels\": 1,\n"
    "   \"channels\": [{\"points\": [0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 10000],\n"
    "                 \"gamma\": -1}, ...]}\n"
    "name: 1 to 32 printable characters of ISO 8859-1 (U+0020 to U+007E and\n"
    "U+00A0 to U+00FF; no control characters). allChannels: 1 when the cyan\n"
    "curve serves all four colours (the other three are then stored as copies\n"
    "of it), 0 for a curve per colour.\n"
    "channels: four, in the order cyan, magenta, yellow, black. points: the\n"
    "outputs at the inputs 0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95 and 100 %\n"
    "in hundredths of a percent (0 to 10000; -1 = unset); the 0 % and 100 % points\n"
    "must be set. gamma: in hundredths (1 to 9999; -1 = unset), kept for the\n"
    "editor; the curve is given by the points alone.\n"
    "The output of --json can be given to put unchanged.\n";

int Show(CommandContext& ctx, const std::string& path, bool asJson) {
  Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, path});
  if (!ReadLibraryFor(ctx, ws, path))
    return kExitFailure;
  std::vector<const DensityDef*> defs;
  for (int i : VisibleSlots(ws.library())) defs.push_back(&ws.library().slots[i]);
  if (!asJson && defs.empty()) {
    ctx.out << "No definitions in " << path << ".\n";
  } else {
    PrintDefinitions(ctx.out, defs, asJson);
  }
  return kExitOk;
}

constexpr std::size_t kMaxJsonBytes = std::size_t{4} << 20;

// The definitions of a JSON file, each checked for storing. Reports the first
// problem and returns nothing then.
std::optional<std::vector<JsonDefinition>> ReadDefinitions(CommandContext& ctx,
                                                           const std::string& file) {
  std::string text;
  int error = 0;
  if (IsStandardInput(file)) {
    for (std::istreambuf_iterator<char> it(ctx.in), end; it != end && text.size() <= kMaxJsonBytes; ++it)
      text.push_back(*it);
    if (text.size() > kMaxJsonBytes)
      error = EFBIG;
  } else {
    error = ReadWholeFile(file, text, /*regularOnly=*/false, kMaxJsonBytes);
  }
  if (error == EFBIG) {
    // A full library is about 200 KB of JSON; anything far larger is not
    // one (/dev/zero, a disk image) and would only fill the memory.
    Failure(ctx, file + ": too large for a list of definitions (more than " +
                     std::to_string(kMaxJsonBytes >> 20) + " MiB)");
    return std::nullopt;
  }
  if (error != 0) {
    Failure(ctx, file + ": cannot be read: " + FileFailureReason(file, error));
    return std::nullopt;
  }
  // Some editors start a UTF-8 file with a byte-order mark.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark))
    text.erase(0, kByteOrderMark.size());
  JsonError parseError;
  const std::optional<Json> doc = ParseJson(text, parseError);
  if (!doc) {
    Failure(ctx, file + ":" + std::to_string(parseError.line) + ":" +
                     std::to_string(parseError.column) + ": not valid JSON: " + parseError.message);
    return std::nullopt;
  }
  if (!doc->is_array()) {
    Failure(ctx, file + ": expected an array of definition objects");
    return std::nullopt;
  }

  std::vector<JsonDefinition> defs;
  for (std::size_t n = 0; n < doc->size(); ++n) {
    const std::string which = file + ": definition " + std::to_string(n + 1);
    JsonDefinition def = DefinitionFromJson((*doc)[n], ctx.strings);
    if (!def.error.empty()) {
      Failure(ctx, which + ": " + def.error);
      return std::nullopt;
    }
    if (const std::optional<Refusal>& refusal = def.refusal) {
      Message m;
      m.stringId = refusal->stringId;
      m.text = refusal->text;
      m.subject = which + " " + Quoted(def.name);
      if (refusal->channel >= 0) {
        m.subject += def.record.allChannels == 1 ? ", all colours"
                                                 : ", " + std::string(ChannelName(refusal->channel));
      }
      ctx.ui.Show(m);
      return std::nullopt;
    }
    for (std::size_t k = 0; k < defs.size(); ++k) {
      if (defs[k].name == def.name) {
        Failure(ctx, file + ": definitions " + std::to_string(k + 1) + " and " +
                         std::to_string(n + 1) + " are both named " + Quoted(def.name));
        return std::nullopt;
      }
    }
    defs.push_back(std::move(def));
  }
  return defs;
}

int Put(CommandContext& ctx, const std::string& path, const std::string& file) {
  // Everything is checked before the library is touched: a refused put
  // neither creates nor changes the library file.
  const std::optional<std::vector<JsonDefinition>> defs = ReadDefinitions(ctx, file);
  if (!defs)
    return kExitFailure;

  PrepareLibraryFolder(path);
  Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, path});
  if (!ws.OpenLibrary())
    return kExitFailure;
  std::vector<std::string> report;
  for (std::size_t n = 0; n < defs->size(); ++n) {
    const JsonDefinition& def = (*defs)[n];
    ctx.ui.SetSubject(file + ": definition " + std::to_string(n + 1) + " " + Quoted(def.name));
    const StoreResult result = ws.Put(def.record);
    ctx.ui.SetSubject({});
    if (!Succeeded(result))
      return kExitFailure;
    report.push_back((result == StoreResult::Replaced ? "replaced " : "added ") + Quoted(def.name));
  }
  if (!ws.WriteLibrary())
    return kExitFailure;
  for (const std::string& line : report) ctx.out << line << '\n';
  return kExitOk;
}

int Delete(CommandContext& ctx, const std::string& path, const std::vector<std::string>& names) {
  // Deleting from a library that is not there creates none.
  Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, path});
  if (!ws.ReadLibrary() || !ws.OpenLibrary())
    return kExitFailure;
  std::vector<std::string> deleted;
  for (const std::string& arg : names) {
    const std::string name = NameArgument(arg);
    if (std::find(deleted.begin(), deleted.end(), name) != deleted.end())
      continue;
    if (!ws.Delete(Side::Library, name))
      return Failure(ctx, path + ": there is no definition named " + Quoted(name));
    deleted.push_back(name);
  }
  if (!ws.WriteLibrary())
    return kExitFailure;
  for (const std::string& name : deleted) ctx.out << "deleted " << Quoted(name) << '\n';
  return kExitOk;
}

CommandRun DefineLibrary(CLI::App& command) {
  struct Options {
    bool json = false;
    std::string library;
    CLI::Option* libraryOption = nullptr;
  };
  auto options = std::make_shared<Options>();
  command.add_flag("-j,--json", options->json);
  options->libraryOption = command.add_option("-l,--library", options->library);
  return [options](CommandContext& ctx) {
    std::vector<std::string> pos = ctx.arguments;
    std::optional<std::string> given;
    if (options->libraryOption->count()) {
      given = options->library;
    } else if (!pos.empty() && pos[0] != "put" && pos[0] != "delete") {
      given = pos[0];
      pos.erase(pos.begin());
    }
    const std::string path = LibraryPath(given);
    if (path.empty())
      return UsageError(ctx, "the library file LIB must not be empty");
    if (pos.empty())
      return Show(ctx, path, options->json);
    if (options->json)
      return UsageError(ctx, "unknown option '--json'");
    const std::string& action = pos[0];
    if (action != "put" && action != "delete")
      return UsageError(ctx, "unknown action '" + action + "'; expected put or delete");
    if (IsStandardInput(path))
      return RefuseStandardInput(ctx, "the library");
    if (action == "put") {
      if (pos.size() != 2)
        return UsageError(ctx, "put takes one JSON file");
      return Put(ctx, path, pos[1]);
    }
    if (pos.size() < 2)
      return UsageError(ctx, "delete takes one or more names");
    return Delete(ctx, path, std::vector<std::string>(pos.begin() + 1, pos.end()));
  };
}

const CommandRegistration kRegisterLibrary{
    {"library", "show, store and delete the definitions of a library file", kHelp, DefineLibrary}};

}  // namespace
}  // namespace tonalis::cli
