#include "workspace/print_chart.h"

#include <memory>

#include "formats/ppd_tone.h"
#include "printers/queue_target.h"

namespace tonalis {

namespace {

ChartPrintOutcome Send(Spooler& spooler, const std::string& queue, const ChartOptions& chart,
                       const std::string& choice) {
  ChartPrintOutcome out;
  out.choice = choice;
  PrintJob job;
  job.queue = queue;
  job.title = "Tonalis test chart";
  job.format = "application/postscript";
  job.document = ChartPostScript(chart);
  job.options = {{"VLTone", choice}};
  const SpoolerStatus status = spooler.Print(job, out.jobId);
  out.result = status.ok() ? ChartPrintResult::Printed : ChartPrintResult::PrintFailed;
  out.reason = status.reason;
  return out;
}

}  // namespace

std::string ChartChoice(const Workspace& ws, const std::string& control) {
  if (control.empty())
    return "None";
  if (!ws.loaded())
    return {};
  for (const ChoiceRead& choice : ws.loaded()->state().choices)
    if (choice.keyword != 0 && choice.name == control)
      return "Gumma" + std::to_string(choice.keyword);
  return {};
}

ChartPrintOutcome PrintChartOnTarget(const Workspace& ws, Spooler& spooler,
                                     const std::string& queue, const ChartOptions& chart) {
  const std::string choice = ChartChoice(ws, chart.control);
  if (choice.empty()) {
    ChartPrintOutcome out;
    if (ws.loaded())
      for (const ChoiceRead& c : ws.loaded()->state().choices) out.controls.push_back(c.name);
    out.result = out.controls.empty() ? ChartPrintResult::NoControls
                                      : ChartPrintResult::NoSuchControl;
    return out;
  }
  return Send(spooler, queue, chart, choice);
}

ChartPrintOutcome PrintChartOnQueue(Workspace& ws, Spooler& spooler, const std::string& queue,
                                    const ChartOptions& chart) {
  // Without a control the PPD is not needed: None overrides whatever default
  // the queue has, and a queue without the option ignores it.
  if (chart.control.empty())
    return Send(spooler, queue, chart, "None");
  if (ws.ReadTarget(std::make_shared<PpdQueueTarget>(spooler, QueueRef{"", queue})) != kPpdLoaded)
    return {};
  return PrintChartOnTarget(ws, spooler, queue, chart);
}

}  // namespace tonalis
