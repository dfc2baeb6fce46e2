// tonalis-cli library: show, store and delete the definitions of a library
// file.
#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "formats/definition_json.h"
#include "formats/json.h"
#include "formats/library_file.h"
#include "model/value_text.h"
#include "platform/file_replace.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli library LIB [--json]\n"
    "       tonalis-cli library LIB put FILE.json\n"
    "       tonalis-cli library LIB delete NAME...\n"
    "\n"
    "Works on the library file LIB, the file in which Tonalis keeps the user's\n"
    "density controls (QR_grad.dat in the folder Tonalis is started from). A\n"
    "missing LIB is created empty. LIB is held under an exclusive lock while the\n"
    "command runs: when another running copy of Tonalis holds it, the command\n"
    "fails. A read-only LIB is made writable only with --yes.\n"
    "\n"
    "  library LIB           show the definitions as a table: for each, its name,\n"
    "                        whether one curve serves all colours, and the points\n"
    "                        (in percent, '-' for unset) and gamma of each curve\n"
    "      --json            show them as a JSON array of definition objects\n"
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
    "name: 1 to 32 characters of ISO 8859-1 (U+0001 to U+00FF), no control\n"
    "characters. allChannels: 1 when the cyan curve serves all four colours (the\n"
    "other three are then stored as copies of it), 0 for a curve per colour.\n"
    "channels: four, in the order cyan, magenta, yellow, black. points: the\n"
    "outputs at the inputs 0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95 and 100 %\n"
    "in hundredths of a percent (0 to 10000; -1 = unset); the 0 % and 100 % points\n"
    "must be set. gamma: in hundredths (1 to 9999; -1 = unset), kept for the\n"
    "editor; the curve is given by the points alone.\n"
    "The output of --json can be given to put unchanged.\n";

std::unique_ptr<DefinitionLibrary> NewLibrary() {
  return std::make_unique<DefinitionLibrary>();
}

std::string Quoted(std::string_view nameBytes) {
  return "\"" + DisplayName(nameBytes) + "\"";
}

int Show(CommandContext& ctx, const std::string& path, bool asJson) {
  auto lib = NewLibrary();
  LibraryFile file(path);
  if (!file.Open(*lib, ctx.ui, ctx.strings))
    return kExitFailure;
  std::vector<const DensityDef*> defs;
  for (int i : VisibleSlots(*lib)) defs.push_back(&lib->slots[i]);
  if (!asJson && defs.empty()) {
    ctx.out << "No definitions in " << path << ".\n";
  } else {
    PrintDefinitions(ctx.out, defs, asJson);
  }
  return kExitOk;
}

// The definitions of a JSON file, each checked for storing. Reports the first
// problem and returns nothing then.
std::optional<std::vector<DefinitionInput>> ReadDefinitions(CommandContext& ctx,
                                                            const std::string& file) {
  std::string text;
  if (file == "-") {
    std::ostringstream all;
    all << ctx.in.rdbuf();
    text = all.str();
  } else if (int error = ReadWholeFile(file, text)) {
    Failure(ctx, file + ": cannot be read: " + SystemReason(error));
    return std::nullopt;
  }
  json::ParseError parseError;
  const std::optional<json::Value> doc = json::Parse(text, parseError);
  if (!doc) {
    Failure(ctx, file + ":" + std::to_string(parseError.line) + ":" +
                     std::to_string(parseError.column) + ": not valid JSON: " + parseError.message);
    return std::nullopt;
  }
  if (!doc->IsArray()) {
    Failure(ctx, file + ": expected an array of definition objects");
    return std::nullopt;
  }

  std::vector<DefinitionInput> inputs;
  const json::Array& items = doc->AsArray();
  for (std::size_t n = 0; n < items.size(); ++n) {
    const std::string which = file + ": definition " + std::to_string(n + 1);
    std::string error;
    std::optional<DefinitionInput> input = DefinitionFromJson(items[n], error);
    if (!input) {
      Failure(ctx, which + ": " + error);
      return std::nullopt;
    }
    if (std::optional<Refusal> refusal = StoreRefusal(*input, ctx.strings)) {
      Message m;
      m.stringId = refusal->stringId;
      m.text = refusal->text;
      m.subject = which + " " + Quoted(input->name);
      if (refusal->channel >= 0) {
        m.subject += input->allChannels == 1 ? ", all colours"
                                             : ", " + std::string(ChannelName(refusal->channel));
      }
      ctx.ui.Show(m);
      return std::nullopt;
    }
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      if (inputs[k].name == input->name) {
        Failure(ctx, file + ": definitions " + std::to_string(k + 1) + " and " +
                         std::to_string(n + 1) + " are both named " + Quoted(input->name));
        return std::nullopt;
      }
    }
    inputs.push_back(std::move(*input));
  }
  return inputs;
}

int Put(CommandContext& ctx, const std::string& path, const std::string& file) {
  // Everything is checked before the library is touched: a refused put
  // neither creates nor changes the library file.
  const std::optional<std::vector<DefinitionInput>> inputs = ReadDefinitions(ctx, file);
  if (!inputs)
    return kExitFailure;

  auto lib = NewLibrary();
  LibraryFile libraryFile(path);
  if (!libraryFile.Open(*lib, ctx.ui, ctx.strings))
    return kExitFailure;

  std::vector<std::string> report;
  for (std::size_t n = 0; n < inputs->size(); ++n) {
    const DefinitionInput& input = (*inputs)[n];
    if (const std::optional<int> slot = FindDefinition(*lib, input.name)) {
      // A replacement takes no new place, so it is made even in a full
      // library; bytes after the name stay as the slot held them.
      lib->slots[*slot] = MakeRecord(input, lib->slots[*slot]);
      report.push_back("replaced " + Quoted(input.name));
      continue;
    }
    DensityDef cleared{};
    if (InsertDefinition(*lib, MakeRecord(input, cleared), InsertMode::AddMode()) !=
        InsertResult::Stored) {
      Message m = StringMessage(ctx.strings, sid::kTableFull);
      m.subject = file + ": definition " + std::to_string(n + 1) + " " + Quoted(input.name);
      ctx.ui.Show(m);
      return kExitFailure;
    }
    report.push_back("added " + Quoted(input.name));
  }

  if (!libraryFile.Write(*lib, ctx.ui, ctx.strings))
    return kExitFailure;
  for (const std::string& line : report) ctx.out << line << '\n';
  return kExitOk;
}

int Delete(CommandContext& ctx, const std::string& path, const std::vector<std::string>& names) {
  auto lib = NewLibrary();
  LibraryFile file(path);
  if (!file.Open(*lib, ctx.ui, ctx.strings))
    return kExitFailure;

  std::vector<std::string> deleted;
  for (const std::string& arg : names) {
    // Names are ISO 8859-1 in the library; an argument that is not such a
    // name in UTF-8 is taken byte for byte.
    const std::string name = Utf8ToLatin1(arg).value_or(arg);
    if (std::find(deleted.begin(), deleted.end(), name) != deleted.end())
      continue;
    const std::optional<int> slot = FindDefinition(*lib, name);
    if (!slot)
      return Failure(ctx, path + ": there is no definition named " + Quoted(name));
    FreeSlot(*lib, *slot);
    deleted.push_back(name);
  }

  if (!file.Write(*lib, ctx.ui, ctx.strings))
    return kExitFailure;
  for (const std::string& name : deleted) ctx.out << "deleted " << Quoted(name) << '\n';
  return kExitOk;
}

int RunLibrary(std::span<const std::string> args, CommandContext& ctx) {
  const Arguments parsed(args);
  const std::vector<std::string>& pos = parsed.positional();
  if (pos.empty())
    return UsageError(ctx, "expected the library file LIB");
  const std::string& path = pos[0];
  if (pos.size() == 1) {
    if (auto flag = parsed.Unknown({"--json"}))
      return UsageError(ctx, "unknown option '" + *flag + "'");
    return Show(ctx, path, parsed.Has("--json"));
  }
  if (auto flag = parsed.Unknown({}))
    return UsageError(ctx, "unknown option '" + *flag + "'");
  const std::string& action = pos[1];
  if (action == "put") {
    if (pos.size() != 3)
      return UsageError(ctx, "put takes one JSON file");
    return Put(ctx, path, pos[2]);
  }
  if (action == "delete") {
    if (pos.size() < 3)
      return UsageError(ctx, "delete takes one or more names");
    return Delete(ctx, path, std::vector<std::string>(pos.begin() + 2, pos.end()));
  }
  return UsageError(ctx, "unknown action '" + action + "'; expected put or delete");
}

const CommandRegistration kRegisterLibrary{
    {"library", "show, store and delete the definitions of a library file", kHelp, RunLibrary}};

}  // namespace
}  // namespace tonalis::cli
