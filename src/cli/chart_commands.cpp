// tonalis-cli chart: the test chart to print and measure for calibrate.
#include <CLI/CLI.hpp>
#include <ctime>
#include <memory>
#include <string>

#include "cli/cli_interaction.h"
#include "cli/commands.h"
#include "formats/test_chart.h"
#include "platform/file_replace.h"
#include "printers/cups_spooler.h"
#include "workspace/print_chart.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli chart -o FILE.ps|FILE.pdf [--steps N] [--control NAME] [--date DATE]\n"
    "       tonalis-cli chart --printer QUEUE [--control NAME|none] [--steps N] [--date DATE]\n"
    "\n"
    "Writes the test chart: one A4 page (whose marks also fit on US Letter) with a\n"
    "wedge of N patches for each of cyan, magenta, yellow and black, each patch\n"
    "8.5 mm square and labelled with its colour and input. Print it with the\n"
    "density control you want to correct in force (or none), measure the patches\n"
    "and give the measurements to calibrate.\n"
    "\n"
    "  -o, --output FILE   the chart, PostScript for a name ending in .ps, PDF for\n"
    "                      .pdf; '-' writes PostScript to standard output. An\n"
    "                      existing FILE is replaced whole or not at all\n"
    "  --steps N           patches per colour at even inputs from 0 to 100 %: 21\n"
    "                      (5 % apart, the default), 41, 61 or 81; each holds the\n"
    "                      inputs of the thirteen control points\n"
    "  -p, --printer QUEUE print the chart on QUEUE instead, with the density\n"
    "                      control NAME chosen for the job as in the print dialog\n"
    "                      (VLTone); NAME must be one of the queue's controls\n"
    "  --control NAME      the density control the chart is printed with, printed\n"
    "                      on the page (default: none)\n"
    "  --date DATE         the date printed on the page (default: today, as\n"
    "                      YYYY-MM-DD)\n";

bool EndsWith(const std::string& s, std::string_view suffix) {
  if (s.size() < suffix.size())
    return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != suffix[i])
      return false;
  }
  return true;
}

int PrintOnQueue(CommandContext& ctx, const std::string& queue, const ChartOptions& chart) {
  // No password prompt of our own: libcups asks on the terminal itself.
  CupsSpooler& spooler = SystemSpooler();
  Workspace ws(WorkspaceSeams{ctx.ui, ctx.strings});
  const ChartPrintOutcome printed = PrintChartOnQueue(ws, spooler, queue, chart);
  switch (printed.result) {
    case ChartPrintResult::Printed:
      ctx.out << "sent the chart (" << chart.steps << " patches per colour) to " << queue
              << " as job " << printed.jobId << ", with "
              << (chart.control.empty() ? std::string("no density control")
                                        : Quoted(chart.control) + " (VLTone=" + printed.choice + ")")
              << '\n';
      return kExitOk;
    case ChartPrintResult::ReadFailed:
      return kExitFailure;
    case ChartPrintResult::NoControls:
      return Failure(ctx, queue + " has no density controls: apply some to it first, or print "
                                  "with --control none");
    case ChartPrintResult::NoSuchControl: {
      std::string names;
      for (const std::string& name : printed.controls)
        names += (names.empty() ? "" : ", ") + Quoted(name);
      return Failure(ctx, queue + " has no density control " + Quoted(chart.control) +
                              "; its controls are " + names);
    }
    case ChartPrintResult::PrintFailed:
      break;
  }
  return Failure(ctx, queue + ": the chart cannot be printed: " + printed.reason);
}

CommandRun DefineChart(CLI::App& command) {
  struct Options {
    std::string output, control, date, printer;
    int steps = kDefaultChartSteps;
  };
  auto options = std::make_shared<Options>();
  command.add_option("-o,--output", options->output);
  command.add_option("-p,--printer", options->printer);
  command.add_option("--steps", options->steps);
  command.add_option("--control", options->control);
  command.add_option("--date", options->date);
  return [options](CommandContext& ctx) {
    if (!ctx.arguments.empty())
      return UsageError(ctx, "unexpected argument '" + ctx.arguments.front() + "'");
    const std::string& out = options->output;
    if (!options->printer.empty() && !out.empty())
      return UsageError(ctx, "the chart goes to a file (-o) or to a printer (--printer), not both");
    if (out.empty() && options->printer.empty())
      return UsageError(ctx, "the chart's file is missing (-o FILE.ps or -o FILE.pdf)");
    const bool pdf = EndsWith(out, ".pdf");
    if (!out.empty() && out != "-" && !pdf && !EndsWith(out, ".ps"))
      return UsageError(ctx, "the chart's file name must end in .ps or .pdf, not '" + out + "'");
    if (!IsChartSteps(options->steps))
      return UsageError(ctx, "--steps must be 21, 41, 61 or 81, not " +
                                 std::to_string(options->steps));
    ChartOptions chart;
    chart.steps = options->steps;
    chart.date = options->date.empty() ? TodaysDate() : options->date;
    for (char c : chart.date)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        return UsageError(ctx, "--date must not hold control characters");
    const std::string control = NameArgument(options->control);
    chart.control = control == "none" ? "" : control;
    if (!options->printer.empty())
      return PrintOnQueue(ctx, options->printer, chart);
    const std::string bytes = pdf ? ChartPdf(chart) : ChartPostScript(chart);
    if (out == "-") {
      ctx.out << bytes;
      return kExitOk;
    }
    const ReplaceResult written = ReplaceFileContents(
        out, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    if (!written.ok)
      return Failure(ctx, out + ": the chart cannot be written: " +
                              FileFailureReason(out, written.error, written.failedStep));
    ctx.out << "wrote the chart (" << chart.steps << " patches per colour) to " << out << '\n';
    return kExitOk;
  };
}

const CommandRegistration kRegisterChart{
    {"chart", "write the test chart for calibrate", kHelp, DefineChart}};

}  // namespace
}  // namespace tonalis::cli
