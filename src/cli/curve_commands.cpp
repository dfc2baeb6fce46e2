// tonalis-cli export and import: a density control as a curve file of
// another colour tool, and back.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "cli/library_option.h"
#include "workspace/curve_transfer.h"

namespace tonalis::cli {
namespace {

#define TONALIS_CURVE_FORMATS                                                 \
  "The format follows FILE's extension:\n"                                    \
  "  .cal   ArgyllCMS calibration (CMYK, as printcal writes it)\n"            \
  "  .amp   Photoshop arbitrary map (whole levels 0..255 only)\n"             \
  "  .acv   Photoshop curves (control points on 0..255)\n"                    \
  "  .csv   input,cyan,magenta,yellow,black: one row per input 0..255, the\n" \
  "         outputs on 0..255 with two decimals\n"                            \
  "Every value is an amount of ink: 0 is paper, the top of the scale full ink.\n"

constexpr std::string_view kExportHelp =
    "Usage: tonalis-cli export NAME --library LIB -o FILE\n"
    "\n"
    "Writes the density control NAME of the library LIB as a curve file that\n"
    "other colour tools read: the curve of each of cyan, magenta, yellow and\n"
    "black exactly as the printer gets it (cyan's for all four when one curve\n"
    "serves all colours). .cal and .csv hold the curves exactly; .amp rounds\n"
    "them to whole levels, .acv holds the control points rounded to 0..255.\n"
    "\n" TONALIS_CURVE_FORMATS
    "\n"
    "  -l, --library LIB    the library file (default: the window's library)\n"
    "  -o, --output FILE    the curve file; an existing FILE is replaced whole or\n"
    "                       not at all\n";

constexpr std::string_view kImportHelp =
    "Usage: tonalis-cli import FILE --library LIB --name NAME [--replace]\n"
    "\n"
    "Makes the density control NAME in the library LIB from the curve file FILE\n"
    "of another colour tool: the thirteen control points of each colour are\n"
    "fitted to its curve, and a line per colour says how closely they follow it\n"
    "(the largest fit gap, in percent). When the four curves are the same, one\n"
    "curve serves all colours.\n"
    "\n" TONALIS_CURVE_FORMATS
    "A .cal file may hold any number of sets from input 0 to 1 (read linearly\n"
    "between them); an .amp file one map for all colours (256 bytes) or the\n"
    "composite and a map per colour (1280 bytes); an .acv file one curve or the\n"
    "composite and a curve per colour. The composite applies after each\n"
    "colour's curve.\n"
    "\n"
    "  -l, --library LIB    the library file (default: the window's library)\n"
    "  -n, --name NAME      the new definition's name\n"
    "  --replace            replace a definition named NAME (otherwise refused)\n";

#undef TONALIS_CURVE_FORMATS


std::string Percent(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f %%", v);
  return buf;
}

// The library named by --library, or a usage error's status. `writes`: the
// command changes the library.
std::optional<std::string> LibraryFrom(CommandContext& ctx, const CLI::Option* option,
                                       const std::string& given, bool writes, int& status) {
  const std::string path = LibraryPath(option->count() ? std::optional(given) : std::nullopt);
  if (path.empty()) {
    status = UsageError(ctx, "the library file LIB must not be empty");
    return std::nullopt;
  }
  if (IsStandardInput(path)) {
    status = writes
                 ? RefuseStandardInput(ctx, "the library")
                 : UsageError(ctx, "'-' (standard input) is not read here; name the library file");
    return std::nullopt;
  }
  return path;
}

CommandRun DefineExport(CLI::App& command) {
  struct Options {
    std::string library, output;
    CLI::Option* libraryOption = nullptr;
  };
  auto options = std::make_shared<Options>();
  options->libraryOption = command.add_option("-l,--library", options->library);
  command.add_option("-o,--output", options->output);
  return [options](CommandContext& ctx) {
    if (ctx.arguments.size() != 1)
      return UsageError(ctx, "expected the NAME of one definition");
    const std::string name = NameArgument(ctx.arguments.front());
    if (options->output.empty())
      return UsageError(ctx, "the curve file is missing (-o FILE)");
    if (!CurveFormatOf(options->output))
      return UsageError(ctx, UnknownCurveFormat(options->output));
    int status = kExitUsage;
    const std::optional<std::string> path =
        LibraryFrom(ctx, options->libraryOption, options->library, false, status);
    if (!path)
      return status;

    Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, *path});
    const CurveExportOutcome out = ExportCurves(ws, name, options->output);
    if (!out.error.empty())
      return Failure(ctx, out.error);
    if (!out.ok)
      return kExitFailure;
    ctx.out << "wrote " << Quoted(name) << " to " << options->output;
    if (*out.format == CurveFormat::Amp)
      ctx.out << " (rounded to whole levels of 0..255)";
    else if (*out.format == CurveFormat::Acv)
      ctx.out << " (control points rounded to whole levels of 0..255)";
    ctx.out << '\n';
    return kExitOk;
  };
}

CommandRun DefineImport(CLI::App& command) {
  struct Options {
    std::string library, name;
    bool replace = false;
    CLI::Option* libraryOption = nullptr;
  };
  auto options = std::make_shared<Options>();
  options->libraryOption = command.add_option("-l,--library", options->library);
  command.add_option("-n,--name", options->name);
  command.add_flag("--replace", options->replace);
  return [options](CommandContext& ctx) {
    if (ctx.arguments.size() != 1)
      return UsageError(ctx, "expected one curve FILE");
    if (options->name.empty())
      return UsageError(ctx, "the new definition's name is missing (--name NAME)");
    CurveImportRequest request;
    request.path = ctx.arguments.front();
    if (!CurveFormatOf(request.path))
      return UsageError(ctx, UnknownCurveFormat(request.path));
    request.name = NameArgument(options->name);
    if (const auto refusal = ValidateName(request.name, ctx.strings))
      return UsageError(ctx, "--name " + Quoted(request.name) + ": " + refusal->text);
    request.replace = options->replace;
    int status = kExitUsage;
    const std::optional<std::string> path =
        LibraryFrom(ctx, options->libraryOption, options->library, true, status);
    if (!path)
      return status;

    PrepareLibraryFolder(*path);
    Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, *path});
    const CurveImportOutcome out = ImportCurves(ws, request);
    if (!out.error.empty())
      return Failure(ctx, out.error);
    if (!out.ok)
      return kExitFailure;
    for (int c = 0; c < kChannelCount; ++c)
      ctx.out << kChannelWords[c] << ": largest fit gap " << Percent(out.fitGaps[c]) << '\n';
    ctx.out << (out.stored == StoreResult::Replaced ? "replaced " : "added ")
            << Quoted(request.name) << " in " << *path << '\n';
    return kExitOk;
  };
}

const CommandRegistration kRegisterExport{
    {"export", "write a density control as a curve file of another colour tool", kExportHelp,
     DefineExport}};
const CommandRegistration kRegisterImport{
    {"import", "make a density control from a curve file of another colour tool", kImportHelp,
     DefineImport}};

}  // namespace
}  // namespace tonalis::cli
