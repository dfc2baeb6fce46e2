// tonalis-cli calibrate: a density control from the measurements of a
// printed test chart.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "cli/library_option.h"
#include "workspace/calibrate.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli calibrate MEASUREMENTS --library LIB --name NAME\n"
    "         [--aim linear-density|linear-lstar|gamma:G] [--max-ink PERCENT]\n"
    "         [--from NAME0] [--replace]\n"
    "\n"
    "Makes the density control NAME in the library LIB from the measurements of\n"
    "a test chart (see chart) and prints, per colour, how closely its curve\n"
    "follows the wanted correction (the largest fit gap) and how far the printer\n"
    "is predicted to stay from the aim, both in percent.\n"
    "\n"
    "MEASUREMENTS is CSV with the header channel,input,density or\n"
    "channel,input,lstar, then one patch a line (C, M, Y, K or cyan ... black;\n"
    "the input in percent; the density or L*), or an ArgyllCMS .ti3 file as\n"
    "chartread writes it (CMYK device values with XYZ or L*a*b*; patches of one\n"
    "colorant are used, the others left out). Each colour needs its 0 % and 100 %\n"
    "patch and four more.\n"
    "\n"
    "The measured values are smoothed so that density never falls as ink rises;\n"
    "when that moved any patch, a line says so (noisy or non-monotonic\n"
    "measurements).\n"
    "\n"
    "  -l, --library LIB    the library file (default: the window's library)\n"
    "  -n, --name NAME      the new definition's name\n"
    "  --aim AIM            linear-density (default): density rises evenly with\n"
    "                       the input from paper to full ink; linear-lstar: L*\n"
    "                       falls evenly; gamma:G: density follows input ^ G\n"
    "  --max-ink PERCENT    the aim ends at the density of this much ink\n"
    "                       (default 100), for a printer that puts down too much\n"
    "  --from NAME0         the chart was printed with the library's NAME0 in\n"
    "                       force: the next step of an iteration\n"
    "  --replace            replace a definition named NAME (otherwise refused)\n";

bool ParseNumber(const std::string& text, double& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string Percent(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f %%", v);
  return buf;
}


CommandRun DefineCalibrate(CLI::App& command) {
  struct Options {
    std::string library, name, aim = "linear-density", from;
    double maxInk = 100;
    bool replace = false;
    CLI::Option* libraryOption = nullptr;
  };
  auto options = std::make_shared<Options>();
  options->libraryOption = command.add_option("-l,--library", options->library);
  command.add_option("-n,--name", options->name);
  command.add_option("--aim", options->aim);
  command.add_option("--max-ink", options->maxInk);
  command.add_option("--from", options->from);
  command.add_flag("--replace", options->replace);
  return [options](CommandContext& ctx) {
    if (ctx.arguments.size() != 1)
      return UsageError(ctx, "expected one MEASUREMENTS file");
    if (options->name.empty())
      return UsageError(ctx, "the new definition's name is missing (--name NAME)");
    CalibrationRequest request;
    request.measurements = ctx.arguments.front();
    request.name = NameArgument(options->name);
    if (const auto refusal = ValidateName(request.name, ctx.strings))
      return UsageError(ctx, "--name " + Quoted(request.name) + ": " + refusal->text);
    if (options->aim == "linear-density") {
      request.aim.kind = AimKind::LinearDensity;
    } else if (options->aim == "linear-lstar") {
      request.aim.kind = AimKind::LinearLStar;
    } else if (options->aim.starts_with("gamma:") &&
               ParseNumber(options->aim.substr(6), request.aim.gamma) &&
               request.aim.gamma >= 0.1 && request.aim.gamma <= 10) {
      request.aim.kind = AimKind::Gamma;
    } else {
      return UsageError(ctx, "--aim must be linear-density, linear-lstar or gamma:G with G from "
                             "0.1 to 10, not '" + options->aim + "'");
    }
    if (!(options->maxInk >= 10 && options->maxInk <= 100))
      return UsageError(ctx, "--max-ink must be a percentage from 10 to 100");
    request.aim.maxInk = options->maxInk;
    request.from = NameArgument(options->from);
    request.replace = options->replace;
    const std::string path =
        LibraryPath(options->libraryOption->count() ? std::optional(options->library) : std::nullopt);
    if (path.empty())
      return UsageError(ctx, "the library file LIB must not be empty");
    if (IsStandardInput(path))
      return RefuseStandardInput(ctx, "the library");

    PrepareLibraryFolder(path);
    Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings, path});
    const CalibrationOutcome out = CalibrateIntoLibrary(ws, request);
    if (!out.error.empty())
      return Failure(ctx, out.error);
    if (!out.ok)
      return kExitFailure;
    for (int c = 0; c < kChannelCount; ++c) {
      const ChannelCalibration& ch = out.channels[c];
      ctx.out << kChannelWords[c] << ": largest fit gap " << Percent(ch.fitGap)
              << ", predicted largest deviation from the aim " << Percent(ch.predicted) << '\n';
    }
    for (int c = 0; c < kChannelCount; ++c) {
      const ChannelCalibration& ch = out.channels[c];
      if (ch.pooled == 0)
        continue;
      char move[32];
      std::snprintf(move, sizeof move, "%.3f", ch.largestMove);
      ctx.out << kChannelWords[c] << ": smoothed " << ch.pooled
              << " patches that did not rise with ink (noisy or non-monotonic measurements; "
                 "largest change "
              << move << ")\n";
    }
    ctx.out << (out.stored == StoreResult::Replaced ? "replaced " : "added ")
            << Quoted(request.name) << " in " << path << '\n';
    return kExitOk;
  };
}

const CommandRegistration kRegisterCalibrate{
    {"calibrate", "make a density control from measurements of the test chart", kHelp,
     DefineCalibrate}};

}  // namespace
}  // namespace tonalis::cli
