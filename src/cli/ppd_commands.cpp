// tonalis-cli list, apply, add, remove, pick: the density controls of a PPD
// file or a print queue, and copying them to and from a library.
//
// These commands do what the main window does: they read the PPD as the
// window reads it (asking the read-only question) and write it as Apply
// writes it. `list` alone only looks.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "cli/ppd_target_option.h"
#include "formats/definition_json.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"
#include "workspace/workspace.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kTargetUsage =
    "PPD is a PPD file; --printer QUEUE [--server HOST[:PORT]] names a print\n"
    "queue instead, whose PPD is read and replaced through the scheduler.\n"
    "Short forms: -p QUEUE, -s HOST, -l LIB, -r (--replace), -j (--json).\n";

// The arguments common to the PPD commands.
struct PpdArguments {
  std::string printer, server, library;
  CLI::Option* printerOption = nullptr;
  CLI::Option* serverOption = nullptr;
  CLI::Option* libraryOption = nullptr;
  bool replace = false;
  bool json = false;

  // Filled by Resolve:
  std::shared_ptr<PpdTarget> target;
  std::vector<std::string> names;  // ISO 8859-1 bytes
};

enum Takes { kLibrary = 1, kReplace = 2, kJson = 4 };

std::shared_ptr<PpdArguments> Declare(CLI::App& command, int takes) {
  auto args = std::make_shared<PpdArguments>();
  args->printerOption = command.add_option("-p,--printer", args->printer);
  args->serverOption = command.add_option("-s,--server", args->server);
  if (takes & kLibrary)
    args->libraryOption = command.add_option("-l,--library", args->library);
  if (takes & kReplace)
    command.add_flag("-r,--replace", args->replace);
  if (takes & kJson)
    command.add_flag("-j,--json", args->json);
  return args;
}

std::optional<std::string> Given(const CLI::Option* option, const std::string& value) {
  return option && option->count() ? std::optional<std::string>(value) : std::nullopt;
}

// The target and the names; a usage error when they do not fit.
std::optional<int> Resolve(CommandContext& ctx, PpdArguments& args) {
  std::vector<std::string> pos = ctx.arguments;
  std::string error;
  args.target = TargetFromOptions(Given(args.printerOption, args.printer),
                                  Given(args.serverOption, args.server), pos, error);
  if (!args.target)
    return UsageError(ctx, error);
  if (args.libraryOption && !args.libraryOption->count())
    return UsageError(ctx, "expected --library LIB");
  for (const std::string& p : pos) args.names.push_back(NameArgument(p));
  return std::nullopt;
}

void ShowString(CommandContext& ctx, int id, const std::string& subject) {
  Message m = StringMessage(ctx.strings, id);
  m.subject = subject;
  ctx.ui.Show(m);
}

// The workspace of a PPD command, with the library of --library open; a
// failure after a message when that or a name in `names` fails.
std::unique_ptr<Workspace> WithLibrary(CommandContext& ctx, const PpdArguments& args,
                                       const std::vector<std::string>& names) {
  auto ws = std::make_unique<Workspace>(WorkspaceSeams{ctx.ui, ctx.strings, args.library});
  if (!ws->OpenLibrary())
    return nullptr;
  for (const std::string& name : names) {
    if (!ws->Find(Side::Library, name)) {
      Failure(ctx, ws->libraryPath() + ": there is no definition named " + Quoted(name));
      return nullptr;
    }
  }
  return ws;
}

int Report(CommandContext& ctx, std::string_view verb, const std::vector<std::string>& names) {
  for (const std::string& name : names) ctx.out << verb << ' ' << Quoted(name) << '\n';
  return kExitOk;
}

// --- list ---

constexpr std::string_view kListHelp =
    "Usage: tonalis-cli list PPD [--json]\n"
    "       tonalis-cli list --printer QUEUE [--server HOST] [--json]\n"
    "\n"
    "Shows the density controls of a PPD in the order of its density-control\n"
    "section. The PPD is only read, never changed.\n"
    "\n"
    "  -j, --json  show them as a JSON array of definition objects (the form that\n"
    "              'tonalis-cli library LIB put' reads)\n"
    "\n";

// Reads the PPD without loading it for a write, so that a read-only PPD is
// shown as it is.
int List(CommandContext& ctx, const PpdArguments& args) {
  if (!args.names.empty())
    return UsageError(ctx, "unexpected argument '" + args.names[0] + "'");
  const std::string where = args.target->Describe();
  std::string bytes;
  if (int error = args.target->Read(bytes)) {
    Message m = StringMessage(ctx.strings, sid::kPpdOpenFailed);
    m.subject = where;
    m.detail = args.target->ReadFailure(error);
    ctx.ui.Show(m);
    return kExitFailure;
  }
  if (!IsSupportedPpdText(bytes)) {
    ShowString(ctx, sid::kUnsupportedPpd, where);
    return kExitFailure;
  }
  auto list = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*list);
  PPDToneState state;
  const ppd::SplitResult split = ppd::SplitPpdText(bytes, *list, state);
  if (!split.sectionClosed) {
    ShowString(ctx, sid::kPpdConstructionError, where);
    return kExitFailure;
  }
  std::vector<const DensityDef*> defs;
  for (int i : VisibleSlots(*list)) defs.push_back(&list->slots[i]);
  if (!args.json) {
    ctx.out << where;
    if (split.nickNameFound)
      ctx.out << " (" << DisplayName(state.nickName) << ")";
    ctx.out << (defs.empty() ? ": no density controls\n" : ":\n");
  }
  if (args.json || !defs.empty())
    PrintDefinitions(ctx.out, defs, args.json);
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

int Apply(CommandContext& ctx, const PpdArguments& args) {
  const std::vector<std::string>& names = args.names;
  if (names.size() > static_cast<std::size_t>(kPrinterListCapacity)) {
    ShowString(ctx, sid::kTableFull, args.target->Describe());
    return kExitFailure;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (std::find(names.begin(), names.begin() + i, names[i]) != names.begin() + i)
      return Failure(ctx, Quoted(names[i]) + " is named twice");
  }
  const std::unique_ptr<Workspace> ws = WithLibrary(ctx, args, names);
  if (!ws || ws->ReadTarget(args.target) != kPpdLoaded)
    return kExitFailure;
  if (!Succeeded(ws->SetTargetDefinitions(names)) || !ws->WriteTarget())
    return kExitFailure;
  return Report(ctx, "applied", names);
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

// Copies each name into the PPD (Add) or into the library (Pick out).
int Copy(CommandContext& ctx, const PpdArguments& args, bool toTarget) {
  if (args.names.empty())
    return UsageError(ctx, "expected one or more names");
  const std::unique_ptr<Workspace> ws =
      WithLibrary(ctx, args, toTarget ? args.names : std::vector<std::string>{});
  if (!ws || ws->ReadTarget(args.target) != kPpdLoaded)
    return kExitFailure;
  const std::string into = toTarget ? args.target->Describe() : ws->libraryPath();
  ctx.ui.SetReplace(args.replace);
  for (const std::string& name : args.names) {
    ctx.ui.SetSubject(into);
    const StoreResult result = toTarget ? ws->Add(name) : ws->PickOut(name);
    ctx.ui.SetSubject({});
    if (result == StoreResult::NotFound) {
      return Failure(
          ctx, args.target->Describe() + ": there is no density control named " + Quoted(name));
    }
    if (result == StoreResult::Declined)
      return Failure(ctx, into + " already holds " + Quoted(name) + "; give --replace to overwrite it");
    if (!Succeeded(result))
      return kExitFailure;
  }
  if (!(toTarget ? ws->WriteTarget() : ws->WriteLibrary()))
    return kExitFailure;
  return Report(ctx, toTarget ? "added" : "picked", args.names);
}

// --- remove ---

constexpr std::string_view kRemoveHelp =
    "Usage: tonalis-cli remove PPD NAME...\n"
    "\n"
    "Deletes the density controls NAME... from the PPD; the others keep their\n"
    "order. An unknown name is refused and nothing is written.\n"
    "\n";

int Remove(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.empty())
    return UsageError(ctx, "expected one or more names");
  Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings});
  if (ws.ReadTarget(args.target) != kPpdLoaded)
    return kExitFailure;
  for (const std::string& name : args.names) {
    if (!ws.Delete(Side::Target, name)) {
      return Failure(
          ctx, args.target->Describe() + ": there is no density control named " + Quoted(name));
    }
  }
  if (!ws.WriteTarget())
    return kExitFailure;
  return Report(ctx, "removed", args.names);
}

// Declares a PPD command's options and runs `run` once they are resolved.
template <int (*run)(CommandContext&, const PpdArguments&)>
CommandRun Define(CLI::App& command, int takes) {
  std::shared_ptr<PpdArguments> args = Declare(command, takes);
  return [args](CommandContext& ctx) {
    if (std::optional<int> status = Resolve(ctx, *args))
      return *status;
    return run(ctx, *args);
  };
}

int AddNames(CommandContext& ctx, const PpdArguments& args) {
  return Copy(ctx, args, true);
}
int PickNames(CommandContext& ctx, const PpdArguments& args) {
  return Copy(ctx, args, false);
}

CommandRun DefineList(CLI::App& c) {
  return Define<List>(c, kJson);
}
CommandRun DefineApply(CLI::App& c) {
  return Define<Apply>(c, kLibrary);
}
CommandRun DefineAdd(CLI::App& c) {
  return Define<AddNames>(c, kLibrary | kReplace);
}
CommandRun DefinePick(CLI::App& c) {
  return Define<PickNames>(c, kLibrary | kReplace);
}
CommandRun DefineRemove(CLI::App& c) {
  return Define<Remove>(c, 0);
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
    {"list", "show the density controls of a PPD file or print queue", kListText, DefineList}};
const CommandRegistration kRegisterApply{
    {"apply", "make library definitions the density controls of a PPD", kApplyText, DefineApply}};
const CommandRegistration kRegisterAdd{
    {"add", "add library definitions to a PPD's density controls", kAddText, DefineAdd}};
const CommandRegistration kRegisterPick{
    {"pick", "copy density controls of a PPD into a library", kPickText, DefinePick}};
const CommandRegistration kRegisterRemove{
    {"remove", "delete density controls from a PPD", kRemoveText, DefineRemove}};

}  // namespace
}  // namespace tonalis::cli
