// tonalis-cli list, apply, add, remove, pick: the density controls of a PPD
// file or a print queue, and copying them to and from a library.
//
// These commands do what the main window does: they read the PPD as the
// window reads it (asking the read-only question) and write it as Apply
// writes it. `list` alone only looks.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "cli/library_option.h"
#include "cli/ppd_target_option.h"
#include "cli/queue_set.h"
#include "formats/definition_json.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"
#include "printers/queue_records.h"
#include "workspace/workspace.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kTargetUsage =
    "PPD is a PPD file; --printer QUEUE [--server HOST[:PORT]] names a print\n"
    "queue instead, whose PPD is read and replaced through the scheduler.\n"
    "PPD '-' reads the PPD from standard input where it is only read (list,\n"
    "pick). --library LIB defaults to the library of the window started from the\n"
    "desktop menu, $XDG_DATA_HOME/tonalis/QR_grad.dat; a library that is only\n"
    "read (apply, add) is never created, and '-' reads it from standard input.\n"
    "Every option may be given as --option=VALUE.\n"
    "Short forms: -p QUEUE, -s HOST, -l LIB, -r (--replace), -j (--json).\n";

constexpr std::string_view kManyUsage =
    "\n"
    "Several printers: give --printer more than once, or --all for every printer\n"
    "that 'tonalis-cli printers' lists (those of --server HOST[:PORT] when it is\n"
    "given), and --model TEXT with it for those whose make and model contains\n"
    "TEXT (letters compared without regard to case). Each queue is read,\n"
    "changed and replaced on its own, as a single one is; a queue that fails\n"
    "keeps its PPD and does not stop the others. A result line for each queue\n"
    "and a summary (\"3 printers: 2 changed, 1 failed (Lab)\") follow; the exit\n"
    "status is 0 only when every queue succeeded. --json gives the same as one\n"
    "JSON object: \"printers\", an object per queue with \"printer\", \"server\",\n"
    "\"ok\" and what was done (for list its \"definitions\") or the failure's\n"
    "\"message\" and \"reason\"; and \"summary\". Except for list, --json gives\n"
    "this object for a single --printer too. A refusal that does not depend on\n"
    "the queue (an unknown library name, a name given twice, more than six)\n"
    "comes once, before any queue is read.\n";

// The arguments common to the PPD commands.
struct PpdArguments {
  std::string printer, server, library, model;
  std::vector<std::string> printers;  // with kManyQueues
  CLI::Option* printerOption = nullptr;
  CLI::Option* serverOption = nullptr;
  CLI::Option* libraryOption = nullptr;
  CLI::Option* modelOption = nullptr;
  bool replace = false;
  bool json = false;
  bool all = false;
  int takes = 0;

  // Filled by Resolve:
  std::shared_ptr<PpdTarget> target;
  std::vector<std::string> names;  // ISO 8859-1 bytes
  // Several queues: the command runs once for each, `target` and `result`
  // set for it; standard input (a library '-') is read once into `input`.
  bool many = false;
  QueueSelection selection;
  std::optional<std::string> input;
  QueueResult* result = nullptr;
};

enum Takes {
  kLibrary = 1,
  kReplace = 2,
  kJson = 4,
  kReadsPpdOnly = 8,
  kWritesLibrary = 16,
  kManyQueues = 32,  // --printer more than once, --all, --model
};

// A PPD given on standard input, for the commands that only read it.
class StandardInputTarget final : public PpdTarget {
 public:
  explicit StandardInputTarget(std::istream& in) : in_(in) {}
  std::string Describe() const override { return "standard input"; }
  int Read(std::string& bytes) const override {
    if (!read_) {
      bytes_.assign(std::istreambuf_iterator<char>(in_), std::istreambuf_iterator<char>());
      read_ = true;
    }
    bytes = bytes_;
    return in_.bad() ? EIO : 0;
  }
  ReplaceResult Replace(const std::string&) const override {
    ReplaceResult result;
    result.error = EBADF;
    return result;
  }
  bool IsReadOnly() const override { return false; }
  int MakeWritable() const override { return 0; }

 private:
  std::istream& in_;
  mutable bool read_ = false;
  mutable std::string bytes_;
};

std::shared_ptr<PpdArguments> Declare(CLI::App& command, int takes) {
  auto args = std::make_shared<PpdArguments>();
  args->takes = takes;
  if (takes & kManyQueues) {
    args->printerOption = command.add_option("-p,--printer", args->printers)->allow_extra_args(false);
    command.add_flag("--all", args->all);
    args->modelOption = command.add_option("--model", args->model);
  } else {
    args->printerOption = command.add_option("-p,--printer", args->printer);
  }
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

// Whether the options name several queues (or one with --json for its
// results, which only the runs over queues give). A usage error when they
// do not fit.
std::optional<int> ResolveQueues(CommandContext& ctx, PpdArguments& args) {
  const bool listing = args.takes & kReadsPpdOnly;
  if (args.modelOption && args.modelOption->count() && !args.all)
    return UsageError(ctx, "--model goes with --all");
  if (args.all && !args.printers.empty())
    return UsageError(ctx, "--all and --printer do not go together");
  if (args.json && !listing && !args.all && args.printers.empty())
    return UsageError(ctx, "--json goes with --printer or --all");
  args.many = args.all || args.printers.size() > 1 || (args.json && !listing);
  if (args.many) {
    args.selection = {args.printers, Given(args.serverOption, args.server), args.all,
                      args.all ? Given(args.modelOption, args.model) : std::nullopt};
  }
  return std::nullopt;
}

// The target and the names; a usage error when they do not fit.
std::optional<int> Resolve(CommandContext& ctx, PpdArguments& args) {
  std::vector<std::string> pos = ctx.arguments;
  std::string error;
  if (args.takes & kManyQueues) {
    if (std::optional<int> status = ResolveQueues(ctx, args))
      return status;
    if (args.printers.size() == 1)
      args.printer = args.printers.front();
  }
  if (!args.many) {
    args.target = TargetFromOptions(
        args.printers.empty() ? Given(args.printerOption, args.printer) : args.printer,
        Given(args.serverOption, args.server), pos, error);
    if (!args.target)
      return UsageError(ctx, error);
  }
  if (args.target && args.target->Describe() == "-") {
    if (!(args.takes & kReadsPpdOnly))
      return RefuseStandardInput(ctx, "the PPD");
    args.target = std::make_shared<StandardInputTarget>(ctx.in);
  }
  if (args.libraryOption) {
    args.library = LibraryPath(Given(args.libraryOption, args.library));
    if (args.library.empty())
      return UsageError(ctx, "--library needs a file name");
    if (IsStandardInput(args.library) && (args.takes & kWritesLibrary))
      return RefuseStandardInput(ctx, "the library");
    // Every queue reads the same library.
    if (args.many && IsStandardInput(args.library))
      args.input.emplace(std::istreambuf_iterator<char>(ctx.in), std::istreambuf_iterator<char>());
  }
  for (const std::string& p : pos) args.names.push_back(NameArgument(p));
  return std::nullopt;
}

void ShowString(CommandContext& ctx, int id, const std::string& subject) {
  Message m = StringMessage(ctx.strings, id);
  m.subject = subject;
  ctx.ui.Show(m);
}

// The seams of a PPD command's workspace: the PPD stays locked against other
// copies of Tonalis from its read to its write.
WorkspaceSeams Seams(CommandContext& ctx, std::string library = kLibraryFileName) {
  WorkspaceSeams seams{ctx.ui, ctx.strings, std::move(library)};
  seams.holdTarget = true;
  // Every write to a queue is recorded for `check` and `restore`.
  seams.queueRecords = QueueRecordsPath();
  return seams;
}

// The workspace of a PPD command, with the library of --library open; a
// failure after a message when that or a name in `names` fails.
std::unique_ptr<Workspace> WithLibrary(CommandContext& ctx, const PpdArguments& args,
                                       const std::vector<std::string>& names) {
  auto ws = std::make_unique<Workspace>(Seams(ctx, args.library));
  // A library that is only read is never created or changed.
  if (args.takes & kWritesLibrary) {
    PrepareLibraryFolder(args.library);
    if (!ws->OpenLibrary())
      return nullptr;
  } else if (!ReadLibraryFor(ctx, *ws, args.library)) {
    return nullptr;
  }
  for (const std::string& name : names) {
    if (!ws->Find(Side::Library, name)) {
      Failure(ctx, ws->libraryPath() + ": there is no definition named " + Quoted(name));
      return nullptr;
    }
  }
  return ws;
}

// "VERB NAME" for each name, or for one of several queues its result.
int Report(CommandContext& ctx, const PpdArguments& args, const std::string& verb,
           const std::vector<std::string>& names) {
  if (QueueResult* result = args.result) {
    std::string text;
    Json shown = Json::array();
    for (const std::string& name : names) {
      text += (text.empty() ? "" : ", ") + Quoted(name);
      shown.push_back(DisplayName(name));
    }
    result->text = verb + ' ' + (names.empty() ? "nothing (no density controls left)" : text);
    result->data[verb] = std::move(shown);
    return kExitOk;
  }
  for (const std::string& name : names) ctx.out << verb << ' ' << Quoted(name) << '\n';
  return kExitOk;
}

// --- list ---

constexpr std::string_view kListHelp =
    "Usage: tonalis-cli list PPD [--json]\n"
    "       tonalis-cli list --printer QUEUE [--server HOST] [--json]\n"
    "       tonalis-cli list --printer QUEUE --printer QUEUE... | --all [--model TEXT]\n"
    "           [--server HOST[:PORT]] [--json]\n"
    "\n"
    "Shows the density controls of a PPD in the order of its density-control\n"
    "section: first each choice's keyword beside its name, the default choice\n"
    "marked '*' ('lp -d QUEUE -o VLTone=KEYWORD' and 'lpoptions -p QUEUE -o\n"
    "VLTone=KEYWORD' take the keyword, which stays with its definition), then the\n"
    "curves. The PPD is only read, never changed; PPD '-' reads standard input.\n"
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
    Message m = StringMessage(ctx.strings, sid::kUnsupportedPpd);
    m.subject = where;
    m.detail = UnsupportedPpdReason(bytes);
    ctx.ui.Show(m);
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
  if (args.json && args.result) {
    Json shown = Json::array();
    for (const DensityDef* def : defs) shown.push_back(DefinitionToJson(*def));
    args.result->data["definitions"] = std::move(shown);
    return kExitOk;
  }
  if (args.json) {
    PrintDefinitions(ctx.out, defs, true);
    return kExitOk;
  }
  ctx.out << where;
  if (split.nickNameFound)
    ctx.out << " (" << DisplayName(state.nickName) << ")";
  if (defs.empty()) {
    ctx.out << ": no density controls\n";
    return kExitOk;
  }
  // The keyword of each choice, which `lp -o VLTone=KEYWORD` takes, and the
  // default choice.
  ctx.out << ": option VLTone, '*' marks the default choice\n";
  auto row = [&](const std::string& keyword, const std::string& text) {
    ctx.out << (keyword == state.defaultChoice ? "* " : "  ") << keyword
            << std::string(keyword.size() < 8 ? 8 - keyword.size() : 1, ' ') << text << '\n';
  };
  row("None", ctx.strings.Load(sid::kNoneChoice));
  for (const DensityDef* def : defs) {
    const std::string_view name = NameOf(*def);
    std::string keyword = "-";
    for (const ChoiceRead& choice : state.choices) {
      if (choice.name == name && choice.keyword > 0) {
        keyword = "Gumma" + std::to_string(choice.keyword);
        break;
      }
    }
    row(keyword, DisplayName(name));
  }
  ctx.out << '\n';
  PrintDefinitions(ctx.out, defs, false);
  return kExitOk;
}

// --- default ---

constexpr std::string_view kDefaultHelp =
    "Usage: tonalis-cli default PPD NAME\n"
    "       tonalis-cli default PPD none\n"
    "       tonalis-cli default --printer QUEUE --printer QUEUE... | --all [--model TEXT]\n"
    "           [--server HOST[:PORT]] [--json] NAME|none\n"
    "\n"
    "Makes the density control NAME (or the choice with the keyword NAME, such\n"
    "as Gumma2) the default choice of the PPD's option VLTone, which print\n"
    "dialogs preselect and jobs without a choice of their own use; 'none' makes\n"
    "it \"Not Specified\" (no density control). This writes the PPD's\n"
    "*DefaultVLTone line, as 'lpadmin -p QUEUE -o VLTone=Gumma2' does; the\n"
    "density controls stay as they are. 'tonalis-cli list' shows the default.\n"
    "\n";

int SetDefault(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.size() != 1)
    return UsageError(ctx, "expected one NAME, or none");
  const std::string& wanted = args.names.front();
  Workspace ws(Seams(ctx));
  if (ws.ReadTarget(args.target) != kPpdLoaded)
    return kExitFailure;
  // The keywords the write gives the definitions (each keeps its own).
  std::vector<std::string> names;
  for (std::string_view name : ws.Names(Side::Target)) names.emplace_back(name);
  const std::vector<int> keywords = ppd::AssignKeywords(names, ws.loaded()->state().choices);
  std::string choice, label;
  Json name = nullptr;
  for (std::size_t i = 0; i < names.size() && choice.empty(); ++i) {
    const std::string keyword = "Gumma" + std::to_string(keywords[i]);
    if (names[i] == wanted || keyword == wanted) {
      choice = keyword;
      label = Quoted(names[i]) + " (" + keyword + ")";
      name = DisplayName(names[i]);
    }
  }
  if (choice.empty() && (wanted == "none" || wanted == "None")) {
    choice = "None";
    label = "\"" + ctx.strings.Load(sid::kNoneChoice) + "\" (None)";
  }
  if (choice.empty()) {
    return Failure(
        ctx, args.target->Describe() + ": there is no density control named " + Quoted(wanted));
  }
  if (!ws.WriteTarget(choice))
    return kExitFailure;
  if (QueueResult* result = args.result) {
    result->text = "default " + label;
    result->data["default"] = choice;
    result->data["name"] = std::move(name);
    return kExitOk;
  }
  ctx.out << "default " << label << '\n';
  return kExitOk;
}

// --- apply ---

constexpr std::string_view kApplyHelp =
    "Usage: tonalis-cli apply PPD [--library LIB] [NAME...]\n"
    "       tonalis-cli apply --printer QUEUE --printer QUEUE... | --all [--model TEXT]\n"
    "           [--server HOST[:PORT]] [--json] [--library LIB] [NAME...]\n"
    "\n"
    "Makes the density controls of the PPD exactly the library definitions\n"
    "NAME..., in this order (at most six). Without names the PPD's density\n"
    "control section is emptied. An unknown or repeated name, or more than six,\n"
    "is refused before anything is read or written.\n"
    "\n";

// More than six names, or one twice: refused before anything is read.
std::optional<int> RefuseApplyNames(CommandContext& ctx, const PpdArguments& args) {
  const std::vector<std::string>& names = args.names;
  if (names.size() > static_cast<std::size_t>(kPrinterListCapacity)) {
    ShowString(ctx, sid::kTableFull, args.target ? args.target->Describe() : std::string());
    return kExitFailure;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (std::find(names.begin(), names.begin() + i, names[i]) != names.begin() + i)
      return Failure(ctx, Quoted(names[i]) + " is named twice");
  }
  return std::nullopt;
}

int Apply(CommandContext& ctx, const PpdArguments& args) {
  const std::vector<std::string>& names = args.names;
  if (std::optional<int> refused = RefuseApplyNames(ctx, args))
    return *refused;
  const std::unique_ptr<Workspace> ws = WithLibrary(ctx, args, names);
  if (!ws || ws->ReadTarget(args.target) != kPpdLoaded)
    return kExitFailure;
  if (!Succeeded(ws->SetTargetDefinitions(names)) || !ws->WriteTarget())
    return kExitFailure;
  return Report(ctx, args, "applied", names);
}

// --- add and pick: copying between the library and the PPD ---

constexpr std::string_view kAddHelp =
    "Usage: tonalis-cli add PPD [--library LIB] [--replace] NAME...\n"
    "       tonalis-cli add --printer QUEUE --printer QUEUE... | --all [--model TEXT]\n"
    "           [--server HOST[:PORT]] [--json] [--library LIB] [--replace] NAME...\n"
    "\n"
    "Adds the library definitions NAME... to the PPD's density controls, after\n"
    "those it holds (at most six in all). A name the PPD already holds is\n"
    "refused unless --replace is given, which overwrites that definition in its\n"
    "place. Nothing is written when any name is refused.\n"
    "\n";

constexpr std::string_view kPickHelp =
    "Usage: tonalis-cli pick PPD [--library LIB] [--replace] NAME...\n"
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
  return Report(ctx, args, toTarget ? "added" : "picked", args.names);
}

// --- remove ---

constexpr std::string_view kRemoveHelp =
    "Usage: tonalis-cli remove PPD NAME...\n"
    "       tonalis-cli remove --printer QUEUE --printer QUEUE... | --all [--model TEXT]\n"
    "           [--server HOST[:PORT]] [--json] NAME...\n"
    "\n"
    "Deletes the density controls NAME... from the PPD; the others keep their\n"
    "order. An unknown name is refused and nothing is written.\n"
    "\n";

int Remove(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.empty())
    return UsageError(ctx, "expected one or more names");
  Workspace ws(Seams(ctx));
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
  return Report(ctx, args, "removed", args.names);
}

// --- Several queues ---

// The refusals of each command that do not depend on the PPD, given once
// before several queues are read.
std::optional<int> CheckList(CommandContext& ctx, const PpdArguments& args) {
  if (!args.names.empty())
    return UsageError(ctx, "unexpected argument '" + args.names[0] + "'");
  return std::nullopt;
}

std::optional<int> CheckApply(CommandContext& ctx, const PpdArguments& args) {
  if (std::optional<int> refused = RefuseApplyNames(ctx, args))
    return refused;
  if (!WithLibrary(ctx, args, args.names))
    return kExitFailure;
  return std::nullopt;
}

std::optional<int> CheckAdd(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.empty())
    return UsageError(ctx, "expected one or more names");
  if (!WithLibrary(ctx, args, args.names))
    return kExitFailure;
  return std::nullopt;
}

std::optional<int> CheckRemove(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.empty())
    return UsageError(ctx, "expected one or more names");
  return std::nullopt;
}

std::optional<int> CheckDefault(CommandContext& ctx, const PpdArguments& args) {
  if (args.names.size() != 1)
    return UsageError(ctx, "expected one NAME, or none");
  return std::nullopt;
}

using Run = int (*)(CommandContext&, const PpdArguments&);
using Check = std::optional<int> (*)(CommandContext&, const PpdArguments&);

// Runs `run` on each queue of args.selection after `check`.
int RunOnEach(CommandContext& ctx, const PpdArguments& args, Run run, Check check) {
  {
    std::istringstream input(args.input.value_or(std::string()));
    CommandContext once{args.input ? input : ctx.in, ctx.out, ctx.err, ctx.ui,
                        ctx.strings, ctx.command, ctx.arguments};
    if (std::optional<int> status = check(once, args))
      return *status;
  }
  int status = kExitFailure;
  const std::optional<std::vector<SelectedQueue>> queues = SelectQueues(ctx, args.selection, status);
  if (!queues)
    return status;
  const bool listing = args.takes & kReadsPpdOnly;
  return RunOnQueues(ctx, *queues, args.input, args.json, listing ? "listed" : "changed",
                     [&](CommandContext& queueCtx, const std::shared_ptr<PpdTarget>& target,
                         QueueResult& result) {
                       PpdArguments one = args;
                       one.target = target;
                       one.result = &result;
                       return run(queueCtx, one);
                     });
}

// Declares a PPD command's options and runs `run` once they are resolved;
// `check` before it when the command names several queues.
template <Run run, Check check = nullptr>
CommandRun Define(CLI::App& command, int takes) {
  std::shared_ptr<PpdArguments> args = Declare(command, takes);
  return [args](CommandContext& ctx) {
    if (std::optional<int> status = Resolve(ctx, *args))
      return *status;
    if (args->many)
      return RunOnEach(ctx, *args, run, check);
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
  return Define<List, CheckList>(c, kJson | kReadsPpdOnly | kManyQueues);
}
CommandRun DefineApply(CLI::App& c) {
  return Define<Apply, CheckApply>(c, kLibrary | kJson | kManyQueues);
}
CommandRun DefineAdd(CLI::App& c) {
  return Define<AddNames, CheckAdd>(c, kLibrary | kReplace | kJson | kManyQueues);
}
CommandRun DefinePick(CLI::App& c) {
  return Define<PickNames>(c, kLibrary | kReplace | kReadsPpdOnly | kWritesLibrary);
}
CommandRun DefineRemove(CLI::App& c) {
  return Define<Remove, CheckRemove>(c, kJson | kManyQueues);
}
CommandRun DefineDefault(CLI::App& c) {
  return Define<SetDefault, CheckDefault>(c, kJson | kManyQueues);
}

std::string WithTargetUsage(std::string_view help, bool many = true) {
  return std::string(help) + std::string(kTargetUsage) +
         (many ? std::string(kManyUsage) : std::string());
}

const std::string kListText = WithTargetUsage(kListHelp);
const std::string kApplyText = WithTargetUsage(kApplyHelp);
const std::string kAddText = WithTargetUsage(kAddHelp);
const std::string kPickText = WithTargetUsage(kPickHelp, false);
const std::string kRemoveText = WithTargetUsage(kRemoveHelp);
const std::string kDefaultText = WithTargetUsage(kDefaultHelp);

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
const CommandRegistration kRegisterDefault{
    {"default", "set the default choice of a PPD's density controls", kDefaultText, DefineDefault}};

}  // namespace
}  // namespace tonalis::cli
