// tonalis-cli list, apply, add, remove, pick: the density controls of a PPD
// file or a print queue, and copying them to and from a library.
//
// These commands do what the main window does: they read the PPD as the
// window reads it (asking the read-only question and making its line endings
// CR LF) and write it as Apply writes it. `list` alone only looks.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/definition_json.h"
#include "cli/ppd_target_option.h"
#include "formats/library_file.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kTargetUsage =
    "PPD is a PPD file; --printer QUEUE [--server HOST[:PORT]] names a print\n"
    "queue instead, whose PPD is read and replaced through the scheduler.\n";

std::string Quoted(std::string_view nameBytes) {
  return "\"" + DisplayName(nameBytes) + "\"";
}

// Command-line names are UTF-8; names in files are ISO 8859-1 bytes. An
// argument that is not such a name is taken byte for byte.
std::string NameArgument(const std::string& arg) {
  return Utf8ToLatin1(arg).value_or(arg);
}

// Parses the options common to the PPD commands.
struct PpdCommandLine {
  std::shared_ptr<PpdTarget> target;
  std::optional<std::string> library;
  std::vector<std::string> names;  // ISO 8859-1 bytes
  bool replace = false;
  bool json = false;
};

std::optional<int> Parse(std::span<const std::string> args, CommandContext& ctx,
                         std::initializer_list<std::string_view> flags, bool needsLibrary,
                         PpdCommandLine& line) {
  const Arguments parsed(args, {"--library", "--printer", "--server"});
  if (parsed.MissingValue())
    return UsageError(ctx, *parsed.MissingValue() + " needs a value");
  std::vector<std::string_view> known(flags);
  known.insert(known.end(), {"--library", "--printer", "--server"});
  for (const std::string& f : parsed.Flags()) {
    if (std::find(known.begin(), known.end(), f) == known.end())
      return UsageError(ctx, "unknown option '" + f + "'");
  }
  std::vector<std::string> pos = parsed.positional();
  std::string error;
  line.target = TargetFromOptions(parsed.Value("--printer"), parsed.Value("--server"), pos, error);
  if (!line.target)
    return UsageError(ctx, error);
  line.library = parsed.Value("--library");
  if (needsLibrary && !line.library)
    return UsageError(ctx, "expected --library LIB");
  if (!needsLibrary && line.library)
    return UsageError(ctx, "--library is not used here");
  for (const std::string& p : pos) line.names.push_back(NameArgument(p));
  line.replace = parsed.Has("--replace");
  line.json = parsed.Has("--json");
  return std::nullopt;
}

std::unique_ptr<PrinterDefinitionList> NewList() {
  auto list = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*list);
  return list;
}

void ShowString(CommandContext& ctx, int id, const std::string& subject) {
  Message m = StringMessage(ctx.strings, id);
  m.subject = subject;
  ctx.ui.Show(m);
}

// Reads the PPD as the window does. Returns the loaded state, or nothing
// after a message.
std::optional<LoadedPpd> Load(CommandContext& ctx, const std::shared_ptr<PpdTarget>& target,
                              PrinterDefinitionList& list) {
  PpdReadOutcome outcome = GetPPDToneInfo(target, list, {ctx.ui, ctx.strings});
  if (outcome.result == kPpdUnsupported)
    ShowString(ctx, sid::kUnsupportedPpd, target->Describe());
  return std::move(outcome.loaded);
}

std::vector<const DensityDef*> Definitions(const PrinterDefinitionList& list) {
  std::vector<const DensityDef*> defs;
  for (int i : VisibleSlots(list)) defs.push_back(&list.slots[i]);
  return defs;
}

// The library named by --library, held open (and locked) while the command
// runs.
struct OpenLibrary {
  std::unique_ptr<DefinitionLibrary> table = std::make_unique<DefinitionLibrary>();
  LibraryFile file;
  bool open;
  OpenLibrary(CommandContext& ctx, const std::string& path)
      : file(path), open(file.Open(*table, ctx.ui, ctx.strings)) {}
};

// The library slots of `names`, in their order; nothing, after a message,
// when one is missing.
std::optional<std::vector<int>> SlotsOf(CommandContext& ctx, const OpenLibrary& library,
                                        const std::vector<std::string>& names) {
  std::vector<int> slots;
  for (const std::string& name : names) {
    const std::optional<int> slot = FindDefinition(*library.table, name);
    if (!slot) {
      Failure(ctx, library.file.path() + ": there is no definition named " + Quoted(name));
      return std::nullopt;
    }
    slots.push_back(*slot);
  }
  return slots;
}

// --- list ---

constexpr std::string_view kListHelp =
    "Usage: tonalis-cli list PPD [--json]\n"
    "       tonalis-cli list --printer QUEUE [--server HOST] [--json]\n"
    "\n"
    "Shows the density controls of a PPD in the order of its density-control\n"
    "section. The PPD is only read, never changed.\n"
    "\n"
    "  --json    show them as a JSON array of definition objects (the form that\n"
    "            'tonalis-cli library LIB put' reads)\n"
    "\n";

int RunList(std::span<const std::string> args, CommandContext& ctx) {
  PpdCommandLine line;
  if (auto status = Parse(args, ctx, {"--json"}, false, line))
    return *status;
  if (!line.names.empty())
    return UsageError(ctx, "unexpected argument '" + line.names[0] + "'");

  const std::string where = line.target->Describe();
  std::string bytes;
  if (int error = line.target->Read(bytes)) {
    Message m = StringMessage(ctx.strings, sid::kPpdOpenFailed);
    m.subject = where;
    m.detail = SystemReason(error);
    ctx.ui.Show(m);
    return kExitFailure;
  }
  if (!IsSupportedPpdText(bytes)) {
    ShowString(ctx, sid::kUnsupportedPpd, where);
    return kExitFailure;
  }
  auto list = NewList();
  PPDToneState state;
  const ppd::SplitResult split = ppd::SplitPpdText(bytes, *list, state);
  if (!split.sectionClosed) {
    ShowString(ctx, sid::kPpdConstructionError, where);
    return kExitFailure;
  }
  const std::vector<const DensityDef*> defs = Definitions(*list);
  if (!line.json) {
    ctx.out << where;
    if (split.nickNameFound)
      ctx.out << " (" << DisplayName(state.nickName) << ")";
    ctx.out << (defs.empty() ? ": no density controls\n" : ":\n");
  }
  if (line.json || !defs.empty())
    PrintDefinitions(ctx.out, defs, line.json);
  return kExitOk;
}

// --- apply ---

constexpr std::string_view kApplyHelp =
    "Usage: tonalis-cli apply PPD --library LIB [NAME...]\n"
    "\n"
    "Makes the density controls of the PPD exactly the library definitions\n"
    "NAME..., in this order (at most six). Without names the PPD's density\n"
    "control section is emptied. An unknown or repeated name, or more than six,\n"
    "is refused before anything is read or written.\n"
    "\n";

int RunApply(std::span<const std::string> args, CommandContext& ctx) {
  PpdCommandLine line;
  if (auto status = Parse(args, ctx, {}, true, line))
    return *status;
  if (line.names.size() > static_cast<std::size_t>(kPrinterListCapacity)) {
    ShowString(ctx, sid::kTableFull, line.target->Describe());
    return kExitFailure;
  }
  for (std::size_t i = 0; i < line.names.size(); ++i) {
    if (std::find(line.names.begin(), line.names.begin() + i, line.names[i]) !=
        line.names.begin() + i)
      return Failure(ctx, Quoted(line.names[i]) + " is named twice");
  }

  OpenLibrary library(ctx, *line.library);
  if (!library.open)
    return kExitFailure;
  const std::optional<std::vector<int>> slots = SlotsOf(ctx, library, line.names);
  if (!slots)
    return kExitFailure;
  auto wanted = NewList();
  for (int slot : *slots)
    InsertDefinition(*wanted, library.table->slots[slot], InsertMode::AddMode());

  auto current = NewList();
  const std::optional<LoadedPpd> loaded = Load(ctx, line.target, *current);
  if (!loaded)
    return kExitFailure;
  if (!SetPPDToneInfo(*loaded, *wanted, {ctx.ui, ctx.strings}))
    return kExitFailure;
  for (const std::string& name : line.names) ctx.out << "applied " << Quoted(name) << '\n';
  return kExitOk;
}

// --- add and pick: copying between the library and the PPD ---

constexpr std::string_view kAddHelp =
    "Usage: tonalis-cli add PPD --library LIB [--replace] NAME...\n"
    "\n"
    "Adds the library definitions NAME... to the PPD's density controls, after\n"
    "those it holds (at most six in all). A name the PPD already holds is\n"
    "refused unless --replace is given, which overwrites that definition in its\n"
    "place. Nothing is written when any name is refused.\n"
    "\n";

constexpr std::string_view kPickHelp =
    "Usage: tonalis-cli pick PPD --library LIB [--replace] NAME...\n"
    "\n"
    "Copies the PPD's density controls NAME... into the library (at most 100\n"
    "definitions). A name the library already holds is refused unless --replace\n"
    "is given, which overwrites it in its place. The PPD is not written (but a\n"
    "PPD whose line endings are not CR LF is converted when it is read, as the\n"
    "window does). Nothing is stored when any name is refused.\n"
    "\n";

// Stores `record` in `table` the way the window's Add and Pick out do.
template <int C>
bool Store(CommandContext& ctx, DefinitionTable<C>& table, const DensityDef& record, bool replace,
           const std::string& where) {
  InsertResult result = InsertDefinition(table, record, InsertMode::AddMode());
  if (result == InsertResult::NameTaken) {
    if (!replace) {
      Failure(ctx, where + " already holds " + Quoted(NameOf(record)) +
                       "; give --replace to overwrite it");
      return false;
    }
    result = InsertDefinition(table, record, InsertMode::ReplaceMode());
  }
  if (result == InsertResult::Full) {
    ShowString(ctx, sid::kTableFull, where);
    return false;
  }
  return true;
}

int RunAdd(std::span<const std::string> args, CommandContext& ctx) {
  PpdCommandLine line;
  if (auto status = Parse(args, ctx, {"--replace"}, true, line))
    return *status;
  if (line.names.empty())
    return UsageError(ctx, "expected one or more names");

  OpenLibrary library(ctx, *line.library);
  if (!library.open)
    return kExitFailure;
  const std::optional<std::vector<int>> sources = SlotsOf(ctx, library, line.names);
  if (!sources)
    return kExitFailure;

  auto list = NewList();
  const std::optional<LoadedPpd> loaded = Load(ctx, line.target, *list);
  if (!loaded)
    return kExitFailure;
  for (int slot : *sources) {
    if (!Store(ctx, *list, library.table->slots[slot], line.replace, line.target->Describe()))
      return kExitFailure;
  }
  if (!SetPPDToneInfo(*loaded, *list, {ctx.ui, ctx.strings}))
    return kExitFailure;
  for (const std::string& name : line.names) ctx.out << "added " << Quoted(name) << '\n';
  return kExitOk;
}

int RunPick(std::span<const std::string> args, CommandContext& ctx) {
  PpdCommandLine line;
  if (auto status = Parse(args, ctx, {"--replace"}, true, line))
    return *status;
  if (line.names.empty())
    return UsageError(ctx, "expected one or more names");

  OpenLibrary library(ctx, *line.library);
  if (!library.open)
    return kExitFailure;
  auto list = NewList();
  if (!Load(ctx, line.target, *list))
    return kExitFailure;
  for (const std::string& name : line.names) {
    const std::optional<int> slot = FindDefinition(*list, name);
    if (!slot)
      return Failure(
          ctx, line.target->Describe() + ": there is no density control named " + Quoted(name));
    if (!Store(ctx, *library.table, list->slots[*slot], line.replace, *line.library))
      return kExitFailure;
  }
  if (!library.file.Write(*library.table, ctx.ui, ctx.strings))
    return kExitFailure;
  for (const std::string& name : line.names) ctx.out << "picked " << Quoted(name) << '\n';
  return kExitOk;
}

// --- remove ---

constexpr std::string_view kRemoveHelp =
    "Usage: tonalis-cli remove PPD NAME...\n"
    "\n"
    "Deletes the density controls NAME... from the PPD; the others keep their\n"
    "order. An unknown name is refused and nothing is written.\n"
    "\n";

int RunRemove(std::span<const std::string> args, CommandContext& ctx) {
  PpdCommandLine line;
  if (auto status = Parse(args, ctx, {}, false, line))
    return *status;
  if (line.names.empty())
    return UsageError(ctx, "expected one or more names");

  auto list = NewList();
  const std::optional<LoadedPpd> loaded = Load(ctx, line.target, *list);
  if (!loaded)
    return kExitFailure;
  for (const std::string& name : line.names) {
    const std::optional<int> slot = FindDefinition(*list, name);
    if (!slot)
      return Failure(
          ctx, line.target->Describe() + ": there is no density control named " + Quoted(name));
    FreeSlot(*list, *slot);
    CompactAfter(*list, *slot);
  }
  if (!SetPPDToneInfo(*loaded, *list, {ctx.ui, ctx.strings}))
    return kExitFailure;
  for (const std::string& name : line.names) ctx.out << "removed " << Quoted(name) << '\n';
  return kExitOk;
}

std::string WithTargetUsage(std::string_view help) {
  return std::string(help) + std::string(kTargetUsage);
}

const std::string kListText = WithTargetUsage(kListHelp);
const std::string kApplyText = WithTargetUsage(kApplyHelp);
const std::string kAddText = WithTargetUsage(kAddHelp);
const std::string kPickText = WithTargetUsage(kPickHelp);
const std::string kRemoveText = WithTargetUsage(kRemoveHelp);

const CommandRegistration kRegisterList{
    {"list", "show the density controls of a PPD file or print queue", kListText, RunList}};
const CommandRegistration kRegisterApply{
    {"apply", "make library definitions the density controls of a PPD", kApplyText, RunApply}};
const CommandRegistration kRegisterAdd{
    {"add", "add library definitions to a PPD's density controls", kAddText, RunAdd}};
const CommandRegistration kRegisterPick{
    {"pick", "copy density controls of a PPD into a library", kPickText, RunPick}};
const CommandRegistration kRegisterRemove{
    {"remove", "delete density controls from a PPD", kRemoveText, RunRemove}};

}  // namespace
}  // namespace tonalis::cli
